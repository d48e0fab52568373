#include "app/viewer_commands_win32.h"

#include <windows.h>

#include "app/main_window_win32.h"
#include "dialogs/click_win32.h"
#include "resources/ids.h"
#include "shell/shell_win32.h"
#include "viewer/viewer_window_win32.h"

namespace snapdeck::win32 {
namespace {

void SetToggle(bool on) {
  SendMessageW(MainControl(id::kToggleViewer), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool ToggleOn() {
  return SendMessageW(MainControl(id::kToggleViewer), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Where the viewer was and how far it was scrolled, for the run: the next opening
// comes back there.
ViewerPlacement& Placement() {
  static ViewerPlacement placement = [] {
    ViewerPlacement p;
    const ScreenMetrics& m = TheShell().metrics;
    p.x = m.workLeft;
    p.height = m.workBottom;
    return p;
  }();
  return placement;
}

void OpenOnCurrentFolder(bool activate) {
  ViewerState state;
  state.folder = TheShell().settings.currentFolder;
  OpenViewer(state, Placement(), activate);
}

void ScanAndBuild() {
  ScanShots();
  BuildThumbnails();
}

void ToggleViewer() {
  if (ToggleOn()) {
    if (ViewerExists()) return;
    OpenOnCurrentFolder(true);
    if (!ViewerExists()) {
      SetToggle(false);
      return;
    }
    Placement().width = ViewerInnerWidth();
    SetColumnWidthFromWindow();
    ScanAndBuild();
    return;
  }
  HWND viewer = ViewerWindow();
  if (viewer != nullptr && (IsIconic(viewer) || IsZoomed(viewer))) {
    ShowWindow(viewer, SW_RESTORE);
    SetToggle(true);
    return;
  }
  CloseViewer();
}

void RefreshViewer() {
  if (!ViewerExists()) return;
  SetViewerFolder(TheShell().settings.currentFolder);
  StoreViewerGeometry();
  SetColumnWidthFromWindow();
  ScanAndBuild();
}

}  // namespace

bool OnViewerControl(int control, int type) {
  AppSettings& s = TheShell().settings;
  switch (control) {
    case id::kToggleViewer:
      ToggleViewer();
      return true;
    case id::kViewerClose:
      SetToggle(false);
      CloseViewer();
      return true;
    case id::kViewerRefresh:
      RefreshViewer();
      return true;
    case id::kViewerSortDir:
      s.sortdir = s.sortdir != 0 ? 0 : 1;
      ShowSortDirection();
      ScanAndBuild();
      return true;
    case id::kViewerSortName:
    case id::kViewerSortNumber:
    case id::kViewerSortTime:
      s.sortview = control == id::kViewerSortName     ? id::kSortByName
                   : control == id::kViewerSortNumber ? id::kSortByNumber
                                                      : id::kSortByDate;
      ClickControl(id::kViewerRefresh);
      return true;
    case id::kViewerScroll:
      FocusThumbnailColumn();
      RememberScrollPosition();
      return true;
    default:
      if (!IsThumbnailControl(control)) return false;
      OnThumbnailEvent(control, type);
      return true;
  }
}

void ViewerMoveSizeEnd() {
  if (ViewerExists() && ViewerInnerWidth() != Placement().width) {
    ClickControl(id::kViewerRefresh);
  }
}

void ViewerFolderChanged() {
  if (!ToggleOn() || !ViewerExists()) return;
  // The change comes from the main window, where the user may still be typing the folder:
  // the viewer follows without taking the keyboard.
  const bool viewerActive = GetActiveWindow() == ViewerWindow();
  CloseViewer();
  OpenOnCurrentFolder(viewerActive);
  // The column is laid out for the window it is shown in, not the width it had at creation.
  SetColumnWidthFromWindow();
  ScanAndBuild();
}

void ViewerAfterCapture() {
  if (!ToggleOn() || !ViewerExists()) return;
  RefreshThumbnails();
  if (HWND main = MainWindow()) SetActiveWindow(main);
}

}  // namespace snapdeck::win32
