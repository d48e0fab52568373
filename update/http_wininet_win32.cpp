#include "update/http_wininet_win32.h"

#include <windows.h>

#include <mutex>

#include "platform/text.h"
#include "platform/win32/handles_win32.h"
#include "platform/win32/system_libraries_win32.h"

namespace snapdeck::win32 {
namespace {

// Not in every SDK's headers; the values WinINet and Schannel define.
constexpr DWORD kOptionSecureProtocols = 151;  // INTERNET_OPTION_SECURE_PROTOCOLS
constexpr DWORD kTls12Client = 0x00000800;     // SP_PROT_TLS1_2_CLIENT
constexpr DWORD kTls13Client = 0x00002000;     // SP_PROT_TLS1_3_CLIENT

// Sets a text option; the length is the text's size in bytes plus one.
void SetTextOption(const WinInetApi& net, HINTERNET handle, DWORD option,
                   const std::wstring& text) {
  net.InternetSetOptionW(handle, option, const_cast<wchar_t*>(text.c_str()),
                     static_cast<DWORD>(text.size() * sizeof(wchar_t) + 1));
}

// TLS 1.2 and later, where WinINet takes the option: Windows 7 with its updates
// offers only older versions otherwise, which servers refuse. A system that refuses
// 1.3 gets 1.2 alone; one that refuses the option keeps its own choice.
void AskForModernTls(const WinInetApi& net, HINTERNET root) {
  DWORD protocols = kTls12Client | kTls13Client;
  if (net.InternetSetOptionW(root, kOptionSecureProtocols, &protocols, sizeof(protocols))) return;
  protocols = kTls12Client;
  net.InternetSetOptionW(root, kOptionSecureProtocols, &protocols, sizeof(protocols));
}

std::u16string QueryText(const WinInetApi& net, HINTERNET request, DWORD what) {
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof(buffer);
  if (!net.HttpQueryInfoW(request, what, buffer, &bytes, nullptr)) return {};
  buffer[1023] = L'\0';
  return FromWide(buffer);
}

// The fetch's calls run on its worker thread; abort comes from the waiting one.
// Closing the request handle is what ends a read that waits for the server.
class WinInetTransport final : public HttpTransport {
 public:
  bool open() override {
    if (net_ == nullptr) return false;
    UniqueInternet root(
        net_->InternetOpenW(L"SD@INET", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (root) AskForModernTls(*net_, root.get());
    std::lock_guard<std::mutex> lock(mutex_);
    if (aborted_) return false;
    root_ = std::move(root);
    return static_cast<bool>(root_);
  }

  bool connect(const std::u16string& host, int port, const std::u16string& userName,
               const std::u16string& password) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (aborted_) return false;
    connection_.reset(net_->InternetConnectW(root_.get(), ToWide(host).c_str(),
                                       static_cast<INTERNET_PORT>(port), L"", L"",
                                       INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection_) return false;
    SetTextOption(*net_, connection_.get(), INTERNET_OPTION_USERNAME, ToWide(userName));
    SetTextOption(*net_, connection_.get(), INTERNET_OPTION_PASSWORD, ToWide(password));
    withCredentials_ = !userName.empty() || !password.empty();
    return true;
  }

  bool openRequest(const std::u16string& path, const std::u16string& referrer,
                   bool secure) override {
    // Certificates are checked as WinINet does by default: no flag relaxes it.
    DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    // WinINet would answer another host's login request with these credentials.
    if (withCredentials_) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
    std::lock_guard<std::mutex> lock(mutex_);
    if (aborted_) return false;
    request_.reset(net_->HttpOpenRequestW(connection_.get(), L"GET", ToWide(path).c_str(),
                                          L"HTTP/1.0", ToWide(referrer).c_str(), nullptr, flags,
                                          0));
    return static_cast<bool>(request_);
  }

  bool send() override { return net_->HttpSendRequestW(request(), nullptr, 0, nullptr, 0) != 0; }

  std::u16string statusCode() override {
    return QueryText(*net_, request(), HTTP_QUERY_STATUS_CODE);
  }

  std::u16string contentLength() override {
    return QueryText(*net_, request(), HTTP_QUERY_CONTENT_LENGTH);
  }

  bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) override {
    DWORD n = 0;
    if (!net_->InternetReadFile(request(), buffer, static_cast<DWORD>(size), &n)) return false;
    got = n;
    return true;
  }

  void abort() override {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    request_.reset();
  }

 private:
  // Null once aborted, so every later call fails at once.
  HINTERNET request() {
    std::lock_guard<std::mutex> lock(mutex_);
    return request_.get();
  }

  // Null when the system has no WinINet: the fetch then fails at its first step.
  const WinInetApi* net_ = WinInet();
  std::mutex mutex_;
  bool aborted_ = false;
  bool withCredentials_ = false;
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
