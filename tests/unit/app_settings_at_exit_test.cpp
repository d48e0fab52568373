#include <gtest/gtest.h>

#include "app/settings_at_exit.h"
#include "settings/preference_file.h"
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

  const auto notice =
      SaveSettingsAtExit(settings, files, u"C:\\run\\Snapdeck.ini", random, false);
  ASSERT_TRUE(notice.has_value());
  EXPECT_EQ(notice->caption, u"Snapdeck.ini");
  EXPECT_FALSE(notice->text.empty());
  EXPECT_EQ(files.files[u"C:\\run\\Snapdeck.ini"], old);

  files.failWrites = false;
  EXPECT_FALSE(
      SaveSettingsAtExit(settings, files, u"C:\\run\\Snapdeck.ini", random, false).has_value());
  EXPECT_NE(files.files[u"C:\\run\\Snapdeck.ini"], old);
}

TEST(SettingsAtExit, AFileThatCannotBeReadIsToldAtStartAndKeptByteForByte) {
  const std::u16string path = u"C:\\run\\Snapdeck.ini";
  std::string big;
  while (big.size() <= PreferenceFile::kMaxFileBytes) big += "width = 300\r\n";
  const std::vector<std::uint8_t> tooLarge(big.begin(), big.end());
  const std::vector<std::uint8_t> small = {'w', 'i', 'd', 't', 'h', '=', '3', '0', '0'};
  CountingRandom random;
  for (const bool lockedFile : {false, true}) {
    SCOPED_TRACE(lockedFile ? "locked" : "too large");
    testing::MemoryFiles files;
    const std::vector<std::uint8_t>& old = lockedFile ? small : tooLarge;
    files.files[path] = old;
    if (lockedFile) files.locked.insert(path);
    AppSettings settings;
    bool keepFile = false;
    const auto notice = LoadSettingsAtStart(settings, files, path, keepFile);
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ(notice->caption, u"Snapdeck.ini");
    EXPECT_TRUE(keepFile);
    EXPECT_EQ(settings.width, 240) << "the defaults are in use";
    settings.width = 500;  // a change this run would otherwise save
    EXPECT_FALSE(SaveSettingsAtExit(settings, files, path, random, keepFile).has_value());
    EXPECT_EQ(files.files[path], old);
  }

  // A missing file is a first start: nothing to tell, and the exit writes it.
  testing::MemoryFiles files;
  AppSettings settings;
  bool keepFile = true;
  EXPECT_FALSE(LoadSettingsAtStart(settings, files, path, keepFile).has_value());
  EXPECT_FALSE(keepFile);
  EXPECT_FALSE(SaveSettingsAtExit(settings, files, path, random, keepFile).has_value());
  EXPECT_EQ(files.files.count(path), 1u);
}

}  // namespace
}  // namespace snapdeck
