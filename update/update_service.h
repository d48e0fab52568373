// The update check, the download of a new program file and the hand-over from the
// old program file to the new one through the "cloneVEX" and "cleanVEX" switches.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shell/program_info.h"
#include "update/update_ports.h"

namespace snapdeck {

// The update server's user name and password as the login bubble edits them, with
// the server they were typed for: they are sent to that server only.
struct LoginState {
  std::u16string userName;
  std::u16string password;
  std::u16string origin;  // scheme, host and port that asked for them
};

// The update service's own state; the program paths are the shared ProgramInfo.
struct UpdateInfo {
  int parentWindow = 5;
  std::u16string resultText;  // last fetch result, or the fetched document text
  std::u16string programName;
  std::u16string currentVersion;
  std::u16string downloadUrl;     // field 3 of the matching document line
  std::u16string downloadSha256;  // field 4, when the document gives one
  std::u16string latestVersion;   // field 2
  std::u16string signature;       // field 5, the maker's signature of fields 1, 2 and 4
  // The digest of the file "Update" wrote; the copy checks it again at the swap.
  std::optional<Sha256Digest> preparedSha256;
  std::u16string commandParameter;
  std::u16string infoUrl;
  // The maker's public key, built in; without one no update is installed.
  std::optional<EcPublicKey> updateKey;
  // Kept for the program run, so the bubble offers what was typed last time.
  LoginState login;
};

struct UpdateContext {
  UpdateInfo& info;
  ProgramInfo& program;
  LoginState& login;
  UpdateSystem& system;
  UpdateWindowPort& window;
};

// Read chunks are 32 characters: 64 bytes.
inline constexpr int kUpdateChunkChars = 32;

// Fetches the update document and reports in the status text; true when it
// announces a newer version than currentVersion.
bool CheckForUpdate(UpdateContext& c);

// Downloads downloadUrl to "vex!" + the program file and copies the program file to
// "tmp!" + its name; true when "restart" may follow. A line that is not signed by the
// built-in key or not newer is refused before the download; a download that is
// incomplete, is not an x64 Windows program or does not match the signed SHA-256 is
// refused before anything is written.
bool DownloadUpdate(UpdateContext& c);

// Starts "tmp!" + the program file with "cloneVEX" and the prepared file's digest in
// the program folder; false when no download is prepared.
bool StartRestart(const UpdateInfo& info, const ProgramInfo& program, UpdateSystem& system);

// 1 when the file could be opened for reading and writing, 0 after 10 s of tries,
// -1 at once when the file is empty. A missing file is created by the attempt.
int WaitForFileAccess(const std::u16string& path, UpdateSystem& system);

enum class SwitchOutcome { Continue, End };

// Acts on the first command-line parameter at start-up: "cloneVEX" (with the
// expected digest of the download as the second) swaps the program files and ends,
// "cleanVEX" removes the copy and the old version and continues; anything else
// continues. Every start first restores a program file lost in a hand-over.
SwitchOutcome HandleUpdateSwitches(UpdateInfo& info, ProgramInfo& program,
                                   const std::u16string& parameter, UpdateSystem& system,
                                   const std::u16string& expectedSha256 = u"");

}  // namespace snapdeck
