#include <gtest/gtest.h>

#include "dialogs/modal_window_win32.h"
#include "resources/ids.h"
#include "shell/shell_win32.h"
#include "tests/support/dialog_driver_win32.h"

namespace snapdeck::win32 {
namespace {

using namespace dialogs_test;

class DialogsModalWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareShell();
    owner_ = CreateWindowExW(0, ProgramWindowClass(), L"modal owner", WS_OVERLAPPEDWINDOW, 0, 0,
                             200, 200, nullptr, nullptr, TheShell().instance, nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(owner_);
    PumpAllEvents();
  }
  ModalSpec Spec() const {
    ModalSpec spec;
    spec.number = id::kRequester;
    spec.title = L"modal under test";
    spec.width = 100;
    spec.height = 100;
    spec.owner = owner_;
    return spec;
  }
  HWND owner_ = nullptr;
};

TEST_F(DialogsModalWindow, OwnerIsEnabledAgainOnEveryWayOut) {
  {
    ModalWindow modal(Spec());
    ASSERT_TRUE(modal);
    EXPECT_FALSE(IsWindowEnabled(owner_));
    EXPECT_EQ(WindowByNumber(id::kRequester), modal.get());
    EXPECT_EQ(GetWindow(modal.get(), GW_OWNER), owner_);
    // A second window of the same number is refused and leaves the owner disabled.
    ModalWindow second(Spec());
    EXPECT_FALSE(second);
    EXPECT_FALSE(IsWindowEnabled(owner_));
    // The scope ends without Close(), as an early return would.
  }
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(WindowByNumber(id::kRequester), nullptr);

  // A child style without a parent cannot be created.
  ModalSpec failing = Spec();
  failing.style = WS_CHILD;
  failing.unowned = true;
  ModalWindow modal(failing);
  EXPECT_FALSE(modal);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(WindowByNumber(id::kRequester), nullptr);
  Event e;
  EXPECT_FALSE(modal.Next(e));
}

TEST_F(DialogsModalWindow, OnlyItsOwnCloseRequestEndsItUnlessAnyCloseEnds) {
  ModalWindow modal(Spec());
  ASSERT_TRUE(modal);
  PostEvent(owner_, EventKind::Close, 0, kLeftClick);
  PostEvent(modal.get(), EventKind::Control, 7, kLeftClick);
  Event e;
  ASSERT_TRUE(modal.Next(e));
  EXPECT_EQ(e.number, 7);
  PostEvent(modal.get(), EventKind::Close, 0, kLeftClick);
  EXPECT_FALSE(modal.Next(e));
  modal.Close();

  ModalSpec spec = Spec();
  spec.anyCloseEnds = true;
  ModalWindow anyClose(spec);
  ASSERT_TRUE(anyClose);
  PostEvent(owner_, EventKind::Close, 0, kLeftClick);
  EXPECT_FALSE(anyClose.Next(e));
}

}  // namespace
}  // namespace snapdeck::win32
