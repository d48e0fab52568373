// Start-up, shutdown, the single-instance guard and the settings file as a user meets
// them: started in a folder, ended with Esc, the file checked byte for byte.
#include "driver/fixture.h"

namespace e2e {
namespace {

using StartupSettings = E2eTest;

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::string SoundValue(HWND main) { return Enabled(Control(main, 52)) ? "1" : "0"; }

TEST_F(StartupSettings, FirstRunInEmptyFolderWritesEveryDefault) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  // Without a sound device the switch is forced off and saved so; the button shows which.
  const std::string sound = SoundValue(main);
  EndWithEsc(p, main);

  SettingsLines expected = SettingsLines::Defaults(folder_);
  expected.Set("sound", sound);
  auto written = ReadFileBytes(JoinPath(folder_, L"Snapdeck.ini"));
  ASSERT_TRUE(written.has_value()) << "no Snapdeck.ini after Esc";
  EXPECT_EQ(AsString(*written), expected.Text());
}

TEST_F(StartupSettings, HandWrittenFileIsReadLeniently) {
  // Latin-1 without a byte-order mark, odd key case, blanks and tabs, comments, mixed
  // line ends, a repeated key, malformed numbers and a group whose keys are not ours.
  const std::string file =
      "; written by hand\r\n"
      "\r\n"
      "   WIDTH   =   300  \t\r\n"
      "Height=200\n"
      "shotname = caf\xE9 \t\r\n"
      "shotext = 1x\r\n"
      "frameeffect =\r\n"
      "FRAMECOLOR = #12000a\r"
      "framecolorlist\\rgb[a] = 0000ff\r\n"
      "stayontop = 0\r\n"
      "StayOnTop = 1\r\n"
      "langcode = de\r\n"
      "frameeffectdir = 0\r\n"
      "\thotkeyCAS = 5\r\n"
      "[Other]\r\n"
      "shotsize = 0\r\n"
      "autonumber = 1\r\n";
  LaunchOptions o;
  o.settings = ToBytes(file);
  Program& p = Start(folder_, o);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);

  const SIZE client = ClientSize(main);
  EXPECT_EQ(client.cx, 320);
  EXPECT_EQ(client.cy, 400);
  EXPECT_EQ(Text(Control(main, 37)), L"caf\u00E9");
  EXPECT_EQ(ComboSelection(Control(main, 38)), 1);
  EXPECT_EQ(ComboSelection(Control(main, 39)), 3);
  EXPECT_EQ(TrackPosition(Control(main, 44)), 0);
  EXPECT_EQ(Text(Control(main, 45)), L"5");
  EXPECT_EQ(Checked(Control(main, 47)), BST_UNCHECKED);
  EXPECT_FALSE(TopMost(main));
  const std::string sound = SoundValue(main);
  EndWithEsc(p, main);

  SettingsLines expected = SettingsLines::Defaults(folder_);
  expected.Set("width", "300");
  expected.Set("height", "200");
  expected.Set("shotname", "caf\xC3\xA9");
  expected.Set("shotext", "1");
  expected.Set("frameeffect", "0");
  expected.Set("framecolor", "#12000A");
  expected.Set("framecolorlist\\RGB[A]", "#0000FF");
  expected.Set("stayontop", "0");
  expected.Set("langcode", "DE");
  expected.Set("frameeffectdir", "0");
  expected.Set("hotkeyCAS", "5");
  expected.Set("sound", sound);
  auto written = ReadFileBytes(JoinPath(folder_, L"Snapdeck.ini"));
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(AsString(*written), expected.Text());
}

TEST_F(StartupSettings, SecondInstanceShowsBubbleAndEnds) {
  LaunchOptions first;
  first.exeName = L"Single.exe";
  Program& a = Start(folder_, first);
  HWND main = WaitMain(a);
  ASSERT_NE(main, nullptr);

  LaunchOptions again = first;
  again.copyExe = false;  // the same file, which is running
  again.withDeviceTool = false;
  Program& b = Start(folder_, again);
  HWND bubble = b.WaitWindow(kBubbleTitle);
  ASSERT_NE(bubble, nullptr) << "the second instance showed no bubble";
  EXPECT_EQ(Text(Control(bubble, 12)), L"Only one instance is allowed.");
  EXPECT_EQ(Text(Control(bubble, 13)), L"Single.exe");
  EXPECT_EQ(b.FindWindowTitled(kMainTitle), nullptr);

  Click(Control(bubble, 14));
  auto code = b.WaitExit();
  ASSERT_TRUE(code.has_value()) << "the second instance did not end";
  EXPECT_EQ(*code, 0u);
  // It neither loaded nor saved settings; the first one is untouched and still runs.
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"Snapdeck.ini")));
  EXPECT_TRUE(a.running());
  EXPECT_TRUE(IsWindow(main));
  EXPECT_EQ(Text(Control(main, 55)), L"take screenshot");

  EndWithEsc(a, main);
  EXPECT_TRUE(FileExists(JoinPath(folder_, L"Snapdeck.ini")));
}

TEST_F(StartupSettings, CopyUnderAnotherNameStarts) {
  LaunchOptions first;
  first.exeName = L"First.exe";
  Program& a = Start(folder_, first);
  HWND mainA = WaitMain(a);
  ASSERT_NE(mainA, nullptr);

  LaunchOptions second;
  second.exeName = L"Second.exe";
  second.withDeviceTool = false;  // already there
  Program& b = Start(folder_, second);
  HWND mainB = WaitMain(b);
  ASSERT_NE(mainB, nullptr);
  EXPECT_EQ(b.FindWindowTitled(kBubbleTitle), nullptr);

  EndWithEsc(b, mainB);
  EndWithEsc(a, mainA);
}

