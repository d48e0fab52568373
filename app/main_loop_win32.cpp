#include "app/main_loop_win32.h"

#include <windows.h>
// These need windows.h first.
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "app/capture_host_win32.h"
#include "app/clipboard_win32.h"
#include "app/help_command_win32.h"
#include "app/main_dispatch.h"
#include "app/main_logic.h"
#include "app/main_window_win32.h"
#include "app/tray_win32.h"
#include "app/viewer_actions_win32.h"
#include "app/viewer_commands_win32.h"
#include "capture/capture_job.h"
#include "dialogs/bubble_theme.h"
#include "dialogs/bubble_win32.h"
#include "dialogs/click_win32.h"
#include "platform/file_names.h"
#include "platform/win32/handles_win32.h"
#include "platform/worker_pool.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "update/update_window_win32.h"
#include "viewer/viewer_window_win32.h"

namespace snapdeck::win32 {
namespace {

AppSettings& Settings() { return TheShell().settings; }

// The viewer is open when its button is on and its window exists.
bool ViewerOpen() {
  HWND toggle = MainControl(id::kToggleViewer);
  return toggle != nullptr && SendMessageW(toggle, BM_GETCHECK, 0, 0) == BST_CHECKED &&
         WindowByNumber(id::kViewer) != nullptr;
}

int ActiveWindowNumber() {
  HWND active = GetActiveWindow();
  return active != nullptr ? NumberOfWindow(active) : -1;
}

// True when the command ends the program.
bool Execute(const LoopCommand& command) {
  if (command.action == LoopAction::Quit) return true;
  if (command.action == LoopAction::Click) ClickControl(command.control);
  return false;
}

int ComboSelection(int control) {
  return static_cast<int>(SendMessageW(MainControl(control), CB_GETCURSEL, 0, 0));
}

bool Checked(int control) {
  return SendMessageW(MainControl(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED && data != 0) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  }
  return 0;
}

// The system folder chooser; empty when cancelled. The result ends with "\".
std::u16string BrowseForFolder(const std::u16string& start) {
  std::wstring startFolder = Wide(start);
  // "C:\shots\" is selected as "C:\shots"; a drive root keeps its backslash.
  if (startFolder.size() > 3 && startFolder.back() == L'\\') startFolder.pop_back();
  BROWSEINFOW info{};
  info.hwndOwner = MainWindow();
  info.lpszTitle = L"Select screenshot folder:";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(startFolder.c_str());
  const UniqueCoTaskMem<PIDLIST_ABSOLUTE> chosen(SHBrowseForFolderW(&info));
  if (!chosen) return {};
  std::vector<wchar_t> path(32768, L'\0');
  if (SHGetPathFromIDListEx(chosen.get(), path.data(), static_cast<DWORD>(path.size()),
                            GPFIDL_DEFAULT) == FALSE) {
    return {};
  }
  std::u16string folder = FromWide(path.data());
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  return folder;
}

void ChooseFolder() {
  const std::u16string folder = BrowseForFolder(Settings().currentFolder);
  if (!folder.empty()) {
    std::array<std::u16string, 16> entries = FolderHistoryFromControl();
    int selected = ComboSelection(id::kFolderCombo);
    PushFolderHistory(entries, selected, folder);
    FillFolderControl(entries, selected);
    Settings().shotfolderid = selected;
    Settings().currentFolder = FolderWithSeparator(WindowText(MainControl(id::kFolderCombo)));
  }
  ViewerFolderChanged();
}

void FolderDropDown() {
  HWND combo = MainControl(id::kFolderCombo);
  AppSettings& s = Settings();
  const bool fromList = TakeFolderSelectionFlag();
  const int selection = ComboSelection(id::kFolderCombo);
  // After a choice in the list the edit field is updated only later, so the item is read.
  const std::u16string text =
      fromList && selection >= 0 ? ComboItemText(combo, selection) : WindowText(combo);
  if (FolderTextAccepted(text, s.currentFolder)) {
    if (selection >= 0) s.shotfolderid = selection;
    // The edit text stays as typed; adding to it would move the caret under the user.
    s.currentFolder = FolderWithSeparator(text);
    ViewerFolderChanged();
    return;
  }
  // Typing that names the current folder again (its final separator added) is no change,
  // and going back to the entry would undo the typing.
  if (!fromList && !text.empty()) return;
  // Going back to the entry also selects the whole edit text, so it is done only when
  // something differs; otherwise typing would overwrite the field.
  if (selection != s.shotfolderid || WindowText(combo) != ComboItemText(combo, s.shotfolderid)) {
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(s.shotfolderid), 0);
  }
}

void Shading() {
  HWND main = MainWindow();
  SetFocus(main);
  HWND track = MainControl(id::kShadingTrack);
  const bool ctrl = (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
  const int value = ShadingValue(ctrl, static_cast<int>(SendMessageW(track, TBM_GETPOS, 0, 0)));
  if (ctrl) SendMessageW(track, TBM_SETPOS, TRUE, value);
  if (value != Settings().frameeffect) {
    Settings().frameeffect = value;
    RefreshStatusLine();
  }
  SetFocus(main);
}

void Thickness() {
  const int selection = ComboSelection(id::kThicknessCombo);
  AppSettings& s = Settings();
  if (selection < 0 || selection == s.framethickness) return;
  s.framethickness = selection;
  RefreshStatusLine();
  int w = 0;
  int h = 0;
  MainInnerSize(s, w, h);
  ResizeMainInner(w, h);
}

void FrameColor(int type) {
  if (type != kLeftClick) return;
  AppSettings& s = Settings();
  const int colour = ChooseFrameColor(s.framecolor, s.framecolorlist);
  if (colour < 0) return;
  s.framecolor = static_cast<Rgb>(colour);
  RefreshStatusLine();
}

void CopyStatusPicture(int type) {
  if (type != kDoubleClick) return;
  PictureStore& pictures = TheShell().pictures;
  const Picture* status = pictures.find(id::kPicStatus);
  if (status == nullptr || status->empty()) return;
  const Picture& work = pictures.put(id::kPicWork, *status);
  // The copy sound confirms a copy, so it plays only once the clipboard holds the picture.
  if (PutPictureOnClipboard(work)) {
    PlaySoundNumber(id::kSoundCopied);
  } else {
    MessageBubble(u"Snapdeck", u"The picture could not be put on the clipboard.", kThemeError,
                  id::kMainWindow);
  }
}

// True when the event ends the program.
bool OnControl(int control, int type) {
  AppSettings& s = Settings();
  switch (control) {
    case id::kTrayButton:
      PushToTray();
      return false;
    case id::kStayOnTopButton:
      s.stayontop = s.stayontop != 0 ? 0 : 1;
      ApplyStayOnTop();
      return false;
    case id::kSoundButton:
      s.sound = (s.sound == 0 && TheShell().info.soundAvailable) ? 1 : 0;
      ShowSoundState();
      return false;
    case id::kChooseFolder:
      ChooseFolder();
      return false;
    case id::kFolderCombo:
      FolderDropDown();
      return false;
    case id::kFormatCombo:
      if (int i = ComboSelection(control); i >= 0) s.shotext = i;
      return false;
    case id::kScaleCombo:
      if (int i = ComboSelection(control); i >= 0) s.shotsize = i;
      return false;
    case id::kAutoNumberCheck:
      s.autonumber = Checked(control) ? 1 : 0;
      return false;
    case id::kIncludePinCheck:
      s.includepin = Checked(control) ? 1 : 0;
      return false;
    case id::kShadingTrack:
      Shading();
      return false;
    case id::kDirectionButton:
      s.frameeffectdir = s.frameeffectdir != 0 ? 0 : 1;
      SetWindowTextU16(MainControl(control), DirectionGlyph(s.frameeffectdir));
      RefreshStatusLine();
      return false;
    case id::kThicknessCombo:
      Thickness();
      return false;
    case id::kColorSwatch:
      FrameColor(type);
      return false;
    case id::kStatusPicture:
      CopyStatusPicture(type);
      return false;
    case id::kTakeScreenshot:
      TakeScreenshot();
      return false;
    case id::kUpdateButton:
      // A started restart ends this instance so the copy can replace its file.
      return RunUpdateWindow() != 0;
    case id::kHelpButton:
      RunHelpCommand();
      return false;
    case id::kExitButton:
      return true;
    default:
      OnViewerControl(control, type);
      return false;
  }
}

// True when the event ends the program.
bool Dispatch(const Event& e) {
  const int source = NumberOfWindow(e.window);
  if (source != id::kMainWindow && source != id::kViewer) return false;
  switch (e.kind) {
    case EventKind::Close:
      return Execute(CloseCommand(ViewerOpen()));
    case EventKind::Menu:
      if (source == id::kViewer && IsShotMenuItem(e.number)) {
        OnShotMenuItem(e.number);
        return false;
      }
      if (e.number == id::kTrayItemDefineHotkey && InTray()) {
        DefineHotkey();
        return false;
      }
      if (e.number == id::kTrayItemRestore) {
        RestoreFromTray();
        return false;
      }
      return Execute(MenuCommand(e.number, InTray(), ActiveWindowNumber()));
    case EventKind::Control:
      // Dropped when the thumbnail column was rebuilt since the click: the control's
      // number may belong to a neighbouring file by now.
      if (source == id::kViewer && IsThumbnailControl(e.number) &&
          !ThumbnailEventCurrent(e.number, e.stamp)) {
        return false;
      }
      return OnControl(e.number, e.type);
    case EventKind::MoveSizeEnd:
      ViewerMoveSizeEnd();
      return false;
    case EventKind::Tray:
      OnTrayIcon(e.type);
      return false;
    case EventKind::Hotkey:  // the loop runs waiting hotkey captures itself
      return false;
  }
  return false;
}

}  // namespace

void RunMainLoop() {
  InstallViewerActions();
  Event e;
  for (;;) {
    // Between events no command runs, so a hotkey capture cannot overlap one.
    RunPendingHotkeyCapture(CaptureWithFieldStem);
    if (!WaitEvent(e)) return;
    if (Dispatch(e)) return;
  }
}

void TakeScreenshot() {
  CaptureWithFieldStem();
  ViewerAfterCapture();
}

void CaptureWithFieldStem() {
  Shell& shell = TheShell();
  AppSettings& s = shell.settings;
  Services& services = TheServices();
  HWND edit = MainControl(id::kFilenameEdit);
  const std::u16string stem = PrepareShotStem(WindowText(edit), s, *services.files);
  SetWindowTextU16(edit, stem);
  s.shotname = stem;
  const Picture* mark =
      s.rememberPassword != 0 ? shell.pictures.find(id::kPicPasswordMark) : nullptr;
  CaptureContext context{s,
                         services.session,
                         shell.pictures,
                         GdiText(),
                         *services.clock,
                         *services.files,
                         *services.runner,
                         services.host,
                         shell.info.tempDir,
                         mark};
  context.phones = ThePhoneLink();
  // The phones' pictures are framed and encoded side by side on threads of this shot.
  WorkerPool workers(WorkerPool::DefaultThreads(), kPhonePicturesBudget);
  context.workers = &workers;
  LargestMainPreview(context.maxPreviewWidth, context.maxPreviewHeight);
  // A capture runs inside this call; its button stays greyed until it has ended, so the
  // user (and automation) can see when the next one can start.
  HWND button = MainControl(id::kTakeScreenshot);
  const bool hadFocus = button != nullptr && GetFocus() == button;
  EnableWindow(button, FALSE);
  const CaptureResult result = CaptureJob(context);
  EnableWindow(button, TRUE);
  if (hadFocus) SetFocus(button);
  // One bubble tells all that went wrong beyond the status picture.
  std::u16string report = result.questionNotShown ? u"A question could not be shown." : u"";
  if (const std::u16string shot = ShotReport(result); !shot.empty()) {
    report += (report.empty() ? u"" : u"\r\n") + shot;
  }
  if (!report.empty()) MessageBubble(u"Snapdeck", report, kThemeError, id::kMainWindow);
}

}  // namespace snapdeck::win32
