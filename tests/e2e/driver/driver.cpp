#include "driver/driver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <thread>

#include "imaging/codec.h"

namespace e2e {

using snapdeck::win32::ClipboardSession;
using snapdeck::win32::GlobalLockScope;
using snapdeck::win32::UniqueFind;
using snapdeck::win32::UniqueHandle;

namespace {

// Messages to another process never block the test for long: a hung program makes
// the call fail instead.
using snapdeck::testing::SendWithin;

std::wstring WithoutTrailingSlash(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

bool StartsWithNoCase(const wchar_t* entry, const wchar_t* prefix) {
  for (; *prefix != 0; ++entry, ++prefix) {
    if (*entry == 0 || std::towupper(*entry) != std::towupper(*prefix)) return false;
  }
  return true;
}

// The test's own environment with TMP and TEMP pointing into the program's folder, so
// each run has its own temporary bitmap.
std::vector<wchar_t> EnvironmentWithTemp(const std::wstring& tempDir) {
  std::vector<wchar_t> block;
  wchar_t* env = GetEnvironmentStringsW();
  for (const wchar_t* p = env; p != nullptr && *p != 0; p += wcslen(p) + 1) {
    if (StartsWithNoCase(p, L"TMP=") || StartsWithNoCase(p, L"TEMP=")) continue;
    block.insert(block.end(), p, p + wcslen(p) + 1);
  }
  if (env != nullptr) FreeEnvironmentStringsW(env);
  for (const wchar_t* name : {L"TMP=", L"TEMP="}) {
    std::wstring entry = std::wstring(name) + tempDir;
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back(0);
  }
  block.push_back(0);
  return block;
}

struct FindData {
  DWORD pid;
  const std::wstring* title;
  HWND found;
};

BOOL CALLBACK FindWindowProc(HWND window, LPARAM param) {
  auto* data = reinterpret_cast<FindData*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if ((data->pid != 0 && pid != data->pid) || !IsWindowVisible(window)) return TRUE;
  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  if (*data->title != title) return TRUE;
  data->found = window;
  return FALSE;
}

ClipboardSession OpenClipboardWithRetry() {
  for (int i = 0; i < 100; ++i) {
    if (ClipboardSession session(nullptr); session) return session;
    Sleep(20);
  }
  return {};
}

POINT Centre(HWND control) {
  RECT r{};
  GetClientRect(control, &r);
  return POINT{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
}

// A picture from the bytes of a packed DIB (header, masks or palette, pixels).
std::optional<snapdeck::Picture> PictureFromDib(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(BITMAPINFOHEADER)) return std::nullopt;
  BITMAPINFOHEADER h{};
  memcpy(&h, data, sizeof h);
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size) return std::nullopt;
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > 32768 || h.biHeight > 32768 ||
      h.biHeight < -32768) {
    return std::nullopt;
  }
  if (h.biBitCount != 24 && h.biBitCount != 32) return std::nullopt;
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return std::nullopt;
  std::size_t offset = h.biSize;
  std::uint32_t masks[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
  if (h.biCompression == BI_BITFIELDS) {
    if (h.biSize == sizeof(BITMAPINFOHEADER)) {
      if (size < offset + 12) return std::nullopt;
      memcpy(masks, data + offset, 12);
      offset += 12;
    } else if (h.biSize >= 52) {
      memcpy(masks, data + 40, 12);
    }
  }
  offset += static_cast<std::size_t>(h.biClrUsed) * 4;
  const bool topDown = h.biHeight < 0;
  const int width = h.biWidth;
  const int height = topDown ? -h.biHeight : h.biHeight;
  const std::size_t stride =
      (static_cast<std::size_t>(width) * h.biBitCount / 8 + 3) & ~std::size_t{3};
  if (offset > size || (size - offset) / stride < static_cast<std::size_t>(height)) {
    return std::nullopt;
  }
  auto channel = [](std::uint32_t value, std::uint32_t mask) -> std::uint32_t {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    std::uint32_t v = (value & mask) >> shift;
    std::uint32_t max = mask >> shift;
    return max == 255 ? v : (v * 255 + max / 2) / max;
  };
  snapdeck::Picture p;
  p.width = width;
  p.height = height;
  p.pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const int row = topDown ? y : height - 1 - y;
    const std::uint8_t* line = data + offset + stride * row;
    for (int x = 0; x < width; ++x) {
      std::uint32_t r, g, b;
      if (h.biBitCount == 24) {
        b = line[x * 3];
        g = line[x * 3 + 1];
        r = line[x * 3 + 2];
      } else {
        std::uint32_t v;
        memcpy(&v, line + x * 4, 4);
        r = channel(v, masks[0]);
        g = channel(v, masks[1]);
        b = channel(v, masks[2]);
      }
      p.at(x, y) = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  return p;
}

std::optional<Bytes> ClipboardDib() {
  const ClipboardSession session = OpenClipboardWithRetry();
  if (!session) return std::nullopt;
  const GlobalLockScope dib(GetClipboardData(CF_DIB));
  if (dib.get() == nullptr) return std::nullopt;
  const auto* b = static_cast<const std::uint8_t*>(dib.get());
  return Bytes(b, b + dib.size());
}

}  // namespace

// --- environment and files -------------------------------------------------------------------

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[4096] = {};
  DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
  if (n == 0 || n >= 4096) return L"";
  return buffer;
}

std::wstring SnapdeckExe() { return Env(L"SNAPDECK_EXE"); }

std::wstring TestBuildExe(const std::wstring& fileName) {
  const std::wstring exe = SnapdeckExe();
  const std::size_t cut = exe.find_last_of(L"\\/");
  return (cut == std::wstring::npos ? L"" : exe.substr(0, cut + 1)) + fileName;
}

std::wstring DonationExe() { return TestBuildExe(L"SnapdeckDonate.exe"); }

std::wstring DeviceSimExe() { return Env(L"DEVICESIM_EXE"); }

std::wstring WorkRoot() {
  std::wstring root = Env(L"SNAPDECK_E2E_WORK");
  if (root.empty()) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root = std::wstring(temp) + L"snapdeck-e2e";
  }
  return WithoutTrailingSlash(root);
}

