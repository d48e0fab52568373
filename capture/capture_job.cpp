#include "capture/capture_job.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/adb_client.h"
#include "capture/command_lines.h"
#include "capture/demo_mode.h"
#include "capture/detection.h"
#include "imaging/codec.h"
#include "imaging/draw.h"
#include "imaging/frame.h"
#include "imaging/palette.h"
#include "imaging/scale.h"
#include "imaging/status.h"
#include "platform/file_names.h"
#include "platform/scope_exit.h"
#include "platform/text.h"
#include "platform/worker_pool.h"
#include "resources/ids.h"
#include "settings/frame_style.h"

namespace snapdeck {

namespace {

using id::kPicFirstPreview;
using id::kPicFirstShot;
using id::kPicStatus;
using id::kPicWork;
constexpr Rgb kBackground = palette::kHouse;
constexpr Rgb kWhite = palette::kWhite;
// Bounds the status picture whatever the record holds; real previews are far smaller.
constexpr long long kMaxPreviewSide = 4096;


// A device of this shot on its way: what was read from it, then what became of it.
struct Device {
  DeviceShot out;
  PhoneEntry phone;  // a phone's listing
  int display = 0;   // 0: the phone's only display
  DecodeResult picture;
  std::u16string problem;  // why a phone's picture could not be had
  bool black = false;      // a phone's picture came entirely black
};

struct JobState {
  long long largestProgress = 0;  // largest output-phase progress drawn in this job
  CaptureResult result;
};

int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

std::u16string TempBitmapPath(const CaptureContext& ctx) { return ctx.tempDir + kTempBitmapName; }

// Renders the status caption into picture 23 at w x h before the frame.
void StatusPicture(CaptureContext& ctx, long long w, long long h, const std::u16string& caption,
                   const CaptionColors& colors) {
  Picture p;
  const Picture* mark = ctx.settings.rememberPassword != 0 ? ctx.passwordMark : nullptr;
  RenderStatusPicture(p, static_cast<int>(std::clamp<long long>(w, 1, kMaxPreviewSide)),
                      static_cast<int>(std::clamp<long long>(h, 1, kMaxPreviewSide)), caption,
                      colors, FrameStyleOf(ctx.settings), ctx.text, mark);
  ctx.pictures.put(kPicStatus, std::move(p));
}

void PreviewStatus(CaptureContext& ctx, const std::u16string& caption,
                   const CaptionColors& colors) {
  const long long t = FrameStyleOf(ctx.settings).thickness;
  StatusPicture(ctx, static_cast<long long>(ctx.settings.width) - 2 * t,
                static_cast<long long>(ctx.settings.height) - 2 * t, caption, colors);
}

void CaptureSizeStatus(CaptureContext& ctx, const std::u16string& caption) {
  StatusPicture(ctx, ctx.session.capWidth, ctx.session.capHeight, caption, FailCaptionColors());
}

void ShowAndResize(CaptureContext& ctx) {
  if (const Picture* status = ctx.pictures.find(kPicStatus)) ctx.host.showStatusPicture(*status);
  ctx.host.resizeMainWindow(ClampToInt(static_cast<long long>(ctx.settings.width) + 20),
                            ClampToInt(static_cast<long long>(ctx.settings.height) + 200));
}

// The tool's run of one screenshot; true when it ended in time and left a bitmap.
bool RunScreenshotTool(CaptureContext& ctx, int i, JobState& job) {
  const AppSettings& s = ctx.settings;
  if (ctx.session.recordRefused[i]) return false;
  const std::u16string tempPath = TempBitmapPath(ctx);
  // A bitmap left over from an earlier run would pass for this shot.
  if (ctx.files.fileSize(tempPath) >= 0 && !ctx.files.deleteFile(tempPath)) return false;

  std::unique_ptr<ToolRun> run =
      ctx.runner.start(s.JLpath + kToolFileName,
                       ScreenshotParameters(ctx.session.PIN[i], s.passwords[i], ctx.tempDir));
  if (!run) return false;

  const long long cycles = s.connecttimeout;
  const long long killMs =
      std::clamp<long long>(static_cast<long long>(s.killtimeout) * 100, 0, INT_MAX);
  bool runaway = false;
  for (long long c = 0; c <= cycles; ++c) {
    const long long base = CycleProgressInt(c, cycles);
    ctx.host.drawProgress(static_cast<double>(base));
    ctx.clock.sleepMs(10);
    std::size_t waiting = run->outputAvailable();
    if (waiting == 0) continue;
    const long long total = static_cast<long long>(waiting);
    const std::uint64_t readStart = ctx.clock.nowMs();
    std::size_t readBytes = 0;
    while (waiting > 0) {
      const long long p = base + (total - static_cast<long long>(waiting)) * (100 - base) / total;
      if (p > job.largestProgress) {
        ctx.host.drawProgress(static_cast<double>(p));
        job.largestProgress = p;
      }
      // A tool that never stops writing is treated like one that never ends.
      if (ctx.clock.nowMs() - readStart > static_cast<std::uint64_t>(killMs) ||
          readBytes > kMaxShotOutputBytes) {
        runaway = true;
        break;
      }
      // Only what is waiting, so a pause in the output never blocks us.
      readBytes += DiscardOutput(*run, std::min<std::size_t>(waiting, 100));
      ctx.clock.sleepMs(10);
      waiting = run->outputAvailable();
    }
    break;
  }

  const bool ended = !runaway && run->waitEnd(static_cast<int>(killMs));
  ctx.host.drawProgress(100);
  if (ended) {
    for (int k = 100; k >= 1; --k) {
      ctx.host.drawProgress(k);
      if (ctx.files.fileSize(tempPath) > 0) break;
      ctx.clock.sleepMs(30);
    }
  } else {
    run->kill();
  }
  run.reset();
  ctx.clock.sleepMs(100);
  return ended && ctx.files.fileSize(tempPath) > 0;
}

DecodeResult ReadTempBitmap(CaptureContext& ctx) {
  std::vector<std::uint8_t> data;
  if (!ctx.files.readFile(TempBitmapPath(ctx), data, kMaxTempBitmapBytes)) return {};
  return DecodeBmp(data.data(), data.size());
}

// The progress bar over all phones' transfers: the bytes received of all over those
// announced. Paced to one frame in 16 ms: under Wine a frame costs about as much as a
// percent of a fast transfer. Phones report from threads of their own.
class TransferBar {
 public:
  TransferBar(CaptureContext& ctx, std::size_t phones) : ctx_(ctx), phones_(phones) {}

