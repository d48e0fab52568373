// The main window: its controls after start-up, the layout rule, the keyboard
// shortcuts, the settings controls and the device-tool requester at start.
#include "driver/fixture.h"

namespace e2e {
namespace {

using MainWindow = E2eTest;

struct Place {
  int id;
  int x, y, w, h;  // -1: not checked (controls whose height or size the system decides)
};

void ExpectPlace(HWND parent, const Place& place) {
  HWND c = Control(parent, place.id);
  ASSERT_NE(c, nullptr) << "no control " << place.id;
  const RECT r = RectInParent(c);
  EXPECT_EQ(r.left, place.x) << "x of control " << place.id;
  EXPECT_EQ(r.top, place.y) << "y of control " << place.id;
  if (place.w >= 0) {
    EXPECT_EQ(r.right - r.left, place.w) << "width of control " << place.id;
  }
  if (place.h >= 0) {
    EXPECT_EQ(r.bottom - r.top, place.h) << "height of control " << place.id;
  }
}

std::string Normalized(std::wstring text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r') {
      out += L'\n';
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      out += text[i];
    }
  }
  while (!out.empty() && out.back() == L'\n') out.pop_back();
  return Utf8(out);
}

// The status picture as the user can copy it: a double-click puts it on the clipboard.
std::optional<snapdeck::Picture> CopyStatusPicture(HWND main) {
  ClearClipboard();
  const DWORD before = ClipboardSequence();
  DoubleClick(Control(main, id::kStatusPicture));
  if (!WaitUntil([&] { return ClipboardSequence() != before && ClipboardDibSize().has_value(); },
                 10000)) {
    return std::nullopt;
  }
  return ClipboardPicture();
}

