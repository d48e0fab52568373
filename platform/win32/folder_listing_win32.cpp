#include <windows.h>

#include <algorithm>

#include "platform/folder_listing.h"
#include "platform/text.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck {
namespace {

// FILETIME counts 100 ns steps since 1601-01-01.
constexpr std::int64_t kTicksPerSecond = 10000000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600LL;

bool LocalSeconds(const FILETIME& utc, std::int64_t& seconds) {
  FILETIME local{};
  if (!FileTimeToLocalFileTime(&utc, &local)) return false;
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  seconds = static_cast<std::int64_t>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970;
  return true;
}

class Win32FolderReader final : public FolderReader {
 public:
  bool list(const std::u16string& folder, std::vector<StampedFile>& files) override {
    files.clear();
    std::wstring query = ToWide(folder);
    if (!query.empty() && query.back() != L'\\' && query.back() != L'/') query += L'\\';
    query += L"*.*";
    WIN32_FIND_DATAW found{};
    win32::UniqueFind find(FindFirstFileExW(query.c_str(), FindExInfoBasic, &found,
                                            FindExSearchNameMatch, nullptr, 0));
    if (!find) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty drive lists fine
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      StampedFile file{FromWide(found.cFileName), 0, false,
                       (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow};
      file.timeKnown = LocalSeconds(found.ftLastWriteTime, file.localTime);
      files.push_back(std::move(file));
    } while (FindNextFileW(find.get(), &found));
    return true;
  }

  bool readHead(const std::u16string& path, std::size_t maxBytes,
                std::vector<std::uint8_t>& out) override {
    out.clear();
    win32::UniqueHandle file(CreateFileW(ToWide(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return false;
    out.resize(static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), maxBytes)));
    maxBytes = out.size();
    std::size_t got = 0;
    while (got < maxBytes) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(maxBytes - got, 1u << 20));
      DWORD read = 0;
      if (!ReadFile(file.get(), out.data() + got, chunk, &read, nullptr)) {
        out.clear();
        return false;
      }
      if (read == 0) break;
      got += read;
    }
    out.resize(got);
    return true;
  }
};

}  // namespace

std::unique_ptr<FolderReader> MakeFolderReader() { return std::make_unique<Win32FolderReader>(); }

}  // namespace snapdeck
