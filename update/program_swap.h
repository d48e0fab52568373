// Putting a downloaded program file in the place of the running one so that a
// program file is there whatever fails and whenever the machine stops.
#pragma once

#include <string>

#include "update/download_check.h"
#include "update/update_ports.h"

namespace snapdeck {

// The work files beside program file N.
inline constexpr char16_t kCopyPrefix[] = u"tmp!";   // the copy that does the swap
inline constexpr char16_t kNewPrefix[] = u"vex!";    // the download
inline constexpr char16_t kAsidePrefix[] = u"old!";  // the old version until the new one runs

enum class SwapResult {
  Swapped,  // the new version is N, the old one waits as old! + N
  Changed,  // the download no longer has its digest; it was deleted, N is untouched
  Failed,   // N is the old version again
};

// Checks "vex!" + name against the digest while holding it, then renames N aside
// and the held file to N. Renames are retried for a few seconds, since virus
// scanners hold new files; a failed second rename puts the old one back.
SwapResult SwapInNewVersion(const std::u16string& dir, const std::u16string& name,
                            const Sha256Digest& expected, UpdateSystem& system);

// After the new version could not be started: it goes back to "vex!" + name and
// the old one takes its place again. False when N is still the new version.
bool PutOldVersionBack(const std::u16string& dir, const std::u16string& name,
                       UpdateSystem& system);

// A missing N beside an "old!" or a "tmp!" copy is restored from it (a stop between
// the two renames of the swap leaves exactly that).
void RestoreMissingProgram(const std::u16string& dir, const std::u16string& name,
                           UpdateSystem& system);

// The digest as it travels on the copy's command line.
std::u16string Sha256Hex(const Sha256Digest& digest);

}  // namespace snapdeck
