#include "platform/headless/lock_file_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>

namespace qv::platform::headless {

LockFileInstance::LockFileInstance(std::string directory) : directory_(std::move(directory)) {
  if (directory_.empty()) directory_ = std::filesystem::temp_directory_path().string();
}

LockFileInstance::~LockFileInstance() {
  if (fd_ >= 0) close(fd_);
}

bool LockFileInstance::acquire(const std::string& name) {
  const std::string path = directory_ + "/" + name + ".instance-lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  // A guard that cannot be created does not stop the program: it only keeps two copies apart.
  if (fd < 0) return true;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  return true;
}

}  // namespace qv::platform::headless
