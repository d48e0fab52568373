#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "platform/folder_listing.h"
#include "platform/posix/filesystem_posix.h"
#include "platform/text.h"

namespace snapdeck {
namespace {

std::int64_t LocalSeconds(time_t t) {
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return static_cast<std::int64_t>(t);
  return static_cast<std::int64_t>(t) + local.tm_gmtoff;
}

class PosixFolderReader final : public FolderReader {
 public:
  bool list(const std::u16string& folder, std::vector<StampedFile>& files) override {
    files.clear();
    std::string dir = PosixPath(folder);
    if (dir.empty()) dir = ".";
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return false;
    const int dfd = ::dirfd(d);
    while (const dirent* e = ::readdir(d)) {
      struct stat st {};
      if (::fstatat(dfd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
      files.push_back({Utf8ToUtf16(e->d_name), LocalSeconds(st.st_mtime), true,
                       static_cast<std::uint64_t>(st.st_size)});
    }
    ::closedir(d);
    // readdir's order changes with the folder's history; a fixed one keeps runs repeatable.
    std::sort(files.begin(), files.end(),
              [](const StampedFile& a, const StampedFile& b) { return a.name < b.name; });
    return true;
  }

  bool readHead(const std::u16string& path, std::size_t maxBytes,
                std::vector<std::uint8_t>& out) override {
    out.clear();
    // O_NONBLOCK so a FIFO named like a picture cannot hang the open.
    const int fd = ::open(PosixPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
      // Sized by the file, so a generous maximum costs nothing for a small file.
      maxBytes = std::min<std::size_t>(maxBytes, static_cast<std::size_t>(st.st_size));
      out.resize(maxBytes);
      std::size_t got = 0;
      while (got < maxBytes) {
        const ssize_t n = ::read(fd, out.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
      }
      out.resize(ok ? got : 0);
    }
    ::close(fd);
    return ok;
  }
};

}  // namespace

std::unique_ptr<FolderReader> MakeFolderReader() { return std::make_unique<PosixFolderReader>(); }

}  // namespace snapdeck
