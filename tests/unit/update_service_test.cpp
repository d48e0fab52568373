#include "update/update_service.h"

#include <gtest/gtest.h>

#include "dialogs/bubble_theme.h"
#include "tests/support/update_fakes.h"
#include "update/emblem.h"
#include "update/program_swap.h"
#include "update/update_address.h"
#include "update/update_progress.h"
#include "update/url_parts.h"

namespace snapdeck::testing {
namespace {

const std::u16string kDir = u"C:\\apps\\";
const std::u16string kExe = kDir + u"Snapdeck.exe";

class UpdateService : public ::testing::Test {
 protected:
  void SetUp() override {
    info.programName = u"Snapdeck";
    info.currentVersion = u"1.67";
    info.infoUrl = u"http://updates.test/sd/vex!.utx";
    info.updateKey = kKey;
    window.login = &login;
    system.files[kExe] = {1, 2, 3};
  }
  UpdateContext Context() { return UpdateContext{info, program, login, system, window}; }
  bool Check() {
    UpdateContext c = Context();
    return CheckForUpdate(c);
  }
  bool Download() {
    UpdateContext c = Context();
    return DownloadUpdate(c);
  }
  void Document(const std::u16string& text) { system.answers.push_back(Answer(Utf16Le(text))); }
  // A check that found version 1.8 (or the given one) at http://updates.test/new.exe,
  // signed for the program bytes with the built-in key.
  void Checked(const std::vector<std::uint8_t>& program = X64Program(),
               const std::u16string& version = u"1.8") {
    info.downloadUrl = u"http://updates.test/new.exe";
    SignedFor(program, version);
  }
  // The checked line's version, digest and signature for these program bytes.
  void SignedFor(const std::vector<std::uint8_t>& program, const std::u16string& version) {
    info.latestVersion = version;
    info.downloadSha256 = HexOf(StandInDigest(program.data(), program.size()));
    info.signature = FakeSign(kKey, u"Snapdeck", version, info.downloadSha256);
  }

