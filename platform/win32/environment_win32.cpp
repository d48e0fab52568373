#include "platform/win32/environment_win32.h"

#include <windows.h>

#include "platform/text.h"

namespace snapdeck::win32 {

std::u16string EnvironmentText(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return {};
  std::wstring value(needed, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, value.data(), needed);
  // The variable may have grown between the two calls: then nothing rather than a cut value.
  value.resize(got < needed ? got : 0);
  return FromWide(value);
}

}  // namespace snapdeck::win32
