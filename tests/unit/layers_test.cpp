// The folders are layers: a file includes only folders below its own, and only the Win32
// files see the Windows headers. Nothing else enforces it, so one careless include would
// otherwise go unnoticed until the layers had grown into each other.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Lowest first. resources/ holds generated data that every layer may read.
constexpr std::array<const char*, 9> kLayers = {"platform", "imaging", "settings", "capture",
                                                "shell",    "dialogs", "viewer",   "update",
                                                "app"};

int LayerOf(const std::string& folder) {
  for (std::size_t i = 0; i < kLayers.size(); ++i) {
    if (folder == kLayers[i]) return static_cast<int>(i);
  }
  return -1;
}

// Headers of the Windows SDK that only the Win32 side may include.
bool IsWindowsHeader(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const std::array<const char*, 12> kHeaders = {
      "windows.h",  "winsock2.h", "ws2tcpip.h", "wininet.h", "bcrypt.h",  "commctrl.h",
      "shellapi.h", "shlobj.h",   "richedit.h", "mmsystem.h", "windowsx.h", "objbase.h"};
  for (const char* h : kHeaders) {
    if (name == h) return true;
  }
  return false;
}

bool IsWin32File(const fs::path& relative) {
  const std::string stem = relative.stem().string();
  const std::string suffix = "_win32";
  return relative.generic_string().rfind("platform/win32/", 0) == 0 ||
         (stem.size() > suffix.size() &&
          stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0);
}

}  // namespace

TEST(Layers, EachFileIncludesOnlyFoldersBelowItsOwnAndWindowsOnlyInWin32Files) {
  const fs::path root = SNAPDECK_SOURCE_DIR;
  const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<std::string> problems;
  int files = 0;
  for (const char* layer : kLayers) {
    for (const auto& entry : fs::recursive_directory_iterator(root / layer)) {
      const fs::path& path = entry.path();
      if (!entry.is_regular_file() || (path.extension() != ".cpp" && path.extension() != ".h")) {
        continue;
      }
      ++files;
      const fs::path relative = fs::relative(path, root);
      const int own = LayerOf(layer);
      std::ifstream in(path);
      std::string line;
      int number = 0;
      while (std::getline(in, line)) {
        ++number;
        std::smatch m;
        if (!std::regex_search(line, m, include)) continue;
        const std::string target = m[2];
        const std::string where = relative.generic_string() + ":" + std::to_string(number) + ": ";
        if (m[1] == "<") {
          if (IsWindowsHeader(target) && !IsWin32File(relative)) {
            problems.push_back(where + "includes <" + target + "> outside the Win32 files");
          }
          continue;
        }
        const std::size_t slash = target.find('/');
        if (slash == std::string::npos) continue;
        const int theirs = LayerOf(target.substr(0, slash));
        if (theirs > own) {
          problems.push_back(where + "includes " + target + ", a layer above " + layer);
        }
      }
    }
  }
  EXPECT_GT(files, 100) << "the source folders were not found under " << root;
  std::string all;
  for (const std::string& p : problems) all += p + "\n";
  EXPECT_TRUE(problems.empty()) << all;
}
