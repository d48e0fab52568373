#include "capture/detection.h"

#include <algorithm>
#include <memory>

#include "capture/command_lines.h"
#include "resources/ids.h"

namespace snapdeck {

namespace {

constexpr std::size_t kRecordSize = 12;
constexpr std::size_t kPinSize = 10;
using id::kAnswerFirst;
using id::kKindPassword;
using id::kKindWarning;

// Windows-1252 in 0x80..0x9F; the five unassigned bytes map to themselves as Windows does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::u16string ToolPath(const CaptureContext& ctx) { return ctx.settings.JLpath + kToolFileName; }

// A control byte in a PIN would end or split the tool's command line.
bool PinUsable(CaptureContext& ctx, const std::u16string& pin) {
  const bool control =
      std::any_of(pin.begin(), pin.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
  return !control && ctx.runner.passesExactly(pin);
}

// True for "yes"; a question that could not be shown is noted, as it is no "no" of the user.
bool AskedYes(CaptureContext& ctx, int kind, const std::u16string& message,
              const std::u16string& first, const std::u16string& second) {
  const int answer = ctx.host.ask(kind, message, first, second);
  if (answer == id::kAnswerNotShown) ctx.questionNotShown = true;
  return answer == kAnswerFirst;
}

}  // namespace

std::u16string PinFromRecord(const std::uint8_t* record, std::size_t size) {
  std::u16string pin;
  const std::size_t n = std::min(size, kPinSize);
  pin.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint8_t b = record[k];
    pin += (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return pin;
}

double CycleProgress(std::int64_t c, std::int64_t n) {
  return n > 0 ? static_cast<double>(c) * 100.0 / static_cast<double>(n) : 100.0;
}

int CycleProgressInt(std::int64_t c, std::int64_t n) {
  return n > 0 ? static_cast<int>(c * 100 / n) : 100;
}

std::size_t DiscardOutput(ToolRun& run, std::size_t n) {
  std::uint8_t block[4096];
  std::size_t total = 0;
  while (total < n) {
    const std::size_t want = std::min(sizeof block, n - total);
    const std::size_t got = run.read(block, want);
    total += got;
    if (got < want) break;
  }
  return total;
}

namespace {
constexpr char16_t kPhoneNeeds[] =
    u"A phone needs USB debugging on (Developer options) and its USB cable; then allow this "
    u"computer when it asks \"Allow USB debugging?\".";
}  // namespace

std::u16string NoDeviceQuestion(bool adbThere) {
  if (!adbThere) {
    return u"It seems there is no BlackBerry connected to the USB port or the Desktop Manager "
           u"is not installed.\r\n\r\nConnect a BlackBerry and try again or cancel.\r\n";
  }
  return u"It seems there is no BlackBerry connected to the USB port or the Desktop Manager "
         u"is not installed, and no Android phone is ready.\r\n\r\n" +
         std::u16string(kPhoneNeeds) + u"\r\n\r\nConnect a device and try again or cancel.\r\n";
}

std::u16string NoPhoneQuestion() {
  return u"It seems no Android phone is ready.\r\n\r\n" + std::u16string(kPhoneNeeds) +
         u"\r\n\r\nConnect a phone and try again or cancel.\r\n";
}

int DetectDevices(CaptureContext& ctx, bool askWhenNone) {
  CaptureSession& session = ctx.session;
  const std::int64_t cycles = ctx.settings.connecttimeout;
  int count = 0;
  for (;;) {
    std::unique_ptr<ToolRun> run = ctx.runner.start(ToolPath(ctx), EnumParameters());
    count = 0;
    for (std::int64_t c = 0; c <= cycles; ++c) {
      ctx.host.drawProgress(CycleProgress(c, cycles));
      ctx.clock.sleepMs(10);
      if (!run) continue;
      ctx.clock.sleepMs(10);
      std::size_t waiting = run->outputAvailable();
      if (waiting < kRecordSize) continue;
      while (waiting >= kRecordSize && count < kMaxDevices) {
        std::uint8_t record[kRecordSize];
        // Only what is waiting is read, so this never blocks.
        if (run->read(record, kRecordSize) < kRecordSize) break;
        ++count;
        session.PIN[count] = PinFromRecord(record, kRecordSize);
        session.recordRefused[count] = !PinUsable(ctx, session.PIN[count]);
        ctx.clock.sleepMs(10);
        waiting = run->outputAvailable();
      }
      ctx.clock.sleepMs(10);
      // One look only: a tool that never stops writing must not keep us here.
      DiscardOutput(*run, run->outputAvailable());
      break;
    }
    if (count == 0) {
      if (run) run->kill();
      if (!askWhenNone ||
          !AskedYes(ctx, kKindWarning,
                    NoDeviceQuestion(ctx.phones != nullptr && ctx.phones->adbThere()),
                    u"Yes, try again", u"No, cancel")) {
        run.reset();
        break;
      }
    }
    ctx.clock.sleepMs(100);
    if (run) run->kill();
    run.reset();
    ctx.host.drawProgress(100);
    if (count > 0) break;
  }
  session.count = count;
  if (count > 1) {
    ctx.host.setIncludePinBox(false, true);
  } else {
    ctx.host.setIncludePinBox(true, ctx.settings.includepin != 0);
  }
  return count;
}

bool CheckPasswords(CaptureContext& ctx) {
  CaptureSession& session = ctx.session;
  auto& passwords = ctx.settings.passwords;
  const std::int64_t cycles = ctx.settings.passwordtimeout;
  const int count = std::clamp(session.count, 0, kMaxDevices);
  bool result = false;
  bool checked = false;
  for (int i = 1; i <= count; ++i) {
    // Its shot fails without a run; there is nothing to ask or prove.
    if (session.recordRefused[i]) continue;
    checked = true;
    for (;;) {
      if (passwords[i].empty() && !session.deviceAnswered[i]) {
        if (!AskedYes(ctx, kKindPassword,
                      u"Please enter your BlackBerry password for device " + session.PIN[i] +
                          u".\r\n\r\n",
                      u"OK, done", u"Leave it")) {
          result = false;
          break;
        }
        passwords[i] = ctx.host.passwordResult();
      }
      // A password that would arrive changed is a wrong try the device counts: never run it.
      if (!ctx.runner.passesExactly(passwords[i])) {
        passwords[i].clear();
        session.deviceAnswered[i] = false;
        if (!AskedYes(ctx, kKindWarning,
                      u"The password you have entered for device " + session.PIN[i] +
                          u" holds characters that JavaLoader cannot receive on this computer."
                          u"\r\nIt was not tried, so it does not count as a wrong try."
                          u"\r\n\r\nTry again and enter the password or cancel.\r\n",
                      u"Yes, try again", u"No, cancel")) {
          result = false;
          break;
        }
        continue;
      }
      std::unique_ptr<ToolRun> run =
          ctx.runner.start(ToolPath(ctx), DeviceInfoParameters(session.PIN[i], passwords[i]));
      bool answered = false;
      ctx.clock.sleepMs(10);
      for (std::int64_t c = 0; c <= cycles; ++c) {
        ctx.host.drawProgress(CycleProgressInt(c, cycles));
        ctx.clock.sleepMs(10);
        if (!run) continue;
        const std::size_t waiting = run->outputAvailable();
        if (waiting > 0) {
          DiscardOutput(*run, std::min<std::size_t>(waiting, 1024));
          answered = true;
        } else if (answered) {
          break;
        }
      }
      if (answered) {
        session.deviceAnswered[i] = true;
      } else {
        // Too many wrong tries may wipe the device: never try a failed password again.
        passwords[i].clear();
        session.deviceAnswered[i] = false;
        if (run) run->kill();
        if (!AskedYes(
                ctx, kKindWarning,
                u"It looks like the password you have entered for device " + session.PIN[i] +
                    u" is wrong.\r\nWarning: Too many retries With a wrong Password may cause the "
                    u"BlackBerry To wipe itself!\r\n\r\nTry again And enter the correct Password "
                    u"Or "
                    u"cancel.\r\nLock And unlock your BlackBerry To reset the error count.",
                u"Yes, Try again", u"No, cancel")) {
          run.reset();
          result = false;
          break;
        }
      }
      ctx.clock.sleepMs(100);
      if (run) run->kill();
      run.reset();
      ctx.host.drawProgress(100);
      result = answered;
      if (answered) break;
    }
  }
  // With every record refused the job goes on, so each device shows its failed shot.
  return checked ? result : true;
}

}  // namespace snapdeck
