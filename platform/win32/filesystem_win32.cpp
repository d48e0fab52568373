#include "platform/win32/filesystem_win32.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <cwchar>

#include "platform/text.h"
#include "platform/wildcard.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck {
namespace {

using win32::UniqueFind;
using win32::UniqueHandle;

bool WriteAll(HANDLE file, const std::vector<std::uint8_t>& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, data.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

std::atomic<unsigned> g_tempCounter{0};

// FILE_RENAME_INFO as Windows 10 lays it out (Flags over ReplaceIfExists); the headers
// give the older form for the Windows 7 target.
struct RenameInfoEx {
  DWORD flags;
  HANDLE rootDirectory;
  DWORD fileNameLength;
  WCHAR fileName[1];
};
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

// Renames the open file over target the POSIX way, which also replaces a file that a
// reader holds open with delete sharing (a thumbnail reader, a virus scanner). False on
// systems and file systems without it (before Windows 10, FAT).
bool RenameOverOpenTarget(HANDLE file, const std::wstring& path) {
  // Without a root handle the name must be a full one.
  std::wstring target(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  if (target.empty()) return false;
  const DWORD got =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(target.size()), target.data(), nullptr);
  if (got == 0 || got >= target.size()) return false;
  target.resize(got);
  const std::size_t nameBytes = target.size() * sizeof(WCHAR);
  std::vector<std::uint8_t> buffer(offsetof(RenameInfoEx, fileName) + nameBytes + sizeof(WCHAR));
  auto* info = reinterpret_cast<RenameInfoEx*>(buffer.data());
  info->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
  info->rootDirectory = nullptr;
  info->fileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->fileName, target.c_str(), nameBytes + sizeof(WCHAR));
  return SetFileInformationByHandle(file, kFileRenameInfoEx, info,
                                    static_cast<DWORD>(buffer.size())) != 0;
}

// A name beside a file for work files of this process, unique within it.
std::wstring WorkSuffix(const wchar_t* kind) {
  wchar_t suffix[48];
  std::swprintf(suffix, 48, L".~%lx-%x.%ls", static_cast<unsigned long>(GetCurrentProcessId()),
                g_tempCounter.fetch_add(1), kind);
  return suffix;
}

// Where the system cannot replace a file that a reader holds open (before Windows 10,
// Wine), it can still rename it when the reader shares deletion: the old file steps
// aside, the new one takes its name, and the old one goes once the reader lets go. When
// the new one cannot take the name, the old one comes back.
bool ReplaceAroundReader(const std::wstring& temp, const std::wstring& target) {
  // Only a file steps aside: a folder of that name is never a replaced shot.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  const std::wstring aside = target + WorkSuffix(L"old");
  if (!MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) return false;
  if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
    MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    return false;
  }
  DeleteFileW(aside.c_str());
  return true;
}

class Win32FileSystem final : public FileSystem {
 public:
  std::int64_t fileSize(const std::u16string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ToWide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
  }

  bool readFile(const std::u16string& path, std::vector<std::uint8_t>& out,
                std::size_t maxBytes) override {
    out.clear();
    UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
      return false;
    }
    out.reserve(static_cast<std::size_t>(size.QuadPart));
    // Read until the end rather than trusting the size: the file may grow meanwhile.
    std::uint8_t chunk[16384];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr)) {
        out.clear();
        return false;
      }
      if (got == 0) break;
      if (out.size() + got > maxBytes) {
        out.clear();
        return false;
      }
      out.insert(out.end(), chunk, chunk + got);
    }
    return true;
  }

  bool writeFile(const std::u16string& path, const std::vector<std::uint8_t>& data) override {
    UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const bool written = WriteAll(file.get(), data);
    return CloseReportingErrors(file) && written;
  }

  bool replaceFile(const std::u16string& path, const std::vector<std::uint8_t>& data) override {
    const std::wstring target = ToWide(path);
    if (target.empty() || target.back() == L'\\' || target.back() == L'/') return false;
    const std::wstring temp = target + WorkSuffix(L"tmp");
    // Windows refuses to replace a read-only file; saying so first keeps Wine the same.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      return false;
    }

    UniqueHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bool ok = WriteAll(file.get(), data) && FlushFileBuffers(file.get());
    const bool renamed = ok && RenameOverOpenTarget(file.get(), target);
    ok = CloseReportingErrors(file) && ok;
    if (ok && !renamed) {
      ok = MoveFileExW(temp.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           ReplaceAroundReader(temp, target);
    }
    if (!ok && !renamed) DeleteFileW(temp.c_str());
    return ok;
  }

  bool deleteFile(const std::u16string& path) override {
    return DeleteFileW(ToWide(path).c_str()) != 0;
  }

  std::vector<std::u16string> listFiles(const std::u16string& folder,
                                        const std::u16string& pattern) override {
    std::vector<std::u16string> names;
    std::wstring query = ToWide(folder);
    if (!query.empty() && query.back() != L'\\' && query.back() != L'/') query += L'\\';
    query += ToWide(pattern);
    WIN32_FIND_DATAW found{};
    // FindExInfoBasic skips short 8.3 names; matching again below keeps the rule the
    // same as on other systems whatever the short names are.
    UniqueFind find(FindFirstFileExW(query.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     nullptr, 0));
    if (!find) return names;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::u16string name = FromWide(found.cFileName);
      if (WildcardMatch(pattern, name)) names.push_back(std::move(name));
    } while (FindNextFileW(find.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeWin32FileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace snapdeck
