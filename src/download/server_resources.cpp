#include "download/server_resources.h"

namespace qv::download {

ServerResources ServerResources::builtIn() { return {QUORVANE_SERVER_BASE}; }

}  // namespace qv::download
