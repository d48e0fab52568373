// Device detection ("-u enum") and the password check ("deviceinfo").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "capture/capture_context.h"

namespace snapdeck {

// Lists the connected devices into the session (at most four) and sets check box 48. A
// record the tool's command line cannot carry is listed as refused.
// Returns the device count; 0 when the user gave up. Without askWhenNone, finding none
// is not asked about (other devices are there).
int DetectDevices(CaptureContext& ctx, bool askWhenNone = true);

// The question when no device was found; where adb is there (a server answered or
// adb.exe was found) it also says how a phone gets ready.
std::u16string NoDeviceQuestion(bool adbThere);

// The question when the adb server lists no phone and there is no loader for handhelds:
// what a phone needs, with the phone part of NoDeviceQuestion's words.
std::u16string NoPhoneQuestion();

// Asks for and proves the password of every device whose record is usable; a password
// that cannot reach the tool exactly is refused before any run. True when the last
// device handled answered, or when every record was refused.
bool CheckPasswords(CaptureContext& ctx);

// The PIN of one enumeration record: its first 10 bytes as Windows-1252 text.
std::u16string PinFromRecord(const std::uint8_t* record, std::size_t size);

// Progress of polling cycle c of n: floating point for the enumeration, integer
// division elsewhere. A limit of 0 or less counts as already complete.
double CycleProgress(std::int64_t c, std::int64_t n);
int CycleProgressInt(std::int64_t c, std::int64_t n);

// Reads and throws away n bytes in small blocks; returns how many came.
std::size_t DiscardOutput(ToolRun& run, std::size_t n);

}  // namespace snapdeck
