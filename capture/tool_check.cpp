#include "capture/tool_check.h"

#include "capture/command_lines.h"
#include "platform/paths.h"
#include "resources/ids.h"

namespace snapdeck {

ToolCheck CheckDeviceTool(AppSettings& settings, FileSystem& files, ToolLocator& locator) {
  for (;;) {
    const std::u16string toolPath = settings.JLpath + kToolFileName;
    if (files.fileSize(toolPath) > 0) return ToolCheck::Found;
    const int answer = locator.askLocation(
        toolPath, u"JavaLoader|javaloader.exe",
        u"This program requires the file JavaLoader.exe\r\nPlease select its current location "
        u"using the [...] button or copy it to this program's folder.\r\n",
        u"Yes, try again", u"No, cancel");
    if (answer == id::kAnswerNotShown) return ToolCheck::NotAsked;
    if (answer != id::kAnswerFirst) return ToolCheck::GaveUp;
    std::u16string file;
    SplitPath(locator.fileResult(), settings.JLpath, file);
  }
}

}  // namespace snapdeck
