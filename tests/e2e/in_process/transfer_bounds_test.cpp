// The bounds of a transfer in the Windows downloader (urlmon), against the fault server: a body over
// its cap (announced, without a length, endless), a server that drips a byte at a time, a deadline,
// and the acceptance check of a whole body; the catalogue fetch under the same bounds, with the
// window painting while it waits. Every failure leaves the old archive as it was and no temporary.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "case_support.h"
#include "download/file_download_thread.h"
#include "fault_server.h"
#include "platform/win32/url_download_win32.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_main_loop.h"
#include "platform/win32/xml_document_msxml.h"

namespace qv::in_process {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace dr = platform::download_result;

// Every case's transfers end within 20 s whatever they meet, so a bound that does not hold fails the
// case (with the deadline's code) rather than hanging the suite.
platform::TransferBounds bounded() {
  platform::TransferBounds b;
  b.deadline = 20s;
  return b;
}

platform::TransferBounds capped(uint64_t maxBytes) {
  platform::TransferBounds b = bounded();
  b.maxBytes = maxBytes;
  return b;
}

// For the endless bodies, whose first piece Wine's urlmon may take seconds to report (see below).
platform::TransferBounds patientlyCapped(uint64_t maxBytes) {
  platform::TransferBounds b = capped(maxBytes);
  b.deadline = 60s;
  return b;
}

platform::TransferBounds rateFloor(std::chrono::milliseconds window) {
  platform::TransferBounds b = bounded();
  b.rateWindow = window;
  b.minBytesPerSecond = 1024;
  return b;
}

// An address of the case's own under `mode`, so urlmon's cache never answers for another case.
std::string path(const std::string& mode) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  static int counter = 0;
  return mode + std::string(info->name()) + "-" + std::to_string(++counter) + ".zip";
}

class UrlMonBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override { writeAll(target, "the good archive"); }

  int32_t fetch(const std::string& mode, platform::DownloadTerms terms) {
    const auto start = Clock::now();
    most = 0;
    const int32_t r = downloader.download({server.url(path(mode)), target, std::move(terms)},
                                          [this](uint64_t done, uint64_t) {
                                            most = std::max(most, done);
                                            return true;
                                          });
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return r;
  }
  int32_t fetch(const std::string& mode, const platform::TransferBounds& bounds) {
    return fetch(mode, {bounds, {}});
  }

  void expectOldFileKept() {
    EXPECT_EQ(readAll(target), "the good archive");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"}) << "a temporary was left behind";
  }

  FaultServer server;
  CaseDir dir;
  const std::string target = dir.file("keep.zip");
  platform::win32::UrlMonDownloader downloader;
  uint64_t most = 0;
  double seconds = 0;
};

// The files in the platform's cache whose names start with `stem` (wininet names a cache file after
// the address's last part: "name[0]", "name[1].zip").
std::vector<std::wstring> cacheFilesOf(const std::wstring& stem) {
  wchar_t root[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_INTERNET_CACHE, nullptr, 0, root);
  std::vector<std::wstring> found;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const std::wstring name = it->path().filename().wstring();
    if (name.rfind(stem, 0) == 0) found.push_back(it->path().wstring());
  }
  return found;
}

// At a pace a fast line brings (a 64 KiB piece every 5 ms, some 12 MB/s) the transfer stops within a
// few pieces of its cap, and the part in the platform's cache goes too.
TEST_F(UrlMonBoundsTest, AnEndlessBodyStopsNearItsCapAndLeavesNothingInTheCache) {
  constexpr uint64_t kCap = 4 << 20;
  const std::string url = path("/endless/5/");
  EXPECT_EQ(downloader.download({server.url(url), target, {patientlyCapped(kCap), {}}}, {}), dr::kTooLarge);
  EXPECT_LT(server.endlessBytes(), kCap + (8u << 20)) << "the body ran on far past its cap";
  expectOldFileKept();
  const std::string name = url.substr(url.rfind('/') + 1);
  const std::wstring stem(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(name.find('.')));
  EXPECT_TRUE(cacheFilesOf(stem + L"[").empty()) << "the refused body stayed in the cache";
}

