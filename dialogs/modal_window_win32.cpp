#include "dialogs/modal_window_win32.h"

#include "resources/ids.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {
namespace {

const wchar_t kDataProperty[] = L"SnapdeckModalData";

RECT CentreArea(HWND owner) {
  RECT r{};
  if (owner != nullptr && GetWindowRect(owner, &r)) return r;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace

ModalWindow::ModalWindow(const ModalSpec& spec)
    : number_(spec.number), owner_(spec.owner), anyCloseEnds_(spec.anyCloseEnds) {
  if (WindowByNumber(number_) != nullptr) {
    owner_ = nullptr;  // not ours to enable again
    return;
  }
  // Disabled first, so nothing reaches the owner while the window is built.
  if (owner_ != nullptr) EnableWindow(owner_, FALSE);
  HWND windowOwner = spec.unowned ? nullptr : owner_;
  const RECT area = CentreArea(windowOwner);
  const int x = area.left + (area.right - area.left - spec.width) / 2;
  const int y = area.top + (area.bottom - area.top - spec.height) / 2;
  window_ = CreateWindowExW(0, ProgramWindowClass(), spec.title, spec.style, x, y, spec.width,
                            spec.height, windowOwner, nullptr, TheShell().instance, nullptr);
  if (window_ == nullptr) {
    if (owner_ != nullptr) EnableWindow(owner_, TRUE);
    return;
  }
  RegisterWindow(number_, window_);
  const int keys[] = {VK_ESCAPE, VK_RETURN};
  const int numbers[] = {id::kKeyEscape, id::kKeyEnter};
  shortcuts_.reset(MakeShortcutTable(keys, numbers, 2));
  SetWindowShortcuts(window_, shortcuts_.get());
}

ModalWindow::~ModalWindow() { Close(); }

bool ModalWindow::Next(Event& e) {
  if (window_ == nullptr) return false;
  while (WaitEvent(e)) {
    if (e.kind == EventKind::Close && (anyCloseEnds_ || e.window == window_)) return false;
    if (e.window == window_) return true;
  }
  return false;
}

void ModalWindow::Close() {
  if (window_ == nullptr) return;
  SetWindowShortcuts(window_, nullptr);
  RemovePropW(window_, kDataProperty);
  for (int control : pictureControls_) ReleaseShownPicture(GetDlgItem(window_, control));
  // Enabled before the window goes, so the activation returns to the owner.
  if (owner_ != nullptr) EnableWindow(owner_, TRUE);
  DestroyWindow(window_);
  ForgetWindow(number_);
  window_ = nullptr;
  shortcuts_.reset();
}

void ModalWindow::ReleasePictureAtClose(int control) { pictureControls_.push_back(control); }

void ModalWindow::Attach(void* data) {
  if (window_ != nullptr) SetPropW(window_, kDataProperty, data);
}

void* ModalWindow::AttachedData(HWND window) {
  return window != nullptr ? GetPropW(window, kDataProperty) : nullptr;
}

}  // namespace snapdeck::win32
