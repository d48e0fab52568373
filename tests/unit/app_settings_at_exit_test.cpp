#include <gtest/gtest.h>

#include "app/settings_at_exit.h"
#include "tests/support/counting_random.h"
#include "tests/support/memory_files.h"

namespace snapdeck {
namespace {

using testing::CountingRandom;

TEST(SettingsAtExit, AFileThatCannotBeWrittenAsksForTheBubbleAndStaysAsItWas) {
  testing::MemoryFiles files;
  const std::vector<std::uint8_t> old = {'w', 'i', 'd', 't', 'h', '=', '3'};
  files.files[u"C:\\run\\Snapdeck.ini"] = old;
  files.failWrites = true;
  AppSettings settings;
  CountingRandom random;

  const auto notice = SaveSettingsAtExit(settings, files, u"C:\\run\\Snapdeck.ini", random);
  ASSERT_TRUE(notice.has_value());
  EXPECT_EQ(notice->caption, u"Snapdeck.ini");
  EXPECT_FALSE(notice->text.empty());
  EXPECT_EQ(files.files[u"C:\\run\\Snapdeck.ini"], old);

  files.failWrites = false;
  EXPECT_FALSE(SaveSettingsAtExit(settings, files, u"C:\\run\\Snapdeck.ini", random).has_value());
  EXPECT_NE(files.files[u"C:\\run\\Snapdeck.ini"], old);
}

}  // namespace
}  // namespace snapdeck
