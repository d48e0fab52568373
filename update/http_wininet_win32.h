// The HTTP transport on WinINet, the program's only network access.
#pragma once

#include <memory>

#include "update/http_fetch.h"

namespace snapdeck::win32 {

std::unique_ptr<HttpTransport> MakeWinInetTransport();

}  // namespace snapdeck::win32
