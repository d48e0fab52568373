// The settings file as a first run writes it: every key with its default, in the order
// the program writes them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace snapdeck::testing {

using SettingsEntries = std::vector<std::pair<std::string, std::string>>;

// programFolder is the folder of the program file in UTF-8, ending with "\".
inline SettingsEntries DefaultSettingsEntries(const std::string& programFolder) {
  static const char* const kPalette[16] = {
      "#BB1122", "#BB1122", "#BB1122", "#BB1122", "#BB1122", "#BB1122", "#FFBB77", "#FF8811",
      "#BB1122", "#FF99AA", "#117722", "#99EEAA", "#112255", "#AABBFF", "#FFFF99", "#EEEE22"};
  const auto hex = [](int i) { return std::string(1, "0123456789ABCDEF"[i]); };
  SettingsEntries s;
  const auto add = [&s](const std::string& k, const std::string& v) { s.emplace_back(k, v); };
  add("JLpath", programFolder);
  add("shotfolderid", "0");
  for (int i = 0; i < 16; ++i) add("shotfolder[" + hex(i) + "]", i == 0 ? programFolder : "");
  add("shotname", "snapdeck");
  add("shotext", "2");
  add("shotsize", "3");
  add("width", "240");
  add("height", "160");
  add("autonumber", "0");
  add("includepin", "0");
  add("framethickness", "1");
  add("frameeffect", "8");
  add("frameeffectdir", "1");
  add("framecolor", "#BB1122");
  for (int i = 0; i < 16; ++i) add("framecolorlist\\RGB[" + hex(i) + "]", kPalette[i]);
  add("rememberPassword", "1");
  for (int i = 1; i <= 4; ++i) add("cipherString[" + std::to_string(i) + "]", "");
  add("killtimeout", "32");
  add("connecttimeout", "255");
  add("passwordtimeout", "255");
  add("stayontop", "1");
  add("sound", "1");
  add("langcode", "US");
  add("sortview", "4");
  add("sortdir", "1");
  add("hotkey", "0");
  add("hotkeyCAS", "0");
  add("cleanstatusbar", "0");
  return s;
}

// The bytes the program writes for these entries: byte-order mark, an empty first line,
// then "key = value" lines, every line ended by CR LF.
inline std::string SettingsFileText(const SettingsEntries& entries) {
  std::string out = "\xEF\xBB\xBF\r\n";
  for (const auto& [k, v] : entries) out += k + " = " + v + "\r\n";
  return out;
}

}  // namespace snapdeck::testing
