// The Windows build's key of a file name: equal exactly where the file system takes two names for one
// file (case-insensitively, by the system's upper-case table), as the file system under Wine answers
// it and as CompareStringOrdinal (the documented comparison of file names) does; and the download
// pool keeping one writer per file by that key.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

#include "case_support.h"
#include "common/file_name_key.h"
#include "download/download_workers.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_main_loop.h"

namespace qv::in_process {
namespace {

std::wstring wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

struct NamePair {
  const char* a;
  const char* b;
};

// ASCII, Latin, Greek, Cyrillic and full-width letters in two cases; the dotless i and the long s
// whose capitals are ASCII; a sharp s that has no one-letter capital; Chinese, which has no case.
constexpr NamePair kPairs[] = {
    {"Foo.zip", "foo.ZIP"},  {"RaidGrid.zip", "raidgrid.zip"}, {"Äpfel.zip", "äPFEL.zip"},
    {"Σίγμα.zip", "σΊΓΜΑ.zip"}, {"Жук.zip", "жУК.zip"},          {"ＡＢＣ.zip", "ａｂｃ.zip"},
    {"ıx.zip", "Ix.zip"},      {"ſx.zip", "Sx.zip"},             {"straße.zip", "STRASSE.zip"},
    {"團隊.zip", "團隊.zip"},  {"團隊.zip", "团队.zip"},          {"a.zip", "b.zip"},
};

TEST(FileNameKeyTest, NamesThatDifferOnlyInCaseHaveOneKey) {
  EXPECT_EQ(files::fileNameKey("Foo.zip"), files::fileNameKey("FOO.ZIP"));
  EXPECT_EQ(files::fileNameKey("zip\\RaidGrid.zip"), files::fileNameKey("ZIP\\raidgrid.zip"));
  EXPECT_EQ(files::fileNameKey("Äpfel"), files::fileNameKey("äpfel"));
  EXPECT_NE(files::fileNameKey("a.zip"), files::fileNameKey("b.zip"));
  EXPECT_NE(files::fileNameKey("團隊"), files::fileNameKey("团队")) << "traditional and simplified are two names";
  EXPECT_NE(files::fileNameKey("straße"), files::fileNameKey("STRASSE")) << "no folding that changes length";
}

TEST(FileNameKeyTest, TheKeyAgreesWithTheSystemsComparisonOfFileNames) {
  for (const NamePair& p : kPairs) {
    const std::wstring a = wide(p.a), b = wide(p.b);
    const bool same = CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                           static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
    EXPECT_EQ(files::fileNameKey(p.a) == files::fileNameKey(p.b), same) << p.a << " / " << p.b;
  }
}

TEST(FileNameKeyTest, TheKeyAgreesWithTheFileSystem) {
  for (const NamePair& p : kPairs) {
    CaseDir dir;
    writeAll(dir.file(p.a), "x");
    const DWORD found = GetFileAttributesW(wide(dir.file(p.b)).c_str());
    const bool oneFile = found != INVALID_FILE_ATTRIBUTES;
    EXPECT_EQ(files::fileNameKey(p.a) == files::fileNameKey(p.b), oneFile) << p.a << " / " << p.b;
  }
}

// Holds every transfer until the test lets them go; notes two transfers of one file (as the file
// system sees it) at once.
class GatedDownloader : public platform::UrlDownloader {
 public:
  int32_t download(const platform::DownloadRequest& request, const platform::ProgressCallback&) override {
    std::unique_lock lock(mutex_);
    const std::string key = upper(request.filePath);
    if (!inFlight_.insert(key).second) overlap_ = true;
    ++running_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_; });
    inFlight_.erase(key);
    --running_;
    return 0;
  }
  bool waitRunning(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return running_ == n; });
  }
  void openAll() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool overlap() const {
    std::lock_guard lock(mutex_);
    return overlap_;
  }

 private:
  static std::string upper(std::string s) {
    for (char& c : s)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
  }
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::string> inFlight_;
  int running_ = 0;
  bool open_ = false, overlap_ = false;
};

TEST(FileNameKeyTest, ThePoolNeverRunsTwoTransfersIntoFooZipAndFOOZIPAtOnce) {
  platform::win32::Win32Dialogs dialogs;
  platform::win32::Win32MainLoop loop(dialogs);
  GatedDownloader gate;
  std::atomic<int> completions{0};
  {
    download::DownloadWorkers pool(gate, loop);
    for (const char* file : {"C:\\zip\\Foo.zip", "C:\\ZIP\\FOO.ZIP", "C:\\zip\\Other.zip"}) {
      pool.start(
          {std::string("http://unused/") + file, file, {}}, [](download::TFileDownLoadThread&, uint32_t, uint32_t) {},
          [&](download::TFileDownLoadThread&) { ++completions; }, [](download::TFileDownLoadThread&, int32_t) {});
    }
    ASSERT_TRUE(gate.waitRunning(2)) << "Foo.zip and Other.zip";
    EXPECT_EQ(pool.waiting(), 1u) << "FOO.ZIP waits for Foo.zip";
    gate.openAll();
    ASSERT_TRUE(pumpUntil(loop, [&] { return completions == 3 && pool.running() == 0; }));
  }
  EXPECT_FALSE(gate.overlap());
}

}  // namespace
}  // namespace qv::in_process
