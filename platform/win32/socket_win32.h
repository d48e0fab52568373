// Loopback connections over Winsock.
#pragma once

#include <memory>

#include "platform/socket.h"

namespace snapdeck {

std::unique_ptr<SocketPort> MakeWin32SocketPort();

}  // namespace snapdeck
