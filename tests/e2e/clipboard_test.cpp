// The clipboard shared with other programs: one that holds it open must not make a copy
// pass for done.
#include "driver/fixture.h"

namespace e2e {
namespace {

using Clipboard = E2eTest;

// Holds the clipboard open, as another program may, until it goes out of scope.
class HeldClipboard {
 public:
  HeldClipboard() {
    held_ = WaitUntil([] { return OpenClipboard(nullptr) != 0; }, 5000);
  }
  ~HeldClipboard() {
    if (held_) CloseClipboard();
  }
  HeldClipboard(const HeldClipboard&) = delete;
  HeldClipboard& operator=(const HeldClipboard&) = delete;
  bool held() const { return held_; }

 private:
  bool held_ = false;
};

TEST_F(Clipboard, PreviewCopyIntoAHeldClipboardSaysSo) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  {
    HeldClipboard clipboard;
    ASSERT_TRUE(clipboard.held());
    DoubleClick(Control(main, id::kStatusPicture));
    HWND bubble = p.WaitWindow(kBubbleTitle);
    ASSERT_NE(bubble, nullptr) << "a failed copy was not told";
    EXPECT_EQ(Text(Control(bubble, id::kBubbleText)),
              L"The picture could not be put on the clipboard.");
    Click(Control(bubble, id::kBubbleOk));
    EXPECT_TRUE(p.WaitWindowGone(kBubbleTitle));
  }
  EXPECT_TRUE(WaitUntil([&] { return Enabled(main); }, 10000));
  EndWithEsc(p, main);
}

}  // namespace
}  // namespace e2e
