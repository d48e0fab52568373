// The clipboard shared with other programs: one that holds it open must not make a copy
// pass for done.
#include "driver/fixture.h"

namespace e2e {
namespace {

using Clipboard = E2eTest;

// Opens the clipboard as another program may, holding it for the session's life.
snapdeck::win32::ClipboardSession HoldClipboard() {
  snapdeck::win32::ClipboardSession session;
  WaitUntil(
      [&] {
        session = snapdeck::win32::ClipboardSession(nullptr);
        return static_cast<bool>(session);
      },
      5000);
  return session;
}

TEST_F(Clipboard, PreviewCopyIntoAHeldClipboardSaysSo) {
  Program& p = Start(folder_, {});
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  {
    const auto clipboard = HoldClipboard();
    ASSERT_TRUE(clipboard);
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
