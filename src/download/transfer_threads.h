#pragma once
// TransferThreads: the few long-lived threads the download pool runs its transfers on, and the
// requests waiting for them.
//
// Requests go to threads in start order (the first whose file nobody is writing): from the main
// thread, to an idle thread or a new one, when a request is added, when the hold is released and when
// the main thread hears of ended transfers; and, after the main thread has heard of ends, a few more
// that the threads take themselves as they end transfers, so that in a run of transfers a thread goes
// from one to the next without being woken (see hearEnds in the source). A request a thread takes
// counts as running from that moment, in the same step as the end that freed the thread, so running()
// and waiting() read on the main thread never both miss it. The main thread neither starts nor joins
// a thread per transfer: under Wine either costs the window a good part of a millisecond, and a
// catalogue of 10,000 rows starts as many transfers. Threads are made when requests find none idle, at
// most maxThreads of them, and end after idling for idleLinger (or at a stop).
//
// Each transfer gets a TFileDownLoadThread of its own, made and run on the thread that takes it, so
// its handlers see their own request and nothing of the one before. Its progress hand-off and its
// completion and failure handlers pass through the gate. The main thread hears of ended transfers
// through one posted call per batch of ends (hearEnds), each posted after the ends it reports were
// recorded, so it hears of a transfer's end only after every call its handlers posted.
//
// The threads keep the state they share with the pool alive themselves: a thread stuck inside the
// platform when the pool goes finds its state, gate shut, when it comes back, and only ends.
//
// Main thread only, unless a member says otherwise.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "download/waiting_transfers.h"
#include "download/worker_gate.h"

namespace qv::download {

class TransferThreads {
 public:
  TransferThreads(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop, size_t maxThreads,
                  std::chrono::milliseconds idleLinger);
  // Lets go of threads still running (see abandon()).
  ~TransferThreads();
  TransferThreads(const TransferThreads&) = delete;
  TransferThreads& operator=(const TransferThreads&) = delete;

  // Queues a request; a thread takes it as soon as one is free and its file is not being written,
  // unless the threads are held. Throws when no thread can be made and none is left to take it.
  void add(TransferRequest request);
  // While held, no thread takes a request; release() lets them take every waiting one.
  void hold();
  void release();
  // Forgets the requests that no thread has taken.
  void dropWaiting();

  size_t waiting() const;
  // Transfers taken by a thread whose end the main thread has not heard of yet.
  size_t running() const;
  // The waiting and running ones, and the threads a stop gave up on that have not been joined yet
  // (each inside a transfer), read at one moment.
  size_t held() const;

  // Stopping, in three steps with the pool's wait between them: beginStop() drops the waiting
  // requests, asks the running transfers to terminate and the idle threads to end; inTransfer() tells
  // whether a thread has still not ended; endStop() joins the threads that have, and true then when
  // none is left, after which the threads take requests again. Otherwise the rest are cut off: they
  // are never joined here, nothing is taken any more, and reap() joins them once they have ended.
  void beginStop();
  bool inTransfer() const;
  bool endStop();
  // Joins threads that have ended (idle ones and cut-off ones).
  void reap();
  // Lets every remaining thread run on alone, detached; what it touches stays alive with it.
  void abandon();

  // What the threads reach the main loop and their handlers through.
  WorkerGate& gate();

 private:
  struct State;
  struct Thread;
  static void threadBody(std::shared_ptr<State> state, Thread* self);
  static void runTransfer(State& state, Thread& self, TransferRequest request);
  static void hearEnds(const std::weak_ptr<State>& state, uint64_t epoch);
  // Under the lock: gives the next request that can run to an idle thread or a new one; false when
  // none can. Throws when a thread cannot be made (the request waits again).
  static bool assignLocked(const std::shared_ptr<State>& state);
  // After the lock: wakes the idle threads assignLocked() gave a request.
  static void wakeGiven(State& state);

  std::shared_ptr<State> state_;
};

}  // namespace qv::download