std::wstring FreshFolder(const std::wstring& name) {
  std::wstring folder = WorkRoot() + L"\\" + name;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder, ec);
  return folder + L"\\";
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
  return folder + L"\\" + name;
}

std::optional<Bytes> ReadFileBytes(const std::wstring& path) {
  const UniqueHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return std::nullopt;
  Bytes out;
  std::uint8_t buffer[65536];
  DWORD got = 0;
  while (ReadFile(f.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    out.insert(out.end(), buffer, buffer + got);
  }
  return out;
}

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes) {
  UniqueHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() ||
            WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return CloseReportingErrors(f) && ok && written == bytes.size();
}

bool WriteFileText(const std::wstring& path, const std::string& text) {
  return WriteFileBytes(path, ToBytes(text));
}

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to) {
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

std::vector<std::wstring> ListFiles(const std::wstring& folder, const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd{};
  const UniqueFind h(FindFirstFileW(JoinPath(folder, pattern).c_str(), &fd));
  if (!h) return names;
  do {
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(fd.cFileName);
  } while (FindNextFileW(h.get(), &fd));
  std::sort(names.begin(), names.end());
  return names;
}

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string Utf8(const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// --- the program --------------------------------------------------------------------------------

bool Program::Launch(const std::wstring& folder, const LaunchOptions& options) {
  Kill();
  folder_ = folder;
  exePath_ = JoinPath(folder, options.exeName);
  if (options.copyExe) {
    const std::wstring exe = options.sourceExe.empty() ? SnapdeckExe() : options.sourceExe;
    if (exe.empty() || !CopyFileTo(exe, exePath_)) return false;
  }
  if (options.withDeviceTool) {
    const std::wstring sim = DeviceSimExe();
    if (sim.empty() || !CopyFileTo(sim, JoinPath(folder, L"javaloader.exe"))) return false;
  }
  if (options.deviceConfig) {
    if (options.deviceConfigName.empty() ||
        !WriteFileText(JoinPath(folder, options.deviceConfigName), *options.deviceConfig)) {
      return false;
    }
  }
  if (options.settings && !WriteFileBytes(JoinPath(folder, L"Snapdeck.ini"), *options.settings)) {
    return false;
  }
  const std::wstring temp = JoinPath(folder, L"tmp");
  CreateDirectoryW(temp.c_str(), nullptr);
  std::vector<wchar_t> env = EnvironmentWithTemp(temp);

  std::wstring commandLine = L"\"" + exePath_ + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const std::wstring cwd = WithoutTrailingSlash(folder);
  if (!CreateProcessW(exePath_.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, env.data(), cwd.c_str(), &si, &pi)) {
    return false;
  }
  const UniqueHandle thread(pi.hThread);
  process_.reset(pi.hProcess);
  pid_ = pi.dwProcessId;
  return true;
}

bool Program::Adopt(DWORD pid) {
  Kill();
  process_.reset(
      OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  pid_ = process_ ? pid : 0;
  return static_cast<bool>(process_);
}

HWND FindAnyWindowTitled(const std::wstring& title, DWORD pid) {
  FindData data{pid, &title, nullptr};
  EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&data));
  return data.found;
}

bool Program::running() const {
  return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND Program::FindWindowTitled(const std::wstring& title) const {
  return pid_ == 0 ? nullptr : FindAnyWindowTitled(title, pid_);
}

std::string Program::Describe() const {
  struct Found {
    DWORD pid;
    std::string text;
  } found{pid_, {}};
  EnumWindows(
      [](HWND w, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Found*>(lp);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != f->pid || !IsWindowVisible(w)) return TRUE;
        DWORD_PTR ignored = 0;
        const bool answers =
            SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored) != 0;
        f->text += "\n  window \"" + Utf8(Text(w)) + "\" (" + Utf8(ClassName(w)) + ")" +
                   (IsWindowEnabled(w) ? "" : " disabled") + (answers ? "" : " NOT ANSWERING");
        // A requester: which question it is and what it offers.
        if (HWND message = GetDlgItem(w, id::kReqMessage); message != nullptr && answers) {
          std::wstring text = Text(message);
          for (wchar_t& c : text) {
            if (c == L'\r' || c == L'\n') c = L' ';
          }
          f->text += "\n    asks \"" + Utf8(text) + "\"";
          for (int button : {id::kReqFirstButton, id::kReqSecondButton}) {
            if (HWND b = GetDlgItem(w, button)) f->text += " [" + Utf8(Text(b)) + "]";
          }
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  std::string out = running() ? "program running" : "program ended";
  out += found.text.empty() ? "\n  no visible window" : found.text;
  out += "\n  files:";
  for (const std::wstring& f : ListFiles(folder_, L"*")) out += " " + Utf8(f);
  return out;
}

HWND Program::WaitWindow(const std::wstring& title, int timeoutMs) const {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        found = FindWindowTitled(title);
        return found != nullptr || !running();
      },
      timeoutMs);
  return found;
}

bool Program::WaitWindowGone(const std::wstring& title, int timeoutMs) const {
  return WaitUntil([&] { return FindWindowTitled(title) == nullptr; }, timeoutMs);
}

std::optional<DWORD> Program::WaitExit(int timeoutMs) {
  if (!process_) return std::nullopt;
  if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

void Program::Kill() {
  if (!process_) return;
  if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 10000);
  }
  process_.reset();
  pid_ = 0;
}

