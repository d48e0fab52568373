// System libraries that are not among Windows' known DLLs, loaded from the system
// folder when first needed instead of being imported: the loader would look for an
// imported one in the program's folder first, so a DLL dropped beside the program
// (in a downloads folder, say) would run inside it.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <wininet.h>

namespace snapdeck::win32 {

// At start, before anything is loaded by name: later loads search the system folder
// only.
void RestrictLibrarySearch();

// A library by name from the system folder only; null when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name);

struct WinInetApi {
  decltype(&::InternetOpenW) InternetOpenW;
  decltype(&::InternetConnectW) InternetConnectW;
  decltype(&::InternetSetOptionW) InternetSetOptionW;
  decltype(&::HttpOpenRequestW) HttpOpenRequestW;
  decltype(&::HttpSendRequestW) HttpSendRequestW;
  decltype(&::HttpQueryInfoW) HttpQueryInfoW;
  decltype(&::InternetReadFile) InternetReadFile;
  decltype(&::InternetCloseHandle) InternetCloseHandle;
};

struct BcryptApi {
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider;
  decltype(&::BCryptCreateHash) BCryptCreateHash;
  decltype(&::BCryptHashData) BCryptHashData;
  decltype(&::BCryptFinishHash) BCryptFinishHash;
  decltype(&::BCryptDestroyHash) BCryptDestroyHash;
  decltype(&::BCryptImportKeyPair) BCryptImportKeyPair;
  decltype(&::BCryptVerifySignature) BCryptVerifySignature;
  decltype(&::BCryptDestroyKey) BCryptDestroyKey;
};

// Null when the library or one of its functions is missing; loaded once, on any
// thread.
const WinInetApi* WinInet();
const BcryptApi* Bcrypt();

// Sound (winmm): no devices and no sound when the library is missing.
UINT WaveOutDeviceCount();
BOOL PlayWaveSound(LPCWSTR sound, DWORD flags);

// Common controls (comctl32, found through the program's manifest as the
// system provides it).
BOOL InitControls(const INITCOMMONCONTROLSEX* controls);
BOOL SubclassWindow(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data);
BOOL RemoveSubclass(HWND window, SUBCLASSPROC proc, UINT_PTR id);
LRESULT DefaultSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace snapdeck::win32
