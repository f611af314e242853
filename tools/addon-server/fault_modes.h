#pragma once
// Fault modes: the ways real servers fail, put on a file by a path prefix (/fault/MODE/PATH) or by a
// line "MODE PATH" in FOLDER/.faults.
#include <cstdint>
#include <filesystem>
#include <string>

#include "body_sending.h"
#include "file_answer.h"

namespace addon_server {

struct FaultedPath {
  std::string mode;  // empty: no fault
  std::string path;  // the file's path, prefix taken off
};

FaultedPath faultOf(const std::filesystem::path& root, const std::string& requestPath);

bool isFaultMode(const std::string& mode);

// The validators a faulty server states for a file; unchanged for the modes not about them.
Validators faultedValidators(const std::string& mode, Validators validators, uint64_t size, int64_t mtimeNs);

// The answer a faulty server gives where `honest` is the right one.
FileAnswer faultedAnswer(const std::string& mode, FileAnswer honest, uint64_t size);

bool faultServesRanges(const std::string& mode);
Delivery faultDelivery(const std::string& mode);

}  // namespace addon_server
