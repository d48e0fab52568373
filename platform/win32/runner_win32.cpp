#include "platform/win32/runner_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/handles_win32.h"

namespace snapdeck {

namespace {

using win32::UniqueHandle;

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

class Win32ToolRun final : public ToolRun {
 public:
  Win32ToolRun(UniqueHandle process, UniqueHandle output)
      : process_(std::move(process)), output_(std::move(output)) {}

  std::size_t outputAvailable() override {
    DWORD available = 0;
    if (!PeekNamedPipe(output_.get(), nullptr, 0, nullptr, &available, nullptr)) return 0;
    return available;
  }

  std::size_t read(std::uint8_t* buffer, std::size_t n) override {
    std::size_t got = 0;
    while (got < n) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - got, 1u << 20));
      DWORD r = 0;
      // Fails with ERROR_BROKEN_PIPE once the tool closed its output and all was read.
      if (!ReadFile(output_.get(), buffer + got, want, &r, nullptr) || r == 0) break;
      got += r;
    }
    return got;
  }

  bool waitEnd(int milliseconds) override {
    return WaitForSingleObject(process_.get(), static_cast<DWORD>(std::max(milliseconds, 0))) ==
           WAIT_OBJECT_0;
  }

  void kill() override { TerminateProcess(process_.get(), 1); }

 private:
  UniqueHandle process_;
  UniqueHandle output_;
};

class Win32ToolRunner final : public ToolRunner {
 public:
  std::unique_ptr<ToolRun> start(const std::u16string& exePath,
                                 const std::u16string& parameters) override {
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return nullptr;
    UniqueHandle output(readEnd);
    UniqueHandle childOutput(writeEnd);
    // Only the tool's end is inherited; ours must not keep the pipe open in the child.
    if (!SetHandleInformation(output.get(), HANDLE_FLAG_INHERIT, 0)) return nullptr;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = childOutput.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);

    const std::wstring application = Wide(exePath);
    std::wstring commandLine = L"\"" + application + L"\" " + Wide(parameters);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info)) {
      return nullptr;
    }
    UniqueHandle thread(info.hThread);
    // Closing our copy of the write end lets ReadFile see the end of output.
    childOutput.reset();
    return std::make_unique<Win32ToolRun>(UniqueHandle(info.hProcess), std::move(output));
  }

  bool passesExactly(const std::u16string& text) override {
    // The command line ends at a NUL.
    if (text.find(u'\0') != std::u16string::npos) return false;
    if (text.empty()) return true;
    // No command line is longer.
    if (text.size() > 32767) return false;
    const std::wstring wide = Wide(text);
    const int length = static_cast<int>(wide.size());
    // A tool with a narrow command line reads it in the ANSI code page, where a character
    // without its own code arrives as a look-alike or as "?".
    if (GetACP() == CP_UTF8) {
      // UTF-8 holds every character; only an unpaired surrogate is lost.
      return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, nullptr, 0,
                                 nullptr, nullptr) > 0;
    }
    std::string narrow(static_cast<std::size_t>(length) * 4, '\0');
    BOOL usedDefault = FALSE;
    const int n =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, narrow.data(),
                            static_cast<int>(narrow.size()), nullptr, &usedDefault);
    return n > 0 && !usedDefault;
  }
};

}  // namespace

std::unique_ptr<ToolRunner> MakeWin32ToolRunner() { return std::make_unique<Win32ToolRunner>(); }

}  // namespace snapdeck
