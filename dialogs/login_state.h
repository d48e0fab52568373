// The update server's user name and password as the login bubble edits them, with
// the server they were typed for: they are sent to that server only.
#pragma once

#include <string>

namespace snapdeck {

struct LoginState {
  std::u16string userName;
  std::u16string password;
  std::u16string origin;  // scheme, host and port that asked for them
};

inline LoginState& TheLoginState() {
  static LoginState state;
  return state;
}

}  // namespace snapdeck
