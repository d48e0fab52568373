#include "update/update_window_states.h"

#include <gtest/gtest.h>

#include <string>

namespace snapdeck {
namespace {

// The live buttons as the window shows them: the default one marked "*", Cancel
// under the name it reads.
std::string Shown(const UpdateWindowStates& s) {
  std::string out;
  const char* names[] = {"Check", "Update", s.restartOffered() ? "restart" : "Cancel"};
  for (UpdateButton b : kUpdateButtons) {
    if (!s.live(b)) continue;
    if (!out.empty()) out += ' ';
    out += names[static_cast<int>(b)];
    if (s.defaultButton() == b) out += '*';
  }
  return out;
}

TEST(UpdateWindowStates, CheckFindsANewerVersionDownloadPreparesTheRestart) {
  UpdateWindowStates s;
  EXPECT_EQ(Shown(s), "Check* Cancel");
  EXPECT_EQ(s.emblemQuarterTurns(), 0);

  ASSERT_EQ(s.press(UpdateButton::Check), UpdateStep::Check);
  EXPECT_EQ(Shown(s), "Cancel") << "only Cancel, to stop the fetch, and no default for Return";
  EXPECT_EQ(s.emblemQuarterTurns(), 3);
  EXPECT_EQ(s.press(UpdateButton::Check), UpdateStep::Nothing);
  EXPECT_EQ(s.press(UpdateButton::Update), UpdateStep::Nothing);

  s.ended(true);
  EXPECT_EQ(Shown(s), "Update* Cancel");
  EXPECT_EQ(s.emblemQuarterTurns(), 1);

  ASSERT_EQ(s.press(UpdateButton::Update), UpdateStep::Download);
  EXPECT_EQ(Shown(s), "Cancel");
  EXPECT_EQ(s.emblemQuarterTurns(), 3);

  s.ended(true);
  EXPECT_EQ(Shown(s), "restart*");
  EXPECT_EQ(s.emblemQuarterTurns(), 2);
  EXPECT_EQ(s.press(UpdateButton::Cancel), UpdateStep::Restart);
}

TEST(UpdateWindowStates, NothingNewerOrAFailureLeavesOnlyCancelToClose) {
  UpdateWindowStates upToDate;
  upToDate.press(UpdateButton::Check);
  upToDate.ended(false);  // up to date, no document, or cancelled
  EXPECT_EQ(Shown(upToDate), "Cancel*") << "a second check is not offered";
  EXPECT_EQ(upToDate.emblemQuarterTurns(), 2);
  EXPECT_EQ(upToDate.press(UpdateButton::Check), UpdateStep::Nothing);
  EXPECT_EQ(upToDate.press(UpdateButton::Update), UpdateStep::Nothing);
  EXPECT_EQ(upToDate.press(UpdateButton::Cancel), UpdateStep::Close);

  UpdateWindowStates refused;
  refused.press(UpdateButton::Check);
  refused.ended(true);
  refused.press(UpdateButton::Update);
  refused.ended(false);  // failed, refused or cancelled download
  EXPECT_EQ(Shown(refused), "Cancel*") << "no restart and no second download";
  EXPECT_EQ(refused.press(UpdateButton::Update), UpdateStep::Nothing);
  EXPECT_EQ(refused.press(UpdateButton::Cancel), UpdateStep::Close);
}

TEST(UpdateWindowStates, CancelDuringAFetchStopsItAndKeepsTheWindow) {
  UpdateWindowStates s;
  s.press(UpdateButton::Check);
  EXPECT_EQ(s.press(UpdateButton::Cancel), UpdateStep::StopFetch);
  EXPECT_EQ(s.press(UpdateButton::Cancel), UpdateStep::StopFetch) << "still running";
  s.ended(true);
  s.press(UpdateButton::Update);
  EXPECT_EQ(s.press(UpdateButton::Cancel), UpdateStep::StopFetch);
  s.ended(false);
  EXPECT_EQ(s.press(UpdateButton::Cancel), UpdateStep::Close);

  // Closing before anything ran.
  EXPECT_EQ(UpdateWindowStates().press(UpdateButton::Cancel), UpdateStep::Close);
}

}  // namespace
}  // namespace snapdeck
