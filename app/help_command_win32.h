// The main window's help command ("?" and F1).
#pragma once

#include <string>
#include <vector>

#include "shell/tables.h"

namespace snapdeck::win32 {

// The help languages (sorted by name, help texts filled) and the information text,
// loaded at start-up for the help window.
struct ProgramTexts {
  std::vector<LanguageRow> languages;
  std::u16string infoText;
};
ProgramTexts& TheProgramTexts();

// The donation page of this build (a build setting); empty hides the donation button.
void SetDonationAddress(const std::u16string& address);

// Opens the help window over the main window in the language of the langcode setting
// and keeps the language chosen there in that setting.
void RunHelpCommand();

}  // namespace snapdeck::win32
