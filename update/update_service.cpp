#include "update/update_service.h"

#include "dialogs/bubble_theme.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/tables.h"
#include "update/fetch_worker.h"
#include "update/program_swap.h"
#include "update/update_document.h"
#include "update/url_parts.h"

namespace snapdeck {
namespace {

// Fetches url into body within the deadline; a 401 asks for credentials and tries
// again for as long as the user confirms. Credentials go only to the origin they
// were typed for. True with the answer in body; otherwise resultText says why.
bool FetchWithLogin(UpdateContext& c, const std::u16string& url, int deadlineMs,
                    FetchedBody& body) {
  const std::u16string origin = OriginOf(url);
  for (;;) {
    body = FetchedBody{};
    const bool ours = c.login.origin == origin;
    const std::u16string result =
        FetchOnWorker(c.system.transport(), url, ours ? c.login.userName : u"",
                      ours ? c.login.password : u"", body, kUpdateChunkChars, deadlineMs, c.window);
    const int status = FetchStatus(result);
    c.window.discardEvents();
    if (status == 0) return true;
    c.info.resultText = result;
    if (status != 401) return false;
    // Another host's credentials are not even shown in the bubble.
    if (!ours) c.login = LoginState{};
    if (!c.window.askLogin(HostShown(url))) return false;
    c.login.origin = origin;
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

// The copy's part of the hand-over: the old program has ended and N is free.
void SwapAndStart(const std::u16string& dir, const std::u16string& name,
                  const std::u16string& caption, const std::u16string& expectedHex,
                  UpdateSystem& system) {
  const std::u16string current = dir + name;
  const std::optional<Sha256Digest> expected = ParseSha256Hex(expectedHex);
  const SwapResult swap = expected ? SwapInNewVersion(dir, name, *expected, system)
                                   : SwapResult::Failed;
  std::u16string why;
  if (swap == SwapResult::Swapped) {
    if (system.startProgram(current, u"cleanVEX", dir)) return;
    // The bubble's text field holds three short lines.
    why = PutOldVersionBack(dir, name, system) ? u"Update failed!\r\nold version restored"
                                               : u"Update failed!\r\nnew version did not start";
  } else if (swap == SwapResult::Changed) {
    why = u"Update refused!\r\ndownload was changed";
  } else {
    why = u"Update failed!";
  }
  // The user asked for a restart: the old version goes on.
  system.startProgram(current, u"", dir);
  system.messageBubble(caption, why, kThemeError);
}

}  // namespace

bool CheckForUpdate(UpdateContext& c) {
  UpdateInfo& info = c.info;
  c.window.setStatus(u"checking for updates...");
  info.resultText.clear();
  FetchedBody body;
  if (!FetchWithLogin(c, info.infoUrl, kDocumentDeadlineMs, body)) {
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
  info.preparedSha256.reset();
  const std::u16string lineRefusal = RefusalOfLine(info, c.system);
  if (!lineRefusal.empty()) {
    info.resultText = lineRefusal;
  } else if (FetchWithLogin(c, info.downloadUrl, kProgramDeadlineMs, body)) {
    std::u16string refusal = RefusalOf(body, info, c.system);
    // The file holds the announced bytes, not the terminating zeros.
    body.buffer.resize(static_cast<std::size_t>(body.length));
    // What was accepted is checked once more when the copy swaps it in.
    std::optional<Sha256Digest> accepted;
    if (refusal.empty()) {
      accepted = c.system.sha256(body.buffer.data(), body.buffer.size());
      if (!accepted) refusal = u"*SHA-256 not available*";
    }
    if (!refusal.empty()) {
      info.resultText = refusal;
    } else if (!c.system.writeFile(dir + kNewPrefix + name, body.buffer)) {
      info.resultText = u"*file creation failed*";
    } else {
      haveFile = true;
      info.preparedSha256 = accepted;
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

bool StartRestart(const UpdateInfo& info, const ProgramInfo& program, UpdateSystem& system) {
  if (!info.preparedSha256) return false;
  return system.startProgram(program.programDir + kCopyPrefix + program.programFile,
                             u"cloneVEX " + Sha256Hex(*info.preparedSha256), program.programDir);
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
                                   const std::u16string& parameter, UpdateSystem& system,
                                   const std::u16string& expectedSha256) {
  info.commandParameter = parameter;
  ReadOwnPath(program, system);
  const std::u16string& dir = program.programDir;
  // Started under any of the hand-over's names after a stop in the middle of it.
  RestoreMissingProgram(dir, RemoveAll(RemoveAll(program.programFile, kCopyPrefix), kAsidePrefix),
                        system);
  if (parameter == u"cloneVEX") {
    const std::u16string name = RemoveAll(program.programFile, kCopyPrefix);
    if (WaitForFileAccess(dir + name, system) == 1) {
      SwapAndStart(dir, name, program.programFile, expectedSha256, system);
    } else {
      system.messageBubble(program.programFile, u"Update failed!", kThemeError);
    }
    return SwitchOutcome::End;
  }
  if (parameter == u"cleanVEX") {
    const std::u16string copy = dir + kCopyPrefix + program.programFile;
    const bool copyFree = WaitForFileAccess(copy, system) == 1;
    if (copyFree) system.deleteFile(copy);
    // The old version was kept until now, in case this one could not start.
    system.deleteFile(dir + kAsidePrefix + program.programFile);
    if (copyFree) {
      system.messageBubble(program.programFile, u"Update completed!", kThemeSuccess);
    } else {
      system.messageBubble(program.programFile, u"Cleanup failed!", kThemeError);
    }
  }
  return SwitchOutcome::Continue;
}

}  // namespace snapdeck
