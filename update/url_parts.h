// How a fetch address is taken apart for the connection and the request.
#pragma once

#include <string>
#include <string_view>

namespace snapdeck {

struct UrlParts {
  std::u16string host;  // without a written port
  int port = 0;         // 0: the scheme's default; -1: the written port is not a port
  std::u16string path;  // the request object, normally beginning with "/"
  bool secure = false;  // any "s" in the scheme: TLS on port 443 unless one is written
};

// Scheme = first "/"-field, host = third; the path is what is left once every
// occurrence of scheme + "//" + host is removed (ignoring case). A port written after
// the host ("127.0.0.1:8765") becomes the connection's port: as part of the host name
// it could never resolve.
UrlParts SplitUrl(std::u16string_view url);

// Who an address talks to: scheme, host without regard to case, and the port the
// connection uses. Credentials typed for one origin are sent to that origin only.
std::u16string OriginOf(std::u16string_view url);

// The host as a user reads it, with the port when one is written.
std::u16string HostShown(std::u16string_view url);

}  // namespace snapdeck
