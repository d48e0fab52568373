// What the simulated phone's own programs do: screencap and its pictures, the display
// list of dumpsys, settings and am broadcast. The transport (phonesim.cpp) only carries
// their output, in the way the service that ran them carries output.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace devicesim {

struct Display {
  std::uint64_t id = 0;
  int width = 0;
  int height = 0;
};

struct PhoneConfig {
  int port = 0;
  std::string state = "device";
  int width = 1080;
  int height = 2400;
  std::uint32_t format = 1;
  int headerFields = 4;
  std::uint32_t colorSpace = 1;
  std::string raw = "good";
  std::string png = "good";
  int delayMs = 0;
  std::string hold;  // a picture's first byte waits until this file exists
  std::uint32_t version = 0x01000001;
  std::uint32_t maxPayload = 1u << 20;
  std::string product = "sim";
  std::string model = "Pixel_Sim";
  std::string device = "sim";
  std::string features = "shell_v2,cmd";
  std::string log;
  // Habits of real phones.
  std::vector<Display> displays;  // filled from the display keys once all are read
  bool exec = true;               // false: before Android 5, no exec: service
  int framebuffer = -1;           // header version of framebuffer:, 0 refused, -1 not set
  bool crlf = false;              // shell: turns LF into CR LF (before Android 7)
  std::string screencapFailure;   // empty: screencap works
  bool black = false;             // every pixel black, as a secure window gives
  std::uint64_t rate = 0;         // bytes per second of a picture, 0 unlimited
};

// The phone's state that lives across connections.
struct Phone {
  PhoneConfig cfg;
  std::map<std::string, std::string> settings;  // "namespace key" -> value
};

// What a command wrote and how it ended.
struct CommandResult {
  bool known = true;     // false: the phone has no such command here (the service is refused)
  bool refused = false;  // the configuration refuses this screenshot service
  bool truncated = false;
  bool picture = false;  // a screenshot: delayed and paced
  std::string out;
  std::string err;
  int status = 0;
};

// Splits a command line as the phone's shell does: blanks separate words, quotes group
// them ('...' literally, "..." with \" and \\), a backslash escapes the next character.
std::vector<std::string> SplitCommandLine(const std::string& line);

CommandResult RunCommand(Phone& phone, const std::vector<std::string>& argv);

// A command line as the phone's shell runs it: commands separated by ';' (outside quotes)
// run one after another, their outputs in turn and the status the last one's. In a list
// a command the phone does not have prints the shell's "not found" (status 127) and the
// list goes on; a line of one command is RunCommand's.
CommandResult RunCommandLine(Phone& phone, const std::string& line);

// The framebuffer: service's answer: header of the given version, then RGBA pixels of
// the first display; empty when screencap fails.
std::string FramebufferPicture(const PhoneConfig& c, int version);

void Log(const PhoneConfig& c, const std::string& line);

}  // namespace devicesim
