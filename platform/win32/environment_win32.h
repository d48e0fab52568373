#pragma once

#include <string>

namespace snapdeck::win32 {

// The value of an environment variable of this process; empty when it is not set.
std::u16string EnvironmentText(const wchar_t* name);

}  // namespace snapdeck::win32
