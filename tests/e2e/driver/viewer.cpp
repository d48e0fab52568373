#include "driver/viewer.h"

#include "viewer/thumbnail_layout.h"

namespace e2e {

HWND InnerControl(HWND window, int id) {
  if (window == nullptr) return nullptr;
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        if (GetDlgCtrlID(child) != s->id) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ThumbnailImage(HWND viewer, int index) {
  return InnerControl(viewer, snapdeck::ThumbnailControl(index));
}
HWND ThumbnailCaption(HWND viewer, int index) {
  return InnerControl(viewer, snapdeck::CaptionControl(index));
}

// A status bar answers WM_GETTEXT with the text of its first field.
std::wstring ViewerStatus(HWND viewer) { return Text(Control(viewer, id::kViewerStatusBar)); }

bool WaitViewerStatus(HWND viewer, const std::wstring& text, int timeoutMs) {
  return WaitUntil([&] { return ViewerStatus(viewer) == text; }, timeoutMs);
}

HWND OpenViewerWindow(const Program& program, HWND main, int timeoutMs) {
  Click(Control(main, id::kToggleViewer));
  HWND viewer = program.WaitWindow(kViewerTitle, timeoutMs);
  if (viewer == nullptr) return nullptr;
  const bool counted = WaitUntil(
      [&] { return ViewerStatus(viewer).find(L" hidden)") != std::wstring::npos; }, timeoutMs);
  return counted ? viewer : nullptr;
}

}  // namespace e2e
