#include "update/update_window_states.h"

namespace snapdeck {

bool UpdateWindowStates::live(UpdateButton button) const {
  switch (button) {
    case UpdateButton::Check:
      return stage_ == Stage::Ready;
    case UpdateButton::Update:
      return stage_ == Stage::Offered;
    case UpdateButton::Cancel:
      // Live through a check or download too, so the user can stop a slow server.
      return true;
  }
  return false;
}

std::optional<UpdateButton> UpdateWindowStates::defaultButton() const {
  if (busy()) return std::nullopt;
  for (UpdateButton button : kUpdateButtons) {
    if (live(button)) return button;
  }
  return std::nullopt;
}

int UpdateWindowStates::emblemQuarterTurns() const {
  const std::optional<UpdateButton> button = defaultButton();
  return button ? static_cast<int>(*button) : 3;
}

UpdateStep UpdateWindowStates::press(UpdateButton button) {
  if (!live(button)) return UpdateStep::Nothing;
  switch (button) {
    case UpdateButton::Check:
      stage_ = Stage::Checking;
      return UpdateStep::Check;
    case UpdateButton::Update:
      stage_ = Stage::Downloading;
      return UpdateStep::Download;
    case UpdateButton::Cancel:
      if (busy()) return UpdateStep::StopFetch;
      return restartOffered() ? UpdateStep::Restart : UpdateStep::Close;
  }
  return UpdateStep::Nothing;
}

void UpdateWindowStates::ended(bool succeeded) {
  if (stage_ == Stage::Checking) {
    stage_ = succeeded ? Stage::Offered : Stage::NothingToDo;
  } else if (stage_ == Stage::Downloading) {
    stage_ = succeeded ? Stage::Prepared : Stage::NothingToDo;
  }
}

}  // namespace snapdeck
