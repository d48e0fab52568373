#include "capture/capture_job.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
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


// A phone display's slot in this shot: its picture, or the reason it has none.
struct PhoneShot {
  int slot = 0;
  PhoneEntry phone;
  int display = 0;  // 0: the phone's only display
  DecodeResult picture;
};

struct JobState {
  long long largestProgress = 0;  // largest output-phase progress drawn in this job
  CaptureResult result;
  std::vector<PhoneShot> phoneShots;
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

// The phone's pictures through the adb server, the progress bar following the bytes.
std::vector<DisplayShot> TransferFromPhone(CaptureContext& ctx, const PhoneEntry& phone) {
  // Paced to one frame in 16 ms: under Wine a frame costs about as much as a percent of
  // a fast transfer.
  constexpr std::uint64_t kFrameMs = 16;
  int drawn = -1;
  std::uint64_t drawnAt = 0;
  const TransferProgress progress = [&](std::uint64_t received, std::uint64_t announced) {
    if (announced == 0) return;
    const int p = static_cast<int>(std::min<std::uint64_t>(received, announced) * 100 / announced);
    const std::uint64_t now = ctx.clock.nowMs();
    if (p < drawn) drawn = -1;  // the next display's picture
    if (p > drawn && (drawn < 0 || now - drawnAt >= kFrameMs)) {
      drawn = p;
      drawnAt = now;
      ctx.host.drawProgress(p);
    }
  };
  // The window goes on painting while the bytes come, rather than between reads; the
  // bar starts at 0 once the header has come.
  std::vector<DisplayShot> shots;
  const int idleMs = PhoneIdleMs(ctx.settings);
  const bool cleanStatusBar = ctx.settings.cleanstatusbar != 0;
  ctx.host.runBeside([&] {
    // Left again when the pictures have come, failed or been given up.
    DemoModeScope demo(ctx.phones->client(), ctx.clock, phone, idleMs, cleanStatusBar);
    shots = ctx.phones->client().screenshots(phone, idleMs, progress);
  });
  ctx.host.drawProgress(100);
  return shots;
}

// Reads, scales, frames, copies and saves the device's picture. False when the picture
// is unusable; a failed save is reported here and still counts as a finished picture.
bool FinishShot(CaptureContext& ctx, int i, CaptureResult& result,
                const std::function<DecodeResult()>& read) {
  AppSettings& s = ctx.settings;
  CaptureSession& session = ctx.session;
  // No " shot done! " preview first: nothing paints before the result caption replaces
  // it, so it was never seen, and for a phone it cost a frame's rendering.
  ctx.pictures.release(kPicStatus);

  DecodeResult decoded = read();
  if (!decoded.ok) return false;

  const FrameStyle frame = FrameStyleOf(s);
  const long long t = frame.thickness;
  const long long w = decoded.picture.width;
  const long long h = decoded.picture.height;
  const int pct = ScalePercent(s.shotsize);
  const long long sw = std::max(1LL, w * pct / 100);
  const long long sh = std::max(1LL, h * pct / 100);
  // Every picture made from the bitmap must stay within the picture limits.
  if (!PictureSizeAllowed(w + 2 * t, h + 2 * t) || !PictureSizeAllowed(sw, sh) ||
      !PictureSizeAllowed(sw + 2 * t, sh + 2 * t)) {
    return false;
  }
  session.capWidth = static_cast<int>(w);
  session.capHeight = static_cast<int>(h);

  Picture work =
      pct == 100 ? decoded.picture
                 : ResizeAreaAverage(decoded.picture, static_cast<int>(sw), static_cast<int>(sh));
  Picture& status = ctx.pictures.put(kPicStatus, std::move(decoded.picture));
  ctx.host.clearClipboard();
  DrawFrame(work, frame);
  // A PNG file's bytes are the clipboard's PNG as well: made once, before both.
  const bool png = s.shotext == 2;
  std::vector<std::uint8_t> encoded;
  if (png) encoded = EncodeForFormat(work, s.shotext);
  const bool copied = encoded.empty() ? ctx.host.putOnClipboard(work)
                                      : ctx.host.putOnClipboardWithPng(work, encoded);
  if (!copied) result.clipboardFailed = true;
  ++result.finished;
  const Picture& saved = ctx.pictures.put(kPicWork, std::move(work));

  const std::u16string name = ShotFileName(s, session, i);
  bool ok = false;
  if (IsShotFormat(s.shotext)) {
    if (!png) encoded = EncodeForFormat(saved, s.shotext);
    // Through a file beside it, so a full disk or a write error keeps the earlier shot.
    ok = !encoded.empty() && ctx.files.replaceFile(s.currentFolder + name, encoded);
  }
  if (!ok) {
    CaptureSizeStatus(ctx, u" save failed! ");
  } else {
    ++result.saved;
    // A picture that is saved but not on the clipboard must not pass for a full success.
    const std::u16string size =
        u" (" + DecimalText(sw + 2 * t) + u" x " + DecimalText(sh + 2 * t) + u") ";
    DrawResultCaption(status, copied ? size : size + u"clipboard failed! ", u" " + name + u" ",
                      kWhite, kBackground, frame.color, frame, ctx.text);
  }
  return true;
}

void ClearPhoneSlots(CaptureSession& session) {
  session.count = std::clamp(session.handhelds, 0, kMaxDevices);
  for (int i = 1; i <= kMaxDevices; ++i) {
    if (i > session.count) session.PIN[i].clear();
    session.phone[i] = false;
    session.phoneReady[i] = false;
    session.serial[i].clear();
  }
}

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

void CaptureOne(CaptureContext& ctx, int i, JobState& job);
void Compose(CaptureContext& ctx, int count, CaptureResult& result);

constexpr char16_t kLeftOut[] = u"left out: one shot takes at most four screens";

// A shot with an adb server answering: the handhelds the loader finds (when it is
// there), then the phones, one slot for each display, at most four in all. The phones'
// pictures are fetched first: only then is it known how many slots they take, which
// the file names depend on.
void PhoneJob(CaptureContext& ctx, const std::vector<PhoneEntry>& phones, JobState& job) {
  CaptureSession& session = ctx.session;
  const bool ready = session.deviceSessionReady;
  if (!ready) {
    session.handhelds = 0;
    session.count = 0;
    const bool loaderThere = ctx.files.fileSize(ctx.settings.JLpath + kToolFileName) > 0;
    if (loaderThere) session.handhelds = DetectDevices(ctx, phones.empty());
  }
  ClearPhoneSlots(session);
  if (!ready && session.handhelds > 0 && !CheckPasswords(ctx)) {
    PreviewStatus(ctx, u" wrong password! ", FailCaptionColors());
    return;
  }
  for (const PhoneEntry& phone : phones) {
    if (phone.state == "unauthorized") {
      TellUnauthorized(ctx, phone);
      continue;
    }
    if (session.count >= kMaxDevices) {
      job.result.phoneProblems.push_back({PhoneName(phone), kLeftOut});
      continue;
    }
    std::vector<DisplayShot> shots;
    if (phone.state == "device") {
      if (ctx.settings.sound != 0) ctx.host.playSound(id::kSoundShotStart);
      shots = TransferFromPhone(ctx, phone);
    } else {
      shots.push_back({0, {false, {}, {}}});
    }
    // Phones that share a serial (cheap tablets) are told apart by their transport.
    const bool sharedSerial =
        !phone.transportId.empty() &&
        std::count_if(phones.begin(), phones.end(),
                      [&](const PhoneEntry& p) { return p.serial == phone.serial; }) > 1;
    for (DisplayShot& shot : shots) {
      if (session.count >= kMaxDevices) {
        job.result.phoneProblems.push_back({DisplayName(phone, shot.display), kLeftOut});
        continue;
      }
      const int i = ++session.count;
      session.phone[i] = true;
      session.phoneReady[i] = phone.state == "device";
      session.serial[i] = phone.serial;
      session.PIN[i] = Latin1(phone.serial);
      if (sharedSerial) session.PIN[i] += u"-t" + Latin1(phone.transportId);
      if (shot.display > 0) session.PIN[i] += u"-d" + DecimalText(shot.display);
      job.phoneShots.push_back({i, phone, shot.display, std::move(shot.result)});
    }
  }
  ctx.host.setIncludePinBox(session.count <= 1, session.count > 1 || ctx.settings.includepin != 0);
  if (session.count == 0) {
    PreviewStatus(ctx, u" no device detected! ", FailCaptionColors());
    return;
  }
  session.deviceSessionReady = true;
  for (int i = 1; i <= session.count; ++i) CaptureOne(ctx, i, job);
  Compose(ctx, session.count, job.result);
}

// A phone slot's picture, finished; its problem, if any, goes to the job's list.
bool FinishPhoneShot(CaptureContext& ctx, int i, JobState& job) {
  auto entry = std::find_if(job.phoneShots.begin(), job.phoneShots.end(),
                            [i](const PhoneShot& s) { return s.slot == i; });
  if (entry == job.phoneShots.end()) return false;
  const std::u16string name = DisplayName(entry->phone, entry->display);
  DecodeResult picture = std::move(entry->picture);
  std::u16string reason;
  if (entry->phone.state != "device") {
    reason = StateReason(entry->phone.state);
  } else if (!picture.ok) {
    reason = Latin1(picture.error.empty() ? std::string("no picture") : picture.error);
  } else if (EntirelyBlack(picture.picture)) {
    // Still saved: it may be what the user wanted, and it shows what the phone gave.
    job.result.phoneProblems.push_back(
        {name, u"the picture is entirely black (an app that forbids screenshots, or the "
               u"screen is off); it was saved all the same"});
  }
  const bool shot = picture.ok && FinishShot(ctx, i, job.result, [&] { return std::move(picture); });
  if (!shot && reason.empty()) reason = u"the picture is too large to frame";
  if (!shot) job.result.phoneProblems.push_back({name, reason});
  return shot;
}

void CaptureOne(CaptureContext& ctx, int i, JobState& job) {
  CaptureSession& session = ctx.session;
  // Picture 24 is this device's result only, so a failed device never shows another's.
  ctx.pictures.release(kPicWork);
  if (!session.PIN[i].empty()) {
    // A phone's transfer runs beside the window, which answers its events meanwhile.
    // A phone's start sound played when its transfer began.
    if (!session.phone[i]) ctx.host.pumpAllEvents();
    bool shot = false;
    if (session.phone[i]) {
      shot = FinishPhoneShot(ctx, i, job);
    } else {
      if (ctx.settings.sound != 0) ctx.host.playSound(id::kSoundShotStart);
      shot = RunScreenshotTool(ctx, i, job) &&
             FinishShot(ctx, i, job.result, [&] { return ReadTempBitmap(ctx); });
    }
    if (!shot) {
      ctx.pictures.release(kPicWork);
      if (session.capWidth == 0) session.capWidth = 320;
      if (session.capHeight == 0) session.capHeight = 240;
      if (ctx.settings.sound != 0) ctx.host.playSound(id::kSoundShotFailed);
      CaptureSizeStatus(ctx, u" shot failed! ");
      session.deviceSessionReady = false;
    }
    if (!TempCleanup(ctx.files, ctx.clock, ctx.host, ctx.tempDir)) {
      CaptureSizeStatus(ctx, u" cleanup failed! ");
    }
  }
  if (const Picture* finished = ctx.pictures.find(kPicWork)) {
    ctx.pictures.put(kPicFirstShot + i, *finished);
  } else {
    ctx.pictures.release(kPicFirstShot + i);
  }
  if (const Picture* status = ctx.pictures.find(kPicStatus)) {
    ctx.pictures.put(kPicFirstPreview + i, *status);
  }
}

// Side by side: one picture of count x the largest, holding each device's at its place.
// Beyond the picture limit (three 4K screens) every picture is scaled down alike to
// fit; shrunk tells so.
bool SideBySide(const PictureStore& store, int first, int count, Picture& out, bool& shrunk) {
  long long maxW = 0;
  long long maxH = 0;
  for (int i = 1; i <= count; ++i) {
    if (const Picture* p = store.find(first + i)) {
      maxW = std::max<long long>(maxW, p->width);
      maxH = std::max<long long>(maxH, p->height);
    }
  }
  shrunk = false;
  if (maxW <= 0 || maxH <= 0) return false;
  long long cellW = maxW;
  long long cellH = maxH;
  if (!PictureSizeAllowed(count * maxW, maxH)) {
    const double side = std::min(static_cast<double>(kMaxPictureSide) / static_cast<double>(count * maxW),
                                 static_cast<double>(kMaxPictureSide) / static_cast<double>(maxH));
    const double area = std::sqrt(static_cast<double>(kMaxPicturePixels) /
                                  (static_cast<double>(count * maxW) * static_cast<double>(maxH)));
    const double scale = std::min(side, area);
    cellW = std::max(1LL, static_cast<long long>(static_cast<double>(maxW) * scale));
    cellH = std::max(1LL, static_cast<long long>(static_cast<double>(maxH) * scale));
    while (cellW > 1 && !PictureSizeAllowed(count * cellW, cellH)) --cellW;
    while (cellH > 1 && !PictureSizeAllowed(count * cellW, cellH)) --cellH;
    if (!PictureSizeAllowed(count * cellW, cellH)) return false;
    shrunk = true;
  }
  out = MakePicture(static_cast<int>(count * cellW), static_cast<int>(cellH), kBackground);
  if (out.empty()) return false;
  for (int i = 1; i <= count; ++i) {
    const Picture* p = store.find(first + i);
    if (p == nullptr) continue;
    const int x = static_cast<int>((i - 1) * cellW);
    if (!shrunk) {
      Blit(out, *p, x, 0);
      continue;
    }
    const int w = static_cast<int>(std::max(1LL, p->width * cellW / maxW));
    const int h = static_cast<int>(std::max(1LL, p->height * cellH / maxH));
    Blit(out, ResizeAreaAverage(*p, w, h), x, 0);
  }
  return true;
}

// A phone's screen beside others outgrows the screen: the window shows the previews
// shrunk, while the files and the clipboard keep every pixel.
void FitPreview(const CaptureContext& ctx, Picture& preview) {
  const long long maxW = ctx.maxPreviewWidth;
  const long long maxH = ctx.maxPreviewHeight;
  const long long w = preview.width;
  const long long h = preview.height;
  if (maxW <= 0 || maxH <= 0 || (w <= maxW && h <= maxH)) return;
  long long fitW = maxW;
  long long fitH = maxH;
  if (w * maxH > h * maxW) {
    fitH = std::max(1LL, h * maxW / w);
  } else {
    fitW = std::max(1LL, w * maxH / h);
  }
  Picture shrunk = ResizeAreaAverage(preview, static_cast<int>(fitW), static_cast<int>(fitH));
  if (!shrunk.empty()) preview = std::move(shrunk);
}

void Compose(CaptureContext& ctx, int count, CaptureResult& result) {
  Picture previews;
  bool shrunk = false;
  const bool havePreviews = SideBySide(ctx.pictures, kPicFirstPreview, count, previews, shrunk);
  if (havePreviews) FitPreview(ctx, previews);
  Picture shots;
  // A single phone's shot is on the clipboard already, and its PNG encoding costs
  // about as much as the rest of the shot.
  const bool onClipboard =
      count == 1 && ctx.session.phone[1] && result.finished == 1 && !result.clipboardFailed;
  if (SideBySide(ctx.pictures, kPicFirstShot, count, shots, shrunk)) {
    if (shrunk) {
      // The files keep every pixel; the clipboard and the preview hold the pictures scaled.
      long long widest = 0;
      for (int i = 1; i <= count; ++i) {
        if (const Picture* p = ctx.pictures.find(kPicFirstShot + i)) {
          widest = std::max<long long>(widest, p->width);
          result.composedHeight = std::max<long long>(result.composedHeight, p->height);
        }
      }
      result.composedWidth = count * widest;
      result.shrunkWidth = shots.width;
      result.shrunkHeight = shots.height;
    }
    if (!onClipboard && !ctx.host.putOnClipboard(shots)) result.clipboardFailed = true;
    ctx.pictures.put(kPicWork, std::move(shots));
  } else {
    ctx.pictures.release(kPicWork);
  }
  if (havePreviews) {
    ctx.settings.width = previews.width;
    ctx.settings.height = previews.height;
    ctx.pictures.put(kPicStatus, std::move(previews));
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

std::u16string ShotFileName(const AppSettings& settings, const CaptureSession& session, int i) {
  const bool pinPrefix = settings.includepin != 0 || session.count > 1;
  const std::u16string ext =
      IsShotFormat(settings.shotext) ? std::u16string(kShotExtensions[settings.shotext]) : u"";
  std::u16string name;
  if (pinPrefix && i >= 1 && i <= kMaxDevices) {
    name = (session.phone[i] ? SerialForFileName(session.PIN[i]) : PinForFileName(session.PIN[i])) +
           u"-";
  }
  return name + settings.shotname + ext;
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
    // The phones of an earlier shot are gone with the server.
    if (std::find(session.phone.begin(), session.phone.end(), true) != session.phone.end()) {
      ClearPhoneSlots(session);
    }
    session.deviceSessionReady = true;
    const int count = std::clamp(session.count, 0, kMaxDevices);
    for (int i = 1; i <= count; ++i) CaptureOne(ctx, i, job);
    if (count > 0) Compose(ctx, count, job.result);
  }

  ShowAndResize(ctx);
  job.result.questionNotShown = ctx.questionNotShown;
  return job.result;
}

}  // namespace snapdeck
