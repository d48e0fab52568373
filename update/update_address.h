// Where the update document is published.
#pragma once

#include <string>

namespace snapdeck {

// The address given at run time (in test builds, the SNAPDECK_UPDATE_URL environment
// variable) when it is not empty, else the one the build was configured with.
std::u16string UpdateInfoUrl(const std::u16string& runTimeAddress);

}  // namespace snapdeck
