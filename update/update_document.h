// The update-information document: UTF-16LE lines "name|version|url|sha256|signature",
// one line per program, ended by CR LF; an empty line ends the document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snapdeck {

struct UpdateLine {
  std::u16string name;         // field 1 without surrounding spaces
  std::u16string version;      // field 2, unchanged
  std::u16string downloadUrl;  // field 3, unchanged
  std::u16string sha256;       // field 4 without surrounding spaces; may be empty
  std::u16string signature;    // field 5 without surrounding spaces; may be empty
};

// The body as text: UTF-16LE code units up to the first zero unit (an odd last byte
// is the low half of a unit).
std::u16string DocumentText(const std::uint8_t* bytes, std::size_t size);

// The first line whose field 1, without surrounding spaces, equals programName
// exactly. Line feeds are removed first; lines end at carriage returns; the first
// empty line hides the rest.
std::optional<UpdateLine> FindUpdateLine(std::u16string_view text, std::u16string_view programName);

// Compared code unit by code unit, so "1.7" is newer than "1.67" and "1.100" is not.
bool IsNewerVersion(std::u16string_view latest, std::u16string_view current);

}  // namespace snapdeck
