#include "platform/headless/posix_file_stamps.h"

#include <sys/stat.h>
#include <sys/time.h>

#include <ctime>

namespace qv::platform::headless {

namespace {
// Local wall-clock time to seconds since the epoch. mktime() re-reads the time-zone file on every call
// when TZ is unset, which shows when thousands of extracted files are dated; localtime_r does not.
// Starting from the fields read as UTC, the guess moves by the difference between what it shows on the
// local clock and what was asked, which settles within a step or two (also across a DST change).
time_t localToEpoch(std::tm wanted) {
  wanted.tm_isdst = 0;
  const time_t target = timegm(&wanted);
  time_t t = target;
  for (int step = 0; step < 4; ++step) {
    std::tm shown{};
    if (!localtime_r(&t, &shown)) return static_cast<time_t>(-1);
    shown.tm_isdst = 0;
    const time_t diff = target - timegm(&shown);
    if (diff == 0) break;
    t += diff;
  }
  // A time the clock shows twice (when daylight saving ends) is taken at its first showing, as the C
  // library does.
  for (const time_t earlier : {t - 3600, t - 1800}) {
    std::tm shown{};
    if (localtime_r(&earlier, &shown)) {
      shown.tm_isdst = 0;
      if (timegm(&shown) == target) return earlier;
    }
  }
  return t;
}
}  // namespace

bool PosixFileStamps::setDosDateTime(const std::string& path, uint32_t dt) {
  std::tm tm{};
  tm.tm_sec = static_cast<int>((dt & 0x1F) * 2);
  tm.tm_min = static_cast<int>((dt >> 5) & 0x3F);
  tm.tm_hour = static_cast<int>((dt >> 11) & 0x1F);
  tm.tm_mday = static_cast<int>((dt >> 16) & 0x1F);
  tm.tm_mon = static_cast<int>(((dt >> 21) & 0x0F)) - 1;
  tm.tm_year = static_cast<int>((dt >> 25) & 0x7F) + 80;
  const time_t t = localToEpoch(tm);
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
