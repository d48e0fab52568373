// Captures through the device simulator (tools/devicesim, configured by devicesim.cfg
// beside it): saved files, the clipboard, the questions asked and the window's size.
// The status caption is drawn text, so outcomes are read from files, the clipboard,
// requester windows and the size of the status picture.
#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "driver/fixture.h"
#include "settings/password_cipher.h"
#include "tests/support/test_picture.h"

namespace e2e {
namespace {

using Capture = E2eTest;
using snapdeck::testing::HasPattern;

std::optional<snapdeck::Picture> WaitPng(const std::wstring& path, int timeoutMs = 30000) {
  std::optional<snapdeck::Picture> pic;
  WaitUntil(
      [&] {
        pic = DecodePngFile(path);
        return pic.has_value();
      },
      timeoutMs, 100);
  return pic;
}

bool WaitClipboardSize(int w, int h, int timeoutMs = 30000) {
  return WaitUntil(
      [&] {
        auto s = ClipboardDibSize();
        return s && s->cx == w && s->cy == h;
      },
      timeoutMs, 100);
}

SIZE StatusSize(HWND main) {
  const RECT r = RectInParent(Control(main, id::kStatusPicture));
  return SIZE{r.right - r.left, r.bottom - r.top};
}

bool WaitStatusSize(HWND main, int w, int h, int timeoutMs = 30000) {
  return WaitUntil(
      [&] {
        const SIZE s = StatusSize(main);
        return s.cx == w && s.cy == h;
      },
      timeoutMs, 100);
}

// Lines of the simulator's call log that equal "arg <word>".
int Calls(const std::wstring& folder, const std::string& word) {
  auto log = ReadFileBytes(JoinPath(folder, L"calls.log"));
  if (!log) return 0;
  const std::string text(log->begin(), log->end());
  const std::string line = "arg " + word + "\n";
  int n = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
    if (at == 0 || text[at - 1] == '\n') ++n;
  }
  return n;
}

std::wstring Flat(std::wstring text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c != L'\r' && c != L'\n') out += c;
  }
  return out;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

