#include "app/startup_win32.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <ole2.h>

#include "app/capture_host_win32.h"
#include "app/help_command_win32.h"
#include "app/main_dispatch.h"
#include "app/main_loop_win32.h"
#include "app/main_window_win32.h"
#include "app/settings_at_exit.h"
#include "app/tray_win32.h"
#include "capture/capture_job.h"
#include "capture/command_lines.h"
#include "capture/tool_check.h"
#include "dialogs/bubble_theme.h"
#include "dialogs/bubble_win32.h"
#include "dialogs/requester_win32.h"
#include "dialogs/symbol_buttons_win32.h"
#include "imaging/draw.h"
#include "imaging/palette.h"
#include "platform/paths.h"
#include "platform/win32/environment_win32.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/system_libraries_win32.h"
#include "program_version.h"
#include "resources/ids.h"
#include "settings/settings_file.h"
#include "shell/events_win32.h"
#include "shell/resources_win32.h"
#include "shell/shell_win32.h"
#include "shell/sound_win32.h"
#include "shell/tables.h"
#include "update/update_address.h"
#include "update/update_signature.h"
#include "update/update_window_win32.h"
#include "viewer/viewer_window_win32.h"

namespace snapdeck::win32 {
namespace {

// Set by each executable's entry from its build (update_build.h).
struct UpdateBuild {
  std::string_view keyHex;
  bool addressFromEnvironment = false;
};

UpdateBuild& TheUpdateBuild() {
  static UpdateBuild build;
  return build;
}

void LoadPicture(int number) {
  Picture picture;
  if (LoadEmbeddedPicture(number, picture)) TheShell().pictures.put(number, std::move(picture));
}

void CreatePicture(int number, int w, int h) {
  TheShell().pictures.put(number, MakePicture(w, h, palette::kHouse));
}

// The mutex named after the executable's file name, owned from now on; empty when
// another instance holds it.
UniqueHandle SingleInstanceGuard(const std::u16string& programFile) {
  const std::wstring name = Wide(programFile);
  SetLastError(0);
  UniqueHandle mutex(CreateMutexW(nullptr, TRUE, name.c_str()));
  const DWORD error = GetLastError();
  if (mutex && error == 0) return mutex;
  return UniqueHandle();
}

// Null when the system has no Webdings with the symbols: the buttons then draw them.
HFONT CreateWebdings() {
  const ScreenDc screen;
  const int height = -MulDiv(13, GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
  UniqueGdi<HFONT> font(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH | FF_DONTCARE, L"Webdings"));
  return SymbolFontUsable(font.get()) ? font.release() : nullptr;
}

void LoadLanguageTable() {
  ProgramTexts& texts = TheProgramTexts();
  texts.languages = BuildLanguageTable();
  for (std::size_t row = 0; row < texts.languages.size(); ++row) {
    texts.languages[row].helpText = LoadHelpText(static_cast<int>(row));
  }
  texts.infoText = LoadInfoText();
}

void Shutdown() {
  Shell& shell = TheShell();
  Services& services = TheServices();
  EndTrayMode();
  // The folder history is what the drop-down holds now.
  if (MainWindow() != nullptr) shell.settings.shotfolder = FolderHistoryFromControl();
  if (const auto notice = SaveSettingsAtExit(shell.settings, *services.files, kSettingsFileName,
                                             *services.random, shell.settingsFileKept)) {
    MessageBubble(notice->caption, notice->text, kThemeError, id::kMainWindow);
  }
  TempCleanup(*services.files, *services.clock, services.host, shell.info.tempDir);
  CloseViewer();
  DestroyMainWindow();
  PlayWaveSound(nullptr, 0);
  shell.sounds.clear();
  shell.backgroundBrush.reset();
  shell.webdings.reset();
  shell.guiFont = nullptr;
  for (int number = 0; number < 100; ++number) shell.pictures.release(number);
}

}  // namespace

void SetUpdateBuild(std::string_view keyHex, bool addressFromEnvironment) {
  TheUpdateBuild() = UpdateBuild{keyHex, addressFromEnvironment};
}

ScreenMetrics ReadScreenMetrics() {
  ScreenMetrics m;
  m.frameWidth2 = GetSystemMetrics(SM_CXFRAME) * 2;
  m.frameHeight2Caption = GetSystemMetrics(SM_CYFRAME) * 2 + GetSystemMetrics(SM_CYCAPTION);
  m.scrollSize = GetSystemMetrics(SM_CYHSCROLL);
  m.dialogFrameHeight = GetSystemMetrics(SM_CYDLGFRAME);
  RECT work{};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    m.workLeft = work.left;
    m.workTop = work.top;
    m.workRight = work.right;
    m.workBottom = work.bottom;
  }
  return m;
}

