#pragma once
// Ends a urlmon transfer that waits too long for its server.
//
// While a server holds a connection open without sending (before its answer or in the middle of a
// body), urlmon reports nothing, so the binding-status callback never runs and cannot answer abort.
// The watchdog counts from the last sign of life urlmon gave and, when a limit runs out, aborts the
// binding from a thread of its own: the connect limit while the transfer is finding or connecting to a
// server, the silence limit once it is connected. It keeps the deadline and the rate floor of the
// transfer's bounds the same way (TransferPace), from the bytes the signs carry: a server that drips a
// byte now and then is never silent for long, and must still be stopped. urlmon then ends the
// transfer as aborted.
//
// The transfer's thread gives the binding and the signs (from the callback); the watchdog keeps its
// reference to the binding until it is destroyed, on that same thread, so the binding is never
// released from the watchdog's thread or while an abort is under way.
#include <urlmon.h>
#include <windows.h>
#include <wrl/client.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/transfer_pace.h"
#include "platform/url_download.h"

namespace qv::platform::win32 {

class BindingWatchdog {
 public:
  enum class Phase { Connecting, Connected };

  // Starts the clock, in the connecting phase, and the watching thread.
  explicit BindingWatchdog(const TransferBounds& bounds);
  // Stops the watching thread and releases the binding.
  ~BindingWatchdog();
  BindingWatchdog(const BindingWatchdog&) = delete;
  BindingWatchdog& operator=(const BindingWatchdog&) = delete;

  // The transfer's binding, as OnStartBinding receives it. Only the first one counts.
  void watch(IBinding* binding);
  // A sign of life: the clock starts again, with the limit of that phase. `bytes`: the body's bytes so
  // far, as the sign tells them (the largest seen counts).
  void sign(Phase phase, uint64_t bytes = 0);
  // The server's answer has begun: the rate floor counts from here.
  void answered();
  // True once a limit has run out; the binding has been aborted, or will be as soon as it is known.
  bool expired() const;

  // The phase a binding-status code (BINDSTATUS_*) tells of: looking up, connecting to or being
  // redirected to a server is connecting; everything else happens on a connection that stands.
  static Phase phaseOf(ULONG statusCode);

 private:
  void run();

  using Clock = std::chrono::steady_clock;
  const TransferBounds bounds_;
  mutable std::mutex mutex_;
  TransferPace pace_;
  uint64_t bytes_ = 0;
  std::condition_variable wake_;
  Microsoft::WRL::ComPtr<IBinding> binding_;
  Clock::time_point lastSign_;
  Phase phase_ = Phase::Connecting;
  bool expired_ = false;
  bool aborted_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace qv::platform::win32
