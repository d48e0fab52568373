// The start-up check that the device tool can be found.
#pragma once

#include <string>

#include "platform/ports.h"
#include "settings/app_settings.h"

namespace snapdeck {

// The file kind of the requester, as the start-up check needs it.
struct ToolLocator {
  virtual ~ToolLocator() = default;
  // Shows the file requester; answers 20 for the first button, 21 for the second, 0 closed,
  // id::kAnswerNotShown when it could not be shown.
  virtual int askLocation(const std::u16string& filePreset, const std::u16string& fileFilter,
                          const std::u16string& message, const std::u16string& firstButton,
                          const std::u16string& secondButton) = 0;
  // The file chosen in the last requester.
  virtual std::u16string fileResult() = 0;
};

enum class ToolCheck {
  Found,     // JLpath + "javaloader.exe" exists and is not empty
  GaveUp,    // the user cancelled the question
  NotAsked,  // missing, and the question could not be shown
};

// Asks the user for the tool's folder until the tool is found or the user gives up.
ToolCheck CheckDeviceTool(AppSettings& settings, FileSystem& files, ToolLocator& locator);

}  // namespace snapdeck
