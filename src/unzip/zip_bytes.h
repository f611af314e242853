#pragma once
// Little-endian fields of the zip format.
#include "common/little_endian.h"

namespace qv::unzip {

using qv::le16;
using qv::le32;
using qv::le64;

}  // namespace qv::unzip
