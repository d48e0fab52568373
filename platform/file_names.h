// Rules for the folder and file-name texts the user types, which the file system takes
// differently from how they read.
#pragma once

#include <string>
#include <string_view>

namespace snapdeck {

// The folder with exactly one separator at its end, so that a file name can be put
// straight after it: "D:\shots" and "D:\shots\\" both give "D:\shots\". A trailing
// "/" is kept as it is; an empty folder (the working directory) stays empty.
std::u16string FolderWithSeparator(std::u16string_view folder);

// False for a stem that cannot name a file of its own in a folder: one holding a
// separator, one of : * ? " < > | or a control character, "..", or a device name
// (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9) in any letter case, alone or before an
// extension. Such a name would land elsewhere or reach a device instead of a file.
bool StemNamesAFile(std::u16string_view stem);

// Device names put in front of a file name. A handheld's PIN comes from the tool's output:
// a separator, one of : * ? " < > | or a control character becomes _, so the name never
// reaches outside its folder or is cut. A phone's serial keeps only A-Z, a-z, 0-9, _ and
// -: serials are addresses like 127.0.0.1:5555, and names made of them stay alike on every
// system the files travel to.
std::u16string PinForFileName(std::u16string_view pin);
std::u16string SerialForFileName(std::u16string_view serial);

}  // namespace snapdeck
