// What the shipped program imports: only Windows' known DLLs, which the loader always
// takes from the system, never from the program's folder. Everything else is loaded
// from the system folder at run time.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/filesystem_win32.h"
#include "platform/win32/system_libraries_win32.h"

namespace snapdeck::win32 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
  if (at + static_cast<std::size_t>(n) > b.size()) return 0;
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

// The names of the DLLs in an x64 program's import and delay-import tables; nullopt
// when the file is not one.
std::optional<std::vector<std::string>> ImportedDlls(const Bytes& exe) {
  const std::size_t pe = Le(exe, 0x3C, 4);
  if (Le(exe, 0, 2) != 0x5A4D || Le(exe, pe, 4) != 0x4550) return std::nullopt;
  const std::size_t coff = pe + 4;
  const std::uint32_t sections = Le(exe, coff + 2, 2);
  const std::size_t optional = coff + 20;
  if (Le(exe, optional, 2) != 0x20B) return std::nullopt;  // PE32+
  const std::size_t sectionTable = optional + Le(exe, coff + 16, 2);
  auto offsetOf = [&](std::uint32_t rva) -> std::optional<std::size_t> {
    for (std::uint32_t i = 0; i < sections; ++i) {
      const std::size_t s = sectionTable + i * 40;
      const std::uint32_t address = Le(exe, s + 12, 4);
      const std::uint32_t size = std::max(Le(exe, s + 8, 4), Le(exe, s + 16, 4));
      if (rva >= address && rva < address + size) return Le(exe, s + 20, 4) + (rva - address);
    }
    return std::nullopt;
  };
  auto nameAt = [&](std::uint32_t rva) {
    std::string name;
    for (auto at = offsetOf(rva); at && *at < exe.size() && exe[*at] != 0; ++*at) {
      name += static_cast<char>(std::tolower(exe[*at]));
    }
    return name;
  };
  std::vector<std::string> dlls;
  // Directory 1 is the import table (20-byte entries, name at 12), 13 the delay-import
  // table (32-byte entries, name at 4).
  const struct {
    int directory;
    std::size_t entrySize, nameField;
  } tables[] = {{1, 20, 12}, {13, 32, 4}};
  for (const auto& t : tables) {
    const std::uint32_t rva = Le(exe, optional + 112 + 8 * t.directory, 4);
    if (rva == 0) continue;
    const std::optional<std::size_t> at = offsetOf(rva);
    if (!at) return std::nullopt;
    for (std::size_t e = *at; e + t.entrySize <= exe.size(); e += t.entrySize) {
      const std::uint32_t name = Le(exe, e + t.nameField, 4);
      if (name == 0) break;
      dlls.push_back(nameAt(name));
    }
  }
  return dlls;
}

std::wstring ProgramBesideTheTests() {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  std::wstring path = own;
  path = path.substr(0, path.find_last_of(L"\\/"));  // tests folder
  path = path.substr(0, path.find_last_of(L"\\/"));  // build folder
  return path + L"\\Snapdeck.exe";
}

TEST(SystemLibraries, TheProgramImportsOnlyKnownDlls) {
  Bytes exe;
  ASSERT_TRUE(MakeWin32FileSystem()->readFile(FromWide(ProgramBesideTheTests()), exe, 64 << 20))
      << "Snapdeck.exe is not built beside the tests";
  const std::optional<std::vector<std::string>> dlls = ImportedDlls(exe);
  ASSERT_TRUE(dlls.has_value()) << "not an x64 program";
  EXPECT_TRUE(std::find(dlls->begin(), dlls->end(), "kernel32.dll") != dlls->end())
      << "the import table was not read";
  // Known DLLs on Windows 7 and on Windows 10 and 11 alike, and ntdll, which is in
  // every process before the program.
  const std::set<std::string> known = {
      "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll",  "gdi32.dll",
      "imagehlp.dll", "imm32.dll",   "kernel32.dll", "msctf.dll",    "msvcrt.dll",
      "normaliz.dll", "nsi.dll",     "ole32.dll",    "oleaut32.dll", "psapi.dll",
      "rpcrt4.dll",   "sechost.dll", "setupapi.dll", "shell32.dll",  "shlwapi.dll",
      "user32.dll",   "wldap32.dll", "ws2_32.dll",   "ntdll.dll"};
  for (const std::string& dll : *dlls) {
    EXPECT_TRUE(known.count(dll)) << dll << " is imported but is not a known DLL";
  }
}

TEST(SystemLibraries, LoadedFromTheSystemFolder) {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(length, 0u);
  for (const wchar_t* name : {L"winmm.dll", L"bcrypt.dll", L"Msftedit.dll"}) {
    HMODULE module = LoadSystemLibrary(name);
    ASSERT_NE(module, nullptr) << Utf16ToUtf8(FromWide(name));
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    EXPECT_EQ(CompareStringOrdinal(path, static_cast<int>(length), system,
                                   static_cast<int>(length), TRUE),
              CSTR_EQUAL);
  }
  EXPECT_NE(WinInet(), nullptr);
  EXPECT_NE(Bcrypt(), nullptr);
  EXPECT_EQ(LoadSystemLibrary(L"no-such-library.dll"), nullptr);
}

}  // namespace
}  // namespace snapdeck::win32
