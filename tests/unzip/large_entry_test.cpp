// Large entries go through the writer thread: same results, same failures as small ones.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <thread>

#include "test_support.h"
#include "unzip/write_behind.h"
#include "unzip/zip_errors.h"

namespace qv::unzip::test {
namespace {

std::string pattern(size_t n) {
  std::string s(n, '\0');
  uint32_t x = 7;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = static_cast<char>(i % 3 == 0 ? 'a' + (x >> 28) : (x >> 24));
  }
  return s;
}

class LargeEntryTest : public UnzipTest {};

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

// A file whose writes wait until the test opens it, so the writer thread stays busy on purpose.
class GatedFile : public Stream {
 public:
  size_t read(void*, size_t) override { return 0; }
  size_t write(const void* buffer, size_t count) override {
    gate_.wait();
    data.append(static_cast<const char*>(buffer), count);
    return count;
  }
  int64_t seek(int64_t, SeekOrigin) override { return static_cast<int64_t>(data.size()); }
  void open() { opener_.set_value(); }
  std::string data;

 private:
  std::promise<void> opener_;
  std::shared_future<void> gate_ = opener_.get_future().share();
};

TEST(WriteBehind, DecoderTakesQueuedCrcsWhileTheWriterIsBusyAndTheResultStaysExact) {
  const std::string text = pattern(5000);
  WriteBehind behind(1000, 2);
  GatedFile file;
  behind.begin(file);
  // Opens the file once the decoder has done the writer's CRC work rather than wait for it.
  std::thread opener([&] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (behind.crcsTakenByDecoder() == 0 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    file.open();
  });
  for (size_t at = 0; at < text.size(); at += 1000) {
    std::memcpy(behind.acquire(), text.data() + at, 1000);
    behind.submit(1000);
  }
  uint32_t crc = 0;
  EXPECT_TRUE(behind.finish(crc));
  opener.join();
  EXPECT_GE(behind.crcsTakenByDecoder(), 1u);
  EXPECT_EQ(crc, crcOf(text));
  EXPECT_TRUE(file.data == text);
}

}  // namespace
}  // namespace qv::unzip::test
