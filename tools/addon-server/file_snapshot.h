#pragma once
// A file's bytes and modification time read from one open handle, so that a file replaced while it
// is served is never answered with one version's bytes under the other's validators.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace addon_server {

struct FileSnapshot {
  std::shared_ptr<const std::string> bytes;
  int64_t mtimeNs = 0;  // since the epoch
};

std::optional<FileSnapshot> readSnapshot(const std::filesystem::path& file);

}  // namespace addon_server
