#include "platform/win32/system_libraries_win32.h"

#include <optional>
#include <string>

namespace snapdeck::win32 {
namespace {

// Through a plain function pointer type, which every function pointer converts to.
template <typename T>
bool Resolve(HMODULE module, const char* name, T& function) {
  function = reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  return function != nullptr;
}

std::optional<WinInetApi> LoadWinInet() {
  HMODULE m = LoadSystemLibrary(L"wininet.dll");
  WinInetApi api{};
  if (m == nullptr || !Resolve(m, "InternetOpenW", api.InternetOpenW) ||
      !Resolve(m, "InternetConnectW", api.InternetConnectW) ||
      !Resolve(m, "InternetSetOptionW", api.InternetSetOptionW) ||
      !Resolve(m, "HttpOpenRequestW", api.HttpOpenRequestW) ||
      !Resolve(m, "HttpSendRequestW", api.HttpSendRequestW) ||
      !Resolve(m, "HttpQueryInfoW", api.HttpQueryInfoW) ||
      !Resolve(m, "InternetReadFile", api.InternetReadFile) ||
      !Resolve(m, "InternetCloseHandle", api.InternetCloseHandle)) {
    return std::nullopt;
  }
  return api;
}

std::optional<BcryptApi> LoadBcrypt() {
  HMODULE m = LoadSystemLibrary(L"bcrypt.dll");
  BcryptApi api{};
  if (m == nullptr ||
      !Resolve(m, "BCryptOpenAlgorithmProvider", api.BCryptOpenAlgorithmProvider) ||
      !Resolve(m, "BCryptCloseAlgorithmProvider", api.BCryptCloseAlgorithmProvider) ||
      !Resolve(m, "BCryptCreateHash", api.BCryptCreateHash) ||
      !Resolve(m, "BCryptHashData", api.BCryptHashData) ||
      !Resolve(m, "BCryptFinishHash", api.BCryptFinishHash) ||
      !Resolve(m, "BCryptDestroyHash", api.BCryptDestroyHash) ||
      !Resolve(m, "BCryptImportKeyPair", api.BCryptImportKeyPair) ||
      !Resolve(m, "BCryptVerifySignature", api.BCryptVerifySignature) ||
      !Resolve(m, "BCryptDestroyKey", api.BCryptDestroyKey)) {
    return std::nullopt;
  }
  return api;
}

struct WinmmApi {
  decltype(&::waveOutGetNumDevs) waveOutGetNumDevs;
  decltype(&::PlaySoundW) PlaySoundW;
};

const WinmmApi* Winmm() {
  static const std::optional<WinmmApi> api = []() -> std::optional<WinmmApi> {
    HMODULE m = LoadSystemLibrary(L"winmm.dll");
    WinmmApi loaded{};
    if (m == nullptr || !Resolve(m, "waveOutGetNumDevs", loaded.waveOutGetNumDevs) ||
        !Resolve(m, "PlaySoundW", loaded.PlaySoundW)) {
      return std::nullopt;
    }
    return loaded;
  }();
  return api ? &*api : nullptr;
}

struct Comctl32Api {
  decltype(&::InitCommonControlsEx) InitCommonControlsEx;
  decltype(&::SetWindowSubclass) SetWindowSubclass;
  decltype(&::RemoveWindowSubclass) RemoveWindowSubclass;
  decltype(&::DefSubclassProc) DefSubclassProc;
};

const Comctl32Api* Comctl32() {
  static const std::optional<Comctl32Api> api = []() -> std::optional<Comctl32Api> {
    HMODULE m = LoadSystemLibrary(L"comctl32.dll");
    Comctl32Api loaded{};
    if (m == nullptr || !Resolve(m, "InitCommonControlsEx", loaded.InitCommonControlsEx) ||
        !Resolve(m, "SetWindowSubclass", loaded.SetWindowSubclass) ||
        !Resolve(m, "RemoveWindowSubclass", loaded.RemoveWindowSubclass) ||
        !Resolve(m, "DefSubclassProc", loaded.DefSubclassProc)) {
      return std::nullopt;
    }
    return loaded;
  }();
  return api ? &*api : nullptr;
}

}  // namespace

void RestrictLibrarySearch() {
  // Looked up rather than imported: Windows 7 has it only with an update, and the
  // program must start without it.
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  SetDirectories setDirectories = nullptr;
  Resolve(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories", setDirectories);
  if (setDirectories != nullptr && setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Without it, at least not the current folder.
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // A system without the search flags: the full path, whose folder is then searched
  // for the library's own imports.
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

const WinInetApi* WinInet() {
  static const std::optional<WinInetApi> api = LoadWinInet();
  return api ? &*api : nullptr;
}

const BcryptApi* Bcrypt() {
  static const std::optional<BcryptApi> api = LoadBcrypt();
  return api ? &*api : nullptr;
}

UINT WaveOutDeviceCount() {
  const WinmmApi* api = Winmm();
  return api != nullptr ? api->waveOutGetNumDevs() : 0;
}

BOOL PlayWaveSound(LPCWSTR sound, DWORD flags) {
  const WinmmApi* api = Winmm();
  return api != nullptr && api->PlaySoundW(sound, nullptr, flags);
}

BOOL InitControls(const INITCOMMONCONTROLSEX* controls) {
  const Comctl32Api* api = Comctl32();
  return api != nullptr && api->InitCommonControlsEx(controls);
}

BOOL SubclassWindow(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
  const Comctl32Api* api = Comctl32();
  return api != nullptr && api->SetWindowSubclass(window, proc, id, data);
}

BOOL RemoveSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id) {
  const Comctl32Api* api = Comctl32();
  return api != nullptr && api->RemoveWindowSubclass(window, proc, id);
}

LRESULT DefaultSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const Comctl32Api* api = Comctl32();
  // Only reached through a subclass, which needs the library.
  return api != nullptr ? api->DefSubclassProc(window, message, wParam, lParam)
                        : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace snapdeck::win32
