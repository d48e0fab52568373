#include "update/http_wininet_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <wininet.h>

#include "platform/text.h"
#include "platform/win32/handles_win32.h"

namespace snapdeck::win32 {
namespace {

// Sets a text option; the length is the text's size in bytes plus one.
void SetTextOption(HINTERNET handle, DWORD option, const std::wstring& text) {
  InternetSetOptionW(handle, option, const_cast<wchar_t*>(text.c_str()),
                     static_cast<DWORD>(text.size() * sizeof(wchar_t) + 1));
}

std::u16string QueryText(HINTERNET request, DWORD what) {
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof(buffer);
  if (!HttpQueryInfoW(request, what, buffer, &bytes, nullptr)) return {};
  buffer[1023] = L'\0';
  return FromWide(buffer);
}

class WinInetTransport final : public HttpTransport {
 public:
  bool open() override {
    root_.reset(InternetOpenW(L"SD@INET", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    return static_cast<bool>(root_);
  }

  bool connect(const std::u16string& host, int port, const std::u16string& userName,
               const std::u16string& password) override {
    connection_.reset(InternetConnectW(root_.get(), ToWide(host).c_str(),
                                       static_cast<INTERNET_PORT>(port), L"", L"",
                                       INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection_) return false;
    SetTextOption(connection_.get(), INTERNET_OPTION_USERNAME, ToWide(userName));
    SetTextOption(connection_.get(), INTERNET_OPTION_PASSWORD, ToWide(password));
    return true;
  }

  bool openRequest(const std::u16string& path, const std::u16string& referrer,
                   bool secure) override {
    // Certificates are checked as WinINet does by default: no flag relaxes it.
    DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    request_.reset(HttpOpenRequestW(connection_.get(), L"GET", ToWide(path).c_str(), L"HTTP/1.0",
                                    ToWide(referrer).c_str(), nullptr, flags, 0));
    return static_cast<bool>(request_);
  }

  bool send() override { return HttpSendRequestW(request_.get(), nullptr, 0, nullptr, 0) != 0; }

  std::u16string statusCode() override { return QueryText(request_.get(), HTTP_QUERY_STATUS_CODE); }

  std::u16string contentLength() override {
    return QueryText(request_.get(), HTTP_QUERY_CONTENT_LENGTH);
  }

  bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) override {
    DWORD n = 0;
    if (!InternetReadFile(request_.get(), buffer, static_cast<DWORD>(size), &n)) return false;
    got = n;
    return true;
  }

 private:
  // Declared outermost first, so they close innermost first.
  UniqueInternet root_;
  UniqueInternet connection_;
  UniqueInternet request_;
};

}  // namespace

std::unique_ptr<HttpTransport> MakeWinInetTransport() {
  return std::make_unique<WinInetTransport>();
}

}  // namespace snapdeck::win32
