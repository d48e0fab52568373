// File-name patterns as Windows lists them: "*" any run of characters, "?" one
// character, ASCII letters without regard to case, every other character literal
// ("[" and "]" included). As on Windows, a pattern ending in ".*" also matches names
// without that dot, so "*.*" matches every name.
#pragma once

#include <string_view>

namespace snapdeck {

bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

}  // namespace snapdeck
