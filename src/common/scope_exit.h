#pragma once
// Runs a piece of code when the scope it is declared in ends, whichever way it ends (a return, an
// exception): `const ScopeExit restore([&] { --depth; });`. Like any destructor it must not throw;
// an exception leaving it ends the program.
#include <utility>

namespace qv {

template <class Action>
class [[nodiscard]] ScopeExit {
 public:
  explicit ScopeExit(Action action) : action_(std::move(action)) {}
  ~ScopeExit() { action_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  Action action_;
};

}  // namespace qv
