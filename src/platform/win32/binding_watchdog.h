#pragma once
// Ends a urlmon transfer that waits too long for its server, or that brings more than its cap.
//
// While a server holds a connection open without sending (before its answer or in the middle of a
// body), urlmon reports nothing, so the binding-status callback never runs and cannot answer abort.
// The watchdog counts from the last sign of life urlmon gave and, when a limit runs out, aborts the
// binding from a thread of its own: the connect limit while the transfer is finding or connecting to a
// server, the silence limit once it is connected. It keeps the deadline and the rate floor of the
// transfer's bounds the same way (TransferPace): a server that drips a byte now and then is never
// silent for long, and must still be stopped. urlmon then ends the transfer as aborted.
//
// Nor do urlmon's figures keep up with a fast body: its reports lag behind what the HTTP layer has
// written. So the watchdog also measures the files the body goes to (the temporary file, and the
// platform's cache file once the binding names it) 50 times a second: what they hold counts as bytes
// arrived (a sign of life, the rate's figure), and more than the cap stops the transfer, with the
// abort at once and the callback's abort answer at the next report. stop() asks for the same, for a
// cap the callback saw broken (an announced length), since not every urlmon honours the callback's
// own answer (Wine's read on after OnResponse had answered it).
//
// What no one outside the platform can stop: when the server is faster than about 30 MB/s (loopback,
// a LAN), Wine's HTTP layer reads an unannounced body ahead into its cache file without a word to
// urlmon (hundreds of MB in a few seconds, tried), and neither the abort nor the answer acts until
// urlmon reports again. At the pace of a fast line (12 MB/s, tried) the stop comes within a few
// pieces of the cap. Windows' urlmon is documented to report BINDSTATUS_DOWNLOADINGDATA as the data
// arrives, which this machine cannot show.
//
// The transfer's thread gives the binding and the signs (from the callback); the watchdog keeps its
// reference to the binding until it is destroyed, on that same thread, so the binding is never
// released from the watchdog's thread or while an abort is under way.
#include <windows.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/transfer_pace.h"
#include "platform/url_download.h"

namespace qv::platform::win32 {

class BindingWatchdog {
 public:
  enum class Phase { Connecting, Connected };

  // How often the body's files are measured.
  static constexpr std::chrono::milliseconds kMeasureEvery{20};

  // Starts the clock, in the connecting phase, and the watching thread, which measures
  // `temporaryFile` from then on.
  BindingWatchdog(const TransferBounds& bounds, std::wstring temporaryFile);
  // Stops the watching thread and releases the binding.
  ~BindingWatchdog();
  BindingWatchdog(const BindingWatchdog&) = delete;
  BindingWatchdog& operator=(const BindingWatchdog&) = delete;

  // The transfer's binding, as OnStartBinding receives it. Only the first one counts.
  void watch(IBinding* binding);
  // Another file the body is written to (urlmon's cache file), measured from now on.
  void watchFile(std::wstring path);
  // A sign of life: the clock starts again, with the limit of that phase. `bytes`: the body's bytes so
  // far, as the sign tells them (the largest seen counts).
  void sign(Phase phase, uint64_t bytes = 0);
  // The server's answer has begun: the rate floor counts from here.
  void answered();
  // Aborts the binding now (or as soon as it is known), for a reason of the caller's.
  void stop();
  // True once a time limit has run out; the binding has been aborted, or will be as soon as it is known.
  bool expired() const;
  // True once the body's files held more than the cap; the binding has been aborted likewise.
  bool overCap() const;
  // The cache file being measured, or empty.
  std::wstring cacheFile() const;

  // The phase a binding-status code (BINDSTATUS_*) tells of: looking up, connecting to or being
  // redirected to a server is connecting; everything else happens on a connection that stands.
  static Phase phaseOf(ULONG statusCode);

 private:
  void run();
  // The largest of the watched files' sizes; called unlocked.
  uint64_t measure(const std::wstring& cacheFile) const;

  using Clock = std::chrono::steady_clock;
  const TransferBounds bounds_;
  const std::wstring temporaryFile_;
  mutable std::mutex mutex_;
  TransferPace pace_;
  uint64_t bytes_ = 0;
  std::wstring cacheFile_;
  std::condition_variable wake_;
  Microsoft::WRL::ComPtr<IBinding> binding_;
  Clock::time_point lastSign_;
  Phase phase_ = Phase::Connecting;
  bool expired_ = false;
  bool overCap_ = false;
  bool stopRequested_ = false;
  bool aborted_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace qv::platform::win32
