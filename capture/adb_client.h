// The adb server's host protocol: which phones it knows and their screenshots. A
// request is four lower-case hex digits of length and the service text; the server
// answers OKAY, or FAIL with four hex digits of length and a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/codec.h"
#include "platform/ports.h"
#include "platform/socket.h"

namespace snapdeck {

inline constexpr std::uint16_t kAdbDefaultPort = 5037;

// Where the adb server listens.
struct AdbServerAddress {
  AdbServerAddress() = default;
  // A port alone is a server on this machine's loopback address, as adb's own tcp:PORT.
  AdbServerAddress(std::uint16_t p) : port(p) {}  // NOLINT: a port is an address
  AdbServerAddress(std::string h, std::uint16_t p) : host(std::move(h)), port(p) {}
  std::string host;  // a name or an address (UTF-8, IPv6 without brackets); empty: loopback
  std::uint16_t port = kAdbDefaultPort;
};

// The server as adb's own client finds it, from the values of ADB_SERVER_SOCKET
// (tcp:PORT or tcp:HOST:PORT) or else ANDROID_ADB_SERVER_ADDRESS (a host) and
// ANDROID_ADB_SERVER_PORT (base 10, or 16 after 0x); empty values count as unset. A
// malformed value is a problem told to the user, never a fallback to 5037: the user
// meant another server.
struct AdbServerSetting {
  AdbServerAddress address;
  std::u16string variable;  // the malformed variable, or empty
  std::u16string problem;   // what is wrong with it, for the user
  bool ok() const { return problem.empty(); }
};
AdbServerSetting AdbServerFromEnvironment(std::u16string_view serverSocket,
                                          std::u16string_view serverAddress,
                                          std::u16string_view serverPort);

// A server on this machine (loopback, localhost, 127.0.0.0/8, ::1): one adb.exe may start.
// A server elsewhere is a lab's shared one, reached as it is.
bool IsLocalAdbServer(const AdbServerAddress& address);

struct PhoneEntry {
  std::string serial;
  std::string state;  // "device", "unauthorized", "offline", "no permissions", ...
  std::string model;  // from the model: word; may be empty
  std::string transportId;  // from the transport_id: word; empty on servers without it
};

// The host service that selects the phone: its transport when the listing named one (two
// phones may share a serial), else its serial.
std::string TransportService(const PhoneEntry& phone);

// One display's picture, or the reason it has none, worded for the user.
struct DisplayShot {
  int display = 0;  // 0: the phone's only display; else its place (1, 2, ...) in the phone's list
  DecodeResult result;
};

// The idle limit as the user reads it: "timed out after 3.2 s".
std::string TimedOutText(int idleMs);

// The lines of a host:devices-l answer, in order. Lines without serial and state are
// left out.
std::vector<PhoneEntry> ParseDeviceList(std::string_view text);

// The request bytes of one service: length in four lower-case hex digits, then the text.
std::string HostRequest(std::string_view service);

enum class AdbOutcome {
  Ok,
  NoServer,  // nothing answers on the port
  Failed,    // FAIL, a broken answer, a closed connection or a timeout
};

struct AdbStatus {
  AdbOutcome outcome = AdbOutcome::Failed;
  std::string message;  // the server's FAIL text, or what went wrong
  // The phone was reached but refused the service itself (not the transport).
  bool serviceRefused = false;
  bool ok() const { return outcome == AdbOutcome::Ok; }
};

// Pixel formats of the raw screenshot.
enum ScreencapFormat : std::uint32_t {
  kScreencapRgba8888 = 1,
  kScreencapRgbx8888 = 2,
  kScreencapRgb888 = 3,
  kScreencapRgb565 = 4,
};

// Bytes per pixel of a raw format, 0 for one we cannot convert.
int ScreencapBytesPerPixel(std::uint32_t format);

// The whole raw answer of exec:screencap: width, height, format (little-endian 32 bits),
// on newer phones a colour space too, then the rows. The header's size is told by the
// length that follows it; any other length is refused.
DecodeResult DecodeRawScreencap(const std::uint8_t* data, std::size_t size);

// The answer of framebuffer:, the service of phones before Android 5: a header of
// version 1 or 2 (with the colour space) giving bits per pixel, size, width, height and
// each channel's offset and length, or the first kind (16) of RGB 565, then the rows.
DecodeResult DecodeFramebuffer(const std::uint8_t* data, std::size_t size);

// The display ids of `dumpsys SurfaceFlinger --display-id`, in its order: the number
// after "Display " at the start of a line.
std::vector<std::string> ParseDisplayIds(std::string_view text);

// Bytes received and announced so far of the picture being read.
using TransferProgress = std::function<void(std::uint64_t received, std::uint64_t announced)>;

class AdbClient {
 public:
  AdbClient(SocketPort& sockets, Clock& clock, AdbServerAddress server)
      : sockets_(sockets), clock_(clock), server_(std::move(server)) {}

  // True when something accepts a connection within timeoutMs.
  bool serverAnswers(int timeoutMs);
  // host:devices-l.
  AdbStatus listPhones(std::vector<PhoneEntry>& phones, int timeoutMs);
  // Every display of the phone. The raw picture of exec:screencap first, then its PNG
  // when the raw one is not available or in a format we do not convert; without exec:
  // (before Android 5) framebuffer:, then shell:screencap -p. Text the phone writes before
  // its picture is skipped; when it says the phone has several displays, each is taken by
  // its id. A transfer fails when no byte comes for idleMs.
  std::vector<DisplayShot> screenshots(const PhoneEntry& phone, int idleMs,
                                       const TransferProgress& progress);
  // The first display's picture of the phone with that serial.
  DecodeResult screenshot(const std::string& serial, int idleMs, const TransferProgress& progress);

  // One device service on the phone's transport: the connection after both OKAYs, or
  // null with the reason in status. whileWaiting runs once the service is asked for,
  // while the phone is at work on it. Each answer may take idleMs.
  std::unique_ptr<Connection> openService(const PhoneEntry& phone, std::string_view service,
                                          int idleMs, AdbStatus& status,
                                          const std::function<void()>& whileWaiting = {});
  // The phone's features (host-transport-id:N:features, a comma list), asked once per
  // transport; empty when the server does not tell.
  std::string features(const PhoneEntry& phone, int idleMs);

  const AdbServerAddress& server() const { return server_; }

 private:
  // The loopback address by its fast way, any other host through name resolution.
  std::unique_ptr<Connection> connect(int timeoutMs);

  SocketPort& sockets_;
  Clock& clock_;
  AdbServerAddress server_;
  // The room (in pixels) each phone's last raw shot needed: the next one's is taken and
  // touched while the phone makes its picture, not after the header has come. Phones
  // whose pictures are not four bytes a pixel have none.
  std::map<std::string, std::size_t> roomOf_;
  std::map<std::string, std::string> featuresOf_;
  std::mutex cacheMutex_;  // the two maps: phones are taken from threads of their own

  struct Command;
  Command run(const PhoneEntry& phone, const std::string& command, bool shellV2, int idleMs,
              std::size_t limit);
  DisplayShot shotOfDisplay(const PhoneEntry& phone, const std::string& id, bool shellV2,
                            int idleMs, const TransferProgress& progress);
  DecodeResult oldPhoneShot(const PhoneEntry& phone, int idleMs);
};

}  // namespace snapdeck
