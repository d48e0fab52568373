#include "platform/paths.h"

namespace snapdeck {

std::u16string TempDirFrom(const std::u16string& systemTemp, const std::u16string& envTmp,
                           const std::u16string& programDir) {
  std::u16string dir = !systemTemp.empty() ? systemTemp : !envTmp.empty() ? envTmp : programDir;
  if (dir.empty() || dir.back() != u'\\') dir += u'\\';
  return dir;
}

void SplitProgramPath(const std::u16string& fullPath, std::u16string& programFile,
                      std::u16string& programDir) {
  const std::size_t cut = fullPath.find_last_of(u"\\/");
  if (cut == std::u16string::npos) {
    programFile = fullPath;
    programDir = u".\\";
    return;
  }
  programFile = fullPath.substr(cut + 1);
  programDir = fullPath.substr(0, cut) + u"\\";
}

}  // namespace snapdeck
