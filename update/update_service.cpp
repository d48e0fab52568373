#include "update/update_service.h"

#include "dialogs/bubble_theme.h"
#include "platform/text.h"
#include "shell/tables.h"
#include "update/update_document.h"

namespace snapdeck {
namespace {

const std::u16string kCopyPrefix = u"tmp!";
const std::u16string kNewPrefix = u"vex!";
// Where the old program file waits while the new one is put in its place.
const std::u16string kAsidePrefix = u"old!";

// Fetches url into body; a 401 asks for credentials and tries again for as long as
// the user confirms. True with the answer in body; otherwise resultText says why.
bool FetchWithLogin(UpdateContext& c, const std::u16string& url, FetchedBody& body) {
  for (;;) {
    body = FetchedBody{};
    std::u16string result;
    {
      std::unique_ptr<HttpTransport> net = c.system.transport();
      result =
          HttpFetch(*net, url, u"", c.login.userName, c.login.password, body, kUpdateChunkChars,
                    [&](int maximum, int value) { c.window.drawProgress(maximum, value); });
    }
    const int status = FetchStatus(result);
    c.window.discardEvents();
    if (status == 0) return true;
    c.info.resultText = result;
    if (status != 401 || !c.window.askLogin()) return false;
  }
}

void ReadOwnPath(ProgramInfo& program, UpdateSystem& system) {
  SplitProgramPath(system.modulePath(), program.programFile, program.programDir);
}

// Why the checked line must not be installed, or "" when its signature allows it.
std::u16string RefusalOfLine(const UpdateInfo& info, UpdateSystem& system) {
  const UpdateLine line{info.programName, info.latestVersion, info.downloadUrl,
                        info.downloadSha256, info.signature};
  return RefusedUpdateLine(
      line, info.updateKey, info.currentVersion,
      [&](const std::uint8_t* bytes, std::size_t size) { return system.sha256(bytes, size); },
      [&](const EcPublicKey& key, const Sha256Digest& digest, const EcSignature& signature) {
        return system.verifySignature(key, digest, signature);
      });
}

// Why a fetched program file must not be used, or "" when it may.
std::u16string RefusalOf(const FetchedBody& body, const UpdateInfo& info, UpdateSystem& system) {
  if (body.received < body.length || body.length == 0) {
    return u"*incomplete download* " + DecimalText(body.received) + u" of " +
           DecimalText(body.length) + u" bytes";
  }
  return RefusedDownload(
      body.buffer.data(), static_cast<std::size_t>(body.length), info.downloadSha256,
      [&](const std::uint8_t* bytes, std::size_t size) { return system.sha256(bytes, size); });
}

std::u16string RemoveAll(std::u16string text, const std::u16string& what) {
  for (std::size_t at = text.find(what); at != std::u16string::npos; at = text.find(what, at)) {
    text.erase(at, what.size());
  }
  return text;
}

// Puts "vex!" + name in the place of name. The old file is moved aside first and put
// back when the new one cannot take its place, so there is always a program file.
bool SwapProgramFiles(const std::u16string& dir, const std::u16string& name, UpdateSystem& system) {
  const std::u16string current = dir + name;
  const std::u16string aside = dir + kAsidePrefix + name;
  system.deleteFile(aside);
  if (!system.moveFile(current, aside)) return false;
  if (!system.moveFile(dir + kNewPrefix + name, current)) {
    system.moveFile(aside, current);
    return false;
  }
  system.deleteFile(aside);
  return true;
}

}  // namespace

bool CheckForUpdate(UpdateContext& c) {
  UpdateInfo& info = c.info;
  c.window.setStatus(u"checking for updates...");
  info.resultText.clear();
  FetchedBody body;
  if (!FetchWithLogin(c, info.infoUrl, body)) {
    c.window.setStatus(u"Sorry, cannot retrieve update info, error: " + info.resultText);
    return false;
  }
  info.resultText = DocumentText(body.buffer.data(), static_cast<std::size_t>(body.received));
  const std::optional<UpdateLine> line = FindUpdateLine(info.resultText, info.programName);
  if (!line) {
    c.window.setStatus(u"Sorry, no update info available!");
    return false;
  }
  info.downloadUrl = line->downloadUrl;
  info.downloadSha256 = line->sha256;
  info.latestVersion = line->version;
  info.signature = line->signature;
  const bool newer = IsNewerVersion(line->version, info.currentVersion);
  c.window.setStatus(u"current version: " + info.currentVersion + u"\r\nlatest version: " +
                     line->version + u"\r\n" +
                     (newer ? u"Do you want to update?" : u"Already up2date!"));
  return newer;
}

bool DownloadUpdate(UpdateContext& c) {
  UpdateInfo& info = c.info;
  ProgramInfo& program = c.program;
  c.window.setStatus(u"trying to download...");
  c.window.discardEvents();
  ReadOwnPath(program, c.system);
  const std::u16string& dir = program.programDir;
  const std::u16string& name = program.programFile;

  bool haveFile = false;
  FetchedBody body;
  const std::u16string lineRefusal = RefusalOfLine(info, c.system);
  if (!lineRefusal.empty()) {
    info.resultText = lineRefusal;
  } else if (FetchWithLogin(c, info.downloadUrl, body)) {
    const std::u16string refusal = RefusalOf(body, info, c.system);
    // The file holds the announced bytes, not the terminating zeros.
    body.buffer.resize(static_cast<std::size_t>(body.length));
    if (!refusal.empty()) {
      info.resultText = refusal;
    } else if (!c.system.writeFile(dir + kNewPrefix + name, body.buffer)) {
      info.resultText = u"*file creation failed*";
    } else {
      haveFile = true;
    }
  }
  body = FetchedBody{};

  std::u16string message;
  bool prepared = false;
  if (haveFile) {
    message = u"Download succeeded!\r\n";
    if (c.system.copyFile(dir + name, dir + kCopyPrefix + name)) {
      message += u"Update prepared!\r\nProgram restart required...\r\n";
      prepared = true;
    } else {
      message += u"Update failed!, Sorry\r\n";
    }
  } else {
    c.window.playErrorSound();
    message = (lineRefusal.empty() ? u"Download failed! " : u"Update refused! ") + info.resultText +
              u"\r\n";
  }
  c.window.setStatus(message);
  return prepared;
}

bool StartRestart(const ProgramInfo& program, UpdateSystem& system) {
  return system.startProgram(program.programDir + kCopyPrefix + program.programFile, u"cloneVEX",
                             program.programDir);
}

int WaitForFileAccess(const std::u16string& path, UpdateSystem& system) {
  if (system.fileSize(path) == 0) return -1;
  for (int elapsed = 0; elapsed < 10000;) {
    system.sleepMs(100);
    elapsed += 100;
    if (system.openReadWrite(path)) return 1;
  }
  return 0;
}

SwitchOutcome HandleUpdateSwitches(UpdateInfo& info, ProgramInfo& program,
                                   const std::u16string& parameter, UpdateSystem& system) {
  info.commandParameter = parameter;
  if (parameter == u"cloneVEX") {
    ReadOwnPath(program, system);
    const std::u16string& dir = program.programDir;
    const std::u16string name = RemoveAll(program.programFile, kCopyPrefix);
    if (WaitForFileAccess(dir + name, system) == 1 && SwapProgramFiles(dir, name, system)) {
      system.startProgram(dir + name, u"cleanVEX", dir);
    } else {
      system.messageBubble(program.programFile, u"Update failed!", kThemeError);
    }
    return SwitchOutcome::End;
  }
  if (parameter == u"cleanVEX") {
    ReadOwnPath(program, system);
    const std::u16string copy = program.programDir + kCopyPrefix + program.programFile;
    if (WaitForFileAccess(copy, system) == 1) {
      system.deleteFile(copy);
      system.messageBubble(program.programFile, u"Update completed!", kThemeSuccess);
    } else {
      system.messageBubble(program.programFile, u"Cleanup failed!", kThemeError);
    }
    // Left over when the copy could not remove it after the swap.
    system.deleteFile(program.programDir + kAsidePrefix + program.programFile);
  }
  return SwitchOutcome::Continue;
}

}  // namespace snapdeck