TEST_F(MainWindow, DefaultsGiveTheLaidOutWindow) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);

  const SIZE client = ClientSize(main);
  EXPECT_EQ(client.cx, 260);
  EXPECT_EQ(client.cy, 360);
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  EXPECT_NE(style & WS_MINIMIZEBOX, 0);
  EXPECT_NE(style & WS_SYSMENU, 0);
  EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_TRUE(TopMost(main)) << "extended style " << std::hex << GetWindowLongW(main, GWL_EXSTYLE);
  EXPECT_TRUE(Enabled(main));

  // Creation places, and the layout rule at W = 260, H = 360.
  const Place places[] = {
      {id::kStayOnTopButton, 10, 10, 20, 20},   {id::kSoundButton, 40, 10, 20, 20},
      {id::kTrayButton, 70, 10, 20, 20},        {id::kProgressPicture, 100, 15, 35, 11},
      {id::kToggleViewer, 150, 10, 100, 20},    {id::kLabelFolder, 10, 42, 55, 20},
      {id::kFolderCombo, 70, 40, 150, -1},      {id::kChooseFolder, 220, 40, 30, 20},
      {id::kLabelFilename, 10, 72, 55, 20},     {id::kFilenameEdit, 70, 70, 80, 20},
      {id::kFormatCombo, 150, 70, 50, -1},      {id::kScaleCombo, 200, 70, 50, -1},
      {id::kAutoNumberCheck, 70, 90, 16, 20},   {id::kLabelAutoNumber, 86, 92, 90, 20},
      {id::kIncludePinCheck, 170, 90, 16, 20},  {id::kLabelIncludePin, 186, 92, 110, 20},
      {id::kLabelFrame, 10, 117, 55, 20},       {id::kThicknessCombo, 70, 115, 40, -1},
      {id::kColorSwatch, 110, 115, 36, 16},     {id::kShadingTrack, 150, 115, 60, 20},
      {id::kDirectionButton, 210, 115, 40, 20}, {id::kStatusPicture, 8, 148, 240, 160},
      {id::kHelpButton, 40, 320, 20, 20},       {id::kUpdateButton, 10, 320, 20, 20},
      {id::kExitButton, 200, 320, 50, 20},      {id::kTakeScreenshot, 70, 320, 120, 30},
  };
  for (const Place& place : places) ExpectPlace(main, place);

  EXPECT_EQ(Text(Control(main, id::kToggleViewer)), L"toggle viewer");
  EXPECT_EQ(Text(Control(main, id::kLabelFolder)), L"Folder:");
  EXPECT_EQ(Text(Control(main, id::kLabelFilename)), L"Filename:");
  EXPECT_EQ(Text(Control(main, id::kChooseFolder)), L"...");
  EXPECT_EQ(Text(Control(main, id::kFilenameEdit)), L"snapdeck");
  EXPECT_EQ(Text(Control(main, id::kLabelAutoNumber)), L"auto-number");
  EXPECT_EQ(Text(Control(main, id::kLabelIncludePin)), L"include PIN");
  EXPECT_EQ(Text(Control(main, id::kAutoNumberCheck)), L"");
  EXPECT_EQ(Text(Control(main, id::kIncludePinCheck)), L"");
  EXPECT_EQ(Text(Control(main, id::kLabelFrame)), L"Frame:");
  EXPECT_EQ(Text(Control(main, id::kDirectionButton)), L"6");
  EXPECT_EQ(Text(Control(main, id::kHelpButton)), L"?");
  EXPECT_EQ(Text(Control(main, id::kUpdateButton)), L"!");
  EXPECT_EQ(Text(Control(main, id::kExitButton)), L"exit");
  EXPECT_EQ(Text(Control(main, id::kTakeScreenshot)), L"take screenshot");

  EXPECT_EQ(ComboItems(Control(main, id::kFormatCombo)),
            (std::vector<std::wstring>{L".bmp", L".jpg", L".png"}));
  EXPECT_EQ(ComboSelection(Control(main, id::kFormatCombo)), 2);
  EXPECT_EQ(ComboItems(Control(main, id::kScaleCombo)),
            (std::vector<std::wstring>{L"25%", L"50%", L"75%", L"100%", L"150%", L"200%"}));
  EXPECT_EQ(ComboSelection(Control(main, id::kScaleCombo)), 3);
  EXPECT_EQ(
      ComboItems(Control(main, id::kThicknessCombo)),
      (std::vector<std::wstring>{L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"}));
  EXPECT_EQ(ComboSelection(Control(main, id::kThicknessCombo)), 1);
  std::vector<std::wstring> history(16);
  history[0] = folder_;
  EXPECT_EQ(ComboItems(Control(main, id::kFolderCombo)), history);
  EXPECT_EQ(ComboSelection(Control(main, id::kFolderCombo)), 0);
  EXPECT_EQ(Text(Control(main, id::kFolderCombo)), folder_);
  int low = -1, high = -1;
  TrackRange(Control(main, id::kShadingTrack), low, high);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 16);
  EXPECT_EQ(TrackPosition(Control(main, id::kShadingTrack)), 8);
  EXPECT_EQ(Checked(Control(main, id::kAutoNumberCheck)), BST_UNCHECKED);
  EXPECT_EQ(Checked(Control(main, id::kIncludePinCheck)), BST_UNCHECKED);
  EXPECT_EQ(Checked(Control(main, id::kToggleViewer)), BST_UNCHECKED);

  // The kinds of control their styles make.
  const auto styleOf = [&](int control) { return GetWindowLongW(Control(main, control), GWL_STYLE); };
  EXPECT_EQ(styleOf(id::kFolderCombo) & 3, CBS_DROPDOWN);
  for (int c : {id::kFormatCombo, id::kScaleCombo, id::kThicknessCombo}) {
    EXPECT_EQ(styleOf(c) & 3, CBS_DROPDOWNLIST) << c;
  }
  for (int c : {id::kLabelFolder, id::kLabelFilename, id::kLabelFrame}) {
    EXPECT_EQ(styleOf(c) & SS_TYPEMASK, SS_RIGHT) << c;
  }
  for (int c : {id::kColorSwatch, id::kStatusPicture}) EXPECT_NE(styleOf(c) & SS_NOTIFY, 0) << c;
  for (int c : {id::kStayOnTopButton, id::kSoundButton, id::kTrayButton}) {
    EXPECT_NE(styleOf(c) & BS_BITMAP, 0) << c;
  }
  for (int c : {id::kAutoNumberCheck, id::kIncludePinCheck}) {
    EXPECT_EQ(styleOf(c) & BS_TYPEMASK, BS_AUTOCHECKBOX) << c;
  }

  // "take screenshot" is the default button and has the focus.
  HWND shoot = Control(main, id::kTakeScreenshot);
  EXPECT_EQ(styleOf(id::kTakeScreenshot) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info));
  EXPECT_EQ(info.hwndFocus, shoot);

  EndWithEsc(p, main);
}

