#include "capture/phone_link.h"

#include <algorithm>

namespace snapdeck {

namespace {

std::u16string WithSeparator(std::u16string folder) {
  if (folder.back() != u'\\' && folder.back() != u'/') folder += u'\\';
  return folder;
}

}  // namespace

std::vector<std::u16string> AdbCandidates(const std::u16string& programDir,
                                          const std::u16string& loaderDir,
                                          const std::u16string& pathValue,
                                          const std::u16string& localAppData) {
  std::vector<std::u16string> out;
  auto add = [&out](const std::u16string& folder) {
    if (!folder.empty()) out.push_back(WithSeparator(folder) + kAdbFileName);
  };
  add(programDir);
  add(loaderDir);
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
  if (!localAppData.empty()) add(WithSeparator(localAppData) + u"Android\\Sdk\\platform-tools");
  return out;
}

std::u16string PhoneLink::findAdb() {
  for (const std::u16string& path : candidates_) {
    if (files_.fileSize(path) > 0) return path;
  }
  return {};
}

bool PhoneLink::available() { return client_.serverAnswers() || !findAdb().empty(); }

AdbStatus PhoneLink::listPhones(std::vector<PhoneEntry>& phones, int timeoutMs, int killMs) {
  AdbStatus status = client_.listPhones(phones, timeoutMs);
  if (status.outcome != AdbOutcome::NoServer || startTried_) return status;
  const std::u16string adb = findAdb();
  if (adb.empty()) return status;
  startTried_ = true;
  // start-server returns once the server listens, so one run is enough.
  if (std::unique_ptr<ToolRun> run = runner_.start(adb, u"start-server")) {
    if (!run->waitEnd(killMs)) run->kill();
  }
  return client_.listPhones(phones, timeoutMs);
}

}  // namespace snapdeck