// As fast as loopback goes, Wine's HTTP layer reads ahead into its cache file (hundreds of MB in a few
// seconds, tried) and tells urlmon nothing meanwhile, so the stop comes late there; it still comes,
// as a failure, with the old archive kept. The case allows a minute before the deadline would end it.
TEST_F(UrlMonBoundsTest, AnEndlessBodyAtLoopbackSpeedStillEndsOverItsCap) {
  EXPECT_EQ(fetch("/endless/0/", patientlyCapped(1 << 20)), dr::kTooLarge);
  expectOldFileKept();
}

TEST_F(UrlMonBoundsTest, ALengthAnnouncedOverTheCapIsRefusedBeforeTheBody) {
  for (const char* mode : {"/announce/10737418240/", "/bytes/2000/"}) {
    EXPECT_EQ(fetch(mode, capped(1999)), dr::kTooLarge) << mode;
    EXPECT_EQ(most, 0u) << mode << ": body bytes were taken in";
    EXPECT_LT(seconds, 10.0) << mode;
    expectOldFileKept();
  }
}

TEST_F(UrlMonBoundsTest, ABodyOfExactlyItsCapArrivesAndOneByteMoreDoesNot) {
  EXPECT_EQ(fetch("/bytes/20000/", capped(20000)), dr::kOk);
  EXPECT_EQ(readAll(target), pattern(20000));
  EXPECT_EQ(fetch("/open/20000/", capped(20000)), dr::kOk) << "without a length";
  EXPECT_EQ(readAll(target), pattern(20000));
  writeAll(target, "the good archive");
  EXPECT_EQ(fetch("/open/300001/", capped(300000)), dr::kTooLarge) << "without a length, one byte over";
  expectOldFileKept();
}

TEST_F(UrlMonBoundsTest, AServerThatDripsABytePerPieceEndsAtTheRateFloor) {
  EXPECT_EQ(fetch("/drip/100000/", rateFloor(2s)), dr::kTimedOut);
  EXPECT_GE(seconds, 1.9);
  EXPECT_LT(seconds, 8.0) << "the floor is averaged over 2 s";
  expectOldFileKept();
}

TEST_F(UrlMonBoundsTest, ADeadlineEndsATransferThatKeepsItsPace) {
  platform::TransferBounds bounds;
  bounds.deadline = 1500ms;
  // 40 KiB/s, far above the floor, for ten seconds.
  EXPECT_EQ(fetch("/slow/400000/", bounds), dr::kTimedOut);
  EXPECT_GE(seconds, 1.4);
  EXPECT_LT(seconds, 6.0);
  expectOldFileKept();
}

TEST_F(UrlMonBoundsTest, TheAcceptanceCheckSeesTheWholeBodyAndARefusalKeepsTheOldArchive) {
  int calls = 0;
  std::string seen, targetMeanwhile;
  const DWORD downloading = GetCurrentThreadId();
  DWORD checkedOn = 0;
  const auto refuse = [&](const std::string& temporary) {
    ++calls;
    checkedOn = GetCurrentThreadId();
    seen = readAll(temporary);
    targetMeanwhile = readAll(target);
    return false;
  };
  EXPECT_EQ(fetch("/bytes/150000/", {bounded(), refuse}), dr::kNotAccepted);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(checkedOn, downloading) << "the check runs on the downloading thread";
  EXPECT_EQ(seen, pattern(150000));
  EXPECT_EQ(targetMeanwhile, "the good archive");
  expectOldFileKept();

  const auto broken = [](const std::string&) -> bool { throw std::runtime_error("digest unavailable"); };
  EXPECT_EQ(fetch("/bytes/1000/", {bounded(), broken}), dr::kNotAccepted);
  expectOldFileKept();
  EXPECT_EQ(fetch("/404/", {bounded(), refuse}), dr::kNotFound);
  EXPECT_EQ(calls, 1) << "a failed transfer is not offered to the check";
  EXPECT_EQ(fetch("/bytes/1000/", {bounded(), [](const std::string&) { return true; }}), dr::kOk);
  EXPECT_EQ(readAll(target), pattern(1000));
}