TEST_F(MainWindow, EnterTakesAScreenshot) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  PressKey(main, VK_RETURN);
  AnswerPasswordPrompt(p);
  EXPECT_TRUE(WaitUntil([&] { return DecodePngFile(JoinPath(folder_, L"snapdeck.png")).has_value(); },
                        30000))
      << "Enter saved no snapdeck.png; " << p.Describe();
  EndWithEsc(p, main);
}

TEST_F(MainWindow, StayOnTopButtonFlipsTopmostAndTheSetting) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(TopMost(main));
  HWND pin = Control(main, id::kStayOnTopButton);
  Click(pin);
  EXPECT_TRUE(WaitUntil([&] { return !TopMost(main); }, 5000)) << "still topmost";
  Click(pin);
  EXPECT_TRUE(WaitUntil([&] { return TopMost(main); }, 5000)) << "not topmost again";
  Click(pin);
  EXPECT_TRUE(WaitUntil([&] { return !TopMost(main); }, 5000));
  EndWithEsc(p, main);
  EXPECT_EQ(SavedSettings(folder_).Get("stayontop"), "0");
}

TEST_F(MainWindow, SettingsControlsReachTheFileAtExit) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);

  SelectCombo(Control(main, id::kFormatCombo), 0);
  SelectCombo(Control(main, id::kScaleCombo), 1);
  Click(Control(main, id::kAutoNumberCheck));
  Click(Control(main, id::kIncludePinCheck));
  SelectCombo(Control(main, id::kThicknessCombo), 3);
  SetTrack(Control(main, id::kShadingTrack), 12);
  // Events are handled in order: once the glyph flipped, the changes before it are done.
  Click(Control(main, id::kDirectionButton));
  EXPECT_TRUE(WaitUntil([&] { return Text(Control(main, id::kDirectionButton)) == L"5"; }, 5000))
      << "the direction glyph did not flip";
  // A thickness change resizes to the same inner size while the device size is unchanged.
  const SIZE client = ClientSize(main);
  EXPECT_EQ(client.cx, 260);
  EXPECT_EQ(client.cy, 360);
  EndWithEsc(p, main);

  SettingsLines saved = SavedSettings(folder_);
  EXPECT_EQ(saved.Get("shotext"), "0");
  EXPECT_EQ(saved.Get("shotsize"), "1");
  EXPECT_EQ(saved.Get("autonumber"), "1");
  EXPECT_EQ(saved.Get("includepin"), "1");
  EXPECT_EQ(saved.Get("frameeffectdir"), "0");
  EXPECT_EQ(saved.Get("framethickness"), "3");
  EXPECT_EQ(saved.Get("frameeffect"), "12");
}

TEST_F(MainWindow, ThicknessNineKeepsSizeAndRedrawsTheStatusPicture) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);

  auto before = CopyStatusPicture(main);
  ASSERT_TRUE(before.has_value()) << "double-clicking the status picture copied nothing";
  ASSERT_EQ(before->width, 240);
  ASSERT_EQ(before->height, 160);
  EXPECT_EQ(Rrggbb(*before, 0, 0), 0xBB1122u);
  EXPECT_EQ(Rrggbb(*before, 1, 1), 0x222233u);
  EXPECT_EQ(Rrggbb(*before, 8, 80), 0x222233u);

  SelectCombo(Control(main, id::kThicknessCombo), 9);
  auto after = [&]() -> std::optional<snapdeck::Picture> {
    std::optional<snapdeck::Picture> pic;
    WaitUntil(
        [&] {
          pic = CopyStatusPicture(main);
          return pic && Rrggbb(*pic, 8, 80) == 0xBB1122u;
        },
        10000, 200);
    return pic;
  }();
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->width, 240);
  EXPECT_EQ(after->height, 160);
  for (int k = 0; k < 9; ++k) {
    EXPECT_EQ(Rrggbb(*after, k, 80), 0xBB1122u) << "ring " << k;
    EXPECT_EQ(Rrggbb(*after, 120, 159 - k), 0xBB1122u) << "ring " << k;
  }
  EXPECT_EQ(Rrggbb(*after, 9, 80), 0x222233u);
  const SIZE client = ClientSize(main);
  EXPECT_EQ(client.cx, 260);
  EXPECT_EQ(client.cy, 360);
  const RECT status = RectInParent(Control(main, id::kStatusPicture));
  EXPECT_EQ(status.right - status.left, 240);
  EXPECT_EQ(status.bottom - status.top, 160);
  EndWithEsc(p, main);
  EXPECT_EQ(SavedSettings(folder_).Get("framethickness"), "9");
}

