#include "update/update_system_win32.h"

#include <windows.h>

#include <array>
#include <cstring>

#include "dialogs/bubble_win32.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/system_libraries_win32.h"
#include "shell/tables.h"
#include "update/http_wininet_win32.h"

namespace snapdeck::win32 {
namespace {

// Read and rename access, shared for reading only: no other process can write,
// delete or rename the file while it is held. The rename goes through this very
// handle, so the bytes that were hashed are the bytes that get the program's name,
// with no moment in between in which the file is not held (closing it first and
// renaming by name would leave one).
class Win32HeldFile final : public HeldFile {
 public:
  explicit Win32HeldFile(UniqueHandle file) : file_(std::move(file)) {}

  std::optional<Sha256Digest> sha256() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size) || size.QuadPart > kMaxFetchBytes) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN)) return std::nullopt;
    for (std::size_t done = 0; done < bytes.size();) {
      DWORD got = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
      if (!ReadFile(file_.get(), bytes.data() + done, want, &got, nullptr) || got == 0) {
        return std::nullopt;
      }
      done += got;
    }
    return SystemSha256(bytes.data(), bytes.size());
  }

  bool renameTo(const std::u16string& path) override {
    // The name alone: the rename stays in the held file's folder, which is where
    // the hand-over renames.
    std::u16string programFile, programDir;
    SplitProgramPath(path, programFile, programDir);
    const std::wstring name = ToWide(programFile);
    std::vector<std::uint8_t> info(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(info.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    return SetFileInformationByHandle(file_.get(), FileRenameInfo, rename,
                                      static_cast<DWORD>(info.size())) != 0;
  }

 private:
  UniqueHandle file_;
};

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

  std::unique_ptr<HeldFile> holdFile(const std::u16string& path) override {
    UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return nullptr;
    return std::make_unique<Win32HeldFile>(std::move(file));
  }

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
    // Started and left to run on its own.
    const UniqueHandle thread(process.hThread), started(process.hProcess);
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
  const BcryptApi* api = Bcrypt();
  if (api == nullptr) return std::nullopt;
  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  if (!BCRYPT_SUCCESS(
          api->BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    return std::nullopt;
  }
  const UniqueCngAlgorithm algorithm(algorithmHandle);
  BCRYPT_HASH_HANDLE hashHandle = nullptr;
  if (!BCRYPT_SUCCESS(api->BCryptCreateHash(algorithm.get(), &hashHandle, nullptr, 0, nullptr, 0, 0))) {
    return std::nullopt;
  }
  const UniqueCngHash hash(hashHandle);
  for (std::size_t done = 0; done < size;) {
    const ULONG part = static_cast<ULONG>(std::min<std::size_t>(size - done, 1u << 30));
    if (!BCRYPT_SUCCESS(api->BCryptHashData(hash.get(), const_cast<PUCHAR>(bytes + done), part, 0))) {
      return std::nullopt;
    }
    done += part;
  }
  Sha256Digest digest{};
  if (!BCRYPT_SUCCESS(api->BCryptFinishHash(hash.get(), digest.data(), digest.size(), 0))) {
    return std::nullopt;
  }
  return digest;
}

bool SystemVerifySignature(const EcPublicKey& key, const Sha256Digest& digest,
                           const EcSignature& signature) {
  const BcryptApi* api = Bcrypt();
  if (api == nullptr) return false;
  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  if (!BCRYPT_SUCCESS(api->BCryptOpenAlgorithmProvider(
          &algorithmHandle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    return false;
  }
  const UniqueCngAlgorithm algorithm(algorithmHandle);
  // The public blob is its header followed by X and Y.
  std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 64> blob{};
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof(header));
  std::copy(key.begin(), key.end(), blob.begin() + sizeof(header));
  BCRYPT_KEY_HANDLE keyHandle = nullptr;
  if (!BCRYPT_SUCCESS(api->BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                          &keyHandle, blob.data(), blob.size(), 0))) {
    return false;
  }
  const UniqueCngKey publicKey(keyHandle);
  return api->BCryptVerifySignature(publicKey.get(), nullptr, const_cast<PUCHAR>(digest.data()),
                               digest.size(), const_cast<PUCHAR>(signature.data()),
                               signature.size(), 0) == 0;
}

}  // namespace snapdeck::win32
