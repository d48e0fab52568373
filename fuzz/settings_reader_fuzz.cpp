// Any settings file loads into in-range settings, and what is saved from them loads
// back to the same settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "settings/preference_file.h"
#include "settings/settings_file.h"

namespace {

class CountingRandom final : public snapdeck::RandomSource {
 public:
  std::uint8_t nextByte() override { return next_++; }

 private:
  std::uint8_t next_ = 0;
};

void Load(snapdeck::AppSettings& s, const std::uint8_t* data, std::size_t size) {
  snapdeck::PreferenceFile file;
  file.parse(data, size);
  snapdeck::ReadSettings(s, file);
  snapdeck::NormalizeSettings(s);
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > snapdeck::PreferenceFile::kMaxFileBytes) return 0;
  snapdeck::AppSettings first;
  Load(first, data, size);
  Check(first.shotext >= 0 && first.shotext <= 2);
  Check(first.shotsize >= 0 && first.shotsize <= 5);
  Check(first.framethickness >= 0 && first.framethickness <= 9);
  Check(first.shotfolderid >= 0 && first.shotfolderid <= 15);
  Check(first.hotkey >= 0 && first.hotkey <= 13);
  Check(first.connecttimeout >= 1 && first.passwordtimeout >= 1);
  Check(first.width > 2 * first.framethickness && first.height > 2 * first.framethickness);

  CountingRandom random;
  const std::vector<std::uint8_t> saved = snapdeck::SerializeSettings(first, random);
  snapdeck::AppSettings second;
  Load(second, saved.data(), saved.size());
  Check(second.JLpath == first.JLpath);
  Check(second.shotfolder == first.shotfolder);
  Check(second.shotname == first.shotname);
  Check(second.framecolor == first.framecolor);
  Check(second.framecolorlist == first.framecolorlist);
  Check(second.langcode == first.langcode);
  Check(second.rememberPassword == first.rememberPassword);
  Check(second.passwords == first.passwords);
  Check(second.width == first.width && second.height == first.height);
  Check(second.sound == first.sound && second.hotkeyCAS == first.hotkeyCAS);
  return 0;
}