  TransferProgress forPhone(std::size_t k) {
    return [this, k](std::uint64_t received, std::uint64_t announced) {
      report(k, received, announced);
    };
  }

 private:
  struct Phone {
    std::uint64_t done = 0;  // bytes of the phone's displays read before this one
    std::uint64_t received = 0, announced = 0;
  };
  void report(std::size_t k, std::uint64_t received, std::uint64_t announced) {
    if (announced == 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Phone& phone = phones_[k];
    if (received < phone.received) phone.done += phone.announced;  // the next display's picture
    phone.received = std::min(received, announced);
    phone.announced = announced;
    std::uint64_t all = 0, of = 0;
    for (const Phone& p : phones_) {
      all += p.done + p.received;
      of += p.done + p.announced;
    }
    constexpr std::uint64_t kFrameMs = 16;
    const int p = static_cast<int>(all * 100 / std::max<std::uint64_t>(of, 1));
    const std::uint64_t now = ctx_.clock.nowMs();
    if (p < drawn_) drawn_ = -1;
    if (p > drawn_ && (drawn_ < 0 || now - drawnAt_ >= kFrameMs)) {
      drawn_ = p;
      drawnAt_ = now;
      ctx_.host.drawProgress(p);
    }
  }

  CaptureContext& ctx_;
  std::mutex mutex_;
  std::vector<Phone> phones_;
  int drawn_ = -1;
  std::uint64_t drawnAt_ = 0;
};

// True when an adb server answered the listing (it may list no phone). The listing and
// a server's start run beside the window: a server that accepts and never answers, or
// a slow start, must not freeze it.
bool ListPhones(CaptureContext& ctx, std::vector<PhoneEntry>& phones) {
  const AppSettings& s = ctx.settings;
  const int listMs = static_cast<int>(
      std::clamp<long long>(static_cast<long long>(s.connecttimeout) * 10, 500, INT_MAX));
  const int killMs = static_cast<int>(
      std::clamp<long long>(static_cast<long long>(s.killtimeout) * 100, 0, INT_MAX));
  AdbOutcome outcome = AdbOutcome::NoServer;
  ctx.host.runBeside([&] { outcome = ctx.phones->listPhones(phones, listMs, killMs).outcome; });
  return outcome != AdbOutcome::NoServer;
}

std::u16string Latin1(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// The phone's name in a message: its model when the server knows it, and its serial.
std::u16string PhoneName(const PhoneEntry& phone) {
  std::u16string model = Latin1(phone.model);
  std::replace(model.begin(), model.end(), u'_', u' ');
  return model.empty() ? Latin1(phone.serial) : model + u" (" + Latin1(phone.serial) + u")";
}

std::u16string DisplayName(const PhoneEntry& phone, int display) {
  return display > 0 ? PhoneName(phone) + u", display " + DecimalText(display) : PhoneName(phone);
}

// What a phone in a state other than "device" is doing, and what to do about it.
std::u16string StateReason(const std::string& state) {
  if (state == "offline") {
    return u"device offline: unplug it and plug it in again (over the network: connect it "
           u"again), then take the shot again";
  }
  if (state == "authorizing" || state == "connecting") {
    return Latin1(state) + u": the phone is not ready yet; take the shot again in a moment";
  }
  if (state == "bootloader" || state == "recovery" || state == "rescue" || state == "sideload") {
    return u"in " + Latin1(state) + u" mode: start Android on the phone, then take the shot again";
  }
  if (state == "no permissions") {
    return u"no permissions: this user may not open the phone's USB device (on Linux: install "
           u"android-sdk-platform-tools-common for its udev rules, then plug the phone in again)";
  }
  return u"in the state \"" + Latin1(state) + u"\": it cannot be captured";
}

// A secure window (banking, DRM video) comes out as black pixels.
bool EntirelyBlack(const Picture& p) {
  return std::all_of(p.pixels.begin(), p.pixels.end(),
                     [](std::uint32_t v) { return (v & 0xFFFFFFu) == 0; });
}

// A phone waiting for the user's consent cannot be captured: say what to do on it.
void TellUnauthorized(CaptureContext& ctx, const PhoneEntry& phone) {
  const int answer = ctx.host.ask(
      id::kKindWarning,
      u"The Android phone " + PhoneName(phone) +
          u" does not allow USB debugging from this computer yet.\r\n\r\nUnlock the phone: it "
          u"shows a prompt to allow USB debugging. Allow it there, then take the screenshot "
          u"again.\r\n",
      u"OK", u"Close");
  if (answer == id::kAnswerNotShown) ctx.questionNotShown = true;
}

// What the worker side makes of a device's picture: scaled, framed, encoded and saved.
// It touches neither the window nor the picture store, so phones do it side by side.
struct Prepared {
  bool ok = false;  // the picture could be framed
  bool saved = false;
  int readWidth = 0, readHeight = 0;
  long long framedWidth = 0, framedHeight = 0;
  Picture work;    // the framed shot
  Picture status;  // the picture as read: the ground of its preview
  std::vector<std::uint8_t> png;  // the file's bytes, kept for the clipboard
};

// Pixels in flight for a picture of w x h while it is prepared: as read, framed and
// encoded, four bytes a pixel each at most.
std::uint64_t PreparingCost(long long w, long long h) {
  return 3 * 4 * static_cast<std::uint64_t>(std::max(w, 1LL)) *
         static_cast<std::uint64_t>(std::max(h, 1LL));
}

// The size of a w x h picture within fitW x fitH (when set), keeping its proportions;
// false when it fits as it is.
bool FitSize(long long w, long long h, long long fitW, long long fitH, long long& toW,
             long long& toH) {
  if (fitW <= 0 || fitH <= 0 || w <= 0 || h <= 0 || (w <= fitW && h <= fitH)) return false;
  toW = fitW;
  toH = fitH;
  if (w * fitH > h * fitW) {
    toH = std::max(1LL, h * fitW / w);
  } else {
    toW = std::max(1LL, w * fitH / h);
  }
  return true;
}

void FitWithin(Picture& p, long long fitW, long long fitH) {
  long long toW = 0, toH = 0;
  if (!FitSize(p.width, p.height, fitW, fitH, toW, toH)) return;
  Picture shrunk = ResizeAreaAverage(p, static_cast<int>(toW), static_cast<int>(toH));
  if (!shrunk.empty()) p = std::move(shrunk);
}

// previewW x previewH bounds the picture kept for the preview (0: none): beside other
// devices the window never shows more, and sixteen full-size ones would outweigh the
// shots.
Prepared PrepareShot(const AppSettings& s, FileSystem& files, DecodeResult decoded,
                     const std::u16string& fileName, bool keepPng, int previewW = 0,
                     int previewH = 0) {
  Prepared out;
  if (!decoded.ok) return out;
  const FrameStyle frame = FrameStyleOf(s);
  const long long t = frame.thickness;
  const long long w = decoded.picture.width;
  const long long h = decoded.picture.height;
  const int pct = ScalePercent(s.shotsize);
  const long long sw = std::max(1LL, w * pct / 100);
  const long long sh = std::max(1LL, h * pct / 100);
  // Every picture made from the one read must stay within the picture limits.
  if (!PictureSizeAllowed(w + 2 * t, h + 2 * t) || !PictureSizeAllowed(sw, sh) ||
      !PictureSizeAllowed(sw + 2 * t, sh + 2 * t)) {
    return out;
  }
  out.readWidth = static_cast<int>(w);
  out.readHeight = static_cast<int>(h);
  out.framedWidth = sw + 2 * t;
  out.framedHeight = sh + 2 * t;
  Picture work =
      pct == 100 ? decoded.picture
                 : ResizeAreaAverage(decoded.picture, static_cast<int>(sw), static_cast<int>(sh));
  // A preview no larger than the scaled shot is shrunk from that, before its frame: a
  // quarter of the pixels to read at 50 %, on the workers that every file waits for.
  Picture preview;
  long long pw = 0, ph = 0;
  if (pct < 100 && FitSize(w, h, previewW, previewH, pw, ph) && pw <= work.width &&
      ph <= work.height) {
    preview = ResizeAreaAverage(work, static_cast<int>(pw), static_cast<int>(ph));
  }
  DrawFrame(work, frame);
  if (IsShotFormat(s.shotext)) {
    std::vector<std::uint8_t> encoded = EncodeForFormat(work, s.shotext);
    // Through a file beside it, so a full disk or a write error keeps the earlier shot.
    out.saved = !encoded.empty() && files.replaceFile(s.currentFolder + fileName, encoded);
    // A PNG file's bytes are the clipboard's PNG as well: made once, for both.
    if (keepPng && s.shotext == 2) out.png = std::move(encoded);
  }
  if (!preview.empty()) {
    out.status = std::move(preview);
  } else {
    out.status = std::move(decoded.picture);
    FitWithin(out.status, previewW, previewH);
  }
  out.work = std::move(work);
  out.ok = true;
  return out;
}

// A phone's screen beside others outgrows the screen: the window shows the previews
// shrunk, while the files and the clipboard keep every pixel.
void FitPreview(const CaptureContext& ctx, Picture& preview) {
  FitWithin(preview, ctx.maxPreviewWidth, ctx.maxPreviewHeight);
}


// Puts a device's prepared picture before the user, on the window's thread: the
// clipboard (for a phone only when it is the shot's one device: the composed picture
// replaces it at once otherwise), the caption or the failure, the failure's sound.
void PresentShot(CaptureContext& ctx, Device& device, Prepared p, bool alone,
                 CaptureResult& result) {
  CaptureSession& session = ctx.session;
  DeviceShot& out = device.out;
  const std::u16string fileName =
      ShotFileName(ctx.settings, out.name, out.phone, !alone || ctx.settings.includepin != 0);
  if (!p.ok) {
    if (session.capWidth == 0) session.capWidth = 320;
    if (session.capHeight == 0) session.capHeight = 240;
    if (ctx.settings.sound != 0) ctx.host.playSound(id::kSoundShotFailed);
    CaptureSizeStatus(ctx, u" shot failed! ");
    session.deviceSessionReady = false;
  } else {
    session.capWidth = p.readWidth;
    session.capHeight = p.readHeight;
    bool copied = true;
    if (!out.phone || alone) {
      ctx.host.clearClipboard();
      copied = p.png.empty() ? ctx.host.putOnClipboard(p.work)
                             : ctx.host.putOnClipboardWithPng(p.work, p.png);
      if (!copied) result.clipboardFailed = true;
    }
    ++result.finished;
    if (!p.saved) {
      CaptureSizeStatus(ctx, u" save failed! ");
    } else {
      ++result.saved;
      out.fileName = fileName;
      // A picture that is saved but not on the clipboard must not pass for a full success.
      const FrameStyle frame = FrameStyleOf(ctx.settings);
      const std::u16string size = u" (" + DecimalText(p.framedWidth) + u" x " +
                                  DecimalText(p.framedHeight) + u") ";
      DrawResultCaption(p.status, copied ? size : size + u"clipboard failed! ",
                        u" " + fileName + u" ", kWhite, kBackground, frame.color, frame,
                        ctx.text);
      ctx.pictures.put(kPicStatus, std::move(p.status));
    }
    out.shot = std::move(p.work);
  }
  if (Picture* status = ctx.pictures.find(kPicStatus)) {
    if (out.phone) {
      out.preview = std::move(*status);
      ctx.pictures.release(kPicStatus);
    } else {
      out.preview = *status;
    }
  }
  // Beside others, no preview needs more than the window can show of all: sixteen
  // phones' full-size previews would hold more memory than their shots.
  if (!alone) FitPreview(ctx, out.preview);
  // The handhelds keep their numbered pictures.
  if (!out.phone && out.slot >= 1 && out.slot <= kMaxDevices) {
    if (out.shot.empty()) {
      ctx.pictures.release(kPicFirstShot + out.slot);
    } else {
      ctx.pictures.put(kPicFirstShot + out.slot, out.shot);
    }
    ctx.pictures.put(kPicFirstPreview + out.slot, out.preview);
  }
}

std::u16string FileNameOf(const AppSettings& s, const DeviceShot& device, bool alone) {
  return ShotFileName(s, device.name, device.phone, !alone);
}

// A handheld's picture through the loader, finished like any device's.
void CaptureHandheld(CaptureContext& ctx, Device& device, bool alone, JobState& job) {
  const int i = device.out.slot;
  if (ctx.session.PIN[i].empty()) {
    if (const Picture* status = ctx.pictures.find(kPicStatus)) device.out.preview = *status;
    ctx.pictures.release(kPicFirstShot + i);
    if (!device.out.preview.empty()) ctx.pictures.put(kPicFirstPreview + i, device.out.preview);
    return;
  }
  ctx.host.pumpAllEvents();
  if (ctx.settings.sound != 0) ctx.host.playSound(id::kSoundShotStart);
  // No " shot done! " preview first: nothing paints before the result caption replaces it.
  ctx.pictures.release(kPicStatus);
  DecodeResult read;
  if (RunScreenshotTool(ctx, i, job)) read = ReadTempBitmap(ctx);
  Prepared prepared = PrepareShot(ctx.settings, ctx.files, std::move(read),
                                  FileNameOf(ctx.settings, device.out, alone), alone);
  PresentShot(ctx, device, std::move(prepared), alone, job.result);
  if (!TempCleanup(ctx.files, ctx.clock, ctx.host, ctx.tempDir)) {
    CaptureSizeStatus(ctx, u" cleanup failed! ");
    device.out.preview = *ctx.pictures.find(kPicStatus);
    ctx.pictures.put(kPicFirstPreview + i, device.out.preview);
  }
}

constexpr char16_t kLeftOut[] = u"left out: one shot takes at most sixteen screens";

// A listed phone on its way through the shot.
struct PhoneRun {
  PhoneEntry phone;
  bool sharedSerial = false;  // another listed phone has its serial
  std::vector<Device> displays;
  std::vector<Prepared> prepared;       // one for each of displays, once prepared
  std::vector<std::u16string> leftOut;  // displays beyond the shot's room
  std::uint64_t cost = 0;               // what its pictures take to prepare
};

// One display of a phone as a device of the shot; two phones sharing a serial (cheap
// tablets) are told apart by their transport.
Device MakePhoneDevice(const PhoneEntry& phone, bool sharedSerial, int display,
                       DecodeResult picture) {
  Device d;
  d.out.phone = true;
  d.out.name = Latin1(phone.serial);
  if (sharedSerial) d.out.name += u"-t" + Latin1(phone.transportId);
  if (display > 0) d.out.name += u"-d" + DecimalText(display);
  d.phone = phone;
  d.display = display;
  if (phone.state != "device") {
    d.problem = StateReason(phone.state);
  } else if (!picture.ok) {
    d.problem = Latin1(picture.error.empty() ? std::string("no picture") : picture.error);
  } else {
    d.black = EntirelyBlack(picture.picture);
  }
  d.picture = std::move(picture);
  return d;
}

// What the phones' side of a shot shares between the threads it runs on.
struct PhoneStage {
  PhoneStage(CaptureContext& c, std::size_t phones, int spareRoom, bool several)
      : ctx(c), bar(c, phones), spare(spareRoom), severalListed(several) {}
  CaptureContext& ctx;
  TransferBar bar;
  MemoryBudget budget{kPhonePicturesBudget};
  std::mutex mutex;  // guards spare and pending
  std::condition_variable done;
  int spare;        // room for displays beyond each phone's first
  int pending = 0;  // phones whose pictures wait to be prepared or are
  const bool severalListed;  // more than one device listed: every name carries its serial
};

// A phone's share of the budget and its place among those pending, given back however
// its preparing ends.
struct PhoneHold {
  PhoneHold(PhoneStage& s, std::uint64_t taken) : stage(s), held(taken) {
    std::lock_guard<std::mutex> lock(stage.mutex);
    ++stage.pending;
  }
  ~PhoneHold() {
    stage.budget.giveBack(held);
    {
      std::lock_guard<std::mutex> lock(stage.mutex);
      --stage.pending;
    }
    stage.done.notify_all();
  }
  PhoneHold(const PhoneHold&) = delete;
  PhoneHold& operator=(const PhoneHold&) = delete;
  PhoneStage& stage;
  std::uint64_t held;
};

void PreparePhone(PhoneStage& stage, PhoneRun& run, bool alone) {
  const AppSettings& s = stage.ctx.settings;
  for (Device& device : run.displays) {
    run.prepared.push_back(PrepareShot(s, stage.ctx.files, std::move(device.picture),
                                       FileNameOf(s, device.out, alone), alone,
                                       alone ? 0 : stage.ctx.maxPreviewWidth,
                                       alone ? 0 : stage.ctx.maxPreviewHeight));
  }
}

// The phone's pictures, each display a device of its own, then prepared on the workers.
// Runs on a thread of the phone's own when the phones run side by side.
void FetchPhone(PhoneStage& stage, PhoneRun& run, std::size_t k) {
  CaptureContext& ctx = stage.ctx;
  const AppSettings& s = ctx.settings;
  const bool parallel = ctx.workers != nullptr;
  // Room for the phone's pictures before they are asked for (as in its last shot, or a
  // large phone's), so no more come than the budget allows. Only a phone that holds
  // nothing waits, so none waits for another that waits.
  const auto known = ctx.session.phoneCost.find(run.phone.serial);
  const std::uint64_t expected =
      known != ctx.session.phoneCost.end() ? known->second : PreparingCost(1080, 2400);
  if (parallel) stage.budget.take(expected);
  auto hold = std::make_shared<PhoneHold>(stage, parallel ? expected : 0);
  std::vector<DisplayShot> shots;
  {
    // Left again when the pictures have come, failed or been given up.
    const int idleMs = PhoneIdleMs(s);
    DemoModeScope demo(ctx.phones->client(), ctx.clock, run.phone, idleMs, s.cleanstatusbar != 0);
    shots = ctx.phones->client().screenshots(run.phone, idleMs, stage.bar.forPhone(k));
  }
  std::uint64_t cost = 0;
  for (const DisplayShot& shot : shots) {
    if (shot.result.ok) cost += PreparingCost(shot.result.picture.width, shot.result.picture.height);
  }
  run.cost = cost;
  if (parallel && cost > hold->held) {
    stage.budget.takeNow(cost - hold->held);
    hold->held = cost;
  }
  {
    std::lock_guard<std::mutex> lock(stage.mutex);
    const int extra = std::min(stage.spare, std::max(0, static_cast<int>(shots.size()) - 1));
    stage.spare -= extra;
    for (std::size_t d = 0; d < shots.size(); ++d) {
      if (d > static_cast<std::size_t>(extra)) {
        run.leftOut.push_back(DisplayName(run.phone, shots[d].display));
      } else {
        run.displays.push_back(
            MakePhoneDevice(run.phone, run.sharedSerial, shots[d].display, std::move(shots[d].result)));
      }
    }
  }
  const bool alone = !stage.severalListed && run.displays.size() == 1;
  if (!parallel) {
    PreparePhone(stage, run, alone);
    return;
  }
  ctx.workers->submit(0, [&stage, &run, alone, hold] {
    try {
      PreparePhone(stage, run, alone);
    } catch (...) {  // out of memory: the pictures not prepared count as failed shots
    }
  });
}

// Every phone's pictures: side by side, each transfer on a thread of its own and the
// preparing on the workers, or one phone after another in place.
void FetchPhones(PhoneStage& stage, std::vector<PhoneRun>& runs) {
  std::vector<std::thread> threads;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    if (runs[k].phone.state != "device") continue;
    if (stage.ctx.workers != nullptr) {
      try {
        threads.emplace_back([&stage, &runs, k] {
          try {
            FetchPhone(stage, runs[k], k);
          } catch (...) {  // out of memory: the phone's shot fails
          }
        });
        continue;
      } catch (...) {  // no thread to be had: in place
      }
    }
    try {
      FetchPhone(stage, runs[k], k);
    } catch (...) {
    }
  }
  for (std::thread& t : threads) t.join();
  std::unique_lock<std::mutex> lock(stage.mutex);
  stage.done.wait(lock, [&stage] { return stage.pending == 0; });
}

// A phone's displays before the user, in their order, with what went wrong.
void PresentPhone(CaptureContext& ctx, PhoneRun& run, bool alone, JobState& job) {
  CaptureResult& result = job.result;
  for (std::size_t d = 0; d < run.displays.size(); ++d) {
    Device& device = run.displays[d];
    Prepared prepared = d < run.prepared.size() ? std::move(run.prepared[d]) : Prepared{};
    const std::u16string name = DisplayName(run.phone, device.display);
    if (device.black && prepared.ok) {
      // Still saved: it may be what the user wanted, and it shows what the phone gave.
      result.phoneProblems.push_back(
          {name, u"the picture is entirely black (an app that forbids screenshots, or the "
                 u"screen is off); it was saved all the same"});
    }
    const bool ok = prepared.ok;
    ctx.pictures.release(kPicStatus);
    PresentShot(ctx, device, std::move(prepared), alone, result);
    if (!ok) {
      result.phoneProblems.push_back(
          {name, device.problem.empty() ? u"the picture is too large to frame" : device.problem});
    }
    result.devices.push_back(std::move(device.out));
  }
  for (const std::u16string& name : run.leftOut) result.phoneProblems.push_back({name, kLeftOut});
}

void Compose(CaptureContext& ctx, CaptureResult& result);

// The handhelds in their slots, then the phones' displays, each finished the same way,
// then composed.
void ShootDevices(CaptureContext& ctx, int handhelds, std::vector<PhoneRun>& runs, JobState& job) {
  int count = handhelds;
  for (const PhoneRun& run : runs) count += static_cast<int>(run.displays.size());
  const bool alone = count == 1;
  for (int i = 1; i <= handhelds; ++i) {
    Device device;
    device.out.slot = i;
    device.out.name = ctx.session.PIN[i];
    CaptureHandheld(ctx, device, alone, job);
    job.result.devices.push_back(std::move(device.out));
  }
  for (PhoneRun& run : runs) PresentPhone(ctx, run, alone, job);
  if (count > 0) Compose(ctx, job.result);
}

// A shot with an adb server answering: the handhelds the loader finds (when it is
// there), then the phones, each display a device of its own, at most sixteen in all.
void PhoneJob(CaptureContext& ctx, const std::vector<PhoneEntry>& phones, JobState& job) {
  CaptureSession& session = ctx.session;
  const bool ready = session.deviceSessionReady;
  if (!ready) {
    session.handhelds = 0;
    session.count = 0;
    const bool loaderThere = ctx.files.fileSize(ctx.settings.JLpath + kToolFileName) > 0;
    if (loaderThere) session.handhelds = DetectDevices(ctx, phones.empty());
  }
  const int handhelds = std::clamp(session.handhelds, 0, kMaxDevices);
  session.count = handhelds;
  if (!ready && handhelds > 0 && !CheckPasswords(ctx)) {
    PreviewStatus(ctx, u" wrong password! ", FailCaptionColors());
    return;
  }
  std::vector<PhoneRun> runs;
  for (const PhoneEntry& phone : phones) {
    if (phone.state == "unauthorized") {
      TellUnauthorized(ctx, phone);
      continue;
    }
    if (handhelds + static_cast<int>(runs.size()) >= kMaxShotDevices) {
      job.result.phoneProblems.push_back({PhoneName(phone), kLeftOut});
      continue;
    }
    PhoneRun run;
    run.phone = phone;
    run.sharedSerial =
        !phone.transportId.empty() &&
        std::count_if(phones.begin(), phones.end(),
                      [&](const PhoneEntry& p) { return p.serial == phone.serial; }) > 1;
    if (phone.state != "device") {
      run.displays.push_back(MakePhoneDevice(phone, run.sharedSerial, 0, {false, {}, {}}));
    } else if (ctx.settings.sound != 0) {
      ctx.host.playSound(id::kSoundShotStart);
    }
    runs.push_back(std::move(run));
  }
  const bool transfers = std::any_of(runs.begin(), runs.end(),
                                     [](const PhoneRun& r) { return r.phone.state == "device"; });
  if (transfers) {
    PhoneStage stage(ctx, runs.size(), kMaxShotDevices - handhelds - static_cast<int>(runs.size()),
                     handhelds + runs.size() > 1);
    // The window goes on painting while the bytes come.
    ctx.host.runBeside([&] { FetchPhones(stage, runs); });
    ctx.host.drawProgress(100);
    for (const PhoneRun& run : runs) {
      if (run.cost > 0) session.phoneCost[run.phone.serial] = run.cost;
    }
  }
  int count = handhelds;
  for (const PhoneRun& run : runs) count += static_cast<int>(run.displays.size());
  ctx.host.setIncludePinBox(count <= 1, count > 1 || ctx.settings.includepin != 0);
  if (count == 0) {
    for (const PhoneRun& run : runs) {
      for (const std::u16string& name : run.leftOut) job.result.phoneProblems.push_back({name, kLeftOut});
    }
    PreviewStatus(ctx, u" no device detected! ", FailCaptionColors());
    return;
  }
  session.deviceSessionReady = true;
  ShootDevices(ctx, handhelds, runs, job);
}

// Where the pictures go in the composed one: side by side while that fits the picture
// limit, else in as few rows as fit, else every cell scaled down alike in the
// arrangement that keeps the most.
struct Grid {
  long long columns = 1, rows = 1;
  long long fullW = 0, fullH = 0;  // a cell at full size
  long long cellW = 0, cellH = 0;
  bool shrunk = false;
};

bool Arrange(const std::vector<const Picture*>& pictures, Picture& out, Grid& g) {
  g = Grid{};
  const long long n = static_cast<long long>(pictures.size());
  for (const Picture* p : pictures) {
    if (p == nullptr) continue;
    g.fullW = std::max<long long>(g.fullW, p->width);
    g.fullH = std::max<long long>(g.fullH, p->height);
  }
  if (n == 0 || g.fullW <= 0 || g.fullH <= 0) return false;
  g.cellW = g.fullW;
  g.cellH = g.fullH;
  bool fits = false;
  for (long long c = n; c >= 1 && !fits; --c) {
    const long long r = (n + c - 1) / c;
    if (PictureSizeAllowed(c * g.fullW, r * g.fullH)) {
      g.columns = c;
      g.rows = r;
      fits = true;
    }
  }
  if (!fits) {
    double best = 0;
    for (long long c = 1; c <= n; ++c) {
      const long long r = (n + c - 1) / c;
      const double w = static_cast<double>(c * g.fullW);
      const double h = static_cast<double>(r * g.fullH);
      const double side = std::min(static_cast<double>(kMaxPictureSide) / w,
                                   static_cast<double>(kMaxPictureSide) / h);
      const double scale = std::min(side, std::sqrt(static_cast<double>(kMaxPicturePixels) / (w * h)));
      if (scale > best) {
        best = scale;
        g.columns = c;
        g.rows = r;
      }
    }
    g.cellW = std::max(1LL, static_cast<long long>(static_cast<double>(g.fullW) * best));
    g.cellH = std::max(1LL, static_cast<long long>(static_cast<double>(g.fullH) * best));
    while (g.cellW > 1 && !PictureSizeAllowed(g.columns * g.cellW, g.rows * g.cellH)) --g.cellW;
    while (g.cellH > 1 && !PictureSizeAllowed(g.columns * g.cellW, g.rows * g.cellH)) --g.cellH;
    if (!PictureSizeAllowed(g.columns * g.cellW, g.rows * g.cellH)) return false;
    g.shrunk = true;
  }
  out = MakePicture(static_cast<int>(g.columns * g.cellW), static_cast<int>(g.rows * g.cellH),
                    kBackground);
  if (out.empty()) return false;
  for (long long k = 0; k < n; ++k) {
    const Picture* p = pictures[static_cast<std::size_t>(k)];
    if (p == nullptr) continue;
    const int x = static_cast<int>((k % g.columns) * g.cellW);
    const int y = static_cast<int>((k / g.columns) * g.cellH);
    if (!g.shrunk) {
      Blit(out, *p, x, y);
      continue;
    }
    const int w = static_cast<int>(std::max(1LL, p->width * g.cellW / g.fullW));
    const int h = static_cast<int>(std::max(1LL, p->height * g.cellH / g.fullH));
    Blit(out, ResizeAreaAverage(*p, w, h), x, y);
  }
  return true;
}

void Compose(CaptureContext& ctx, CaptureResult& result) {
  std::vector<const Picture*> previews, shots;
  for (const DeviceShot& d : result.devices) {
    previews.push_back(d.preview.empty() ? nullptr : &d.preview);
    shots.push_back(d.shot.empty() ? nullptr : &d.shot);
  }
  Grid grid;
  Picture preview;
  const bool havePreviews = Arrange(previews, preview, grid);
  if (havePreviews) FitPreview(ctx, preview);
  // A single phone's shot is on the clipboard already, and its PNG encoding costs
  // about as much as the rest of the shot.
  const bool onClipboard = result.devices.size() == 1 && result.devices[0].phone &&
                           result.finished == 1 && !result.clipboardFailed;
  Picture composed;
  if (Arrange(shots, composed, grid)) {
    if (grid.shrunk) {
      // The files keep every pixel; the clipboard and the preview hold the pictures scaled.
      result.composedWidth = grid.columns * grid.fullW;
      result.composedHeight = grid.rows * grid.fullH;
      result.shrunkWidth = composed.width;
      result.shrunkHeight = composed.height;
    }
    if (!onClipboard && !ctx.host.putOnClipboard(composed)) result.clipboardFailed = true;
    ctx.pictures.put(kPicWork, std::move(composed));
  } else {
    ctx.pictures.release(kPicWork);
  }
  if (havePreviews) {
    ctx.settings.width = preview.width;
    ctx.settings.height = preview.height;
    ctx.pictures.put(kPicStatus, std::move(preview));
  }
}

// Without the handhelds' loader, nothing else asks when the server lists no phone: say
// what a phone needs, and listen again for as long as the user tries again. False when
// no server answered the first listing.
bool ListPhonesOrAdvise(CaptureContext& ctx, std::vector<PhoneEntry>& phones) {
  if (!ListPhones(ctx, phones)) return false;
  if (ctx.files.fileSize(ctx.settings.JLpath + kToolFileName) > 0) return true;
  while (phones.empty()) {
    const int answer =
        ctx.host.ask(id::kKindWarning, NoPhoneQuestion(), u"Yes, try again", u"No, cancel");
    if (answer == id::kAnswerNotShown) ctx.questionNotShown = true;
    if (answer != id::kAnswerFirst) break;
    // A server gone meanwhile lists no phone, which the shot then says.
    if (!ListPhones(ctx, phones)) phones.clear();
  }
  return true;
}

}  // namespace

std::u16string ShotFileName(const AppSettings& settings, const std::u16string& name, bool phone,
                            bool severalDevices) {
  const std::u16string ext =
      IsShotFormat(settings.shotext) ? std::u16string(kShotExtensions[settings.shotext]) : u"";
  std::u16string prefix;
  if (settings.includepin != 0 || severalDevices) {
    prefix = (phone ? SerialForFileName(name) : PinForFileName(name)) + u"-";
  }
  return prefix + settings.shotname + ext;
}

int PhoneIdleMs(const AppSettings& settings) {
  // A phone takes a moment to make its picture before the first byte.
  constexpr long long kLeastIdleMs = 2000;
  return static_cast<int>(std::clamp<long long>(static_cast<long long>(settings.killtimeout) * 100,
                                                kLeastIdleMs, INT_MAX));
}

std::u16string ShotReport(const CaptureResult& result) {
  std::u16string text;
  for (const PhoneProblem& p : result.phoneProblems) {
    if (!text.empty()) text += u"\r\n";
    text += p.phone + u": " + p.reason;
  }
  if (result.shrunkWidth > 0) {
    if (!text.empty()) text += u"\r\n";
    text += u"The shots side by side (" + DecimalText(result.composedWidth) + u" x " +
            DecimalText(result.composedHeight) +
            u") are larger than a picture may be: the clipboard and the preview hold them "
            u"scaled down to " +
            DecimalText(result.shrunkWidth) + u" x " + DecimalText(result.shrunkHeight) +
            u"; the files keep every pixel.";
  }
  return text;
}

bool TempCleanup(FileSystem& files, Clock& clock, CaptureHost& host,
                 const std::u16string& tempDir) {
  const std::u16string path = tempDir + kTempBitmapName;
  if (files.fileSize(path) <= 0) return true;
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (files.deleteFile(path)) return true;
    clock.sleepMs(30);
    host.pumpOneEvent();
  }
  return false;
}

CaptureResult CaptureJob(CaptureContext& ctx) {
  CaptureSession& session = ctx.session;
  ctx.host.drawProgress(0);
  ctx.host.setWaitCursor(true);
  const ScopeExit idleAgain([&] {
    ctx.host.setWaitCursor(false);
    ctx.host.drawProgress(0);
  });
  PreviewStatus(ctx, u" wait... ", WaitCaptionColors());
  ShowAndResize(ctx);

  JobState job;
  ctx.questionNotShown = false;
  bool ready = session.deviceSessionReady;
  std::vector<PhoneEntry> phones;
  if (!StemNamesAFile(ctx.settings.shotname)) {
    // Refused before the tool runs: the file would land elsewhere or reach a device.
    if (session.capWidth == 0) session.capWidth = 320;
    if (session.capHeight == 0) session.capHeight = 240;
    if (ctx.settings.sound != 0) ctx.host.playSound(id::kSoundShotFailed);
    CaptureSizeStatus(ctx, u" bad file name! ");
  } else if (ctx.phones != nullptr && ListPhonesOrAdvise(ctx, phones)) {
    PhoneJob(ctx, phones, job);
  } else if (!ready && DetectDevices(ctx) == 0) {
    PreviewStatus(ctx, u" no device detected! ", FailCaptionColors());
  } else if (!ready && !CheckPasswords(ctx)) {
    PreviewStatus(ctx, u" wrong password! ", FailCaptionColors());
  } else {
    if (!ready) session.handhelds = session.count;
    session.deviceSessionReady = true;
    std::vector<PhoneRun> none;
    ShootDevices(ctx, std::clamp(session.count, 0, kMaxDevices), none, job);
  }

  ShowAndResize(ctx);
  job.result.questionNotShown = ctx.questionNotShown;
  return std::move(job.result);  // a member: returned as it is, its pictures not copied
}

}  // namespace snapdeck
