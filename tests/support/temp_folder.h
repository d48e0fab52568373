// A private folder that lives as long as the test needs it.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

namespace snapdeck::testing {

class TempFolder {
 public:
  // A new empty folder in the system's temporary folder whose name starts with prefix.
  explicit TempFolder(const std::string& prefix = "snapdeck-test") {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / (prefix + "-" + std::to_string(stamp) + "-" + std::to_string(++counter));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec) || ec) break;
    }
  }
  ~TempFolder() {
    std::error_code ec;
    // Tests may have taken away write rights; give them back so everything goes.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder with a trailing separator, as the program's folder settings hold it.
  std::u16string dir16() const { return (path_ / "").u16string(); }
  std::u16string file16(const std::string& name) const { return (path_ / name).u16string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace snapdeck::testing
