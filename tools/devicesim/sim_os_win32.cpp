#include <fcntl.h>
#include <io.h>

// Before windows.h, which would otherwise bring the old Winsock.
#include <winsock2.h>

#include <windows.h>

#include <chrono>

#include "sim_os.h"

namespace devicesim {

namespace {

std::string Narrow(const wchar_t* text, int length) {
  if (length == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  }
  return out;
}

}  // namespace

std::string NarrowText(const wchar_t* text, int length) { return Narrow(text, length); }

std::string SelfDirectory() {
  wchar_t buffer[32768];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, 32768);
  std::string path = Narrow(buffer, static_cast<int>(n));
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".\\") : path.substr(0, cut + 1);
}

bool WriteOut(const char* data, std::size_t size) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size);
    if (!WriteFile(out, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

void WriteErr(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
  return _wfopen(Widen(utf8Path).c_str(), Widen(mode).c_str());
}

void SleepMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

std::string RawCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return Narrow(line, static_cast<int>(wcslen(line)));
}

unsigned long StartChild() {
  wchar_t self[32768];
  const DWORD n = GetModuleFileNameW(nullptr, self, 32768);
  if (n == 0 || n >= 32768) return 0;
  std::wstring line = L"\"" + std::wstring(self, n) + L"\" " + Widen(kChildArgument);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(self, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &info)) {
    return 0;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return info.dwProcessId;
}

namespace {

bool WinsockStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

unsigned long StartServer(int port) {
  wchar_t self[32768];
  const DWORD n = GetModuleFileNameW(nullptr, self, 32768);
  if (n == 0 || n >= 32768) return 0;
  std::wstring line = L"\"" + std::wstring(self, n) + L"\" " + Widen(kServerArgument) + L" " +
                      std::to_wstring(port);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // As adb starts its server: no console, no handle of its starter.
  if (!CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                      nullptr, &startup, &info)) {
    return 0;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return info.dwProcessId;
}

bool Listens(int port) {
  if (!WinsockStarted()) return false;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  const sockaddr_in address = Loopback(port);
  const bool ok = connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  closesocket(s);
  return ok;
}

int Serve(int port) {
  if (!WinsockStarted()) return 1;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return 1;
  const sockaddr_in address = Loopback(port);
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, 8) != 0) {
    closesocket(s);
    return 1;
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (std::chrono::steady_clock::now() < end) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(s, &ready);
    timeval second{1, 0};
    if (select(0, &ready, nullptr, nullptr, &second) > 0) {
      const SOCKET c = accept(s, nullptr, nullptr);
      if (c != INVALID_SOCKET) closesocket(c);
    }
  }
  closesocket(s);
  return 0;
}

}  // namespace devicesim

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(devicesim::NarrowText(argv[i], static_cast<int>(wcslen(argv[i]))));
  }
  return devicesim::Run(args);
}
