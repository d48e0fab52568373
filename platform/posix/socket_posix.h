// Loopback connections over POSIX sockets.
#pragma once

#include <memory>

#include "platform/socket.h"

namespace snapdeck {

std::unique_ptr<SocketPort> MakePosixSocketPort();

}  // namespace snapdeck
