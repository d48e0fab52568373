#include "platform/paths.h"

namespace snapdeck {

void SplitPath(const std::u16string& path, std::u16string& folder, std::u16string& file) {
  const std::size_t cut = path.find_last_of(u"\\/");
  if (cut == std::u16string::npos) {
    folder.clear();
    file = path;
    return;
  }
  folder = path.substr(0, cut + 1);
  file = path.substr(cut + 1);
}

std::u16string TempDirFrom(const std::u16string& systemTemp, const std::u16string& envTmp,
                           const std::u16string& programDir) {
  std::u16string dir = !systemTemp.empty() ? systemTemp : !envTmp.empty() ? envTmp : programDir;
  if (dir.empty() || dir.back() != u'\\') dir += u'\\';
  return dir;
}

void SplitProgramPath(const std::u16string& fullPath, std::u16string& programFile,
                      std::u16string& programDir) {
  SplitPath(fullPath, programDir, programFile);
  if (programDir.empty()) {
    programDir = u".\\";
  } else {
    programDir.back() = u'\\';
  }
}

}  // namespace snapdeck
