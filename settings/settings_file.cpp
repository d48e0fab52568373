#include "settings/settings_file.h"

#include "imaging/codec.h"
#include "imaging/frame.h"
#include "imaging/palette.h"
#include "imaging/picture.h"
#include "platform/file_names.h"
#include "platform/numbers.h"
#include "platform/text.h"
#include "settings/password_cipher.h"
#include "settings/value_text.h"

namespace snapdeck {
namespace {

std::u16string FolderKey(int i) { return u"shotfolder[" + HexIndexText(i) + u"]"; }
std::u16string PaletteKey(int i) { return u"framecolorlist\\RGB[" + HexIndexText(i) + u"]"; }
std::u16string CipherKey(int n) { return u"cipherString[" + DecimalText(n) + u"]"; }

constexpr const char16_t* kLanguageCodes[] = {u"US", u"DE", u"FR", u"IT", u"TR", u"ES", u"JP"};

bool InRange(std::int32_t v, std::int32_t lo, std::int32_t hi) { return v >= lo && v <= hi; }

void Fallback(std::int32_t& v, std::int32_t lo, std::int32_t hi, std::int32_t def) {
  if (!InRange(v, lo, hi)) v = def;
}

void Fallback(std::atomic<std::int32_t>& v, std::int32_t lo, std::int32_t hi, std::int32_t def) {
  if (!InRange(v.load(), lo, hi)) v.store(def);
}

}  // namespace

std::array<Rgb, 16> DefaultFrameColorList() {
  const Rgb red = palette::kRed;
  return {red,
          red,
          red,
          red,
          red,
          red,
          palette::kPeach,
          palette::kOrange,
          red,
          palette::kPink,
          palette::kGreen,
          palette::kMint,
          palette::kNavy,
          palette::kSky,
          palette::kPale,
          palette::kStraw};
}

void ReadSettings(AppSettings& s, const PreferenceFile& f) {
  s.JLpath = f.readText(u"JLpath", s.JLpath);
  s.shotfolderid = f.readNumber(u"shotfolderid", s.shotfolderid);
  const std::u16string firstFolder = s.shotfolder[0].empty() ? s.currentFolder : s.shotfolder[0];
  s.shotfolder[0] = f.readText(FolderKey(0), firstFolder);
  for (int i = 1; i < kFolderHistorySize; ++i) s.shotfolder[i] = f.readText(FolderKey(i), u"");
  s.shotname = f.readText(u"shotname", s.shotname);
  s.shotext = f.readNumber(u"shotext", 2);
  s.shotsize = f.readNumber(u"shotsize", 3);
  s.width = f.readNumber(u"width", 240);
  s.height = f.readNumber(u"height", 160);
  s.autonumber = f.readNumber(u"autonumber", 0);
  s.includepin = f.readNumber(u"includepin", 0);
  s.framethickness = f.readNumber(u"framethickness", 1);
  s.frameeffect = f.readNumber(u"frameeffect", 8);
  s.frameeffectdir = f.readNumber(u"frameeffectdir", 1);
  s.framecolor = ColorFromText(f.readText(u"framecolor", u"#BB1122"));
  const std::array<Rgb, 16> palette = DefaultFrameColorList();
  for (int i = 0; i < 16; ++i) {
    s.framecolorlist[i] = ColorFromText(f.readText(PaletteKey(i), ColorToText(palette[i])));
  }
  s.stayontop = f.readNumber(u"stayontop", 1);
  s.sound = f.readNumber(u"sound", 1);
  s.langcode = AsciiUpper(f.readText(u"langcode", u"US"));
  s.rememberPassword = f.readNumber(u"rememberPassword", 1);
  if (s.rememberPassword != 0) {
    for (int n = 1; n <= 4; ++n) s.passwords[n] = DecipherPassword(f.readText(CipherKey(n), u""));
  }
  s.killtimeout = f.readNumber(u"killtimeout", 32);
  s.connecttimeout = f.readNumber(u"connecttimeout", 255);
  s.passwordtimeout = f.readNumber(u"passwordtimeout", 255);
  s.sortview = f.readNumber(u"sortview", 4);
  s.sortdir = f.readNumber(u"sortdir", 1);
  s.hotkey.store(f.readNumber(u"hotkey", 0));
  s.hotkeyCAS.store(f.readNumber(u"hotkeyCAS", 0));
}

// The file may be edited by hand, and the rest of the program indexes tables, divides
// by time-outs and sizes pictures with these values. So every value outside its range
// falls back to its default (no clamping): shotext 0..2, shotsize 0..5, framethickness
// 0..9, frameeffect 0..16, frameeffectdir 0..1, shotfolderid 0..15, hotkey 0..13,
// hotkeyCAS 0..7, sortview 1, 2 or 4, sortdir 0..1, connecttimeout and passwordtimeout
// 1..100000, killtimeout 0..100000, width and height from 2 * framethickness + 1 (with
// the thickness already in range) to 8192 and together within the picture budget (or
// else both fall back: the status picture could not be drawn), langcode one of the
// seven help languages or empty (the help window then shows no language list).
// On/off values stay as read: any non-zero value is on. Folders end in exactly one
// separator, since file names are put straight after them.
void NormalizeSettings(AppSettings& s) {
  for (std::u16string& folder : s.shotfolder) folder = FolderWithSeparator(folder);
  Fallback(s.shotext, 0, kShotFormatCount - 1, static_cast<std::int32_t>(ShotFormat::Png));
  Fallback(s.shotsize, 0, kScaleCount - 1, kUnscaledIndex);
  Fallback(s.framethickness, 0, 9, 1);
  Fallback(s.frameeffect, 0, 16, 8);
  Fallback(s.frameeffectdir, 0, 1, 1);
  Fallback(s.shotfolderid, 0, kFolderHistorySize - 1, 0);
  Fallback(s.hotkey, 0, 13, 0);
  Fallback(s.hotkeyCAS, 0, 7, 0);
  if (s.sortview != id::kSortByName && s.sortview != id::kSortByNumber &&
      s.sortview != id::kSortByDate) {
    s.sortview = id::kSortByDate;
  }
  Fallback(s.sortdir, 0, 1, 1);
  Fallback(s.connecttimeout, 1, 100000, 255);
  Fallback(s.passwordtimeout, 1, 100000, 255);
  Fallback(s.killtimeout, 0, 100000, 32);
  const std::int32_t smallest = 2 * s.framethickness + 1;
  Fallback(s.width, smallest, 8192, 240);
  Fallback(s.height, smallest, 8192, 160);
  if (!PictureSizeAllowed(s.width, s.height)) {
    s.width = 240;
    s.height = 160;
  }
  bool known = s.langcode.empty();
  for (const char16_t* code : kLanguageCodes) known = known || s.langcode == code;
  if (!known) s.langcode = u"US";
}

SettingsSource LoadSettings(AppSettings& settings, FileSystem& fs, const std::u16string& path) {
  PreferenceFile file;
  // When it cannot be read, every value takes its default.
  SettingsSource source = SettingsSource::File;
  if (!file.open(fs, path)) {
    source = fs.fileSize(path) >= 0 ? SettingsSource::Unreadable : SettingsSource::Missing;
  }
  ReadSettings(settings, file);
  file.close();
  NormalizeSettings(settings);
  settings.currentFolder = settings.shotfolder[settings.shotfolderid];
  return source;
}

namespace {

void WriteSettings(const AppSettings& s, PreferenceFile& f, RandomSource& random) {
  f.writeText(u"JLpath", s.JLpath);
  f.writeNumber(u"shotfolderid", s.shotfolderid);
  for (int i = 0; i < kFolderHistorySize; ++i) f.writeText(FolderKey(i), s.shotfolder[i]);
  f.writeText(u"shotname", s.shotname);
  f.writeNumber(u"shotext", s.shotext);
  f.writeNumber(u"shotsize", s.shotsize);
  f.writeNumber(u"width", s.width);
  f.writeNumber(u"height", s.height);
  f.writeNumber(u"autonumber", s.autonumber);
  f.writeNumber(u"includepin", s.includepin);
  f.writeNumber(u"framethickness", s.framethickness);
  f.writeNumber(u"frameeffect", s.frameeffect);
  f.writeNumber(u"frameeffectdir", s.frameeffectdir);
  f.writeText(u"framecolor", ColorToText(s.framecolor));
  for (int i = 0; i < 16; ++i) f.writeText(PaletteKey(i), ColorToText(s.framecolorlist[i]));
  f.writeNumber(u"rememberPassword", s.rememberPassword);
  if (s.rememberPassword != 0) {
    for (int n = 1; n <= 4; ++n)
      f.writeText(CipherKey(n), EncipherPassword(s.passwords[n], random));
  }
  f.writeNumber(u"killtimeout", s.killtimeout);
  f.writeNumber(u"connecttimeout", s.connecttimeout);
  f.writeNumber(u"passwordtimeout", s.passwordtimeout);
  f.writeNumber(u"stayontop", s.stayontop);
  f.writeNumber(u"sound", s.sound);
  f.writeText(u"langcode", s.langcode);
  f.writeNumber(u"sortview", s.sortview);
  f.writeNumber(u"sortdir", s.sortdir);
  f.writeNumber(u"hotkey", s.hotkey.load());
  f.writeNumber(u"hotkeyCAS", s.hotkeyCAS.load());
}

}  // namespace

std::vector<std::uint8_t> SerializeSettings(const AppSettings& settings, RandomSource& random) {
  PreferenceFile file;
  WriteSettings(settings, file, random);
  return file.serialize();
}

bool SaveSettings(const AppSettings& settings, FileSystem& fs, const std::u16string& path,
                  RandomSource& random) {
  PreferenceFile file;
  file.create(fs, path);
  WriteSettings(settings, file, random);
  return file.close();
}

}  // namespace snapdeck
