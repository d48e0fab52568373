// The way to the phones during one program run: the adb server, started once through
// adb.exe when a local one does not answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "capture/adb_client.h"
#include "platform/ports.h"
#include "platform/socket.h"

namespace snapdeck {

inline constexpr char16_t kAdbFileName[] = u"adb.exe";

// The folders and variables adb.exe is looked for by.
struct AdbPlaces {
  std::u16string programDir;
  std::u16string loaderDir;
  std::u16string path;            // PATH
  std::u16string androidHome;     // ANDROID_HOME, an SDK folder
  std::u16string androidSdkRoot;  // ANDROID_SDK_ROOT, its older name
  std::u16string localAppData;    // LOCALAPPDATA, where Android Studio puts the SDK
};

// Where adb.exe may be, in the order it is looked for: beside the program, in the
// loader's folder, in every folder of PATH, in platform-tools of the SDK named by
// ANDROID_HOME, by ANDROID_SDK_ROOT and under LOCALAPPDATA. Folders may end with a
// separator or not; empty ones are left out.
std::vector<std::u16string> AdbCandidates(const AdbPlaces& places);

// The parameters that start a server on port: -P names it, so the server is the one
// looked for whatever adb's own variables say.
std::u16string AdbStartServerParameters(std::uint16_t port);

class PhoneLink {
 public:
  PhoneLink(SocketPort& sockets, Clock& clock, ToolRunner& runner, FileSystem& files,
            AdbServerAddress server, std::vector<std::u16string> adbCandidates)
      : client_(sockets, clock, std::move(server)),
        runner_(runner),
        files_(files),
        candidates_(std::move(adbCandidates)) {}

  // The first candidate that exists, or empty.
  std::u16string findAdb();
  // At start, without keeping the window waiting: a server elsewhere is set up (the user
  // means phones), a local one answers at once, or adb.exe can be found.
  bool available();
  // host:devices-l. When no local server answers, adb.exe -P PORT start-server is run
  // once per program run (bounded by killMs; the server it launches stays when the run
  // ends) and the listing tried again. A server elsewhere is never started. NoServer: no
  // phones at all. Safe from several threads at once.
  AdbStatus listPhones(std::vector<PhoneEntry>& phones, int timeoutMs, int killMs);
  // adb is there: the last listing reached a server, or adb.exe can be found.
  bool adbThere();

  AdbClient& client() { return client_; }
  bool startTried() const { return startTried_; }

 private:
  AdbClient client_;
  ToolRunner& runner_;
  FileSystem& files_;
  std::vector<std::u16string> candidates_;
  // Listings may come from several threads; one of them starts the server, the others
  // wait for that start rather than making their own.
  std::mutex startLock_;
  std::atomic<bool> startTried_{false};
  std::atomic<bool> serverReached_{false};
};

}  // namespace snapdeck
