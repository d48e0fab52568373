// What the update window's buttons offer as a check and a download go. The window
// shows these states and runs what a press asks for; the rules live here, where a
// test can walk through them.
#pragma once

#include <optional>

namespace snapdeck {

enum class UpdateButton { Check, Update, Cancel };
// In the order Return tries them.
inline constexpr UpdateButton kUpdateButtons[] = {UpdateButton::Check, UpdateButton::Update,
                                                  UpdateButton::Cancel};

// What a press asks the window to do.
enum class UpdateStep { Nothing, Check, Download, StopFetch, Close, Restart };

class UpdateWindowStates {
 public:
  bool live(UpdateButton button) const;
  // The first live button, which Return presses; none while a check or download
  // runs, when only Cancel is live and a press of it stops the fetch.
  std::optional<UpdateButton> defaultButton() const;
  // Cancel reads "restart" and starts the prepared copy.
  bool restartOffered() const { return stage_ == Stage::Prepared; }
  // The emblem turns a quarter for each default button: Check 0, Update 1, Cancel 2;
  // 3 while none is.
  int emblemQuarterTurns() const;

  // A press of a button that is not live asks for nothing and changes nothing.
  UpdateStep press(UpdateButton button);
  // The running check or download is over: the check found a newer version, or the
  // download prepared the restart.
  void ended(bool succeeded);

 private:
  // A check is offered once per window; so is the download.
  enum class Stage { Ready, Checking, Offered, NothingToDo, Downloading, Prepared };
  bool busy() const { return stage_ == Stage::Checking || stage_ == Stage::Downloading; }

  Stage stage_ = Stage::Ready;
};

}  // namespace snapdeck
