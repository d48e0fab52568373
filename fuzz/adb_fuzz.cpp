// The adb server's answers as they come over the socket: a device list, a screenshot
// stream (raw or PNG, with text before it, several displays) and the raw and framebuffer
// pictures alone. Nothing read may crash, hang or give
// a picture outside the budget or unlike its size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/adb_client.h"
#include "platform/file_names.h"

namespace {

using namespace snapdeck;

void Check(bool ok) {
  if (!ok) std::abort();
}

class CountingClock final : public Clock {
 public:
  std::uint64_t nowMs() override { return now; }
  void sleepMs(int ms) override { now += static_cast<std::uint64_t>(ms); }
  std::uint64_t now = 0;
};

// Every connection answers with the input, in pieces of varying size, then closes.
class ReplayConnection final : public Connection {
 public:
  ReplayConnection(const std::uint8_t* data, std::size_t size, CountingClock& clock)
      : data_(data), size_(size), clock_(clock) {}
  bool sendAll(const std::uint8_t*, std::size_t, int) override { return true; }
  std::ptrdiff_t receive(std::uint8_t* buffer, std::size_t n, int timeoutMs) override {
    if (offset_ == size_) {
      // Now and then the peer stays silent instead of closing.
      if (size_ % 7 == 3) {
        clock_.now += static_cast<std::uint64_t>(std::max(timeoutMs, 0));
        return -1;
      }
      return 0;
    }
    const std::size_t got = std::min<std::size_t>({n, size_ - offset_, 1 + (offset_ * 31) % 4099});
    std::copy_n(data_ + offset_, got, buffer);
    offset_ += got;
    return static_cast<std::ptrdiff_t>(got);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  CountingClock& clock_;
};

class ReplayServer final : public SocketPort {
 public:
  ReplayServer(const std::uint8_t* data, std::size_t size, CountingClock& clock)
      : data_(data), size_(size), clock_(clock) {}
  std::unique_ptr<Connection> connectLoopback(std::uint16_t, int) override {
    return std::make_unique<ReplayConnection>(data_, size_, clock_);
  }
  std::unique_ptr<Connection> connectHost(const std::string&, std::uint16_t, int) override {
    return std::make_unique<ReplayConnection>(data_, size_, clock_);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  CountingClock& clock_;
};

void CheckPicture(const DecodeResult& r) {
  if (!r.ok) return;
  Check(PictureSizeAllowed(r.picture.width, r.picture.height));
  Check(r.picture.pixels.size() ==
        static_cast<std::size_t>(r.picture.width) * static_cast<std::size_t>(r.picture.height));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0] % 3;
  ++data;
  --size;
  CountingClock clock;
  ReplayServer server(data, size, clock);
  AdbClient client(server, clock, 5037);
  if (mode == 0) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const PhoneEntry& e : ParseDeviceList(text)) {
      Check(!e.serial.empty() && !e.state.empty());
      Check(e.serial.find_first_of(" \t\n") == std::string::npos);
      const std::u16string name = SerialForFileName(std::u16string(e.serial.begin(), e.serial.end()));
      Check(name.find_first_of(u".:/\\ ") == std::u16string::npos);
    }
    std::vector<PhoneEntry> phones;
    client.listPhones(phones, 2000);
  } else if (mode == 1) {
    std::uint64_t last = 0;
    const DecodeResult r =
        client.screenshot("R58M", 3000, [&](std::uint64_t received, std::uint64_t announced) {
          // Each display's picture counts again from its header.
          if (received == kScreencapHeaderBytes) last = 0;
          Check(received >= last && received <= announced);
          last = received;
        });
    CheckPicture(r);
    // Each request waits out the idle limit at most once: the raw picture twice, the
    // features, the display list and two requests for each of at most eight displays.
    Check(clock.now <= 3000 * 24);
  } else {
    CheckPicture(DecodeRawScreencap(data, size));
    CheckPicture(DecodeFramebuffer(data, size));
  }
  return 0;
}