  const EcPublicKey kKey = FakeKey(1);
  UpdateInfo info;
  ProgramInfo program;
  LoginState login;
  FakeUpdateSystem system;
  FakeUpdateWindow window;
};

TEST_F(UpdateService, CheckAnnouncesANewerVersion) {
  Document(u"Snapdeck|1.7|http://updates.test/new.exe|ab\r\n");
  EXPECT_TRUE(Check());
  EXPECT_EQ(window.statuses.front(), u"checking for updates...");
  EXPECT_EQ(window.statuses.back(),
            u"current version: 1.67\r\nlatest version: 1.7\r\nDo you want to update?");
  EXPECT_EQ(info.downloadUrl, u"http://updates.test/new.exe");
  EXPECT_EQ(info.downloadSha256, u"ab");
  EXPECT_EQ(info.latestVersion, u"1.7");
  EXPECT_EQ(system.used.front().path, u"/sd/vex!.utx");
  const int length = static_cast<int>(system.used.front().body.size());
  EXPECT_EQ(window.progress.back(), (std::pair<int, int>{length, length}));
  EXPECT_GE(window.discards, 1);
}

TEST_F(UpdateService, CheckWithoutNewerVersionOrLineOrDocument) {
  Document(u"Snapdeck|1.67|http://same\r\n");
  EXPECT_FALSE(Check());
  EXPECT_EQ(window.statuses.back(),
            u"current version: 1.67\r\nlatest version: 1.67\r\nAlready up2date!");
  EXPECT_EQ(info.downloadUrl, u"http://same") << "kept even when not newer";

  Document(u"Other|9|http://x\r\n");
  EXPECT_FALSE(Check());
  EXPECT_EQ(window.statuses.back(), u"Sorry, no update info available!");

  system.answers.push_back(StatusAnswer(u"404"));
  EXPECT_FALSE(Check());
  EXPECT_EQ(window.statuses.back(), u"Sorry, cannot retrieve update info, error: *not found*; 404");
  EXPECT_EQ(window.logins, 0);

  system.answers.push_back(Answer({}));
  EXPECT_FALSE(Check());
  EXPECT_EQ(window.statuses.back(), u"Sorry, cannot retrieve update info, error: *Empty document*");
}

TEST_F(UpdateService, UnauthorizedAsksForCredentialsUntilTheUserGivesUp) {
  system.answers.push_back(StatusAnswer(u"401"));
  system.answers.push_back(StatusAnswer(u"401"));
  Document(u"Snapdeck|1.7|http://a\r\n");
  window.loginAnswers = {{u"ann", u"one"}, {u"ann", u"two"}};
  EXPECT_TRUE(Check());
  EXPECT_EQ(window.logins, 2);
  ASSERT_EQ(system.used.size(), 3u);
  EXPECT_EQ(system.used[0].userName, u"");
  EXPECT_EQ(system.used[1].password, u"one");
  EXPECT_EQ(system.used[2].password, u"two");

  system.answers.push_back(StatusAnswer(u"401"));
  EXPECT_FALSE(Check());
  EXPECT_EQ(window.logins, 3);
  EXPECT_EQ(window.statuses.back(),
            u"Sorry, cannot retrieve update info, error: *unauthorized*; 401");
}

TEST_F(UpdateService, DownloadPreparesTheNewFileAndTheCopy) {
  std::vector<std::uint8_t> program64 = X64Program(300);
  Checked(program64);
  system.answers.push_back(Answer(program64));
  EXPECT_TRUE(Download());
  EXPECT_EQ(window.statuses.front(), u"trying to download...");
  EXPECT_EQ(window.statuses.back(),
            u"Download succeeded!\r\nUpdate prepared!\r\nProgram restart required...\r\n");
  EXPECT_EQ(system.files[kDir + u"vex!Snapdeck.exe"], program64);
  EXPECT_EQ(system.files[kDir + u"tmp!Snapdeck.exe"], (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(program.programDir, kDir);
  EXPECT_EQ(program.programFile, u"Snapdeck.exe");
  EXPECT_EQ(window.errorSounds, 0);

  EXPECT_TRUE(StartRestart(info, program, system));
  EXPECT_EQ(system.started.back(), kDir + u"tmp!Snapdeck.exe cloneVEX " +
                                       Sha256Hex(StandInDigest(program64)) + u" in " + kDir)
      << "the copy is told what the accepted download hashes to";

  system.answers.push_back(StatusAnswer(u"404"));
  EXPECT_FALSE(Download());
  EXPECT_FALSE(StartRestart(info, program, system)) << "nothing prepared any more";
}

TEST_F(UpdateService, DownloadsThatMustNotReplaceTheProgramLeaveNoFile) {
  struct Case {
    HttpScript answer;
    std::vector<std::uint8_t> signedFor;
    std::u16string status;
  };
  std::vector<std::uint8_t> good = X64Program(300);
  HttpScript truncated = Answer(good);
  truncated.body.resize(200);
  HttpScript nothing = Answer({});
  nothing.contentLength = u"300";
  const std::vector<std::uint8_t> i386 = X64Program(300, 0x014C);
  std::vector<Case> cases = {
      {truncated, good, u"*incomplete download* 200 of 300 bytes"},
      {nothing, good, u"*incomplete download* 0 of 300 bytes"},
      {Answer(i386), i386, u"*not a Windows x64 program*"},
      {Answer(good), X64Program(301), u"*SHA-256 mismatch*"},
      {StatusAnswer(u"404"), good, u"*not found*; 404"},
  };
  for (const Case& c : cases) {
    system.answers.push_back(c.answer);
    Checked(c.signedFor);
    const int sounds = window.errorSounds;
    EXPECT_FALSE(Download());
    EXPECT_EQ(window.statuses.back(), u"Download failed! " + c.status + u"\r\n");
    EXPECT_EQ(window.errorSounds, sounds + 1);
    EXPECT_EQ(system.files.size(), 1u) << "only the program itself";
  }
  system.answers.push_back(Answer(good));
  Checked(good);
  EXPECT_TRUE(Download()) << "a matching digest passes";
}

TEST_F(UpdateService, LinesNotSignedForThisProgramAreRefusedBeforeTheDownload) {
  const std::vector<std::uint8_t> good = X64Program(300);
  const std::u16string sha = HexOf(StandInDigest(good.data(), good.size()));
  std::u16string otherSha = sha;
  otherSha[0] = otherSha[0] == u'0' ? u'1' : u'0';
  struct Case {
    const char* what;
    std::u16string version, sha256, signature;
    std::u16string status;
  };
  const std::u16string signed18 = FakeSign(kKey, u"Snapdeck", u"1.8", sha);
  const std::vector<Case> cases = {
      {"older", u"1.6", sha, FakeSign(kKey, u"Snapdeck", u"1.6", sha),
       u"*not newer than this version*"},
      {"same", u"1.67", sha, FakeSign(kKey, u"Snapdeck", u"1.67", sha),
       u"*not newer than this version*"},
      {"unsigned", u"1.8", sha, u"", u"*unsigned update*"},
      {"no digest", u"1.8", u"", signed18, u"*invalid SHA-256 in update info*"},
      {"not base64", u"1.8", sha, u"!" + signed18.substr(1), u"*invalid signature*"},
      {"truncated", u"1.8", sha, signed18.substr(0, signed18.size() - 4), u"*invalid signature*"},
      {"another key", u"1.8", sha, FakeSign(FakeKey(2), u"Snapdeck", u"1.8", sha),
       u"*signature mismatch*"},
      {"changed version", u"1.9", sha, signed18, u"*signature mismatch*"},
      {"changed digest", u"1.8", otherSha, signed18, u"*signature mismatch*"},
      {"other program", u"1.8", sha, FakeSign(kKey, u"Other", u"1.8", sha),
       u"*signature mismatch*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    info.downloadUrl = u"http://updates.test/new.exe";
    info.latestVersion = c.version;
    info.downloadSha256 = c.sha256;
    info.signature = c.signature;
    system.answers.push_back(Answer(good));
    const int sounds = window.errorSounds;
    EXPECT_FALSE(Download());
    EXPECT_EQ(window.statuses.back(), u"Update refused! " + c.status + u"\r\n");
    EXPECT_EQ(window.errorSounds, sounds + 1);
    EXPECT_TRUE(system.used.empty()) << "nothing is fetched";
    EXPECT_EQ(system.files.size(), 1u) << "only the program itself";
    system.answers.clear();
  }

  Checked(good);
  system.noSha256 = true;
  EXPECT_FALSE(Download());
  EXPECT_EQ(window.statuses.back(), u"Update refused! *SHA-256 not available*\r\n");

  // A build without a key checks as before but installs nothing.
  system.noSha256 = false;
  info.updateKey.reset();
  Document(u"Snapdeck|1.8|http://updates.test/new.exe|" + sha + u"|" + signed18 + u"\r\n");
  EXPECT_TRUE(Check());
  system.used.clear();
  EXPECT_FALSE(Download());
  EXPECT_EQ(window.statuses.back(),
            u"Update refused! *this build has no update key and installs no updates*\r\n");
  EXPECT_TRUE(system.used.empty());
  EXPECT_EQ(system.files.size(), 1u);
}

TEST_F(UpdateService, DownloadThatCannotBeWrittenOrCopied) {
  Checked(X64Program());
  system.answers.push_back(Answer(X64Program()));
  system.readOnly = true;
  EXPECT_FALSE(Download());
  EXPECT_EQ(window.statuses.back(), u"Download failed! *file creation failed*\r\n");

  system.readOnly = false;
  system.files.erase(kExe);  // nothing to copy
  system.answers.push_back(Answer(X64Program()));
  EXPECT_FALSE(Download());
  EXPECT_EQ(window.statuses.back(), u"Download succeeded!\r\nUpdate failed!, Sorry\r\n");
  EXPECT_TRUE(system.files.count(kDir + u"vex!Snapdeck.exe"));
}

TEST_F(UpdateService, AStalledFetchEndsAtItsDeadlineOrAtCancel) {
  HttpScript stalled = Answer(X64Program());
  stalled.stall = true;
  window.clockRuns = true;

  system.answers.push_back(stalled);
  EXPECT_FALSE(Check());
  EXPECT_EQ(window.statuses.back(), u"Sorry, cannot retrieve update info, error: *timed out*");
  EXPECT_GE(window.clock, 1000u + 2 * 60 * 1000);
  EXPECT_LT(window.clock, 1000u + 2 * 60 * 1000 + 1000) << "two minutes for the document";

  Checked();
  window.clock = 1000;
  system.answers.push_back(stalled);
  EXPECT_FALSE(Download());
  EXPECT_EQ(window.statuses.back(), u"Download failed! *timed out*\r\n");
  EXPECT_GE(window.clock, 1000u + 10 * 60 * 1000);
  EXPECT_LT(window.clock, 1000u + 10 * 60 * 1000 + 1000) << "ten minutes for the program";

  window.clockRuns = false;
  window.cancelAfterWaits = window.fetchWaits + 3;
  system.answers.push_back(stalled);
  EXPECT_FALSE(Download());
  EXPECT_EQ(window.statuses.back(), u"Download failed! *cancelled*\r\n");
  for (const HttpScript& used : system.used) {
    EXPECT_TRUE(used.aborted);
    EXPECT_TRUE(used.closed) << "the worker ended and closed its connection";
  }
  EXPECT_EQ(system.files.size(), 1u) << "nothing but the program";
  EXPECT_FALSE(StartRestart(info, program, system));
}

TEST_F(UpdateService, CredentialsAreSentOnlyToTheServerTheyWereTypedFor) {
  system.answers.push_back(StatusAnswer(u"401"));
  Document(u"Snapdeck|1.7|http://elsewhere.test/new.exe\r\n");
  window.loginAnswers = {{u"ann", u"secret"}};
  ASSERT_TRUE(Check());
  SignedFor(X64Program(), u"1.7");
  EXPECT_EQ(window.loginHosts, (std::vector<std::u16string>{u"updates.test"}));
  EXPECT_EQ(system.used[1].password, u"secret");

  // The download lives on another host, which asks as well: it is named, and the
  // bubble does not offer it the first host's credentials.
  system.answers.push_back(StatusAnswer(u"401"));
  EXPECT_FALSE(Download());
  EXPECT_EQ(system.used[2].host, u"elsewhere.test");
  EXPECT_EQ(system.used[2].userName, u"");
  EXPECT_EQ(system.used[2].password, u"");
  EXPECT_EQ(window.loginHosts.back(), u"elsewhere.test");
  EXPECT_EQ(window.shownCredentials.back(), u":");

  // The same host under another scheme or port is another server.
  for (const char16_t* url : {u"https://updates.test/new.exe", u"http://updates.test:81/new.exe"}) {
    login = LoginState{u"ann", u"secret", OriginOf(u"http://updates.test/sd/vex!.utx")};
    info.downloadUrl = url;
    system.answers.push_back(Answer(X64Program()));
    Download();
    EXPECT_EQ(system.used.back().password, u"") << Utf16ToUtf8(url);
  }
  login = LoginState{u"ann", u"secret", OriginOf(u"HTTP://Updates.Test:80/x")};
  info.downloadUrl = u"http://updates.test/new.exe";
  system.answers.push_back(Answer(X64Program()));
  EXPECT_TRUE(Download());
  EXPECT_EQ(system.used.back().password, u"secret") << "the origin ignores case and a default port";
}

TEST_F(UpdateService, WaitForFileAccessTriesEveryTenthOfASecondForTenSeconds) {
  const std::u16string file = kDir + u"f.exe";
  system.files[file] = {};
  EXPECT_EQ(WaitForFileAccess(file, system), -1);
  EXPECT_EQ(system.slept, 0);

  system.files[file] = {7};
  system.heldFor[file] = 1000;
  EXPECT_EQ(WaitForFileAccess(file, system), 0);
  EXPECT_EQ(system.openAttempts, 100);
  EXPECT_EQ(system.slept, 10000);

  system.heldFor[file] = 2;
  system.slept = 0;
  EXPECT_EQ(WaitForFileAccess(file, system), 1);
  EXPECT_EQ(system.slept, 300);

  EXPECT_EQ(WaitForFileAccess(kDir + u"missing", system), 1);
  EXPECT_TRUE(system.files.count(kDir + u"missing")) << "created by the attempt";
}

class UpdateSwitches : public UpdateService {
 protected:
  void SetUp() override {
    UpdateService::SetUp();
    system.exePath = kCopy;
    system.files[kCopy] = kOld;
    system.files[kNew] = kNewer;
  }
  SwitchOutcome Handle(const std::u16string& parameter, const std::u16string& digest = u"") {
    return HandleUpdateSwitches(info, program, parameter, system, digest);
  }
  void Fresh() {
    system = FakeUpdateSystem{};
    SetUp();
  }
  SwitchOutcome Clone() { return Handle(u"cloneVEX", Sha256Hex(StandInDigest(kNewer))); }
  // The program file is there and is one of the two versions.
  void ExpectRunnableProgram() {
    ASSERT_TRUE(system.files.count(kExe)) << "no program file left";
    EXPECT_TRUE(system.files[kExe] == kOld || system.files[kExe] == kNewer);
  }

  const std::vector<std::uint8_t> kOld{1, 2, 3}, kNewer{9, 9};
  const std::u16string kCopy = kDir + u"tmp!Snapdeck.exe";
  const std::u16string kNew = kDir + u"vex!Snapdeck.exe";
  const std::u16string kAside = kDir + u"old!Snapdeck.exe";
};

TEST_F(UpdateSwitches, CloneSwapsTheFilesKeepsTheOldOneAndStartsTheNewVersion) {
  EXPECT_EQ(Clone(), SwitchOutcome::End);
  EXPECT_EQ(info.commandParameter, u"cloneVEX");
  EXPECT_EQ(system.files[kExe], kNewer);
  EXPECT_EQ(system.files[kAside], kOld) << "kept until the new version runs";
  EXPECT_FALSE(system.files.count(kNew));
  EXPECT_TRUE(system.held.empty());
  EXPECT_EQ(system.started, (std::vector<std::u16string>{kExe + u" cleanVEX in " + kDir}));
  EXPECT_TRUE(system.bubbles.empty());

  // Renames held for a while (a virus scanner) are tried again.
  Fresh();
  system.renameFailures = {{kExe, 5}, {kNew, 5}};
  system.holdRefusals = 2;
  Clone();
  EXPECT_EQ(system.files[kExe], kNewer);
  EXPECT_EQ(system.slept, 100 + 200 + 500 + 500) << "file access once, then 2 + 5 + 5 pauses";
}

TEST_F(UpdateSwitches, EveryFailingRenameLeavesARunnableProgram) {
  struct Case {
    const char* what;
    int renamesBeforeFailing;
    bool withoutDownload;
    std::u16string bubble;
  };
  const Case cases[] = {
      {"no download to hold", -1, true, u"Update failed!"},
      {"the program cannot be moved aside", 0, false, u"Update failed!"},
      {"the download cannot take its place; the old one is put back", -1, false, u"Update failed!"},
      {"the download and the way back both fail; restored from the copy", 1, false,
       u"Update failed!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fresh();
    if (c.withoutDownload) system.files.erase(kNew);
    system.renamesBeforeFailing = c.renamesBeforeFailing;
    if (c.renamesBeforeFailing < 0 && !c.withoutDownload) system.unmovable.insert(kNew);
    EXPECT_EQ(Clone(), SwitchOutcome::End);
    ExpectRunnableProgram();
    EXPECT_EQ(system.files[kExe], kOld);
    ASSERT_EQ(system.bubbles.size(), 1u);
    EXPECT_EQ(system.bubbles[0].caption, u"tmp!Snapdeck.exe");
    EXPECT_EQ(system.bubbles[0].text, c.bubble);
    EXPECT_EQ(system.bubbles[0].theme, kThemeError);
    EXPECT_EQ(system.started.back(), kExe + u"  in " + kDir) << "the old version goes on";
  }
}

TEST_F(UpdateSwitches, NewVersionThatDoesNotStartIsReplacedByTheOldOne) {
  system.unstartable.insert(kNewer);
  Clone();
  EXPECT_EQ(system.files[kExe], kOld);
  EXPECT_FALSE(system.files.count(kAside));
  EXPECT_EQ(system.started, (std::vector<std::u16string>{kExe + u" cleanVEX in " + kDir,
                                                         kExe + u"  in " + kDir}));
  ASSERT_EQ(system.bubbles.size(), 1u);
  EXPECT_EQ(system.bubbles[0].text, u"Update failed!\r\nold version restored");

  // Putting it back fails half-way: the copy stands in.
  Fresh();
  system.unstartable.insert(kNewer);
  system.renamesBeforeFailing = 3;  // the swap's two, the new one out, not the old one in
  Clone();
  ExpectRunnableProgram();
  EXPECT_EQ(system.files[kExe], kOld);
}

TEST_F(UpdateSwitches, DownloadChangedSinceItWasCheckedIsRefusedAndDeleted) {
  system.files[kNew] = {9, 8};
  Clone();
  EXPECT_EQ(system.files[kExe], kOld);
  EXPECT_FALSE(system.files.count(kNew));
  EXPECT_FALSE(system.files.count(kAside));
  EXPECT_EQ(system.started, (std::vector<std::u16string>{kExe + u"  in " + kDir}));
  ASSERT_EQ(system.bubbles.size(), 1u);
  EXPECT_EQ(system.bubbles[0].text, u"Update refused!\r\ndownload was changed");

  // Without a digest to compare with nothing is swapped in.
  for (const char16_t* digest : {u"", u"not hex"}) {
    system.files[kNew] = kNewer;
    Handle(u"cloneVEX", digest);
    EXPECT_EQ(system.files[kExe], kOld);
    EXPECT_EQ(system.bubbles.back().text, u"Update failed!");
  }
}

TEST_F(UpdateSwitches, AStopBetweenAnyTwoRenamesIsRepairedAtTheNextStart) {
  Clone();
  const auto snapshots = system.afterRenames;
  ASSERT_GE(snapshots.size(), 2u);
  for (const auto& left : snapshots) {
    for (const std::u16string& startedAs : {kExe, kCopy, kAside}) {
      if (!left.count(startedAs)) continue;
      system.files = left;
      system.exePath = startedAs;
      EXPECT_EQ(Handle(u""), SwitchOutcome::Continue);
      ExpectRunnableProgram();
    }
  }
  // The stop right after the old program was moved aside: N is missing.
  system.files = snapshots.front();
  ASSERT_FALSE(system.files.count(kExe));
  system.exePath = kCopy;
  Handle(u"");
  EXPECT_EQ(system.files[kExe], kOld);
}

TEST_F(UpdateSwitches, CloneGivesUpWhileTheOldProgramRuns) {
  system.heldFor[kExe] = 1000;
  EXPECT_EQ(Clone(), SwitchOutcome::End);
  EXPECT_EQ(system.slept, 10000);
  EXPECT_EQ(system.files[kExe], kOld);
  EXPECT_TRUE(system.files.count(kNew));
  EXPECT_EQ(system.bubbles.back().text, u"Update failed!");
  EXPECT_TRUE(system.started.empty()) << "the old version still runs";
}

TEST_F(UpdateSwitches, EveryTmpMarkIsRemovedToFindTheProgram) {
  system.exePath = kDir + u"tmp!tmp!Snapdeck.exe";
  Clone();
  EXPECT_EQ(system.files[kExe], (std::vector<std::uint8_t>{9, 9}));
}

TEST_F(UpdateSwitches, CleanRemovesTheCopyAndContinues) {
  system.exePath = kExe;
  system.files[kDir + u"old!Snapdeck.exe"] = {5};
  EXPECT_EQ(Handle(u"cleanVEX"), SwitchOutcome::Continue);
  EXPECT_FALSE(system.files.count(kDir + u"tmp!Snapdeck.exe"));
  EXPECT_FALSE(system.files.count(kDir + u"old!Snapdeck.exe"));
  ASSERT_EQ(system.bubbles.size(), 1u);
  EXPECT_EQ(system.bubbles[0].caption, u"Snapdeck.exe");
  EXPECT_EQ(system.bubbles[0].text, u"Update completed!");
  EXPECT_EQ(system.bubbles[0].theme, kThemeSuccess);

  system.files[kDir + u"tmp!Snapdeck.exe"] = {1};
  system.heldFor[kDir + u"tmp!Snapdeck.exe"] = 1000;
  EXPECT_EQ(Handle(u"cleanVEX"), SwitchOutcome::Continue);
  EXPECT_EQ(system.bubbles.back().text, u"Cleanup failed!");
  EXPECT_EQ(system.bubbles.back().theme, kThemeError);
}

TEST_F(UpdateSwitches, OtherParametersStartNormally) {
  for (const char16_t* p : {u"", u"clonevex", u"CLEANVEX", u"cloneVEX "}) {
    EXPECT_EQ(Handle(p), SwitchOutcome::Continue);
  }
  EXPECT_TRUE(system.bubbles.empty());
  EXPECT_EQ(system.files.size(), 3u);
}

TEST(UpdateProgress, KnobFollowsTheValueAndFramesAreSpacedOut) {
  EXPECT_EQ(ProgressKnob(100, 60), 120);
  EXPECT_EQ(ProgressKnob(3, 1), 67);
  EXPECT_EQ(ProgressKnob(0, 5), 0);
  EXPECT_EQ(ProgressKnob(10, 20), 200);
  EXPECT_EQ(ProgressKnob(10, -20), 0);

  ProgressPacer pacer;
  int knob = -1;
  EXPECT_TRUE(pacer.due(100, 0, 1000, knob));
  EXPECT_FALSE(pacer.due(100, 10, 1005, knob)) << "too soon";
  EXPECT_TRUE(pacer.due(100, 0, 1016, knob)) << "the start redraws though it did not move";
  EXPECT_TRUE(pacer.due(100, 10, 1032, knob));
  EXPECT_EQ(knob, 20);
  EXPECT_FALSE(pacer.due(100, 10, 2000, knob)) << "same place";
  EXPECT_TRUE(pacer.due(100, 100, 2001, knob)) << "the end is never skipped";
  EXPECT_EQ(knob, 200);
}

TEST(UpdateAddress, RunTimeAddressWinsOverTheBuiltInSecureOne) {
  EXPECT_EQ(UpdateInfoUrl(u"http://127.0.0.1:8765/sd/vex!.utx"),
            u"http://127.0.0.1:8765/sd/vex!.utx");
  const std::u16string builtIn = UpdateInfoUrl(u"");
  EXPECT_EQ(builtIn.rfind(u"https://", 0), 0u);
  EXPECT_TRUE(SplitUrl(builtIn).secure);
}

TEST(UpdateEmblem, EachQuarterTurnIsClockwise) {
  Picture p;
  p.width = 3;
  p.height = 2;
  p.pixels = {1, 2, 3, 4, 5, 6};  // rows "1 2 3" over "4 5 6"
  Picture once = TurnedQuarter(p, 1);
  EXPECT_EQ(once.width, 2);
  EXPECT_EQ(once.height, 3);
  EXPECT_EQ(once.pixels, (std::vector<std::uint32_t>{4, 1, 5, 2, 6, 3}));
  EXPECT_EQ(TurnedQuarter(p, 2).pixels, (std::vector<std::uint32_t>{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(TurnedQuarter(p, 3).pixels, (std::vector<std::uint32_t>{3, 6, 2, 5, 1, 4}));
  EXPECT_EQ(TurnedQuarter(TurnedQuarter(p, 3), 1).pixels, p.pixels);
}

}  // namespace
}  // namespace snapdeck::testing
