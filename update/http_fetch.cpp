#include "update/http_fetch.h"

#include <algorithm>
#include <climits>

#include "platform/text.h"
#include "update/text_fields.h"
#include "update/url_parts.h"

namespace snapdeck {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Leading blanks skipped, an optional sign, then digits up to the first other
// character; saturates instead of overflowing. No digits read as 0.
long long LeadingDecimal(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value > (LLONG_MAX - 9) / 10 ? LLONG_MAX : value * 10 + (text[i] - u'0');
  }
  return negative ? -value : value;
}

// A server's header shown in a result text stays short.
std::u16string Shown(std::u16string_view text) { return std::u16string(text.substr(0, 40)); }

enum class LengthKind { Empty, Usable, Invalid, TooLarge };

// Content-Length must be plain decimal digits; a missing header counts as 0.
LengthKind ClassifyLength(std::u16string_view header, std::int64_t& length) {
  const std::u16string_view digits = Trimmed(header);
  length = 0;
  if (digits.empty()) return LengthKind::Empty;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return LengthKind::Invalid;
  }
  const long long value = LeadingDecimal(digits);
  if (value > kMaxFetchBytes) return LengthKind::TooLarge;
  length = value;
  return value == 0 ? LengthKind::Empty : LengthKind::Usable;
}

std::u16string StatusResult(long long status, const std::u16string& statusText) {
  switch (status) {
    case 401:
      return u"*unauthorized*; " + statusText;
    case 404:
      return u"*not found*; " + statusText;
    case 504:
      return u"*gateway timeout*; " + statusText;
    default:
      return u"*other*; " + statusText;
  }
}

}  // namespace

std::u16string HttpFetch(HttpTransport& net, std::u16string_view url,
                         const std::u16string& referrer, const std::u16string& userName,
                         const std::u16string& password, FetchedBody& body, int chunkChars,
                         const FetchProgress& progress) {
  auto report = [&](int maximum, int value) {
    if (progress) progress(maximum, value);
  };
  const UrlParts parts = SplitUrl(url);

  report(100, 10);
  if (!net.open()) return u"*InternetSession failed*";
  report(100, 20);
  if (parts.port < 0 || !net.connect(parts.host, parts.port, userName, password)) {
    return u"*HTTPSession failed*";
  }
  report(100, 30);
  if (!net.openRequest(parts.path, referrer, parts.secure)) return u"*HTTPOpenRequest failed*";
  report(100, 40);
  if (!net.send()) return u"*HTTPSendRequest failed*";
  report(100, 50);
  const std::u16string statusText = net.statusCode();
  const long long status = LeadingDecimal(statusText);
  if (status != 200) return StatusResult(status, statusText);

  report(100, 60);
  const std::u16string lengthText = net.contentLength();
  std::int64_t length = 0;
  switch (ClassifyLength(lengthText, length)) {
    case LengthKind::Empty:
      return u"*Empty document*";
    case LengthKind::Invalid:
      return u"*invalid Content-Length* " + Shown(lengthText);
    case LengthKind::TooLarge:
      return u"*Content-Length too large* " + Shown(Trimmed(lengthText));
    case LengthKind::Usable:
      break;
  }

  body.buffer.assign(static_cast<std::size_t>(length) + 2, 0);
  body.length = length;
  body.received = 0;
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::max(chunkChars, 1)) * 2);
  report(100, 0);

  std::u16string result;
  while (body.received < length) {
    std::size_t got = 0;
    if (!net.read(chunk.data(), chunk.size(), got)) {
      result = u"*InternetReadFile* 0";
      break;
    }
    if (got == 0) break;
    const std::size_t room = static_cast<std::size_t>(length - body.received);
    const std::size_t kept = std::min(std::min(got, chunk.size()), room);
    std::copy_n(chunk.begin(), kept, body.buffer.begin() + body.received);
    body.received += static_cast<std::int64_t>(kept);
    report(static_cast<int>(length), static_cast<int>(body.received));
    result = u"#ok#";
  }
  body.buffer[static_cast<std::size_t>(body.received)] = 0;
  body.buffer[static_cast<std::size_t>(body.received) + 1] = 0;
  return result;
}

int FetchStatus(std::u16string_view resultText) {
  if (resultText.empty() || resultText.front() != u'*') return 0;
  // A text without ";" has an empty second field, which reads as 0.
  const long long value =
      std::clamp<long long>(LeadingDecimal(NthField(resultText, u';', 1)), INT_MIN, INT_MAX);
  return value == 0 ? -1 : static_cast<int>(value);
}

}  // namespace snapdeck
