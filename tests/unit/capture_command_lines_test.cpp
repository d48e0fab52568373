#include <gtest/gtest.h>

#include "capture/command_lines.h"
#include "capture/tool_check.h"
#include "platform/posix/runner_posix.h"
#include "resources/ids.h"
#include "tests/support/capture_fakes.h"

namespace snapdeck {
namespace {

using testing::MemoryFiles;

TEST(CaptureCommandLines, ParameterTextsAreExact) {
  EXPECT_EQ(EnumParameters(), u"-u enum");
  EXPECT_EQ(DeviceInfoParameters(u"0x2100000A", u""), u"-u -p0x2100000A  deviceinfo");
  EXPECT_EQ(DeviceInfoParameters(u"0x2100000A", u"secret"),
            u"-u -p0x2100000A  -w\"secret\" deviceinfo");
  EXPECT_EQ(ScreenshotParameters(u"0x2100000A", u"", u"C:\\Temp\\"),
            u"-u -p0x2100000A  screenshot \"C:\\Temp\\~devshot.bmp\"");
  EXPECT_EQ(ScreenshotParameters(u"0x2100000A", u"pw", u"C:\\Temp\\"),
            u"-u -p0x2100000A  -w\"pw\" screenshot \"C:\\Temp\\~devshot.bmp\"");
}

// Whatever the password holds, the tool must receive exactly it and nothing more.
TEST(CaptureCommandLines, PasswordsCannotAddArguments) {
  const std::u16string passwords[] = {
      u"plain",           u"with blank", u"a\"b",      u"\" -x \"", u"\"",
      u"ends\\",          u"two\\\\",    u"back\\\"q", u"\\\\\"",   u"a\\b\\c",
      u"\"\" deviceinfo", u"tab\there",  u"\\",        u"x\"\"y"};
  for (const std::u16string& pw : passwords) {
    const std::vector<std::u16string> info =
        SplitCommandLine(DeviceInfoParameters(u"0x2100000A", pw));
    ASSERT_EQ(info.size(), 4u);
    EXPECT_EQ(info[0], u"-u");
    EXPECT_EQ(info[1], u"-p0x2100000A");
    EXPECT_EQ(info[2], u"-w" + pw);
    EXPECT_EQ(info[3], u"deviceinfo");
    const std::vector<std::u16string> shot =
        SplitCommandLine(ScreenshotParameters(u"0x2100000A", pw, u"C:\\My Temp\\"));
    ASSERT_EQ(shot.size(), 5u);
    EXPECT_EQ(shot[2], u"-w" + pw);
    EXPECT_EQ(shot[3], u"screenshot");
    EXPECT_EQ(shot[4], u"C:\\My Temp\\~devshot.bmp");
  }
}

TEST(CaptureCommandLines, OddPinStaysOneArgument) {
  const std::u16string pin = u"AB \"C\\ D";
  const std::vector<std::u16string> args = SplitCommandLine(DeviceInfoParameters(pin, u""));
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[1], u"-p" + pin);
}

TEST(CaptureCommandLines, SplitFollowsTheWindowsRules) {
  EXPECT_EQ(SplitCommandLine(u"  a\tb  "), (std::vector<std::u16string>{u"a", u"b"}));
  EXPECT_EQ(SplitCommandLine(u"a\\\\b \"c d\" \"\""),
            (std::vector<std::u16string>{u"a\\\\b", u"c d", u""}));
  EXPECT_EQ(SplitCommandLine(u"x\"y z\"w \\\"q"), (std::vector<std::u16string>{u"xy zw", u"\"q"}));
  EXPECT_EQ(SplitCommandLine(u"\"a\"\"b\""), (std::vector<std::u16string>{u"a\"b"}));
  EXPECT_TRUE(SplitCommandLine(u"").empty());
}

class ScriptedLocator : public ToolLocator {
 public:
  int askLocation(const std::u16string& filePreset, const std::u16string& fileFilter,
                  const std::u16string& message, const std::u16string& firstButton,
                  const std::u16string& secondButton) override {
    presets.push_back(filePreset);
    filter = fileFilter;
    text = message;
    buttons = firstButton + u"|" + secondButton;
    if (answers.empty()) return id::kAnswerSecond;
    const auto [answer, file] = answers.front();
    answers.erase(answers.begin());
    chosen = file;
    return answer;
  }
  std::u16string fileResult() override { return chosen; }

  std::vector<std::pair<int, std::u16string>> answers;
  std::vector<std::u16string> presets;
  std::u16string filter, text, buttons, chosen;
};

TEST(CaptureToolCheck, PresentToolPassesWithoutAsking) {
  AppSettings settings;
  settings.JLpath = u"C:\\prog\\";
  MemoryFiles files;
  files.files[u"C:\\prog\\javaloader.exe"] = {1, 2, 3};
  ScriptedLocator locator;
  EXPECT_EQ(CheckDeviceTool(settings, files, locator), ToolCheck::Found);
  EXPECT_TRUE(locator.presets.empty());
}

TEST(CaptureToolCheck, AsksUntilAChosenFolderHoldsTheTool) {
  AppSettings settings;
  settings.JLpath = u"C:\\prog\\";
  MemoryFiles files;
  files.files[u"D:\\empty\\javaloader.exe"] = {};  // size 0 does not count
  files.files[u"E:/tools/javaloader.exe"] = {1};
  ScriptedLocator locator;
  locator.answers = {{id::kAnswerFirst, u"D:\\empty\\javaloader.exe"},
                     {id::kAnswerFirst, u"E:/tools/javaloader.exe"}};
  EXPECT_EQ(CheckDeviceTool(settings, files, locator), ToolCheck::Found);
  EXPECT_EQ(settings.JLpath, u"E:/tools/");
  ASSERT_EQ(locator.presets.size(), 2u);
  EXPECT_EQ(locator.presets[0], u"C:\\prog\\javaloader.exe");
  EXPECT_EQ(locator.presets[1], u"D:\\empty\\javaloader.exe");
  EXPECT_EQ(locator.filter, u"JavaLoader|javaloader.exe");
  EXPECT_EQ(locator.text,
            u"This program requires the file JavaLoader.exe\r\nPlease select its current location "
            u"using the [...] button or copy it to this program's folder.\r\n");
  EXPECT_EQ(locator.buttons, u"Yes, try again|No, cancel");
}

TEST(CaptureToolCheck, CancelGivesUpButAQuestionNotShownIsNoCancel) {
  AppSettings settings;
  settings.JLpath = u"C:\\prog\\";
  MemoryFiles files;
  ScriptedLocator locator;
  locator.answers = {
      {id::kAnswerSecond, u""}, {id::kAnswerClosed, u""}, {id::kAnswerNotShown, u""}};
  EXPECT_EQ(CheckDeviceTool(settings, files, locator), ToolCheck::GaveUp);
  EXPECT_EQ(CheckDeviceTool(settings, files, locator), ToolCheck::GaveUp);
  EXPECT_EQ(CheckDeviceTool(settings, files, locator), ToolCheck::NotAsked);
  EXPECT_EQ(settings.JLpath, u"C:\\prog\\");
}

}  // namespace
}  // namespace snapdeck
