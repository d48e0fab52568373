// The simulated phone behind Android's real adb server.
#include <gtest/gtest.h>

#include "adb_world.h"
#include "imaging/codec.h"
#include "tests/support/test_picture.h"

namespace snapdeck {
namespace {

using testing::AdbServer;
using testing::IsPattern;
using testing::SimulatedPhone;

TEST(AdbPhone, RealClientTakesThePngOfTheConfiguredPicture) {
  AdbServer server;
  ASSERT_TRUE(server.ready());
  SimulatedPhone phone({"width=96", "height=40", "maxpayload=4096"});
  ASSERT_TRUE(server.connect(phone));
  const std::string png = server.adb({"-s", phone.serial(), "exec-out", "screencap", "-p"});
  const DecodeResult r = DecodePng(reinterpret_cast<const std::uint8_t*>(png.data()), png.size());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(IsPattern(r.picture, 96, 40));
}

}  // namespace
}  // namespace snapdeck
