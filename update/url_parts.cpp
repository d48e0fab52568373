#include "update/url_parts.h"

#include "platform/text.h"
#include "update/text_fields.h"

namespace snapdeck {
namespace {

std::u16string RemoveIgnoringCase(std::u16string_view text, std::u16string_view what) {
  if (what.empty()) return std::u16string(text);
  std::u16string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= what.size() &&
        EqualsIgnoreAsciiCase(text.substr(i, what.size()), what)) {
      i += what.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

// Digits only, 1..65535; -1 otherwise. Nothing after the colon keeps the default.
int PortNumber(std::u16string_view digits, int defaultPort) {
  if (digits.empty()) return defaultPort;
  if (digits.size() > 5) return -1;
  int value = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return -1;
    value = value * 10 + (c - u'0');
  }
  return value >= 1 && value <= 65535 ? value : -1;
}

}  // namespace

UrlParts SplitUrl(std::u16string_view url) {
  UrlParts parts;
  const std::u16string scheme = std::u16string(NthField(url, u'/', 0)) + u"//";
  const std::u16string_view hostField = NthField(url, u'/', 2);
  parts.path = RemoveIgnoringCase(url, scheme + std::u16string(hostField));
  parts.secure = AsciiLower(scheme).find(u's') != std::u16string::npos;
  parts.port = parts.secure ? 443 : 0;

  // A colon after a bracketed IPv6 literal, or the only colon of a name, starts a port.
  std::size_t colon = std::u16string_view::npos;
  if (!hostField.empty() && hostField.front() == u'[') {
    const std::size_t close = hostField.find(u']');
    if (close != std::u16string_view::npos && close + 1 < hostField.size() &&
        hostField[close + 1] == u':') {
      colon = close + 1;
    }
  } else if (hostField.find(u':') == hostField.rfind(u':')) {
    colon = hostField.find(u':');
  }
  if (colon == std::u16string_view::npos) {
    parts.host = std::u16string(hostField);
  } else {
    parts.host = std::u16string(hostField.substr(0, colon));
    parts.port = PortNumber(hostField.substr(colon + 1), parts.port);
  }
  return parts;
}

std::u16string OriginOf(std::u16string_view url) {
  const UrlParts parts = SplitUrl(url);
  const int port = parts.port != 0 ? parts.port : 80;
  return (parts.secure ? u"https://" : u"http://") + AsciiLower(parts.host) + u":" +
         DecimalText(port);
}

std::u16string HostShown(std::u16string_view url) {
  return std::u16string(NthField(url, u'/', 2));
}

}  // namespace snapdeck
