#pragma once
// The project's exception root. Every error that may reach the user carries a UTF-8 message
// that is shown as it stands; subsystems derive their own kinds from it.
#include <stdexcept>
#include <string>

namespace qv {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace qv
