// The parameter texts of the device tool's three commands.
#pragma once

#include <string>

namespace snapdeck {

inline constexpr char16_t kToolFileName[] = u"javaloader.exe";
inline constexpr char16_t kTempBitmapName[] = u"~devshot.bmp";

// "-u enum": list the connected devices.
std::u16string EnumParameters();
// "-u -p<PIN>  [-w"<password>"] deviceinfo": proves the password.
std::u16string DeviceInfoParameters(const std::u16string& pin, const std::u16string& password);
// As above with " screenshot \"<tempDir>~devshot.bmp\"".
std::u16string ScreenshotParameters(const std::u16string& pin, const std::u16string& password,
                                    const std::u16string& tempDir);

// Text to put between two double quotes so that a tool parsing its command line by the
// Windows rules receives exactly `text`: a quote becomes \" and backslashes that end up
// before a quote (or before the closing quote) are doubled. Unchanged when it holds no quote
// and does not end in a backslash.
std::u16string EscapeInsideQuotes(const std::u16string& text);
// The argument unchanged when it is one word by the Windows rules, else quoted and escaped.
std::u16string QuoteArgumentIfNeeded(const std::u16string& argument);

}  // namespace snapdeck
