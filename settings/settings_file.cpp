#include "settings/settings_file.h"

#include <cstdint>
#include <vector>

#include "imaging/codec.h"
#include "imaging/frame.h"
#include "imaging/palette.h"
#include "imaging/picture.h"
#include "imaging/scale.h"
#include "platform/file_names.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "settings/password_cipher.h"
#include "settings/value_text.h"

namespace snapdeck {
namespace {

std::u16string FolderKey(int i) { return u"shotfolder[" + HexIndexText(i) + u"]"; }
std::u16string PaletteKey(int i) { return u"framecolorlist\\RGB[" + HexIndexText(i) + u"]"; }
std::u16string CipherKey(int n) { return u"cipherString[" + DecimalText(n) + u"]"; }

constexpr const char16_t* kLanguageCodes[] = {u"US", u"DE", u"FR", u"IT", u"TR", u"ES", u"JP"};

constexpr std::int32_t kAny = INT32_MAX;  // as hi: any value is kept (on/off switches)

enum class Kind { Text, Number, Color, Folders, Palette, Passwords };

// One line (or run of lines) of the file. A number outside lo..hi falls back to its
// default; no clamping, since a hand-edited value out of range means nothing.
struct SettingRow {
  const char16_t* key;  // the lists write their own keys
  Kind kind;
  std::int32_t AppSettings::*number = nullptr;
  std::u16string AppSettings::*text = nullptr;
  Rgb AppSettings::*color = nullptr;
  std::int32_t numberDefault = 0;
  std::int32_t lo = 0;
  std::int32_t hi = kAny;
  const char16_t* textDefault = u"";
  Rgb colorDefault = 0;
  // Reading keeps the value already in the record as the default: start-up sets these
  // from the program's own folder first.
  bool defaultIsCurrent = false;
};

SettingRow Number(const char16_t* key, std::int32_t AppSettings::*field, std::int32_t def,
                  std::int32_t lo = 0, std::int32_t hi = kAny) {
  SettingRow r{key, Kind::Number};
  r.number = field;
  r.numberDefault = def;
  r.lo = lo;
  r.hi = hi;
  return r;
}

SettingRow Text(const char16_t* key, std::u16string AppSettings::*field, const char16_t* def,
                bool defaultIsCurrent = false) {
  SettingRow r{key, Kind::Text};
  r.text = field;
  r.textDefault = def;
  r.defaultIsCurrent = defaultIsCurrent;
  return r;
}

SettingRow Color(const char16_t* key, Rgb AppSettings::*field, Rgb def) {
  SettingRow r{key, Kind::Color};
  r.color = field;
  r.colorDefault = def;
  return r;
}

SettingRow List(Kind kind) { return SettingRow{u"", kind}; }

// Every setting in the order of the written file. The rows that depend on other rows
// (width and height on framethickness, the passwords on rememberPassword) and the
// choices of sortview and langcode are checked after the rows, in NormalizeSettings.
const std::vector<SettingRow>& SettingRows() {
  static const std::vector<SettingRow> rows = [] {
    SettingRow folderId =
        Number(u"shotfolderid", &AppSettings::shotfolderid, 0, 0, kFolderHistorySize - 1);
    folderId.defaultIsCurrent = true;
    return std::vector<SettingRow>{
        Text(u"JLpath", &AppSettings::JLpath, u"", true),
        folderId,
        List(Kind::Folders),
        Text(u"shotname", &AppSettings::shotname, u"snapdeck", true),
        Number(u"shotext", &AppSettings::shotext, static_cast<std::int32_t>(ShotFormat::Png), 0,
               kShotFormatCount - 1),
        Number(u"shotsize", &AppSettings::shotsize, kUnscaledIndex, 0, kScaleCount - 1),
        Number(u"width", &AppSettings::width, 240, 1, kMaxPictureSide),
        Number(u"height", &AppSettings::height, 160, 1, kMaxPictureSide),
        Number(u"autonumber", &AppSettings::autonumber, 0, INT32_MIN),
        Number(u"includepin", &AppSettings::includepin, 0, INT32_MIN),
        Number(u"framethickness", &AppSettings::framethickness, 1, 0, 9),
        Number(u"frameeffect", &AppSettings::frameeffect, 8, 0, 16),
        Number(u"frameeffectdir", &AppSettings::frameeffectdir, 1, 0, 1),
        Color(u"framecolor", &AppSettings::framecolor, palette::kRed),
        List(Kind::Palette),
        Number(u"rememberPassword", &AppSettings::rememberPassword, 1, INT32_MIN),
        List(Kind::Passwords),
        Number(u"killtimeout", &AppSettings::killtimeout, 32, 0, 100000),
        Number(u"connecttimeout", &AppSettings::connecttimeout, 255, 1, 100000),
        Number(u"passwordtimeout", &AppSettings::passwordtimeout, 255, 1, 100000),
        Number(u"stayontop", &AppSettings::stayontop, 1, INT32_MIN),
        Number(u"sound", &AppSettings::sound, 1, INT32_MIN),
        Text(u"langcode", &AppSettings::langcode, u"US"),
        Number(u"sortview", &AppSettings::sortview, id::kSortByDate, id::kSortByName,
               id::kSortByDate),
        Number(u"sortdir", &AppSettings::sortdir, 1, 0, 1),
        Number(u"hotkey", &AppSettings::hotkey, 0, 0, 13),
        Number(u"hotkeyCAS", &AppSettings::hotkeyCAS, 0, 0, 7),
        Number(u"cleanstatusbar", &AppSettings::cleanstatusbar, 0, 0, 1),
    };
  }();
  return rows;
}

const SettingRow& RowOf(std::int32_t AppSettings::*field) {
  for (const SettingRow& r : SettingRows()) {
    if (r.number == field) return r;
  }
  return SettingRows().front();  // not reached: every number field has a row
}

const SettingRow& RowOf(std::u16string AppSettings::*field) {
  for (const SettingRow& r : SettingRows()) {
    if (r.text == field) return r;
  }
  return SettingRows().front();  // not reached: every text field has a row
}

bool InRange(std::int32_t v, const SettingRow& r) { return v >= r.lo && v <= r.hi; }

void Fallback(AppSettings& s, std::int32_t AppSettings::*field, std::int32_t smallest) {
  if (s.*field < smallest) s.*field = RowOf(field).numberDefault;
}

}  // namespace

AppSettings::AppSettings() {
  for (const SettingRow& r : SettingRows()) {
    switch (r.kind) {
      case Kind::Text: this->*r.text = r.textDefault; break;
      case Kind::Number: this->*r.number = r.numberDefault; break;
      case Kind::Color: this->*r.color = r.colorDefault; break;
      case Kind::Palette:  // filled from DefaultFrameColorList when a file is read
      case Kind::Folders:
      case Kind::Passwords: break;
    }
  }
}

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
  const std::array<Rgb, 16> palette = DefaultFrameColorList();
  for (const SettingRow& r : SettingRows()) {
    switch (r.kind) {
      case Kind::Text:
        s.*r.text = f.readText(r.key, r.defaultIsCurrent ? s.*r.text : r.textDefault);
        break;
      case Kind::Number:
        s.*r.number = f.readNumber(r.key, r.defaultIsCurrent ? s.*r.number : r.numberDefault);
        break;
      case Kind::Color:
        s.*r.color = ColorFromText(f.readText(r.key, ColorToText(r.colorDefault)));
        break;
      case Kind::Folders: {
        const std::u16string first = s.shotfolder[0].empty() ? s.currentFolder : s.shotfolder[0];
        s.shotfolder[0] = f.readText(FolderKey(0), first);
        for (int i = 1; i < kFolderHistorySize; ++i) s.shotfolder[i] = f.readText(FolderKey(i), u"");
        break;
      }
      case Kind::Palette:
        for (int i = 0; i < 16; ++i) {
          s.framecolorlist[i] = ColorFromText(f.readText(PaletteKey(i), ColorToText(palette[i])));
        }
        break;
      case Kind::Passwords:
        if (s.rememberPassword != 0) {
          for (int n = 1; n <= 4; ++n) {
            s.passwords[n] = DecipherPassword(f.readText(CipherKey(n), u""));
          }
        }
        break;
    }
  }
  s.langcode = AsciiUpper(s.langcode);
}

