// The update server's user name and password as the login bubble edits them.
#pragma once

#include <string>

namespace snapdeck {

struct LoginState {
  std::u16string userName;
  std::u16string password;
};

inline LoginState& TheLoginState() {
  static LoginState state;
  return state;
}

}  // namespace snapdeck
