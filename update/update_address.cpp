#include "update/update_address.h"

#include "platform/text.h"

#ifndef SNAPDECK_UPDATE_URL
#error "the build defines SNAPDECK_UPDATE_URL (a CMake cache variable)"
#endif

namespace snapdeck {

std::u16string UpdateInfoUrl(const std::u16string& runTimeAddress) {
  if (!runTimeAddress.empty()) return runTimeAddress;
  return Utf8ToUtf16(SNAPDECK_UPDATE_URL);
}

}  // namespace snapdeck