void ReadProgramPaths(ProgramInfo& info) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) {
      path.clear();
      break;
    }
    if (got < path.size()) {
      path.resize(got);
      break;
    }
    if (path.size() >= 32768) break;
    path.resize(path.size() * 2);
  }
  SplitProgramPath(FromWide(path.c_str()), info.programFile, info.programDir);
  std::wstring temp(MAX_PATH + 1, L'\0');
  const DWORD got = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  temp.resize(got < temp.size() ? got : 0);
  info.tempDir = TempDirFrom(FromWide(temp.c_str()), EnvironmentText(L"tmp"), info.programDir);
}

namespace {

// Start-up before the single-instance guard: what even the guard's bubble needs.
void PrepareProcess(HINSTANCE instance) {
  Shell& shell = TheShell();
  shell.instance = instance;
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  InitControls(&controls);
  LoadPicture(id::kPicEmblem);
  CreatePicture(id::kPicUpdateProgress, 200, 11);
  shell.metrics = ReadScreenMetrics();
  shell.info.soundAvailable = InitSoundSystem();
  if (shell.info.soundAvailable) LoadSounds(0, 2);
  ReadProgramPaths(shell.info);
}

// Tables, pictures, sounds, brush and fonts of the running program, and the settings'
// start-up values.
void LoadProgramResources() {
  Shell& shell = TheShell();
  const ProgramInfo& info = shell.info;
  LoadLanguageTable();
  LoadPicture(id::kPicSmallIcon);
  LoadPicture(id::kPicDonate);
  SortLanguageTable(TheProgramTexts().languages);
  for (int number : {id::kPicPadlock, id::kPicWarning, id::kPicQuestion, id::kPicQuestion2}) {
    LoadPicture(number);
  }
  if (info.soundAvailable) LoadSounds(3, 3);
  shell.backgroundBrush.reset(CreateSolidBrush(kBackgroundColor));
  for (int number = id::kPicFirstFlag; number <= id::kPicFirstFlag + 6; ++number) {
    LoadPicture(number);
  }
  for (int number : {id::kPicPinOn, id::kPicPinOff, id::kPicSoundOn, id::kPicSoundOff,
                     id::kPicToTray, id::kPicPasswordMark, id::kPicTrayIdle, id::kPicTrayBusy}) {
    LoadPicture(number);
  }
  CreatePicture(id::kPicSwatch, 36, 16);
  CreatePicture(id::kPicProgress, 400, 10);
  if (info.soundAvailable) LoadSounds(4, 7);
  shell.webdings.reset(CreateWebdings());
  shell.guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  AppSettings& settings = shell.settings;
  settings.shotname = u"snapdeck";
  settings.JLpath = info.programDir;
  settings.shotfolder[0] = info.programDir;
  settings.currentFolder = info.programDir;
}

// The main window, hidden, with the settings loaded into it; nullptr when it could not
// be built (the settings are loaded all the same, so they are saved unchanged).
// unreadable: what to tell the user when the settings file could not be read.
HWND BuildMainWithSettings(std::optional<SettingsNotice>& unreadable) {
  Shell& shell = TheShell();
  AppSettings& settings = shell.settings;
  // The first status picture, at the default device-screen size.
  Picture status;
  RenderStatusPicture(status, 240, 160, u" Snapdeck ", SnapdeckCaptionColors(),
                      FrameStyleOf(settings), GdiText(), nullptr);
  shell.pictures.put(id::kPicStatus, std::move(status));
  HWND main = BuildMainWindow();
  UpdateInfo& update = TheUpdateInfo();
  update.parentWindow = id::kMainWindow;
  update.programName = u"Snapdeck";
  update.currentVersion = u"" SNAPDECK_VERSION_TEXT;
  const UpdateBuild& build = TheUpdateBuild();
  update.updateKey = PublicKeyFromHex(build.keyHex);
  update.infoUrl = UpdateInfoUrl(build.addressFromEnvironment
                                     ? EnvironmentText(L"SNAPDECK_UPDATE_URL")
                                     : std::u16string());
  InstallTray();
  Services& services = TheServices();
  unreadable = LoadSettingsAtStart(settings, *services.files, kSettingsFileName,
                                   shell.settingsFileKept);
  PublishHotkey();

  if (!shell.info.soundAvailable) settings.sound = 0;
  EnableWindow(MainControl(id::kSoundButton), shell.info.soundAvailable ? TRUE : FALSE);
  ShowSoundState();
  RenderIdleStatus();
  ShowStatusPicture();

  if (main != nullptr) EnableWindow(main, FALSE);
  PumpAllEvents();
  TempCleanup(*services.files, *services.clock, services.host, shell.info.tempDir);
  PutSettingsIntoControls();
  int innerWidth = 0;
  int innerHeight = 0;
  MainInnerSize(settings, innerWidth, innerHeight);
  ResizeMainInner(innerWidth, innerHeight);
  return main;
}

void ShowMainWindow(HWND main) {
  EnableWindow(main, TRUE);
  // Shown first: activating the window would otherwise take the focus back.
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
  SetFocus(MainControl(id::kFolderCombo));
  SetFocus(MainControl(id::kTakeScreenshot));
  // The focus selected the folder text; unfocused, Wine would keep showing that.
  SendMessageW(MainControl(id::kFolderCombo), CB_SETEDITSEL, 0, MAKELPARAM(-1, 0));
}

// The main loop, once the device tool is found.
void RunWithDeviceTool() {
  // Someone with phones only must not be asked for the handhelds' loader at every start.
  Services& services = TheServices();
  PhoneLink* phones = ThePhoneLink();
  if (services.files->fileSize(TheShell().settings.JLpath + kToolFileName) <= 0 &&
      phones != nullptr && phones->available()) {
    RunMainLoop();
    return;
  }
  RequesterToolLocator locator;
  switch (CheckDeviceTool(TheShell().settings, *TheServices().files, locator)) {
    case ToolCheck::Found:
      RunMainLoop();
      break;
    case ToolCheck::GaveUp:
      break;
    case ToolCheck::NotAsked:
      // Ending without a word would look like a crash.
      MessageBubble(u"javaloader.exe", u"The device tool is missing and could not be asked for.",
                    kThemeError, id::kMainWindow);
      break;
  }
}

}  // namespace

