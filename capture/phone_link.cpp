#include "capture/phone_link.h"

#include <algorithm>
#include <string_view>

#include "platform/text.h"

namespace snapdeck {

namespace {

// The start-up check runs before the window answers: a local server that is there
// accepts at once, so a short wait is enough.
constexpr int kStartCheckMs = 300;

std::u16string WithSeparator(std::u16string folder) {
  if (folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

}  // namespace

std::vector<std::u16string> AdbCandidates(const AdbPlaces& places) {
  std::vector<std::u16string> out;
  auto add = [&out](const std::u16string& folder) {
    if (!folder.empty()) out.push_back(WithSeparator(folder) + kAdbFileName);
  };
  auto addSdk = [&add](const std::u16string& sdk, std::u16string_view below) {
    if (!sdk.empty()) add(WithSeparator(sdk) + std::u16string(below));
  };
  add(places.programDir);
  add(places.loaderDir);
  const std::u16string& pathValue = places.path;
  std::size_t start = 0;
  while (start <= pathValue.size()) {
    std::size_t end = pathValue.find(u';', start);
    if (end == std::u16string::npos) end = pathValue.size();
    std::u16string folder = pathValue.substr(start, end - start);
    // A folder in PATH may be quoted.
    folder.erase(std::remove(folder.begin(), folder.end(), u'"'), folder.end());
    add(folder);
    start = end + 1;
  }
  addSdk(places.androidHome, u"platform-tools");
  addSdk(places.androidSdkRoot, u"platform-tools");
  addSdk(places.localAppData, u"Android\\Sdk\\platform-tools");
  return out;
}

std::u16string AdbStartServerParameters(std::uint16_t port) {
  return u"-P " + DecimalText(port) + u" start-server";
}

std::u16string PhoneLink::findAdb() {
  for (const std::u16string& path : candidates_) {
    if (files_.fileSize(path) > 0) return path;
  }
  return {};
}

bool PhoneLink::available() {
  const bool local = IsLocalAdbServer(client_.server());
  return !local || client_.serverAnswers(kStartCheckMs) || !findAdb().empty();
}

bool PhoneLink::adbThere() { return serverReached_ || !findAdb().empty(); }

AdbStatus PhoneLink::listPhones(std::vector<PhoneEntry>& phones, int timeoutMs, int killMs) {
  const bool triedBefore = startTried_;
  AdbStatus status = client_.listPhones(phones, timeoutMs);
  serverReached_ = status.outcome != AdbOutcome::NoServer;
  // Only a server on this machine is ours to start; one elsewhere is the lab's.
  if (serverReached_ || triedBefore || !IsLocalAdbServer(client_.server())) return status;
  {
    const std::lock_guard<std::mutex> lock(startLock_);
    // Another thread's start, made while this listing failed, may have helped.
    if (!startTried_) {
      const std::u16string adb = findAdb();
      if (adb.empty()) return status;
      startTried_ = true;
      // start-server returns once the server listens, so one run is enough. The server is
      // left running when the run ends; only a client still running at its limit is ended.
      if (std::unique_ptr<ToolRun> run =
              runner_.startDetached(adb, AdbStartServerParameters(client_.server().port))) {
        if (!run->waitEnd(killMs)) run->kill();
      }
    }
  }
  status = client_.listPhones(phones, timeoutMs);
  serverReached_ = status.outcome != AdbOutcome::NoServer;
  return status;
}

}  // namespace snapdeck
