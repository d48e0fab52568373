#include "platform/posix/filesystem_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/text.h"
#include "platform/wildcard.h"

namespace snapdeck {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the close succeeded (it can report a failed write).
  bool reset() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::vector<std::uint8_t>& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::atomic<unsigned> g_tempCounter{0};

class PosixFileSystem final : public FileSystem {
 public:
  std::int64_t fileSize(const std::u16string& path) override {
    struct stat st {};
    if (::stat(PosixPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
  }

  bool readFile(const std::u16string& path, std::vector<std::uint8_t>& out,
                std::size_t maxBytes) override {
    out.clear();
    // O_NONBLOCK so a FIFO put where a file was expected cannot hang the open.
    Fd fd(::open(PosixPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > maxBytes) return false;
    out.reserve(static_cast<std::size_t>(st.st_size));
    // Read until the end rather than trusting the size: the file may grow meanwhile.
    std::uint8_t chunk[16384];
    for (;;) {
      const ssize_t n = ::read(fd.get(), chunk, sizeof(chunk));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        out.clear();
        return false;
      }
      if (n == 0) break;
      if (out.size() + static_cast<std::size_t>(n) > maxBytes) {
        out.clear();
        return false;
      }
      out.insert(out.end(), chunk, chunk + n);
    }
    return true;
  }

  bool writeFile(const std::u16string& path, const std::vector<std::uint8_t>& data) override {
    Fd fd(::open(PosixPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) return false;
    const bool written = WriteAll(fd.get(), data);
    return fd.reset() && written;
  }

  bool replaceFile(const std::u16string& path, const std::vector<std::uint8_t>& data) override {
    const std::string target = PosixPath(path);
    if (target.empty() || target.back() == '/') return false;
    const std::size_t slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string temp = dir + "." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
                             std::to_string(g_tempCounter.fetch_add(1));

    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid()) return false;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      ::fchmod(fd.get(), old.st_mode & 07777);  // keep the old file's permissions
    }
    bool ok = WriteAll(fd.get(), data) && ::fsync(fd.get()) == 0;
    ok = fd.reset() && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
      ::unlink(temp.c_str());
      return false;
    }
    Fd dirFd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.valid()) ::fsync(dirFd.get());  // best effort: make the rename itself durable
    return true;
  }

  bool deleteFile(const std::u16string& path) override {
    return ::unlink(PosixPath(path).c_str()) == 0;
  }

  std::vector<std::u16string> listFiles(const std::u16string& folder,
                                        const std::u16string& pattern) override {
    std::vector<std::u16string> names;
    std::string dir = PosixPath(folder);
    if (dir.empty()) dir = ".";
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return names;
    const int dfd = ::dirfd(d);
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      const std::u16string wide = Utf8ToUtf16(name);
      if (!WildcardMatch(pattern, wide)) continue;
      struct stat st {};
      if (::fstatat(dfd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
      names.push_back(wide);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace

std::string PosixPath(const std::u16string& path) {
  std::u16string slashed = path;
  std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
  return Utf16ToUtf8(slashed);
}

std::unique_ptr<FileSystem> MakePosixFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace snapdeck
