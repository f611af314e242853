// Large entries go through the writer thread: same results, same failures as small ones.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "test_support.h"
#include "unzip/zip_errors.h"

namespace qv::unzip::test {
namespace {

class LargeEntryTest : public UnzipTest {
 protected:
  static std::string pattern(size_t n) {
    std::string s(n, '\0');
    uint32_t x = 7;
    for (size_t i = 0; i < n; ++i) {
      x = x * 1664525u + 1013904223u;
      s[i] = static_cast<char>(i % 3 == 0 ? 'a' + (x >> 28) : (x >> 24));
    }
    return s;
  }
};

TEST_F(LargeEntryTest, DeflatedAndStoredEntriesRoundTrip) {
  const std::string big = pattern(3u << 20);
  ZipWriter w;
  w.add({.name = "d.bin", .data = big});
  w.add({.name = "s.bin", .data = big, .method = 0});
  w.add({.name = "bad.bin", .data = big, .crc = crcOf(big) ^ 1});
  int count = 0;
  EXPECT_TRUE(unzipFile(archive(w), at("out"), &count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(tree(at("out")), (std::set<std::string>{"d.bin", "s.bin"}));
  EXPECT_TRUE(readFile(at("out/d.bin")) == big);
  EXPECT_TRUE(readFile(at("out/s.bin")) == big);
}

// Runs an extraction in a child whose file size limit makes writes come up short, as a full disk
// does. Returns what the child saw: 1 ECantWriteUCF with its text, 2 another error, 3 no error.
int extractWithFileSizeLimit(const std::string& zip, const std::string& dest, rlim_t limit,
                             platform::Codec& codec, platform::FileStamps& stamps) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit rl{limit, limit};
    setrlimit(RLIMIT_FSIZE, &rl);
    try {
      TUnZip u(codec, stamps);
      u.setZipName(zip);
      u.setDestDir(dest);
      u.DoAll = true;
      u.OverwriteMode = TUZOverwriteMode::Always;
      u.ExtractFiles();
    } catch (const ECantWriteUCF& e) {
      _exit(std::string(e.what()) == "Cant write uncompressed file" ? 1 : 2);
    } catch (...) {
      _exit(2);
    }
    _exit(3);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LargeEntryTest, ShortWriteEndsTheRunAndKeepsTheOldFile) {
  for (size_t size : {size_t{300} << 10, size_t{3} << 20}) {  // written here, and on the writer thread
    ZipWriter w;
    w.add({.name = "big.bin", .data = pattern(size)});
    const std::string zip = archive(w);
    std::filesystem::remove_all(at("out"));
    std::filesystem::create_directories(at("out"));
    writeFile(at("out/big.bin"), "old");
    EXPECT_EQ(extractWithFileSizeLimit(zip, at("out"), 128 << 10, codec, stamps), 1) << size;
    EXPECT_EQ(tree(at("out")), (std::set<std::string>{"big.bin"})) << size;
    EXPECT_EQ(readFile(at("out/big.bin")), "old") << size;
  }
}

}  // namespace
}  // namespace qv::unzip::test
