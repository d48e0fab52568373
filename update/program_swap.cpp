#include "update/program_swap.h"

#include <functional>

namespace snapdeck {
namespace {

// 5 s in steps of 100 ms.
constexpr int kRenameTries = 50;
constexpr int kRenamePauseMs = 100;

bool Retried(UpdateSystem& system, const std::function<bool()>& step) {
  for (int attempt = 0;; ++attempt) {
    if (step()) return true;
    if (attempt + 1 >= kRenameTries) return false;
    system.sleepMs(kRenamePauseMs);
  }
}

bool Exists(UpdateSystem& system, const std::u16string& path) { return system.fileSize(path) >= 0; }

// Removes a leftover work file so a rename can take its name.
bool Cleared(UpdateSystem& system, const std::u16string& path) {
  return !Exists(system, path) || Retried(system, [&] { return system.deleteFile(path); });
}

}  // namespace

SwapResult SwapInNewVersion(const std::u16string& dir, const std::u16string& name,
                            const Sha256Digest& expected, UpdateSystem& system) {
  const std::u16string current = dir + name;
  const std::u16string download = dir + kNewPrefix + name;
  const std::u16string aside = dir + kAsidePrefix + name;
  if (!Exists(system, download)) return SwapResult::Failed;
  // A scanner reading the new file keeps it from being held for a moment too.
  std::unique_ptr<HeldFile> held;
  if (!Retried(system, [&] { return (held = system.holdFile(download)) != nullptr; })) {
    return SwapResult::Failed;
  }
  const std::optional<Sha256Digest> digest = held->sha256();
  if (!digest || *digest != expected) {
    held.reset();
    system.deleteFile(download);
    return SwapResult::Changed;
  }
  if (!Cleared(system, aside)) return SwapResult::Failed;
  if (!Retried(system, [&] { return system.moveFile(current, aside); })) return SwapResult::Failed;
  // The held file itself is renamed: nobody could change it since it was checked.
  if (Retried(system, [&] { return held->renameTo(current); })) return SwapResult::Swapped;
  held.reset();
  if (!Retried(system, [&] { return system.moveFile(aside, current); })) {
    RestoreMissingProgram(dir, name, system);
  }
  return SwapResult::Failed;
}

bool PutOldVersionBack(const std::u16string& dir, const std::u16string& name,
                       UpdateSystem& system) {
  const std::u16string current = dir + name;
  const std::u16string download = dir + kNewPrefix + name;
  const std::u16string aside = dir + kAsidePrefix + name;
  if (!Exists(system, aside)) return false;
  if (!Cleared(system, download)) return false;
  if (!Retried(system, [&] { return system.moveFile(current, download); })) return false;
  if (!Retried(system, [&] { return system.moveFile(aside, current); })) {
    RestoreMissingProgram(dir, name, system);
  }
  return Exists(system, current);
}

void RestoreMissingProgram(const std::u16string& dir, const std::u16string& name,
                           UpdateSystem& system) {
  const std::u16string current = dir + name;
  if (Exists(system, current)) return;
  const std::u16string aside = dir + kAsidePrefix + name;
  if (system.fileSize(aside) > 0 && Retried(system, [&] { return system.moveFile(aside, current); }))
    return;
  // The copy that does the swap is the old version too; copied, since it may be
  // the running program.
  const std::u16string copy = dir + kCopyPrefix + name;
  if (system.fileSize(copy) > 0) system.copyFile(copy, current);
}

std::u16string Sha256Hex(const Sha256Digest& digest) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string hex;
  for (std::uint8_t b : digest) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

}  // namespace snapdeck
