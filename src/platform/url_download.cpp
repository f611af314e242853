#include "platform/url_download.h"

namespace qv::platform {

bool acceptedByCheck(const AcceptanceCheck& accept, const std::string& temporaryPath) {
  if (!accept) return true;
  // No exception leaves the downloading thread: a check that cannot decide has not accepted.
  try {
    return accept(temporaryPath);
  } catch (...) {
    return false;
  }
}

}  // namespace qv::platform
