#include "platform/headless/posix_file_stamps.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <ctime>

namespace qv::platform::headless {

bool PosixFileStamps::setDosDateTime(const std::string& path, uint32_t dt) {
  std::tm tm{};
  tm.tm_sec = static_cast<int>((dt & 0x1F) * 2);
  tm.tm_min = static_cast<int>((dt >> 5) & 0x3F);
  tm.tm_hour = static_cast<int>((dt >> 11) & 0x1F);
  tm.tm_mday = static_cast<int>((dt >> 16) & 0x1F);
  tm.tm_mon = static_cast<int>(((dt >> 21) & 0x0F)) - 1;
  tm.tm_year = static_cast<int>((dt >> 25) & 0x7F) + 80;
  tm.tm_isdst = -1;
  const time_t t = std::mktime(&tm);
  if (t == static_cast<time_t>(-1)) return false;
  struct timeval times[2] = {{t, 0}, {t, 0}};
  return utimes(path.c_str(), times) == 0;
}

uint32_t PosixFileStamps::dosDateTime(const std::string& path) const {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return 0;
  std::tm tm{};
  const time_t t = st.st_mtime;
  if (!localtime_r(&t, &tm)) return 0;
  if (tm.tm_year < 80) return (1u << 21) | (1u << 16);
  return (static_cast<uint32_t>(tm.tm_year - 80) << 25) | (static_cast<uint32_t>(tm.tm_mon + 1) << 21) |
         (static_cast<uint32_t>(tm.tm_mday) << 16) | (static_cast<uint32_t>(tm.tm_hour) << 11) |
         (static_cast<uint32_t>(tm.tm_min) << 5) | static_cast<uint32_t>(tm.tm_sec / 2);
}

bool PosixFileStamps::setAttributes(const std::string& path, uint32_t attributes) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (attributes & attr::kReadOnly)
    mode &= static_cast<mode_t>(~0222);
  else
    mode |= S_IWUSR;
  return chmod(path.c_str(), mode) == 0;
}

uint32_t PosixFileStamps::attributes(const std::string& path) const {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return 0;
  uint32_t a = S_ISDIR(st.st_mode) ? attr::kDirectory : attr::kArchive;
  if ((st.st_mode & S_IWUSR) == 0) a |= attr::kReadOnly;
  return a;
}

}  // namespace qv::platform::headless
