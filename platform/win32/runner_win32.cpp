#include "platform/win32/runner_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/handles_win32.h"

namespace snapdeck {

namespace {

using win32::AttributeList;
using win32::UniqueHandle;

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// How long a run that goes away waits for its killed tool to be gone, so the files the
// tool held (the temporary bitmap) are free again for the caller.
constexpr DWORD kEndWaitMs = 2000;

class Win32ToolRun final : public ToolRun {
 public:
  Win32ToolRun(UniqueHandle job, UniqueHandle process, UniqueHandle output)
      : job_(std::move(job)), process_(std::move(process)), output_(std::move(output)) {}
  Win32ToolRun(const Win32ToolRun&) = delete;
  Win32ToolRun& operator=(const Win32ToolRun&) = delete;

  ~Win32ToolRun() override {
    output_.reset();
    // Whatever the tool left running (itself, or programs it started) is not wanted any
    // more; closing the job would end them too, but only after this returns.
    kill();
    WaitForSingleObject(process_.get(), kEndWaitMs);
  }

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

  // The tool's children go with it: they may hold its output pipe open. A detached run
  // has no job: only the tool itself is ended.
  void kill() override {
    if (job_) {
      TerminateJobObject(job_.get(), 1);
    } else if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.get(), 1);
    }
  }

 private:
  UniqueHandle job_;  // empty when the system refused one (a job inside a job on Windows 7)
  UniqueHandle process_;
  UniqueHandle output_;
};

// A start can fail although the tool is there and nothing of it ran: under Wine the new
// process now and then ends while it is being set up (ERROR_INTERNAL_ERROR), and on
// Windows a virus scanner may hold the file for a moment. Such a start is tried again, a
// little later each time; a tool that is not there or is no program fails at once.
constexpr int kStartTries = 4;
constexpr DWORD kFirstRetryPauseMs = 50;

bool StartFailureIsFinal(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
      return true;
    default:
      return false;
  }
}

// A job that ends every process in it when its last handle closes, so nothing the tool
// started outlives the run, not even when this program ends abruptly.
UniqueHandle KillOnCloseJob() {
  UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  if (!job) return {};
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                               sizeof limits)) {
    return {};
  }
  return job;
}

class Win32ToolRunner final : public ToolRunner {
 public:
  std::unique_ptr<ToolRun> start(const std::u16string& exePath,
                                 const std::u16string& parameters) override {
    return startRun(exePath, parameters, false);
  }

  std::unique_ptr<ToolRun> startDetached(const std::u16string& exePath,
                                         const std::u16string& parameters) override {
    return startRun(exePath, parameters, true);
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

 private:
  // detached: outside any job of ours, so what the tool starts outlives the run; a
  // server a tool launches stays in every job its parent is in.
  static std::unique_ptr<ToolRun> startRun(const std::u16string& exePath,
                                           const std::u16string& parameters, bool detached) {
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

    // The tool inherits the pipe's write end and nothing else the program holds.
    AttributeList attributes(1);
    HANDLE inherited[1] = {childOutput.get()};
    if (attributes.get() == nullptr ||
        !UpdateProcThreadAttribute(attributes.get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                   inherited, sizeof inherited, nullptr, nullptr)) {
      return nullptr;
    }

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    // Standard input and error are not the tool's business here (its error text is never
    // read); handles that are not inherited must not be named to it.
    startup.StartupInfo.hStdInput = nullptr;
    startup.StartupInfo.hStdOutput = childOutput.get();
    startup.StartupInfo.hStdError = nullptr;
    startup.lpAttributeList = attributes.get();

    UniqueHandle job = detached ? UniqueHandle() : KillOnCloseJob();
    const std::wstring application = Wide(exePath);
    std::wstring commandLine = L"\"" + application + L"\" " + Wide(parameters);
    PROCESS_INFORMATION info{};
    const auto create = [&](DWORD flags) {
      return CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                            CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT | flags, nullptr,
                            nullptr, &startup.StartupInfo, &info) != FALSE;
    };
    for (int tries = 1;; ++tries) {
      // Detached: out of a job this program may run in (a launcher's), where that job
      // allows it. Otherwise suspended until it is in the job, so not even its first child
      // escapes.
      const bool created = detached ? create(CREATE_BREAKAWAY_FROM_JOB) || create(0)
                                    : create(CREATE_SUSPENDED);
      if (created) break;
      if (tries == kStartTries || StartFailureIsFinal(GetLastError())) return nullptr;
      Sleep(kFirstRetryPauseMs << (tries - 1));
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    // Windows 7 refuses a job for a program that itself runs in one; the tool then runs
    // on its own, ended by its process handle.
    if (job && !AssignProcessToJobObject(job.get(), process.get())) job.reset();
    if (!detached && ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
      if (job) {
        TerminateJobObject(job.get(), 1);
      } else {
        TerminateProcess(process.get(), 1);
      }
      return nullptr;
    }
    // Closing our copy of the write end lets ReadFile see the end of output.
    childOutput.reset();
    return std::make_unique<Win32ToolRun>(std::move(job), std::move(process), std::move(output));
  }
};

}  // namespace

std::unique_ptr<ToolRunner> MakeWin32ToolRunner() { return std::make_unique<Win32ToolRunner>(); }

}  // namespace snapdeck
