#include "app/help_command_win32.h"

#include "dialogs/help_win32.h"
#include "resources/ids.h"
#include "shell/shell_win32.h"

namespace snapdeck::win32 {
namespace {

std::u16string& DonationAddress() {
  static std::u16string address;
  return address;
}

}  // namespace

ProgramTexts& TheProgramTexts() {
  static ProgramTexts texts;
  return texts;
}

void SetDonationAddress(const std::u16string& address) { DonationAddress() = address; }

void RunHelpCommand() {
  ProgramTexts& texts = TheProgramTexts();
  AppSettings& settings = TheShell().settings;
  HelpInfo request;
  request.parentWindow = id::kMainWindow;
  request.donationAddress = DonationAddress();
  request.languageCode = settings.langcode;
  request.infoText = texts.infoText;
  request.languages = &texts.languages;
  settings.langcode = ShowHelp(request);
}

}  // namespace snapdeck::win32
