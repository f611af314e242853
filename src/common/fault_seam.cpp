#include "common/fault_seam.h"

namespace qv::files::seam::detail {

std::atomic<Hook*> armed{nullptr};

}  // namespace qv::files::seam::detail
