// A small driver for the real Snapdeck.exe: it starts the program in a fresh folder and
// works its windows from outside through ordinary Win32 messages, as a user or an
// automation tool would. Every wait has a time limit, so a broken program fails a test
// instead of hanging the run.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "platform/win32/handles_win32.h"
#include "resources/ids.h"
#include "tests/support/wait_until.h"
#include "tests/support/win32_windows.h"

namespace e2e {

// The program's window, control and menu numbers.
namespace id = snapdeck::id;

using Bytes = std::vector<std::uint8_t>;

inline constexpr int kDefaultTimeoutMs = snapdeck::testing::kWaitMs;

// --- environment and files ---------------------------------------------------------------

std::wstring Env(const wchar_t* name);
// The program under test (SNAPDECK_EXE) and the device simulator (DEVICESIM_EXE).
std::wstring SnapdeckExe();
std::wstring DeviceSimExe();
// A test build of the program (SnapdeckDonate.exe, SnapdeckSigned.exe, ...), beside
// SnapdeckExe().
std::wstring TestBuildExe(const std::wstring& fileName);
// The program built with a donation address.
std::wstring DonationExe();
// Root of the per-test folders (SNAPDECK_E2E_WORK, else the temporary folder).
std::wstring WorkRoot();
// An empty folder WorkRoot()\name; ends with a backslash.
std::wstring FreshFolder(const std::wstring& name);
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

std::optional<Bytes> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const Bytes& bytes);
bool WriteFileText(const std::wstring& path, const std::string& text);
bool FileExists(const std::wstring& path);
bool CopyFileTo(const std::wstring& from, const std::wstring& to);
// File names (not paths) in a folder that match a pattern such as L"*.png".
std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern);

Bytes ToBytes(const std::string& s);
std::string Utf8(const std::wstring& s);
std::wstring Widen(const std::string& utf8);

using snapdeck::testing::WaitUntil;

// --- the program --------------------------------------------------------------------------

struct LaunchOptions {
  std::wstring exeName = L"Snapdeck.exe";   // name of the program's copy in the folder
  bool withDeviceTool = true;               // copy the simulator beside it as javaloader.exe
  std::optional<std::string> deviceConfig;  // simulator configuration, written beside it
  std::wstring deviceConfigName;            // file name of that configuration
  std::optional<Bytes> settings;            // Snapdeck.ini as bytes
  bool copyExe = true;                      // false: start an exe already in the folder
  std::wstring sourceExe;                   // the build to copy; empty: SnapdeckExe()
};

class Program {
 public:
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() { Kill(); }

  // Lays out the folder (program copy, tool, configuration, settings) and starts the
  // program there with the folder as its working directory and TMP/TEMP inside it.
  bool Launch(const std::wstring& folder, const LaunchOptions& options);

  // Takes over a process the program under test started (a restarted copy), so the
  // test can wait for it and end it.
  bool Adopt(DWORD pid);

  DWORD pid() const { return pid_; }
  const std::wstring& folder() const { return folder_; }
  const std::wstring& exePath() const { return exePath_; }
  bool running() const;

  // A visible top-level window of this process with exactly this title.
  HWND FindWindowTitled(const std::wstring& title) const;
  HWND WaitWindow(const std::wstring& title, int timeoutMs = kDefaultTimeoutMs) const;
  // Waits until no visible window of that title is left.
  bool WaitWindowGone(const std::wstring& title, int timeoutMs = kDefaultTimeoutMs) const;

  // Waits for the process to end; the exit code when it did.
  std::optional<DWORD> WaitExit(int timeoutMs = kDefaultTimeoutMs);
  void Kill();

  // For a failure message: the process's visible windows (title, class, enabled, and
  // whether it answers messages) and the files in its folder.
  std::string Describe() const;

 private:
  snapdeck::win32::UniqueHandle process_;
  DWORD pid_ = 0;
  std::wstring folder_;
  std::wstring exePath_;
};

// --- windows and controls -----------------------------------------------------------------

// A visible top-level window with exactly this title, of any process (or of process pid).
HWND FindAnyWindowTitled(const std::wstring& title, DWORD pid = 0);