TEST_F(StartupSettings, OutOfRangeValuesStartTakeAShotAndEnd) {
  LaunchOptions o;
  o.settings = ToBytes(IniText({{"shotfolderid", "40"},
                                {"shotext", "7"},
                                {"shotsize", "9"},
                                {"width", "-50"},
                                {"height", "0"},
                                {"framethickness", "12"},
                                {"frameeffect", "40"},
                                {"hotkey", "20"},
                                {"hotkeyCAS", "99"},
                                {"killtimeout", "-5"},
                                {"connecttimeout", "0"},
                                {"passwordtimeout", "-1"},
                                {"langcode", "XX"},
                                {"sortview", "3"}}));
  Program& p = Start(folder_, o);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  const SIZE client = ClientSize(main);
  EXPECT_GT(client.cx, 20);
  EXPECT_GT(client.cy, 200);
  const int format = ComboSelection(Control(main, 38));
  EXPECT_TRUE(format >= 0 && format <= 2) << format;
  const int thickness = ComboSelection(Control(main, 42));
  EXPECT_TRUE(thickness >= 0 && thickness <= 9) << thickness;

  // A capture divides by the time-outs and indexes tables with these values.
  Click(Control(main, 55));
  AnswerPasswordPrompt(p);
  EXPECT_TRUE(WaitUntil([&] { return !ListFiles(folder_, L"snapdeck.*").empty(); }, 30000))
      << "no screenshot was saved";
  ASSERT_TRUE(p.running());
  EndWithEsc(p, main);

  SettingsLines saved = SavedSettings(folder_);
  auto in = [&](const char* key, int low, int high) {
    const int v = std::atoi(saved.Get(key).c_str());
    EXPECT_TRUE(v >= low && v <= high) << key << " = " << saved.Get(key);
  };
  in("shotfolderid", 0, 15);
  in("shotext", 0, 2);
  in("shotsize", 0, 5);
  in("framethickness", 0, 9);
  in("frameeffect", 0, 16);
  in("hotkey", 0, 13);
  in("connecttimeout", 1, 1 << 30);
  in("passwordtimeout", 1, 1 << 30);
  in("width", 1, 1 << 20);
  in("height", 1, 1 << 20);
}

TEST_F(StartupSettings, ReadOnlySettingsFileIsToldAndLeftIntact) {
  SettingsLines old = SettingsLines::Defaults(folder_);
  old.Set("width", "300");
  old.Set("sound", "0");
  const std::wstring ini = JoinPath(folder_, L"Snapdeck.ini");
  ASSERT_TRUE(WriteFileBytes(ini, old.FileBytes()));
  ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));

  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(ClientSize(main).cx, 320);  // it was read
  Click(Control(main, 51));             // a change that would be saved
  SelectCombo(Control(main, 38), 0);
  PressKey(main, VK_ESCAPE);
  // The settings of this run are lost: the user is told before the program ends.
  HWND bubble = p.WaitWindow(kBubbleTitle);
  ASSERT_NE(bubble, nullptr) << "no message bubble about the settings file";
  EXPECT_EQ(Text(Control(bubble, 13)), L"Snapdeck.ini");
  EXPECT_EQ(Text(Control(bubble, 12)), L"Settings could not be saved.");
  EXPECT_TRUE(p.running());
  Click(Control(bubble, 14));
  const std::optional<DWORD> code = p.WaitExit();
  ASSERT_TRUE(code.has_value()) << "the program did not end after the bubble";
  EXPECT_EQ(*code, 0u);

  EXPECT_TRUE(ListFiles(folder_, L"Snapdeck.ini*.tmp").empty()) << "a work file was left";
  auto now = ReadFileBytes(ini);
  SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(now.has_value());
  EXPECT_EQ(AsString(*now), old.Text());
}

TEST_F(StartupSettings, OverLongSettingsFileIsToldAtStartAndKeptAfterExit) {
  SettingsLines old = SettingsLines::Defaults(folder_);
  old.Set("width", "300");
  // Beyond what the reader accepts (1 MiB), so the file cannot be read as a whole.
  const std::string text = old.Text() + "; " + std::string(1100000, 'x') + "\r\n";
  const std::wstring ini = JoinPath(folder_, L"Snapdeck.ini");
  ASSERT_TRUE(WriteFileText(ini, text));

  Program& p = Start(folder_, {});
  HWND bubble = p.WaitWindow(kBubbleTitle);
  ASSERT_NE(bubble, nullptr) << "no message bubble about the settings file";
  EXPECT_EQ(Text(Control(bubble, 13)), L"Snapdeck.ini");
  EXPECT_EQ(Text(Control(bubble, 12)), L"Could not be read: defaults are in use this time.");
  Click(Control(bubble, 14));
  ASSERT_TRUE(p.WaitWindowGone(kBubbleTitle));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(ClientSize(main).cx, 260) << "not the default width";
  Click(Control(main, 51));  // a change that would be saved
  EndWithEsc(p, main);

  auto now = ReadFileBytes(ini);
  ASSERT_TRUE(now.has_value());
  EXPECT_TRUE(AsString(*now) == text) << "the settings file was changed";
  EXPECT_TRUE(ListFiles(folder_, L"Snapdeck.ini*.tmp").empty()) << "a work file was left";
}

}  // namespace
}  // namespace e2e
