// The way to the phones during one program run: the adb server, started once through
// adb.exe when it does not answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/adb_client.h"
#include "platform/ports.h"
#include "platform/socket.h"

namespace snapdeck {

inline constexpr char16_t kAdbFileName[] = u"adb.exe";

// Where adb.exe may be, in the order it is looked for: beside the program, in the
// loader's folder, in every folder of PATH, in the SDK under LOCALAPPDATA. Folders may
// end with a separator or not; empty ones are left out.
std::vector<std::u16string> AdbCandidates(const std::u16string& programDir,
                                          const std::u16string& loaderDir,
                                          const std::u16string& pathValue,
                                          const std::u16string& localAppData);

class PhoneLink {
 public:
  PhoneLink(SocketPort& sockets, Clock& clock, ToolRunner& runner, FileSystem& files,
            std::uint16_t port, std::vector<std::u16string> adbCandidates)
      : client_(sockets, clock, port),
        runner_(runner),
        files_(files),
        candidates_(std::move(adbCandidates)) {}

  // The first candidate that exists, or empty.
  std::u16string findAdb();
  // At start: a server answers or adb.exe can be found.
  bool available();
  // host:devices-l. When no server answers, adb.exe start-server is run once per program
  // run (bounded by killMs) and the listing tried again. NoServer: no phones at all.
  AdbStatus listPhones(std::vector<PhoneEntry>& phones, int timeoutMs, int killMs);

  AdbClient& client() { return client_; }
  bool startTried() const { return startTried_; }

 private:
  AdbClient client_;
  ToolRunner& runner_;
  FileSystem& files_;
  std::vector<std::u16string> candidates_;
  bool startTried_ = false;
};

}  // namespace snapdeck
