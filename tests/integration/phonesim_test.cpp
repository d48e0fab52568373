// The simulated phone's habits as Android's own adb command line reads them, so the
// simulator keeps speaking the protocols as real phones do, not only as our client expects.
#include <gtest/gtest.h>

#include "adb_world.h"
#include "imaging/codec.h"
#include "tests/support/test_picture.h"

namespace snapdeck {
namespace {

using testing::AdbServer;
using testing::IsPattern;
using testing::SimulatedPhone;

DecodeResult DecodeText(const std::string& s) {
  return DecodePng(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

TEST(PhoneSimulator, AdbCommandLineReadsTheHabitsOfRealPhones) {
  AdbServer server;
  ASSERT_TRUE(server.ready()) << "the adb server did not start";
  SimulatedPhone fold({"width=64", "height=32", "displays=2", "display2.width=40",
                       "display2.height=20"});
  SimulatedPhone old({"width=64", "height=32", "features=cmd", "terminal=crlf"});
  ASSERT_TRUE(server.connect(fold));
  ASSERT_TRUE(server.connect(old));

  // exec: carries the warning and the picture in one stream, the warning first.
  const std::string mixed = server.adb({"-s", fold.serial(), "exec-out", "screencap", "-p"});
  EXPECT_EQ(mixed.rfind("[Warning] Multiple displays were found", 0), 0u);
  const std::size_t png = mixed.find("\x89PNG");
  ASSERT_NE(png, std::string::npos);
  const DecodeResult first = DecodeText(mixed.substr(png));
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_TRUE(IsPattern(first.picture, 64, 32));

  // Shell protocol v2 as adb unpacks it: the chosen display's picture alone on stdout.
  const DecodeResult second = DecodeText(server.adb(
      {"-s", fold.serial(), "shell", "screencap", "-d", "4619827551948147201", "-p"}));
  ASSERT_TRUE(second.ok) << second.error;
  EXPECT_EQ(second.picture.width, 40);
  EXPECT_EQ(second.picture.height, 20);
  EXPECT_EQ(server.adb({"-s", fold.serial(), "shell", "dumpsys", "SurfaceFlinger", "--display-id"}),
            "Display 4619827259835644672 (HWC display 0): port=0 pnpId=GGL displayName=\"Common Panel\"\n"
            "Display 4619827551948147201 (HWC display 1): port=1 pnpId=GGL displayName=\"Common Panel\"\n");

  // Without shell_v2 adb falls back to shell:, whose old terminal makes every LF CR LF.
  const std::string clean = server.adb({"-s", old.serial(), "exec-out", "screencap", "-p"});
  std::string crlf;
  for (char ch : clean) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  ASSERT_TRUE(DecodeText(clean).ok);
  EXPECT_EQ(server.adb({"-s", old.serial(), "shell", "screencap", "-p"}), crlf);
}

}  // namespace
}  // namespace snapdeck
