// The viewer (window 6) seen from outside: opening it, its status bar, and the controls
// of its thumbnail column, which sit two levels below the window.
#pragma once

#include <windows.h>

#include <string>

#include "driver/driver.h"

namespace e2e {

inline constexpr wchar_t kViewerTitle[] = L"SnapdeckViewer";

// A control with that number anywhere inside the window (GetDlgItem sees children only).
HWND InnerControl(HWND window, int id);
// The image control and the caption of the catalogue entry with that index.
HWND ThumbnailImage(HWND viewer, int index);
HWND ThumbnailCaption(HWND viewer, int index);

// Field 0 of the viewer's status bar.
std::wstring ViewerStatus(HWND viewer);
// Waits until the status bar shows exactly this text.
bool WaitViewerStatus(HWND viewer, const std::wstring& text, int timeoutMs = kDefaultTimeoutMs);

// Presses "toggle viewer" and waits for window 6 and its first count.
HWND OpenViewerWindow(const Program& program, HWND main, int timeoutMs = kDefaultTimeoutMs);

}  // namespace e2e
