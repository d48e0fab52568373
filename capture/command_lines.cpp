#include "capture/command_lines.h"

namespace snapdeck {

namespace {

// "-u -p<PIN> " and, with a password, " -w\"<password>\"".
std::u16string DeviceSwitches(const std::u16string& pin, const std::u16string& password) {
  // A PIN comes from the tool's own output; keep it one argument whatever it holds.
  std::u16string text = u"-u " + QuoteArgumentIfNeeded(u"-p" + pin) + u" ";
  if (!password.empty()) text += u" -w\"" + EscapeInsideQuotes(password) + u"\"";
  return text;
}

}  // namespace

std::u16string EnumParameters() { return u"-u enum"; }

std::u16string DeviceInfoParameters(const std::u16string& pin, const std::u16string& password) {
  return DeviceSwitches(pin, password) + u" deviceinfo";
}

std::u16string ScreenshotParameters(const std::u16string& pin, const std::u16string& password,
                                    const std::u16string& tempDir) {
  return DeviceSwitches(pin, password) + u" screenshot \"" +
         EscapeInsideQuotes(tempDir + kTempBitmapName) + u"\"";
}

std::u16string EscapeInsideQuotes(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size() + 8);
  std::size_t backslashes = 0;
  for (char16_t c : text) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      // 2n backslashes and \" give n backslashes and a literal quote.
      out.append(backslashes * 2 + 1, u'\\');
    } else {
      out.append(backslashes, u'\\');
    }
    backslashes = 0;
    out += c;
  }
  // They stand before the closing quote.
  out.append(backslashes * 2, u'\\');
  return out;
}

std::u16string QuoteArgumentIfNeeded(const std::u16string& argument) {
  if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string::npos) {
    return argument;
  }
  std::u16string quoted(1, u'"');
  quoted += EscapeInsideQuotes(argument);
  quoted += u'"';
  return quoted;
}

}  // namespace snapdeck