TEST_F(MainWindow, MissingToolRequesterAndCancelEndsWithSettingsSaved) {
  LaunchOptions o;
  o.withDeviceTool = false;
  Program& p = Start(folder_, o);
  HWND req = WaitRequester(p);
  ASSERT_NE(req, nullptr) << "no requester for the missing device tool";
  HWND main = p.FindWindowTitled(kMainTitle);
  ASSERT_NE(main, nullptr);
  EXPECT_FALSE(Enabled(main));
  EXPECT_TRUE(TopMost(req));

  const SIZE size = ClientSize(req);
  EXPECT_EQ(size.cx, 320);
  EXPECT_EQ(size.cy, 320);
  const RECT r = ScreenRect(req);
  const RECT m = ScreenRect(main);
  EXPECT_NEAR((r.left + r.right) / 2, (m.left + m.right) / 2, 1);
  EXPECT_NEAR((r.top + r.bottom) / 2, (m.top + m.bottom) / 2, 1);

  const Place places[] = {
      {id::kReqIcon, 136, 29, 48, 48},        {id::kReqMessage, 32, 106, 256, 64},
      {id::kReqFirstButton, 64, 240, 80, 32}, {id::kReqSecondButton, 176, 240, 80, 32},
      {id::kReqBrowse, 32, 192, 32, 20},      {id::kReqPath, 64, 192, 224, 20},
  };
  for (const Place& place : places) ExpectPlace(req, place);
  EXPECT_EQ(Text(Control(req, id::kReqFirstButton)), L"Yes, try again");
  EXPECT_EQ(Text(Control(req, id::kReqSecondButton)), L"No, cancel");
  EXPECT_EQ(Text(Control(req, id::kReqBrowse)), L"...");
  EXPECT_EQ(Text(Control(req, id::kReqPath)), folder_ + L"javaloader.exe");
  EXPECT_EQ(Normalized(Text(Control(req, id::kReqMessage))),
            "This program requires the file JavaLoader.exe\nPlease select its current location "
            "using the [...] button or copy it to this program's folder.");
  EXPECT_EQ(Control(req, id::kReqPassword), nullptr);

  Click(Control(req, id::kReqSecondButton));
  auto code = p.WaitExit();
  ASSERT_TRUE(code.has_value()) << "\"No, cancel\" did not end the program";
  EXPECT_EQ(*code, 0u);
  SettingsLines saved = SavedSettings(folder_);
  EXPECT_EQ(saved.Get("JLpath"), Utf8(folder_));
}

TEST_F(MainWindow, MissingToolFoundOnRetryRunsTheProgram) {
  LaunchOptions o;
  o.withDeviceTool = false;
  Program& p = Start(folder_, o);
  HWND req = WaitRequester(p);
  ASSERT_NE(req, nullptr);
  // An empty file does not count as the tool.
  ASSERT_TRUE(WriteFileBytes(JoinPath(folder_, L"javaloader.exe"), {}));
  const HWND first = req;
  Click(Control(first, id::kReqFirstButton));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(first); }, 10000));
  req = WaitRequester(p, 10000);
  ASSERT_NE(req, nullptr) << "an empty javaloader.exe was accepted";
  ASSERT_TRUE(CopyFileTo(DeviceSimExe(), JoinPath(folder_, L"javaloader.exe")));
  Click(Control(req, id::kReqFirstButton));
  EXPECT_TRUE(p.WaitWindowGone(kRequesterTitle, 10000));
  HWND main = p.FindWindowTitled(kMainTitle);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main); }, 5000));
  ASSERT_TRUE(p.running());
  EndWithEsc(p, main);
}

}  // namespace
}  // namespace e2e
