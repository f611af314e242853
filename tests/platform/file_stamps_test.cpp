// Dating files from MS-DOS date/times taken as local time must agree with the C library's own
// conversion, also around daylight-saving changes.
#include "platform/headless/posix_file_stamps.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "test_dir.h"

namespace qv::test {
namespace {

uint32_t dos(int year, int month, int day, int hour, int minute, int second) {
  return (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
         (static_cast<uint32_t>(day) << 16) | (static_cast<uint32_t>(hour) << 11) |
         (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
}

time_t viaMktime(uint32_t dt) {
  std::tm tm{};
  tm.tm_sec = static_cast<int>((dt & 0x1F) * 2);
  tm.tm_min = static_cast<int>((dt >> 5) & 0x3F);
  tm.tm_hour = static_cast<int>((dt >> 11) & 0x1F);
  tm.tm_mday = static_cast<int>((dt >> 16) & 0x1F);
  tm.tm_mon = static_cast<int>((dt >> 21) & 0x0F) - 1;
  tm.tm_year = static_cast<int>((dt >> 25) & 0x7F) + 80;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old, hadOld_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (hadOld_)
      setenv("TZ", saved_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string saved_;
  bool hadOld_ = false;
};

TEST(FileStampsTest, LocalDosTimesMatchTheLibraryAcrossZonesAndDaylightSaving) {
  TestDir dir;
  const std::string file = dir.file("stamped.txt");
  writeAll(file, "x");
  platform::headless::PosixFileStamps stamps;
  const uint32_t samples[] = {dos(1980, 1, 1, 0, 0, 0),   dos(2024, 3, 31, 1, 59, 58),
                              dos(2024, 3, 31, 3, 0, 0),  dos(2024, 10, 27, 2, 30, 0),
                              dos(2024, 10, 27, 3, 30, 0), dos(2024, 11, 3, 1, 30, 0),
                              dos(2024, 7, 15, 12, 34, 56), dos(2099, 12, 31, 23, 59, 58)};
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York", "Asia/Taipei"}) {
    const ZoneGuard guard(zone);
    for (uint32_t dt : samples) {
      ASSERT_TRUE(stamps.setDosDateTime(file, dt));
      struct stat st {};
      ASSERT_EQ(stat(file.c_str(), &st), 0);
      EXPECT_EQ(st.st_mtime, viaMktime(dt)) << zone << " " << std::hex << dt;
      EXPECT_EQ(stamps.dosDateTime(file), dt) << zone << " " << std::hex << dt;
    }
  }
}

}  // namespace
}  // namespace qv::test