TEST_F(Capture, OneDeviceGivesFramedFileClipboardAndWindowSize) {
  // Frame thickness 3, strongest lightening, direction 0, grey: rings #FFFFFF, #D6D6D6,
  // #818181 from the outside in.
  Program& p = Start(folder_, WithDevices({{"devices", "1"}, {"width", "300"}, {"height", "220"}},
                                          {{"framethickness", "3"},
                                           {"frameeffect", "16"},
                                           {"frameeffectdir", "0"},
                                           {"framecolor", "#808080"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main);

  auto shot = WaitPng(JoinPath(folder_, L"snapdeck.png"));
  ASSERT_TRUE(shot.has_value()) << "no snapdeck.png";
  ASSERT_EQ(shot->width, 306);
  ASSERT_EQ(shot->height, 226);
  const std::uint32_t rings[3] = {0xFFFFFFu, 0xD6D6D6u, 0x818181u};
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(Rrggbb(*shot, k, 113), rings[k]) << "left, ring " << k;
    EXPECT_EQ(Rrggbb(*shot, 305 - k, 113), rings[k]) << "right, ring " << k;
    EXPECT_EQ(Rrggbb(*shot, 153, k), rings[k]) << "top, ring " << k;
    EXPECT_EQ(Rrggbb(*shot, 153, 225 - k), rings[k]) << "bottom, ring " << k;
    EXPECT_EQ(Rrggbb(*shot, k, k), rings[k]) << "corner, ring " << k;
  }
  EXPECT_TRUE(HasPattern(*shot, 3, 3, 300, 220));

  ASSERT_TRUE(WaitClipboardSize(306, 226)) << "the clipboard holds no 306 x 226 bitmap";
  const std::vector<UINT> formats = ClipboardFormats();
  EXPECT_TRUE(std::find(formats.begin(), formats.end(), CF_DIB) != formats.end() ||
              std::find(formats.begin(), formats.end(), CF_BITMAP) != formats.end());
  auto clip = ClipboardPicture();
  ASSERT_TRUE(clip.has_value());
  EXPECT_TRUE(SamePixels(*shot, *clip));

  EXPECT_TRUE(WaitUntil(
      [&] {
        const SIZE c = ClientSize(main);
        return c.cx == 306 + 20 && c.cy == 226 + 200;
      },
      10000))
      << "inner size " << ClientSize(main).cx << " x " << ClientSize(main).cy;
  EXPECT_TRUE(WaitStatusSize(main, 306, 226, 5000));
  EndWithEsc(p, main);
  SettingsLines saved = SavedSettings(folder_);
  EXPECT_EQ(saved.Get("width"), "306");
  EXPECT_EQ(saved.Get("height"), "226");
}

TEST_F(Capture, SecondShotReusesTheDeviceSession) {
  Program& p = Start(folder_, WithDevices({{"devices", "1"}, {"log", "calls.log"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  const std::wstring file = JoinPath(folder_, L"snapdeck.png");
  TakeShot(p, main);
  ASSERT_TRUE(WaitPng(file).has_value());
  ASSERT_TRUE(WaitStatusSize(main, 242, 162));
  LetTheJobFinish(main);
  ASSERT_TRUE(DeleteFileW(file.c_str()));
  Click(Control(main, id::kTakeScreenshot));
  ASSERT_TRUE(WaitPng(file).has_value()) << "the second shot saved nothing";
  EXPECT_EQ(Calls(folder_, "enum"), 1);
  EXPECT_EQ(Calls(folder_, "deviceinfo"), 1);
  EXPECT_EQ(Calls(folder_, "screenshot"), 2);

  // The exact command line, with its two blanks and the quoted temporary bitmap.
  auto log = ReadFileBytes(JoinPath(folder_, L"calls.log"));
  ASSERT_TRUE(log.has_value());
  std::string expected = "cmdline \"" + Utf8(folder_) + "javaloader.exe\" -u -p0x2100000A  screenshot \"" +
                         Utf8(folder_) + "tmp\\~devshot.bmp\"";
  std::string escaped;
  for (char c : expected) {
    escaped += c;
    if (c == '\\') escaped += '\\';
  }
  EXPECT_NE(std::string(log->begin(), log->end()).find(escaped + "\n"), std::string::npos)
      << "no call " << escaped;
  EndWithEsc(p, main);
  // Never asked for while the program ran, the shot is on the clipboard after it ends.
  const auto kept = ClipboardPicture();
  ASSERT_TRUE(kept.has_value()) << "the shot left the clipboard with the program";
  const auto saved = DecodePngFile(file);
  ASSERT_TRUE(saved.has_value());
  EXPECT_TRUE(SamePixels(*saved, *kept));
}

TEST_F(Capture, TwoDevicesGivePinFilesAndSideBySideClipboard) {
  Program& p = Start(folder_, WithDevices({{"devices", "2"},
                                           {"device1.width", "240"},
                                           {"device1.height", "160"},
                                           {"device2.width", "200"},
                                           {"device2.height", "180"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main, 2);

  auto first = WaitPng(JoinPath(folder_, L"0x2100000A-snapdeck.png"));
  auto second = WaitPng(JoinPath(folder_, L"0x2100000B-snapdeck.png"));
  ASSERT_TRUE(first.has_value()) << "no file for the first device";
  ASSERT_TRUE(second.has_value()) << "no file for the second device";
  EXPECT_EQ(first->width, 242);
  EXPECT_EQ(first->height, 162);
  EXPECT_EQ(second->width, 202);
  EXPECT_EQ(second->height, 182);
  EXPECT_TRUE(HasPattern(*first, 1, 1, 240, 160));
  EXPECT_TRUE(HasPattern(*second, 1, 1, 200, 180));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"snapdeck.png")));

  HWND pinBox = Control(main, id::kIncludePinCheck);
  EXPECT_EQ(Checked(pinBox), BST_CHECKED);
  EXPECT_FALSE(Enabled(pinBox));

  // Both finished shots side by side, each in a cell of the widest and tallest size.
  ASSERT_TRUE(WaitClipboardSize(2 * 242, 182)) << "the clipboard does not hold both shots";
  auto clip = ClipboardPicture();
  ASSERT_TRUE(clip.has_value());
  EXPECT_TRUE(SamePixels(*first, *clip, 0, 0));
  EXPECT_TRUE(SamePixels(*second, *clip, 242, 0));
  EXPECT_EQ(Rrggbb(*clip, 10, 170), 0x222233u);
  EXPECT_TRUE(WaitUntil(
      [&] {
        const SIZE c = ClientSize(main);
        return c.cx == 2 * 242 + 20 && c.cy == 182 + 200;
      },
      10000));
  EndWithEsc(p, main);
  // The setting itself is not changed by the forced tick.
  EXPECT_EQ(SavedSettings(folder_).Get("includepin"), "0");
}

TEST_F(Capture, WrongPasswordWarnsAndTheNextTryAsksAgain) {
  AnswerRetryQuestionsInTheTest();
  Program& p = Start(folder_, WithDevices({{"devices", "1"}, {"device1.password", "secret"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTakeScreenshot));

  HWND ask = WaitRequesterKind(p, true);
  ASSERT_NE(ask, nullptr) << "no password prompt";
  EXPECT_FALSE(Enabled(Control(main, id::kTakeScreenshot)))
      << "a second capture could start during the first";
  EXPECT_EQ(Flat(Text(Control(ask, id::kReqMessage))),
            L"Please enter your BlackBerry password for device 0x2100000A.");
  EXPECT_EQ(Text(Control(ask, id::kReqFirstButton)), L"OK, done");
  EXPECT_EQ(Text(Control(ask, id::kReqSecondButton)), L"Leave it");
  SetText(Control(ask, id::kReqPassword), L"wrong");
  Click(Control(ask, id::kReqFirstButton));

  HWND warn = WaitRequesterKind(p, false);
  ASSERT_NE(warn, nullptr) << "no wrong-password warning";
  EXPECT_TRUE(StartsWith(Flat(Text(Control(warn, id::kReqMessage))),
                         L"It looks like the password you have entered for device 0x2100000A is "
                         L"wrong."));
  EXPECT_EQ(Text(Control(warn, id::kReqFirstButton)), L"Yes, Try again");
  EXPECT_EQ(Text(Control(warn, id::kReqSecondButton)), L"No, cancel");
  Click(Control(warn, id::kReqSecondButton));
  EXPECT_TRUE(p.WaitWindowGone(kRequesterTitle));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main); }, 10000));
  EXPECT_FALSE(FileExists(JoinPath(folder_, L"snapdeck.png")));
  LetTheJobFinish(main);

  // The failed password was forgotten: the next try asks again.
  Click(Control(main, id::kTakeScreenshot));
  ask = WaitRequesterKind(p, true);
  ASSERT_NE(ask, nullptr) << "the next try did not ask for the password again";
  SetText(Control(ask, id::kReqPassword), L"secret");
  PressKey(ask, VK_RETURN);
  EXPECT_TRUE(WaitPng(JoinPath(folder_, L"snapdeck.png")).has_value())
      << "the right password gave no shot";
  EndWithEsc(p, main);

  const std::string cipher = SavedSettings(folder_).Get("cipherString[1]");
  EXPECT_EQ(cipher.size(), 64u);  // "secret": 12 bytes, 16 Base64 characters, 4 each
  std::u16string wide(cipher.begin(), cipher.end());
  EXPECT_TRUE(snapdeck::DecipherPassword(wide) == u"secret") << cipher;
}

TEST_F(Capture, NoDeviceAsksAndCancelSavesNothing) {
  AnswerRetryQuestionsInTheTest();
  Program& p = Start(folder_, WithDevices({{"devices", "0"}}, {{"connecttimeout", "50"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTakeScreenshot));
  HWND ask = WaitRequesterKind(p, false);
  ASSERT_NE(ask, nullptr) << "no question about the missing device";
  EXPECT_TRUE(StartsWith(Flat(Text(Control(ask, id::kReqMessage))),
                         L"It seems there is no BlackBerry connected to the USB port"));
  EXPECT_EQ(Text(Control(ask, id::kReqFirstButton)), L"Yes, try again");
  EXPECT_EQ(Text(Control(ask, id::kReqSecondButton)), L"No, cancel");
  const RECT message = RectInParent(Control(ask, id::kReqMessage));
  EXPECT_EQ(message.bottom - message.top, 106);  // the warning kind's taller message box
  Click(Control(ask, id::kReqSecondButton));
  EXPECT_TRUE(p.WaitWindowGone(kRequesterTitle));
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main); }, 10000));
  // " no device detected! " at preview size: the status picture keeps its size.
  EXPECT_EQ(StatusSize(main).cx, 240);
  EXPECT_EQ(StatusSize(main).cy, 160);
  EXPECT_TRUE(ListFiles(folder_, L"*.png").empty());
  EndWithEsc(p, main);
  SettingsLines saved = SavedSettings(folder_);
  EXPECT_EQ(saved.Get("width"), "240");
  EXPECT_EQ(saved.Get("height"), "160");
}

TEST_F(Capture, TopDownBitmapIsSavedUpright) {
  Program& p = Start(folder_, WithDevices({{"devices", "1"},
                                           {"rows", "topdown"},
                                           {"width", "120"},
                                           {"height", "90"}},
                                          {{"framethickness", "0"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main);
  auto shot = WaitPng(JoinPath(folder_, L"snapdeck.png"));
  ASSERT_TRUE(shot.has_value());
  ASSERT_EQ(shot->width, 120);
  ASSERT_EQ(shot->height, 90);
  EXPECT_TRUE(HasPattern(*shot, 0, 0, 120, 90));
  EndWithEsc(p, main);
}

TEST_F(Capture, MissingSaveFolderLeavesThePictureOnTheClipboard) {
  const std::wstring missing = folder_ + L"missing\\";
  Program& p = Start(folder_, WithDevices({{"devices", "1"}}, {{"shotfolder[0]", Utf8(missing)}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Text(Control(main, id::kFolderCombo)), missing);
  TakeShot(p, main);
  ASSERT_TRUE(WaitClipboardSize(242, 162)) << "the clipboard holds no 242 x 162 bitmap";
  // " save failed! " at capture size (240 x 160, framed).
  EXPECT_TRUE(WaitStatusSize(main, 242, 162));
  auto clip = ClipboardPicture();
  ASSERT_TRUE(clip.has_value());
  EXPECT_TRUE(HasPattern(*clip, 1, 1, 240, 160));
  EXPECT_FALSE(FileExists(missing));
  EXPECT_TRUE(ListFiles(folder_, L"*.png").empty());
  EndWithEsc(p, main);
}

TEST_F(Capture, ToolKilledAfterKillTimeoutAndNextJobDetectsAgain) {
  Program& p = Start(folder_, WithDevices({{"devices", "1"}, {"screenshot.delay", "15000"},
                                           {"log", "calls.log"}},
                                          {{"killtimeout", "3"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main);
  // " shot failed! " at capture size: 320 x 240 before any picture came, framed.
  EXPECT_TRUE(WaitStatusSize(main, 322, 242)) << "status " << StatusSize(main).cx << " x "
                                              << StatusSize(main).cy;
  EXPECT_TRUE(ListFiles(folder_, L"*.png").empty());
  EXPECT_EQ(Calls(folder_, "enum"), 1);
  LetTheJobFinish(main);

  ASSERT_TRUE(WriteFileText(JoinPath(folder_, kDeviceConfigName),
                            DeviceConfig({{"devices", "1"}, {"log", "calls.log"}})));
  Click(Control(main, id::kTakeScreenshot));
  EXPECT_TRUE(WaitPng(JoinPath(folder_, L"snapdeck.png")).has_value())
      << "the next job saved nothing";
  EXPECT_EQ(Calls(folder_, "enum"), 2) << "the next job did not detect the devices again";
  EndWithEsc(p, main);
}

TEST_F(Capture, AutoNumberCountsOnFromTheHighestNumberOfTheFormat) {
  for (const wchar_t* name : {L"shot[3].png", L"X_shot[7].png", L"shot[9].jpg", L"shot[x].png"}) {
    ASSERT_TRUE(WriteFileText(JoinPath(folder_, name), "not a picture"));
  }
  // A typed extension is taken off the stem before the number is added.
  Program& p = Start(folder_, WithDevices({{"devices", "1"}},
                                          {{"shotname", "shot.png"}, {"autonumber", "1"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main);
  EXPECT_TRUE(WaitPng(JoinPath(folder_, L"shot[8].png")).has_value()) << "no shot[8].png";
  EXPECT_EQ(Text(Control(main, id::kFilenameEdit)), L"shot[8]");
  ASSERT_TRUE(WaitStatusSize(main, 242, 162));
  LetTheJobFinish(main);
  Click(Control(main, id::kTakeScreenshot));
  EXPECT_TRUE(WaitPng(JoinPath(folder_, L"shot[9].png")).has_value()) << "no shot[9].png";
  EXPECT_EQ(Text(Control(main, id::kFilenameEdit)), L"shot[9]");
  EndWithEsc(p, main);
  EXPECT_EQ(SavedSettings(folder_).Get("shotname"), "shot[9]");
}

TEST_F(Capture, FolderWithoutItsBackslashNumbersTheShotsInsideIt) {
  const std::wstring shots = Folder(L"shots");
  const std::wstring typed = shots.substr(0, shots.size() - 1);
  Program& p = Start(folder_, WithDevices({{"devices", "1"}},
                                          {{"shotfolder[0]", Utf8(typed)}, {"autonumber", "1"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTakeScreenshot));
  AnswerPasswordPrompt(p);
  EXPECT_TRUE(WaitPng(JoinPath(shots, L"snapdeck[1].png")).has_value()) << "no shots\\snapdeck[1]";
  LetTheJobFinish(main);
  Click(Control(main, id::kTakeScreenshot));
  EXPECT_TRUE(WaitPng(JoinPath(shots, L"snapdeck[2].png")).has_value()) << "no shots\\snapdeck[2]";
  LetTheJobFinish(main);
  EXPECT_EQ(ListFiles(shots, L"*.png").size(), 2u);
  EXPECT_TRUE(ListFiles(folder_, L"*.png").empty()) << "a shot landed in the parent folder";
  EndWithEsc(p, main);
  EXPECT_EQ(SavedSettings(folder_).Get("shotfolder[0]"), Utf8(shots));
}

TEST_F(Capture, DeviceNameAsStemIsRefusedAndWritesNothing) {
  Program& p = Start(folder_, WithDevices({{"devices", "1"}, {"log", "calls.log"}},
                                          {{"shotname", "NUL"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTakeScreenshot));
  // The failure caption at capture size, as a failed shot shows it; no device was asked.
  EXPECT_TRUE(WaitStatusSize(main, 322, 242)) << "no failure caption";
  LetTheJobFinish(main);
  EXPECT_EQ(Calls(folder_, "screenshot"), 0);
  EXPECT_TRUE(ListFiles(folder_, L"*.png").empty());
  EXPECT_TRUE(ListFiles(JoinPath(folder_, L"tmp"), L"*.bmp").empty());
  EndWithEsc(p, main);
}

TEST_F(Capture, HalfScaleShrinksThePictureButNotTheFrame) {
  Program& p = Start(folder_, WithDevices({{"devices", "1"}}, {{"shotsize", "1"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main);
  auto shot = WaitPng(JoinPath(folder_, L"snapdeck.png"));
  ASSERT_TRUE(shot.has_value());
  ASSERT_EQ(shot->width, 122);
  ASSERT_EQ(shot->height, 82);
  EXPECT_EQ(Rrggbb(*shot, 0, 41), 0xBB1122u);
  EXPECT_EQ(Rrggbb(*shot, 121, 41), 0xBB1122u);
  EXPECT_EQ(Rrggbb(*shot, 1 + 30, 1 + 20), 0xFF0000u);
  EXPECT_EQ(Rrggbb(*shot, 1 + 90, 1 + 20), 0x00FF00u);
  EXPECT_EQ(Rrggbb(*shot, 1 + 30, 1 + 60), 0x0000FFu);
  ASSERT_TRUE(WaitClipboardSize(122, 82));
  // The preview keeps the device's own size.
  EXPECT_TRUE(WaitStatusSize(main, 242, 162));
  EndWithEsc(p, main);
  SettingsLines saved = SavedSettings(folder_);
  EXPECT_EQ(saved.Get("width"), "242");
  EXPECT_EQ(saved.Get("height"), "162");
}

TEST_F(Capture, BmpIsSavedExactlyAndJpegNearly) {
  Program& p = Start(folder_, WithDevices({{"devices", "1"}}, {{"shotext", "0"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main);
  const std::wstring bmp = JoinPath(folder_, L"snapdeck.bmp");
  std::optional<snapdeck::Picture> shot;
  ASSERT_TRUE(WaitUntil([&] { return (shot = DecodeAnyFile(bmp)).has_value(); }, 30000))
      << "no snapdeck.bmp";
  auto bytes = ReadFileBytes(bmp);
  ASSERT_TRUE(bytes && bytes->size() > 30);
  EXPECT_EQ((*bytes)[0], 'B');
  EXPECT_EQ((*bytes)[28], 24) << "not a 24-bit bitmap";
  ASSERT_EQ(shot->width, 242);
  ASSERT_EQ(shot->height, 162);
  EXPECT_TRUE(HasPattern(*shot, 1, 1, 240, 160));
  ASSERT_TRUE(WaitStatusSize(main, 242, 162));
  LetTheJobFinish(main);

  SelectCombo(Control(main, id::kFormatCombo), 1);
  Click(Control(main, id::kTakeScreenshot));
  const std::wstring jpg = JoinPath(folder_, L"snapdeck.jpg");
  ASSERT_TRUE(WaitUntil([&] { return (shot = DecodeAnyFile(jpg)).has_value(); }, 30000))
      << "no snapdeck.jpg";
  ASSERT_EQ(shot->width, 242);
  ASSERT_EQ(shot->height, 162);
  auto similar = [&](int x, int y, std::uint32_t want) {
    const std::uint32_t got = Rrggbb(*shot, x, y);
    for (int shift : {16, 8, 0}) {
      const int d = static_cast<int>((got >> shift) & 255) - static_cast<int>((want >> shift) & 255);
      if (d < -12 || d > 12) return false;
    }
    return true;
  };
  EXPECT_TRUE(similar(60, 40, 0xFF0000u));
  EXPECT_TRUE(similar(180, 40, 0x00FF00u));
  EXPECT_TRUE(similar(60, 120, 0x0000FFu));
  EndWithEsc(p, main);
}

class BadBitmap : public E2eTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadBitmap, GivesNoFileAndTheProgramCarriesOn) {
  Program& p = Start(folder_, WithDevices({{"devices", "1"}, {"bitmap", GetParam()}, {"log", "calls.log"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  TakeShot(p, main);
  EXPECT_TRUE(WaitStatusSize(main, 322, 242)) << "no failure caption at capture size";
  EXPECT_TRUE(ListFiles(folder_, L"*.png").empty());
  ASSERT_TRUE(p.running());
  LetTheJobFinish(main);

  ASSERT_TRUE(WriteFileText(JoinPath(folder_, kDeviceConfigName),
                            DeviceConfig({{"devices", "1"}, {"log", "calls.log"}})));
  Click(Control(main, id::kTakeScreenshot));
  if (!WaitPng(JoinPath(folder_, L"snapdeck.png")).has_value()) {
    // Which step of the second job went wrong: the tool's runs, the caption, what is left.
    std::string tmp;
    for (const std::wstring& f : ListFiles(JoinPath(folder_, L"tmp"), L"*")) tmp += " " + Utf8(f);
    ADD_FAILURE() << "a good bitmap after the bad one saved nothing; runs: "
                  << Calls(folder_, "enum") << " enum, " << Calls(folder_, "deviceinfo")
                  << " deviceinfo, " << Calls(folder_, "screenshot") << " screenshot; status "
                  << StatusSize(main).cx << " x " << StatusSize(main).cy << "; tmp:" << tmp
                  << "; " << p.Describe();
  }
  EndWithEsc(p, main);
}

INSTANTIATE_TEST_SUITE_P(Capture, BadBitmap, ::testing::Values("corrupt", "huge", "empty"));

// The adb server the test command starts for these tests, with one phone in state
// device and one unauthorized, or a port where no server answers.
class Phones : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    port_ = Env(L"SNAPDECK_E2E_ADB_PORT");
    phone_ = Env(L"SNAPDECK_E2E_PHONE");
    unauthorized_ = Env(L"SNAPDECK_E2E_UNAUTHORIZED_PHONE");
    noServer_ = Env(L"SNAPDECK_E2E_NO_ADB_PORT");
    ASSERT_FALSE(port_.empty() || phone_.empty() || unauthorized_.empty() || noServer_.empty())
        << "the test command starts the adb server and the simulated phones";
    saved_ = Env(L"ANDROID_ADB_SERVER_PORT");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"ANDROID_ADB_SERVER_PORT", saved_.empty() ? nullptr : saved_.c_str());
    E2eTest::TearDown();
  }
  // The program started next reaches this server (it inherits our environment).
  void UseServer(const std::wstring& port) {
    SetEnvironmentVariableW(L"ANDROID_ADB_SERVER_PORT", port.c_str());
  }
  // The program with no loader beside it, reaching the server at port; main is its window
  // once ready for a shot, null when it never got there.
  Program& StartPhonesOnly(const std::wstring& port, HWND& main) {
    UseServer(port);
    LaunchOptions o;
    o.withDeviceTool = false;
    Program& p = Start(folder_, o);
    main = WaitMain(p);
    if (main != nullptr &&
        !WaitUntil([&] { return Enabled(main) && Enabled(Control(main, id::kTakeScreenshot)); },
                   30000)) {
      main = nullptr;
    }
    return p;
  }
  static std::wstring FileNameOf(const std::wstring& serial) {
    std::wstring out = serial;
    for (wchar_t& c : out) {
      if (!iswalnum(c) || c > 127) c = c == L'-' ? c : L'_';
    }
    return out;
  }
  // The requester about the unauthorized phone: names it and says what to do; closed.
  void AnswerUnauthorized(Program& p) {
    HWND ask = WaitRequesterKind(p, false);
    ASSERT_NE(ask, nullptr) << "no requester about the unauthorized phone";
    const std::wstring text = Flat(Text(Control(ask, 28)));
    EXPECT_NE(text.find(unauthorized_), std::wstring::npos) << Utf8(text);
    EXPECT_NE(text.find(L"USB debugging"), std::wstring::npos) << Utf8(text);
    EXPECT_NE(text.find(L"again"), std::wstring::npos) << Utf8(text);
    Click(Control(ask, 20));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(ask); }, 10000));
  }

  std::wstring port_, phone_, unauthorized_, noServer_, saved_;
};

// The simulated phone's screen size, set by the test command.
constexpr int kPhoneW = 200;
constexpr int kPhoneH = 300;

TEST_F(Phones, HandheldAndPhoneGiveTwoFilesSideBySide) {
  UseServer(port_);
  Program& p = Start(folder_, WithDevices({{"devices", "1"}, {"width", "240"}, {"height", "160"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTakeScreenshot));
  AnswerPasswordPrompt(p);
  AnswerUnauthorized(p);

  auto handheld = WaitPng(JoinPath(folder_, L"0x2100000A-snapdeck.png"));
  auto phone = WaitPng(JoinPath(folder_, FileNameOf(phone_) + L"-snapdeck.png"));
  ASSERT_TRUE(handheld.has_value()) << "no file for the handheld";
  ASSERT_TRUE(phone.has_value()) << "no file for the phone " << Utf8(FileNameOf(phone_));
  EXPECT_EQ(phone->width, kPhoneW + 2);
  EXPECT_EQ(phone->height, kPhoneH + 2);
  EXPECT_TRUE(HasPattern(*handheld, 1, 1, 240, 160));
  EXPECT_TRUE(HasPattern(*phone, 1, 1, kPhoneW, kPhoneH));
  EXPECT_EQ(ListFiles(folder_, L"*.png").size(), 2u);
  EXPECT_EQ(Checked(Control(main, 48)), BST_CHECKED);

  ASSERT_TRUE(WaitClipboardSize(2 * 242, kPhoneH + 2)) << "the clipboard does not hold both shots";
  auto clip = ClipboardPicture();
  ASSERT_TRUE(clip.has_value());
  EXPECT_TRUE(SamePixels(*handheld, *clip, 0, 0));
  EXPECT_TRUE(SamePixels(*phone, *clip, 242, 0));
  LetTheJobFinish(main);
  EndWithEsc(p, main);
}

TEST_F(Phones, PhonesOnlyNeedNoLoaderAndTheUnauthorizedOneIsTold) {
  HWND main = nullptr;
  Program& p = StartPhonesOnly(port_, main);
  ASSERT_NE(main, nullptr) << "the window was not ready for a shot";
  // Ready for a shot without a question about the loader.
  EXPECT_EQ(p.FindWindowTitled(kRequesterTitle), nullptr);
  Click(Control(main, id::kTakeScreenshot));
  AnswerUnauthorized(p);

  // One device: no serial in front of the name.
  auto phone = WaitPng(JoinPath(folder_, L"snapdeck.png"));
  ASSERT_TRUE(phone.has_value()) << "no file for the phone";
  EXPECT_TRUE(HasPattern(*phone, 1, 1, kPhoneW, kPhoneH));
  ASSERT_TRUE(WaitClipboardSize(kPhoneW + 2, kPhoneH + 2));
  LetTheJobFinish(main);
  EndWithEsc(p, main);
}

// The window menu's switch: ticked when on, a clean status bar asked of the phone around
// its picture (its log shows System UI taking the demo commands and the setting put back),
// and kept in the settings file at exit.
TEST_F(Phones, CleanStatusBarFromTheWindowMenu) {
  const std::wstring log = Env(L"SNAPDECK_E2E_PHONE_LOG");
  ASSERT_FALSE(log.empty()) << "the test command gives the phone a log";
  HWND main = nullptr;
  Program& p = StartPhonesOnly(port_, main);
  ASSERT_NE(main, nullptr) << "the window was not ready for a shot";
  // The entry is the menu's last: each look at the menu ends by choosing it, which
  // closes the menu for sure (an Esc may leave the window in menu mode). Ticking it
  // changes only its row.
  const auto lookAndChoose = [&]() -> std::optional<snapdeck::Picture> {
    HWND menu = OpenSystemMenu(p.pid(), main);
    if (menu == nullptr) return std::nullopt;
    std::optional<snapdeck::Picture> shown = MenuPixels(menu);
    for (int attempt = 0; attempt < 4 && IsWindowVisible(menu); ++attempt) {
      PressKey(main, VK_END);
      PressKey(main, VK_RETURN);
      WaitUntil([&] { return !IsWindowVisible(menu); }, 3000);
    }
    if (IsWindowVisible(menu)) return std::nullopt;
    return shown;
  };
  const std::optional<snapdeck::Picture> off = lookAndChoose();
  const std::optional<snapdeck::Picture> on = lookAndChoose();
  const std::optional<snapdeck::Picture> offAgain = lookAndChoose();  // and on for the shot
  ASSERT_TRUE(off && on && offAgain) << "the window menu did not open, show or close";
  EXPECT_TRUE(SamePixels(*off, *offAgain)) << "switched off again, the menu is not as it was";
  ASSERT_EQ(off->width, on->width);
  ASSERT_EQ(off->height, on->height);
  int changed = 0;
  int highest = on->height;
  for (int y = 0; y < on->height; ++y) {
    for (int x = 0; x < on->width; ++x) {
      if (off->at(x, y) != on->at(x, y)) {
        ++changed;
        highest = std::min(highest, y);
      }
    }
  }
  EXPECT_GT(changed, 0) << "no tick";
  EXPECT_GT(highest, on->height * 2 / 3) << "more than the last entry changed";

  const std::size_t logged = ReadFileBytes(log).value_or(Bytes{}).size();
  Click(Control(main, id::kTakeScreenshot));
  AnswerUnauthorized(p);
  ASSERT_TRUE(WaitPng(JoinPath(folder_, L"snapdeck.png")).has_value()) << "no file for the phone";
  LetTheJobFinish(main);
  // The phone's log lines since the click that tell the demo mode and the picture.
  std::string taken;
  WaitUntil([&] {
    const Bytes all = ReadFileBytes(log).value_or(Bytes{});
    std::istringstream lines(std::string(all.begin() + std::min(logged, all.size()), all.end()));
    taken.clear();
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("demo", 0) == 0 || line.rfind("settings", 0) == 0 ||
          line == "open exec:screencap") {
        taken += line + "\n";
      }
    }
    return taken.find("settings delete") != std::string::npos;
  });
  EXPECT_EQ(taken,
            "settings put global sysui_demo_allowed 1\n"
            "demo command=enter\n"
            "demo command=clock hhmm=1200\n"
            "demo command=battery level=100 plugged=false\n"
            "demo command=network wifi=show level=4\n"
            "demo command=network mobile=show datatype=none level=4\n"
            "demo command=notifications visible=false\n"
            "open exec:screencap\n"
            "demo command=exit\n"
            "settings delete global sysui_demo_allowed\n");
  EndWithEsc(p, main);
  EXPECT_EQ(SavedSettings(folder_).Get("cleanstatusbar"), "1");
}

// Phones with troubles, on a server of their own: a foldable, a phone showing a secure
// window and one whose screencap fails. The foldable's displays give a file each, the
// black picture is saved, and one bubble names the black and the failing phone, each
// with its reason.
TEST_F(Phones, FoldableGivesTwoFilesAndTroubledPhonesAreToldInOneBubble) {
  const std::wstring port = Env(L"SNAPDECK_E2E_TROUBLE_ADB_PORT");
  const std::wstring fold = Env(L"SNAPDECK_E2E_FOLD_PHONE");
  const std::wstring black = Env(L"SNAPDECK_E2E_BLACK_PHONE");
  const std::wstring failing = Env(L"SNAPDECK_E2E_FAILING_PHONE");
  ASSERT_FALSE(port.empty() || fold.empty() || black.empty() || failing.empty())
      << "the test command starts a second adb server with the troubled phones";
  HWND main = nullptr;
  Program& p = StartPhonesOnly(port, main);
  ASSERT_NE(main, nullptr) << "the window was not ready for a shot";
  Click(Control(main, id::kTakeScreenshot));

  HWND bubble = p.WaitWindow(kBubbleTitle);
  ASSERT_NE(bubble, nullptr) << "the troubled phones were not told";
  const std::wstring text = Text(Control(bubble, id::kBubbleText));
  EXPECT_NE(text.find(L"Black Sim (" + black + L"): the picture is entirely black"),
            std::wstring::npos)
      << Utf8(text);
  EXPECT_NE(text.find(L"Broken Sim (" + failing + L"): Screen capture failed: -1"),
            std::wstring::npos)
      << Utf8(text);
  EXPECT_EQ(text.find(fold), std::wstring::npos) << Utf8(text);
  Click(Control(bubble, id::kBubbleOk));
  EXPECT_TRUE(p.WaitWindowGone(kBubbleTitle));

  auto first = WaitPng(JoinPath(folder_, FileNameOf(fold) + L"-d1-snapdeck.png"));
  auto second = WaitPng(JoinPath(folder_, FileNameOf(fold) + L"-d2-snapdeck.png"));
  ASSERT_TRUE(first.has_value()) << "no file for the foldable's first display";
  ASSERT_TRUE(second.has_value()) << "no file for the foldable's second display";
  EXPECT_TRUE(HasPattern(*first, 1, 1, 120, 200));
  EXPECT_EQ(second->width, 92);
  EXPECT_EQ(second->height, 152);
  EXPECT_TRUE(WaitPng(JoinPath(folder_, FileNameOf(black) + L"-snapdeck.png")).has_value())
      << "the black picture was not saved";
  LetTheJobFinish(main);
  EXPECT_EQ(ListFiles(folder_, L"*.png").size(), 3u);
  EndWithEsc(p, main);
}

TEST_F(Phones, WithoutAdbTheHandheldsAreAsBefore) {
  UseServer(noServer_);
  Program& p = Start(folder_, WithDevices({{"devices", "1"}}));
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  Click(Control(main, id::kTakeScreenshot));
  AnswerPasswordPrompt(p);
  auto shot = WaitPng(JoinPath(folder_, L"snapdeck.png"));
  ASSERT_TRUE(shot.has_value());
  EXPECT_TRUE(HasPattern(*shot, 1, 1, 240, 160));
  ASSERT_TRUE(WaitClipboardSize(242, 162));
  LetTheJobFinish(main);
  EXPECT_EQ(p.FindWindowTitled(kRequesterTitle), nullptr);
  EXPECT_EQ(ListFiles(folder_, L"*.png").size(), 1u);
  EndWithEsc(p, main);

  // A missing loader is still asked for at start.
  LaunchOptions o;
  o.withDeviceTool = false;
  Program& q = Start(Folder(L"noloader"), o);
  HWND ask = WaitRequester(q);
  ASSERT_NE(ask, nullptr) << "the missing loader was not asked for";
  EXPECT_TRUE(
      StartsWith(Flat(Text(Control(ask, 28))), L"This program requires the file JavaLoader.exe"));
  Click(Control(ask, 21));
  EXPECT_TRUE(q.WaitExit(30000).has_value());
}

}  // namespace
}  // namespace e2e
