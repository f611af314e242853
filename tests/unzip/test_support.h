#pragma once
// Shared pieces of the unzip tests: a scratch directory per test, the headless services, and a look
// at what ended up on disk.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <future>
#include <set>
#include <thread>
#include <unistd.h>
#include <string>

#include "platform/headless/iconv_codec.h"
#include "platform/headless/posix_file_stamps.h"
#include "unzip/unzip.h"
#include "unzip/unzip_file.h"
#include "zip_writer.h"

namespace qv::unzip::test {

// Runs `work` and fails the whole test program when it does not finish in time: a scan that loops
// must not hang the suite (nor eat the machine's memory while it does).
inline void finishesWithin(std::chrono::seconds limit, const std::function<void()>& work) {
  std::packaged_task<void()> task(work);
  std::future<void> done = task.get_future();
  std::thread worker(std::move(task));
  if (done.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "still running after %lld s: a loop that never ends\n", static_cast<long long>(limit.count()));
    std::_Exit(1);
  }
  worker.join();
  done.get();  // passes on what `work` threw
}

class UnzipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    root_ = std::filesystem::temp_directory_path() / ("qv-unzip-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(root_, ec);
  }

  std::string at(const std::string& rel) const { return (root_ / rel).string(); }
  std::string archive(ZipWriter& w, const std::string& name = "a.zip", const std::string& comment = "") {
    writeFile(at(name), w.finish(comment));
    return at(name);
  }
  // UnZipFile with the test's services; `boxes` collects the message boxes shown.
  bool unzipFile(const std::string& zip, const std::string& dest, int* count = nullptr) {
    return UnZipFile(zip, dest, {codec, stamps, recordBox(), {}}, count);
  }
  // The same where the directory may be unreadable: false for any error, thrown or reported.
  bool unzipFileQuietly(const std::string& zip, const std::string& dest, int* count = nullptr) {
    try {
      return unzipFile(zip, dest, count);
    } catch (const std::exception&) {
      return false;
    }
  }
  MessageBoxHook recordBox() {
    return [this](const std::string& text, const std::string& caption, unsigned) {
      boxes.insert(caption + "|" + text);
      ++boxCount;
      return mb::kIdOk;
    };
  }
  // Every file and directory below `dir`, relative, "/"-separated; directories end in "/".
  std::set<std::string> tree(const std::string& dir) const {
    std::set<std::string> out;
    if (!std::filesystem::exists(dir)) return out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir)) {
      const std::string rel = std::filesystem::relative(e.path(), dir).generic_string();
      out.insert(e.is_directory() ? rel + "/" : rel);
    }
    return out;
  }

  std::filesystem::path root_;
  platform::headless::IconvCodec codec{platform::headless::kUtf8CodePage, platform::headless::kUtf8CodePage};
  platform::headless::PosixFileStamps stamps;
  std::set<std::string> boxes;
  int boxCount = 0;
};

}  // namespace qv::unzip::test
