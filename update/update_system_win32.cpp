#include "update/update_system_win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>

#include <array>
#include <cstring>

#include "dialogs/bubble_win32.h"
#include "platform/text.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/handles_win32.h"
#include "update/http_wininet_win32.h"

namespace snapdeck::win32 {
namespace {

class Win32UpdateSystem final : public UpdateSystem {
 public:
  std::unique_ptr<HttpTransport> transport() override { return MakeWinInetTransport(); }

  std::u16string modulePath() override {
    std::wstring path(1000, L'\0');
    for (;;) {
      const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (got == 0) return {};
      if (got < path.size()) return FromWide(path.substr(0, got));
      if (path.size() >= 32768) return {};
      path.resize(path.size() * 2);
    }
  }

  std::int64_t fileSize(const std::u16string& path) override { return files_->fileSize(path); }

  bool openReadWrite(const std::u16string& path) override {
    UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    return static_cast<bool>(file);
  }

  bool writeFile(const std::u16string& path, const std::vector<std::uint8_t>& bytes) override {
    // Written beside the target and then moved: a failed write leaves no half
    // file.
    return files_->replaceFile(path, bytes);
  }

  bool copyFile(const std::u16string& from, const std::u16string& to) override {
    return CopyFileW(ToWide(from).c_str(), ToWide(to).c_str(), FALSE) != 0;
  }

  bool moveFile(const std::u16string& from, const std::u16string& to) override {
    return MoveFileExW(ToWide(from).c_str(), ToWide(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
  }

  bool deleteFile(const std::u16string& path) override { return files_->deleteFile(path); }

  bool startProgram(const std::u16string& path, const std::u16string& parameter,
                    const std::u16string& workingDir) override {
    const std::wstring exe = ToWide(path);
    std::wstring commandLine = L"\"" + exe + L"\" " + ToWide(parameter);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        ToWide(workingDir).c_str(), &startup, &process)) {
      return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }

  std::optional<Sha256Digest> sha256(const std::uint8_t* bytes, std::size_t size) override {
    return SystemSha256(bytes, size);
  }

  bool verifySignature(const EcPublicKey& key, const Sha256Digest& digest,
                       const EcSignature& signature) override {
    return SystemVerifySignature(key, digest, signature);
  }

  void sleepMs(int ms) override { Sleep(static_cast<DWORD>(ms)); }

  void messageBubble(const std::u16string& caption, const std::u16string& text,
                     Rgb theme) override {
    MessageBubble(caption, text, theme, 0);
  }

 private:
  std::unique_ptr<FileSystem> files_ = MakeWin32FileSystem();
};

}  // namespace

std::unique_ptr<UpdateSystem> MakeWin32UpdateSystem() {
  return std::make_unique<Win32UpdateSystem>();
}

std::optional<Sha256Digest> SystemSha256(const std::uint8_t* bytes, std::size_t size) {
  // The create, data and finish calls rather than the one-shot BCryptHash,
  // which needs Windows 10; the program still runs on Windows 7.
  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  if (!BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return std::nullopt;
  }
  const UniqueCngAlgorithm algorithm(algorithmHandle);
  BCRYPT_HASH_HANDLE hashHandle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm.get(), &hashHandle, nullptr, 0, nullptr, 0, 0))) {
    return std::nullopt;
  }
  const UniqueCngHash hash(hashHandle);
  for (std::size_t done = 0; done < size;) {
    const ULONG part = static_cast<ULONG>(std::min<std::size_t>(size - done, 1u << 30));
    if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), const_cast<PUCHAR>(bytes + done), part, 0))) {
      return std::nullopt;
    }
    done += part;
  }
  Sha256Digest digest{};
  if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest.data(), digest.size(), 0))) {
    return std::nullopt;
  }
  return digest;
}

bool SystemVerifySignature(const EcPublicKey& key, const Sha256Digest& digest,
                           const EcSignature& signature) {
  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_ECDSA_P256_ALGORITHM,
                                                  nullptr, 0))) {
    return false;
  }
  const UniqueCngAlgorithm algorithm(algorithmHandle);
  // The public blob is its header followed by X and Y.
  std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 64> blob{};
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof(header));
  std::copy(key.begin(), key.end(), blob.begin() + sizeof(header));
  BCRYPT_KEY_HANDLE keyHandle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                          &keyHandle, blob.data(), blob.size(), 0))) {
    return false;
  }
  const UniqueCngKey publicKey(keyHandle);
  return BCryptVerifySignature(publicKey.get(), nullptr, const_cast<PUCHAR>(digest.data()),
                               digest.size(), const_cast<PUCHAR>(signature.data()),
                               signature.size(), 0) == 0;
}

}  // namespace snapdeck::win32
