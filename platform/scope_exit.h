// Undoes a setting when the scope ends, on every path out of it.
#pragma once

#include <utility>

namespace snapdeck {

template <class Undo>
class [[nodiscard]] ScopeExit {
 public:
  explicit ScopeExit(Undo undo) : undo_(std::move(undo)) {}
  ~ScopeExit() { undo_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  Undo undo_;
};

}  // namespace snapdeck