// The file may be edited by hand, and the rest of the program indexes tables, divides
// by time-outs and sizes pictures with these values. So every number outside its row's
// range falls back to its default; on/off values stay as read (any non-zero value is
// on). Then what one row cannot say: width and height from 2 * framethickness + 1 (with
// the thickness already in range) and together within the picture budget (or else both
// fall back: the status picture could not be drawn), sortview one of the sort keys,
// langcode one of the seven help languages or empty (the help window then shows no
// language list). Folders end in exactly one separator, since file names are put
// straight after them.
void NormalizeSettings(AppSettings& s) {
  for (std::u16string& folder : s.shotfolder) folder = FolderWithSeparator(folder);
  for (const SettingRow& r : SettingRows()) {
    if (r.kind == Kind::Number && !InRange(s.*r.number, r)) s.*r.number = r.numberDefault;
  }
  const std::int32_t smallest = 2 * s.framethickness + 1;
  Fallback(s, &AppSettings::width, smallest);
  Fallback(s, &AppSettings::height, smallest);
  if (!PictureSizeAllowed(s.width, s.height)) {
    s.width = RowOf(&AppSettings::width).numberDefault;
    s.height = RowOf(&AppSettings::height).numberDefault;
  }
  if (s.sortview != id::kSortByName && s.sortview != id::kSortByNumber &&
      s.sortview != id::kSortByDate) {
    s.sortview = RowOf(&AppSettings::sortview).numberDefault;
  }
  bool known = s.langcode.empty();
  for (const char16_t* code : kLanguageCodes) known = known || s.langcode == code;
  if (!known) s.langcode = RowOf(&AppSettings::langcode).textDefault;
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
  for (const SettingRow& r : SettingRows()) {
    switch (r.kind) {
      case Kind::Text: f.writeText(r.key, s.*r.text); break;
      case Kind::Number: f.writeNumber(r.key, s.*r.number); break;
      case Kind::Color: f.writeText(r.key, ColorToText(s.*r.color)); break;
      case Kind::Folders:
        for (int i = 0; i < kFolderHistorySize; ++i) f.writeText(FolderKey(i), s.shotfolder[i]);
        break;
      case Kind::Palette:
        for (int i = 0; i < 16; ++i) f.writeText(PaletteKey(i), ColorToText(s.framecolorlist[i]));
        break;
      case Kind::Passwords:
        if (s.rememberPassword != 0) {
          for (int n = 1; n <= 4; ++n) {
            f.writeText(CipherKey(n), EncipherPassword(s.passwords[n], random));
          }
        }
        break;
    }
  }
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
