#pragma once
// SHA-256 of a byte string as lower-case hex, for comparing output with the sample manifests.
#include <cstdint>
#include <string>
#include <vector>

namespace qv::unzip::testing {

std::string sha256Hex(const std::vector<uint8_t>& data);

}  // namespace qv::unzip::testing