// Through the worker, as the download-all road runs it: the failure handler hears the code, the
// completion handler nothing, and the archive of an earlier day stays.
TEST_F(UrlMonBoundsTest, AWorkerWhoseArchiveGrowsPastItsCapEndsAtTheFailureHandler) {
  platform::win32::Win32Dialogs dialogs;
  platform::win32::Win32MainLoop loop(dialogs);
  std::atomic<int> completions{0}, errors{0};
  std::atomic<int32_t> code{0};
  download::TFileDownLoadThread worker(
      downloader, loop, {server.url(path("/endless/5/")), target, {patientlyCapped(512 * 1024), {}}},
      [](download::TFileDownLoadThread&, uint32_t, uint32_t) {},
      [&](download::TFileDownLoadThread&) { ++completions; },
      [&](download::TFileDownLoadThread&, int32_t c) {
        code = c;
        ++errors;
      },
      false);
  ASSERT_TRUE(pumpUntil(loop, [&] { return worker.finished(); }));
  worker.waitFor();
  EXPECT_EQ(completions, 0);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(code, dr::kTooLarge) << std::hex << code;
  expectOldFileKept();
}

// A window of the test's own that counts its paints.
class PaintCounter {
 public:
  PaintCounter() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QvPaintCounter";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"paints", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                            nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd_);
  }
  ~PaintCounter() { DestroyWindow(hwnd_); }
  PaintCounter(const PaintCounter&) = delete;
  PaintCounter& operator=(const PaintCounter&) = delete;
  HWND hwnd() const { return hwnd_; }
  int paints() const { return paints_; }
  void reset() { paints_ = 0; }

 private:
  static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
      auto* self = reinterpret_cast<PaintCounter*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (self != nullptr) ++self->paints_;
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  HWND hwnd_ = nullptr;
  std::atomic<int> paints_{0};
};

class CatalogueBoundsTest : public UrlMonBoundsTest {
 protected:
  // The load error of the catalogue at `mode`, fetched within `bounds`, or a failure when it loads.
  std::string loadError(const std::string& mode, const platform::TransferBounds& bounds) {
    platform::win32::MsxmlFactory factory(downloader, dir.file(""), bounds);
    auto doc = factory.createDocument();
    const std::string url = server.url(path(mode));
    try {
      doc->load(url);
    } catch (const platform::XmlLoadError& e) {
      const std::string text = e.what();
      const std::string head = "Could not fetch " + url + ": ";
      EXPECT_EQ(text.rfind(head, 0), 0u) << text;
      return text.substr(head.size());
    }
    ADD_FAILURE() << url << " loaded";
    return {};
  }
};

TEST_F(CatalogueBoundsTest, AnEndlessOrDrippingCatalogueIsALoadErrorThatSaysWhy) {
  EXPECT_EQ(loadError("/endless/5/", patientlyCapped(64 * 1024)),
            "it is larger than the 64 KiB a catalogue may be (0x800700DF).\r\nLine: 0\r\n");
  const std::string slow = loadError("/drip/5000/", rateFloor(1500ms));
  EXPECT_EQ(slow.rfind("the server was too slow: ", 0), 0u) << slow;
  EXPECT_NE(slow.find("less than 1 KiB a second"), std::string::npos) << slow;
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.zip"}) << "the fetched copy stayed behind";
}

// The window thread waits for the catalogue; whatever needs repainting meanwhile (another window
// passed over it) is repainted then, not when the catalogue has come.
TEST_F(CatalogueBoundsTest, TheWindowKeepsPaintingWhileTheCatalogueArrives) {
  PaintCounter window;
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
  window.reset();
  std::atomic<bool> loading{true};
  std::atomic<int> invalidated{0};
  std::thread passer([&] {
    while (loading) {
      InvalidateRect(window.hwnd(), nullptr, TRUE);
      ++invalidated;
      Sleep(100);
    }
  });
  // 4 KiB every 100 ms: about two seconds; not a catalogue, so the load fails once it has arrived.
  const auto start = Clock::now();
  platform::win32::MsxmlFactory factory(downloader, dir.file(""), bounded());
  auto doc = factory.createDocument();
  EXPECT_THROW(doc->load(server.url(path("/slow/80000/"))), platform::XmlLoadError);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const int paintsDuringTheWait = window.paints();
  loading = false;
  passer.join();
  ASSERT_GT(seconds, 1.0) << "the fetch was meant to take a while";
  EXPECT_GE(paintsDuringTheWait, 5) << "over " << seconds << " s and " << invalidated.load()
                                    << " invalidations";
}

}  // namespace
}  // namespace qv::in_process