HWND Control(HWND parent, int id);  // GetDlgItem
inline std::wstring Text(HWND window) { return snapdeck::testing::TextOf(window); }
void SetText(HWND window, const std::wstring& text);
bool Enabled(HWND window);
int Checked(HWND button);  // BST_UNCHECKED, BST_CHECKED
int ComboSelection(HWND combo);
std::vector<std::wstring> ComboItems(HWND combo);
int TrackPosition(HWND track);
void TrackRange(HWND track, int& low, int& high);
using snapdeck::testing::RectInParent;
SIZE ClientSize(HWND window);
RECT ScreenRect(HWND window);
bool TopMost(HWND window);
std::wstring ClassName(HWND window);

// Input. Clicks and keys are posted, so they never block on a modal loop of the program.
void Click(HWND control);        // BM_CLICK for buttons, a left click at the centre otherwise
void DoubleClick(HWND control);  // a left double-click at the centre
// Opens the window's system menu as Alt+Space does and waits for it; nullptr when none
// came. (Wine cannot read another process's menus, so tests look at the open menu.)
HWND OpenSystemMenu(DWORD pid, HWND window);
// What the open menu shows once its drawing has settled.
std::optional<snapdeck::Picture> MenuPixels(HWND menu);
// Selects an entry and notifies the parent as a user's choice would (CBN_SELCHANGE).
void SelectCombo(HWND combo, int index);
// Moves the track bar and notifies the parent (WM_HSCROLL, TB_THUMBPOSITION).
void SetTrack(HWND track, int position);
// WM_KEYDOWN and WM_KEYUP to the window that has the keyboard focus in the thread of the
// given top-level window (the window itself when nothing has the focus).
void PressKey(HWND topLevel, UINT virtualKey);

// The window that has the keyboard focus in the thread of a top-level window.
HWND FocusIn(HWND topLevel);
// A left click at the control's centre through SendInput, as the mouse makes it: unlike
// Click it activates the window and moves the focus.
void MouseClick(HWND control);
// One character typed on the keyboard (SendInput), for whichever window has the focus.
void TypeChar(wchar_t c);

// --- notification area --------------------------------------------------------------------

// True when the shell holds the tray icon (owner window, id): asked as a change of
// nothing, which the shell accepts exactly for icons it has.
bool TrayIconExists(HWND owner, UINT iconId);
// Takes the icon away as a restarting shell loses it.
bool RemoveTrayIcon(HWND owner, UINT iconId);
// The tool tips of the tray icons as the shell keeps them (Wine's shell holds one tool
// tip per icon in its own process; the owner's process is left out).
std::vector<std::wstring> ShellTrayTips(HWND owner);
// What the shell posts to an icon's owner when the user clicks it: the icon's callback
// message with the icon id and the mouse message.
void TrayNotify(HWND owner, UINT callbackMessage, UINT iconId, UINT mouseMessage);

// A visible pop-up menu of the process, waiting for it; nullptr when none came.
HWND WaitPopupMenu(DWORD pid, int timeoutMs = kDefaultTimeoutMs);
// Key presses through SendInput, as a keyboard makes them, for whichever program looks
// at the key state. ReleaseKeys lets go in reverse order.
void HoldKeys(const std::vector<WORD>& keys);
void ReleaseKeys(const std::vector<WORD>& keys);

// --- clipboard ----------------------------------------------------------------------------

DWORD ClipboardSequence();
bool ClearClipboard();
std::vector<UINT> ClipboardFormats();
// The clipboard's bitmap (CF_DIB) as a picture; nullopt when there is none.
std::optional<snapdeck::Picture> ClipboardPicture();
// Width and height from the CF_DIB header (height positive).
std::optional<SIZE> ClipboardDibSize();

// --- pictures -----------------------------------------------------------------------------

std::optional<snapdeck::Picture> DecodePngFile(const std::wstring& path);
std::optional<snapdeck::Picture> DecodeAnyFile(const std::wstring& path);
// What the screen shows of a window, read back from the display.
std::optional<snapdeck::Picture> ScreenPixels(HWND window);
// RGB of a pixel as 0xRRGGBB, for readable assertion messages.
std::uint32_t Rrggbb(const snapdeck::Picture& p, int x, int y);

}  // namespace e2e