int RunProgram(HINSTANCE instance) {
  PrepareProcess(instance);
  ProgramInfo& info = TheShell().info;
  UniqueHandle guard = SingleInstanceGuard(info.programFile);
  if (!guard) {
    MessageBubble(info.programFile, u"Only one instance is allowed.", kThemeWarning, 0);
    return 0;
  }
  // A restart in the middle of an update ends here, or reports and carries on.
  if (!HandleUpdateSwitches()) return 0;
  info.mainRunning = true;
  OleInitialize(nullptr);  // the folder chooser's new dialog style needs it
  LoadProgramResources();

  std::optional<SettingsNotice> unreadable;
  if (HWND main = BuildMainWithSettings(unreadable)) {
    ShowMainWindow(main);
    // Over the window they concern; the focus then goes back where the start put it.
    const AdbServerSetting& adb = TheAdbServerSetting();
    if (unreadable) {
      MessageBubble(unreadable->caption, unreadable->text, kThemeWarning, id::kMainWindow);
    }
    // A malformed server variable leaves the phones out; said once, here.
    if (!adb.ok()) MessageBubble(adb.variable, adb.problem, kThemeWarning, id::kMainWindow);
    if (unreadable || !adb.ok()) {
      SetForegroundWindow(main);
      SetFocus(MainControl(id::kTakeScreenshot));
    }
    RunWithDeviceTool();
  }
  Shutdown();
  OleUninitialize();
  return 0;
}

}  // namespace snapdeck::win32
