#include "platform/headless/headless_shell.h"

#include <cstdlib>
#include <filesystem>

#include "common/path.h"

namespace qv::platform::headless {

namespace fs = std::filesystem;

HeadlessShell::HeadlessShell(std::string trashDirectory) : trash_(std::move(trashDirectory)) {
  if (trash_.empty()) {
    const char* home = std::getenv("HOME");
    trash_ = std::string(home ? home : "/tmp") + "/.local/share/Trash/files";
  }
}

bool HeadlessShell::deleteToRecycleBin(const std::string& path) {
  std::error_code ec;
  const fs::path source = path::toFs(path);
  if (!fs::exists(source, ec)) return false;
  fs::create_directories(path::toFs(trash_), ec);
  // Several removals of the same name must not overwrite each other in the trash.
  fs::path target = path::toFs(trash_) / source.filename();
  for (int n = 2; fs::exists(target, ec); ++n)
    target = path::toFs(trash_) / (source.filename().string() + "." + std::to_string(n));
  fs::rename(source, target, ec);
  if (ec) return false;
  std::lock_guard lock(mutex_);
  recycled_.push_back(path);
  return true;
}

void HeadlessShell::open(const std::string& target) {
  std::lock_guard lock(mutex_);
  opened_.push_back(target);
}

void HeadlessShell::execute(const std::string& commandLine) {
  std::lock_guard lock(mutex_);
  executed_.push_back(commandLine);
}

std::vector<std::string> HeadlessShell::recycled() const {
  std::lock_guard lock(mutex_);
  return recycled_;
}
std::vector<std::string> HeadlessShell::opened() const {
  std::lock_guard lock(mutex_);
  return opened_;
}
std::vector<std::string> HeadlessShell::executed() const {
  std::lock_guard lock(mutex_);
  return executed_;
}

}  // namespace qv::platform::headless