// --- windows and controls -----------------------------------------------------------------------

HWND Control(HWND parent, int id) { return parent ? GetDlgItem(parent, id) : nullptr; }

void SetText(HWND window, const std::wstring& text) {
  SendWithin(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Enabled(HWND window) { return window != nullptr && IsWindowEnabled(window); }

int Checked(HWND button) { return static_cast<int>(SendWithin(button, BM_GETCHECK, 0, 0)); }

int ComboSelection(HWND combo) { return static_cast<int>(SendWithin(combo, CB_GETCURSEL, 0, 0)); }

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  const int count = static_cast<int>(SendWithin(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const auto length = SendWithin(combo, CB_GETLBTEXTLEN, i, 0);
    if (length < 0) {
      items.emplace_back();
      continue;
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto got = SendWithin(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(got), length));
    items.push_back(text);
  }
  return items;
}

int TrackPosition(HWND track) { return static_cast<int>(SendWithin(track, TBM_GETPOS, 0, 0)); }

void TrackRange(HWND track, int& low, int& high) {
  low = static_cast<int>(SendWithin(track, TBM_GETRANGEMIN, 0, 0));
  high = static_cast<int>(SendWithin(track, TBM_GETRANGEMAX, 0, 0));
}

SIZE ClientSize(HWND window) {
  RECT r{};
  if (window != nullptr) GetClientRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

RECT ScreenRect(HWND window) {
  RECT r{};
  if (window != nullptr) GetWindowRect(window, &r);
  return r;
}

bool TopMost(HWND window) {
  return window != nullptr && (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

std::wstring ClassName(HWND window) {
  wchar_t name[128] = {};
  if (window != nullptr) GetClassNameW(window, name, 128);
  return name;
}

void Click(HWND control) {
  if (control == nullptr) return;
  if (_wcsicmp(ClassName(control).c_str(), L"Button") == 0) {
    PostMessageW(control, BM_CLICK, 0, 0);
    return;
  }
  const POINT c = Centre(control);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
}

void DoubleClick(HWND control) {
  if (control == nullptr) return;
  const POINT c = Centre(control);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
  PostMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(c.x, c.y));
  PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
}

void SelectCombo(HWND combo, int index) {
  if (combo == nullptr) return;
  SendWithin(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

void SetTrack(HWND track, int position) {
  if (track == nullptr) return;
  SendWithin(track, TBM_SETPOS, TRUE, position);
  PostMessageW(GetParent(track), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
               reinterpret_cast<LPARAM>(track));
}

void PressKey(HWND topLevel, UINT virtualKey) {
  if (topLevel == nullptr) return;
  HWND target = topLevel;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(topLevel, nullptr);
  if (GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr &&
      GetAncestor(info.hwndFocus, GA_ROOT) == topLevel) {
    target = info.hwndFocus;
  }
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | scan);
  PostMessageW(target, WM_KEYUP, virtualKey, 1 | scan | (1 << 30) | (1u << 31));
}

namespace {

struct MenuSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindPopupMenu(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<MenuSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window) || ClassName(window) != L"#32768") return TRUE;
  search->found = window;
  return FALSE;
}

void SendKeys(const std::vector<WORD>& keys, DWORD flags) {
  std::vector<INPUT> inputs(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = keys[i];
    inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(keys[i], MAPVK_VK_TO_VSC));
    inputs[i].ki.dwFlags = flags;
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace

HWND OpenSystemMenu(DWORD pid, HWND window) {
  if (window == nullptr) return nullptr;
  PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, VK_SPACE);
  return WaitPopupMenu(pid, 10000);
}

std::optional<snapdeck::Picture> MenuPixels(HWND menu) {
  std::optional<snapdeck::Picture> last;
  std::optional<snapdeck::Picture> settled;
  WaitUntil(
      [&] {
        std::optional<snapdeck::Picture> now = ScreenPixels(menu);
        const bool same = now && last && now->width == last->width &&
                          now->height == last->height && now->pixels == last->pixels;
        last = std::move(now);
        if (same) settled = last;
        return same;
      },
      10000, 100);
  return settled;
}

HWND WaitPopupMenu(DWORD pid, int timeoutMs) {
  MenuSearch search{pid, nullptr};
  WaitUntil(
      [&] {
        search.found = nullptr;
        EnumWindows(FindPopupMenu, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  return search.found;
}

void HoldKeys(const std::vector<WORD>& keys) { SendKeys(keys, 0); }

HWND FocusIn(HWND topLevel) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (topLevel == nullptr || !GetGUIThreadInfo(GetWindowThreadProcessId(topLevel, nullptr), &info))
    return nullptr;
  return info.hwndFocus;
}

void MouseClick(HWND control) {
  if (control == nullptr) return;
  const RECT r = ScreenRect(control);
  const int wide = std::max(1, GetSystemMetrics(SM_CXSCREEN) - 1);
  const int high = std::max(1, GetSystemMetrics(SM_CYSCREEN) - 1);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dx = ((r.left + r.right) / 2) * 65535 / wide;
  inputs[0].mi.dy = ((r.top + r.bottom) / 2) * 65535 / high;
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, inputs, sizeof(INPUT));
}

void TypeChar(wchar_t c) {
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = c;
    input.ki.dwFlags = KEYEVENTF_UNICODE;
  }
  inputs[1].ki.dwFlags |= KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

void ReleaseKeys(const std::vector<WORD>& keys) {
  SendKeys(std::vector<WORD>(keys.rbegin(), keys.rend()), KEYEVENTF_KEYUP);
}

// --- notification area ----------------------------------------------------------------

namespace {

// The shell identifies an icon by its owner window and id alone.
bool TrayIconRequest(DWORD request, HWND owner, UINT iconId) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = owner;
  data.uID = iconId;
  return Shell_NotifyIconW(request, &data) != FALSE;
}

}  // namespace

// A modify that changes nothing succeeds exactly when the shell has the icon.
bool TrayIconExists(HWND owner, UINT iconId) { return TrayIconRequest(NIM_MODIFY, owner, iconId); }

bool RemoveTrayIcon(HWND owner, UINT iconId) { return TrayIconRequest(NIM_DELETE, owner, iconId); }

namespace {

// The texts of every tool of a tool-tip window of another process, read through memory
// lent in that process (the messages carry pointers, which are not marshalled).
void AppendToolTexts(HWND tip, DWORD pid, std::vector<std::wstring>& out) {
  const UniqueHandle owner(
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!owner) return;
  const HANDLE process = owner.get();
  struct Remote {
    TTTOOLINFOW info;
    wchar_t text[1024];
  };
  auto* remote = static_cast<Remote*>(
      VirtualAllocEx(process, nullptr, sizeof(Remote), MEM_COMMIT, PAGE_READWRITE));
  if (remote != nullptr) {
    const int count = static_cast<int>(SendWithin(tip, TTM_GETTOOLCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      Remote local{};
      local.info.cbSize = sizeof(TTTOOLINFOW);
      local.info.lpszText = remote->text;
      if (!WriteProcessMemory(process, remote, &local, sizeof local, nullptr)) break;
      if (!SendWithin(tip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i),
                reinterpret_cast<LPARAM>(&remote->info))) {
        continue;
      }
      Remote back{};
      if (!ReadProcessMemory(process, remote, &back, sizeof back, nullptr)) break;
      back.text[1023] = 0;
      out.emplace_back(back.text);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
}

struct TipSearch {
  DWORD skipPid;
  std::vector<std::wstring>* texts;
};

BOOL CALLBACK CollectTips(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TipSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->skipPid || pid == GetCurrentProcessId()) return TRUE;
  if (_wcsicmp(ClassName(window).c_str(), TOOLTIPS_CLASSW) != 0) return TRUE;
  AppendToolTexts(window, pid, *search->texts);
  return TRUE;
}

}  // namespace

std::vector<std::wstring> ShellTrayTips(HWND owner) {
  std::vector<std::wstring> texts;
  DWORD ownerPid = 0;
  GetWindowThreadProcessId(owner, &ownerPid);
  TipSearch search{ownerPid, &texts};
  EnumWindows(CollectTips, reinterpret_cast<LPARAM>(&search));
  return texts;
}

void TrayNotify(HWND owner, UINT callbackMessage, UINT iconId, UINT mouseMessage) {
  PostMessageW(owner, callbackMessage, iconId, mouseMessage);
}

// --- clipboard ----------------------------------------------------------------------------------

DWORD ClipboardSequence() { return GetClipboardSequenceNumber(); }

bool ClearClipboard() {
  const ClipboardSession session = OpenClipboardWithRetry();
  return session && EmptyClipboard() != 0;
}

std::vector<UINT> ClipboardFormats() {
  std::vector<UINT> formats;
  const ClipboardSession session = OpenClipboardWithRetry();
  if (!session) return formats;
  for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) formats.push_back(f);
  return formats;
}

std::optional<snapdeck::Picture> ClipboardPicture() {
  auto dib = ClipboardDib();
  if (!dib) return std::nullopt;
  return PictureFromDib(dib->data(), dib->size());
}

std::optional<SIZE> ClipboardDibSize() {
  auto dib = ClipboardDib();
  if (!dib || dib->size() < sizeof(BITMAPINFOHEADER)) return std::nullopt;
  BITMAPINFOHEADER h{};
  memcpy(&h, dib->data(), sizeof h);
  return SIZE{h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight};
}

// --- pictures -----------------------------------------------------------------------------------

std::optional<snapdeck::Picture> DecodePngFile(const std::wstring& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  snapdeck::DecodeResult r = snapdeck::DecodePng(bytes->data(), bytes->size());
  if (!r.ok) return std::nullopt;
  return std::move(r.picture);
}

std::optional<snapdeck::Picture> DecodeAnyFile(const std::wstring& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::nullopt;
  snapdeck::DecodeResult r = snapdeck::DecodeImage(bytes->data(), bytes->size());
  if (!r.ok) return std::nullopt;
  return std::move(r.picture);
}

std::optional<snapdeck::Picture> ScreenPixels(HWND window) {
  if (window == nullptr) return std::nullopt;
  const RECT r = ScreenRect(window);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return std::nullopt;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top row first, as a Picture
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::optional<snapdeck::Picture> picture;
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY)) {
      GdiFlush();
      const auto* p = static_cast<const std::uint32_t*>(bits);
      picture = snapdeck::Picture{w, h, std::vector<std::uint32_t>(p, p + w * h)};
    }
    SelectObject(memory, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (memory != nullptr) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

std::uint32_t Rrggbb(const snapdeck::Picture& p, int x, int y) {
  if (x < 0 || y < 0 || x >= p.width || y >= p.height) return 0xFFFFFFFFu;
  return p.at(x, y) & 0xFFFFFFu;
}

}  // namespace e2e
