// The embedded texts and pictures are generated and committed; an edit to a help source
// that was not followed by a run of the generator must not reach a build unnoticed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

TEST(Resources, GeneratedFilesMatchTheirSources) {
  const std::string command =
      std::string("python3 \"") + SNAPDECK_SOURCE_DIR + "/tools/make_resources.py\" --check";
  // The generator names every stale file; run it without --check to rewrite them.
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}
