#include "platform/headless/headless_shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "common/file_system.h"
#include "common/path.h"

namespace qv::platform::headless {

namespace {

std::string userTrash() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
    return std::string(data) + "/Trash";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") + "/.local/share/Trash";
}

// The trash keeps the original path percent-encoded, bytes outside the unreserved set and "/" escaped.
std::string trashInfoPath(const std::string& absolute) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : absolute) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '_' || c == '.' || c == '~' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string localTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &local);
  return buffer;
}

// Reserves a name in info/ by creating its .trashinfo exclusively, as the trash's rules ask, so two
// removals of the same name never take the same slot. Returns the chosen name, or empty.
std::string reserveInfo(const std::string& infoDir, const std::string& base, const std::string& content) {
  for (int n = 1; n < 10000; ++n) {
    const std::string name = n == 1 ? base : base + "." + std::to_string(n);
    const std::string info = infoDir + "/" + name + ".trashinfo";
    const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    const bool ok = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    if (::close(fd) != 0 || !ok) {
      ::unlink(info.c_str());
      return {};
    }
    return name;
  }
  return {};
}

}  // namespace

HeadlessShell::HeadlessShell(std::string trashDirectory) { setTrashDirectory(std::move(trashDirectory)); }

void HeadlessShell::setTrashDirectory(std::string trashDirectory) {
  trash_ = trashDirectory.empty() ? userTrash() : std::move(trashDirectory);
}

Shell::Recycled HeadlessShell::recycle(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path::toFs(path), ec);
  if (ec || !files::exists(path)) return Recycled::Failed;
  // A trash that is missing is made, but only inside a home that has its data folder: where the
  // desktop keeps no trash there is nothing to restore from, so the item is not taken.
  const std::string parentOfTrash = path::fromFs(path::toFs(trash_).parent_path());
  if (!files::isDirectory(parentOfTrash)) return Recycled::NoRecycleBin;
  const std::string filesDir = trash_ + "/files";
  const std::string infoDir = trash_ + "/info";
  if (!files::createDirectories(filesDir) || !files::createDirectories(infoDir)) return Recycled::NoRecycleBin;

  std::string absoluteText = path::fromFs(absolute.lexically_normal());
  while (absoluteText.size() > 1 && absoluteText.back() == '/') absoluteText.pop_back();
  std::string base(path::fileNameOf(absoluteText));
  if (base.empty()) return Recycled::Failed;
  const std::string content =
      "[Trash Info]\nPath=" + trashInfoPath(absoluteText) + "\nDeletionDate=" + localTimeNow() + "\n";
  const std::string name = reserveInfo(infoDir, base, content);
  if (name.empty()) return Recycled::NoRecycleBin;
  const std::string info = infoDir + "/" + name + ".trashinfo";
  if (::rename(absoluteText.c_str(), (filesDir + "/" + name).c_str()) != 0) {
    const int reason = errno;
    ::unlink(info.c_str());
    // Another file system: the home trash cannot take it without copying, which it never does.
    return reason == EXDEV ? Recycled::NoRecycleBin : Recycled::Failed;
  }
  std::lock_guard lock(mutex_);
  recycled_.push_back(path);
  return Recycled::Yes;
}

void HeadlessShell::open(const std::string& target) {
  std::lock_guard lock(mutex_);
  opened_.push_back(target);
}

bool HeadlessShell::execute(const std::string& commandLine, const StartOptions& options) {
  std::lock_guard lock(mutex_);
  if (failStarts_) return false;
  executed_.push_back({commandLine, options});
  return true;
}

std::vector<std::string> HeadlessShell::recycled() const {
  std::lock_guard lock(mutex_);
  return recycled_;
}
std::vector<std::string> HeadlessShell::opened() const {
  std::lock_guard lock(mutex_);
  return opened_;
}
std::vector<HeadlessShell::Started> HeadlessShell::executed() const {
  std::lock_guard lock(mutex_);
  return executed_;
}

}  // namespace qv::platform::headless
