// Any fetched body, read as an update document, as a program file or as the header
// texts of an answer, stays within its bounds; any text splits into a usable address.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/download_check.h"
#include "update/http_fetch.h"
#include "update/update_document.h"
#include "update/update_signature.h"
#include "update/url_parts.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// An answer whose status, Content-Length and body come from the input, delivered in
// pieces of varying size.
class FuzzedTransport final : public snapdeck::HttpTransport {
 public:
  FuzzedTransport(std::u16string status, std::u16string length, const std::uint8_t* body,
                  std::size_t size)
      : status_(std::move(status)), length_(std::move(length)), body_(body), size_(size) {}
  bool open() override { return true; }
  bool connect(const std::u16string&, int, const std::u16string&, const std::u16string&) override {
    return true;
  }
  bool openRequest(const std::u16string&, const std::u16string&, bool) override { return true; }
  bool send() override { return true; }
  std::u16string statusCode() override { return status_; }
  std::u16string contentLength() override { return length_; }
  bool read(std::uint8_t* buffer, std::size_t n, std::size_t& got) override {
    got = std::min<std::size_t>({n, size_ - offset_, 1 + offset_ % 97});
    std::copy_n(body_ + offset_, got, buffer);
    offset_ += got;
    return true;
  }
  void abort() override {}

 private:
  std::u16string status_, length_;
  const std::uint8_t* body_;
  std::size_t size_, offset_ = 0;
};

std::u16string Latin1(const std::uint8_t* data, std::size_t size) {
  std::u16string out;
  for (std::size_t i = 0; i < size; ++i) out += static_cast<char16_t>(data[i]);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = snapdeck::DocumentText(data, size);
  Check(text.size() <= (size + 1) / 2);
  Check(text.find(u'\0') == std::u16string::npos);
  if (auto line = snapdeck::FindUpdateLine(text, u"Snapdeck")) {
    for (const std::u16string* field :
         {&line->version, &line->downloadUrl, &line->sha256, &line->signature}) {
      Check(field->find_first_of(u"|\r\n") == std::u16string::npos);
    }
  }
  if (auto der = snapdeck::Base64Decode(text)) {
    Check(der->size() == text.size() / 4 * 3 - (text.size() - text.find_last_not_of(u'=') - 1) ||
          text.empty());
    (void)snapdeck::SignatureFromDer(der->data(), der->size());
  }
  (void)snapdeck::SignatureFromDer(data, size);

  const snapdeck::UrlParts url = snapdeck::SplitUrl(text);
  Check(url.port >= -1 && url.port <= 65535);
  Check(url.host.find(u'/') == std::u16string::npos);
  Check(url.path.size() <= text.size());
  (void)snapdeck::FetchStatus(text);
  (void)snapdeck::ParseSha256Hex(text);
  (void)snapdeck::IsWindowsX64Executable(data, size);

  // First line: Content-Length header; the rest: the body.
  const std::size_t newline =
      std::min<std::size_t>(size, std::find(data, data + size, '\n') - data);
  const std::size_t bodyAt = std::min(size, newline + 1);
  FuzzedTransport net(u"200", Latin1(data, newline), data + bodyAt, size - bodyAt);
  snapdeck::FetchedBody body;
  const std::u16string result =
      snapdeck::HttpFetch(net, u"http://h/x", u"", u"", u"", body, 32, nullptr);
  if (!body.buffer.empty()) {
    Check(body.buffer.size() == static_cast<std::size_t>(body.length) + 2);
    Check(body.received <= body.length);
    Check(body.buffer[body.received] == 0 && body.buffer[body.received + 1] == 0);
  } else {
    Check(result.size() > 0 && result[0] == u'*');
  }
  return 0;
}
