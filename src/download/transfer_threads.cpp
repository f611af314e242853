#include "download/transfer_threads.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace qv::download {

namespace {
// Requests per thread that the threads may take on their own between two notices.
constexpr size_t kRunAheadPerThread = 4;
}  // namespace

// Every field but `thread` is under the state's lock.
struct TransferThreads::Thread {
  std::thread thread;
  std::condition_variable wake;            // an idle thread waits on it for `next`
  std::optional<TransferRequest> next;     // given to this thread, not yet begun
  TFileDownLoadThread* current = nullptr;  // the transfer under way, for a stop to terminate
  bool ended = false;                      // past its last use of the state, all but its return
};

// Shared by the pool and its threads; every field below the lock is under it.
struct TransferThreads::State {
  State(platform::UrlDownloader& d, platform::MainLoop& loop, size_t max, std::chrono::milliseconds linger)
      : downloader(d), gate(loop), maxThreads(max), idleLinger(linger) {}

  platform::UrlDownloader& downloader;
  WorkerGate gate;
  const size_t maxThreads;
  const std::chrono::milliseconds idleLinger;

  mutable std::mutex mutex;
  WaitingTransfers queue;
  bool holding = false;
  bool stopping = false;
  bool cutOff = false;          // a stop gave up on the threads left
  std::list<Thread> threads;    // every thread not yet joined
  std::vector<Thread*> idle;    // threads waiting for a request, the one that waited least last
  std::vector<Thread*> toWake;  // idle threads given a request, woken once the lock is released; main thread only
  size_t live = 0;              // threads whose loop still runs
  size_t endedThreads = 0;      // threads that ended and wait to be joined
  // What the main thread has heard: `taken` transfers given to threads and not yet heard of as ended,
  // `ended` of them ended, `covered` of those reported by the notice under way.
  size_t taken = 0;
  size_t ended = 0;
  size_t covered = 0;
  bool noticePosted = false;
  // How many more requests the threads may take on their own as they end transfers, before the main
  // thread hears of ends again (see hearEnds).
  size_t runAhead = 0;
  uint64_t epoch = 0;  // a stop makes the notices posted before it void
};

TransferThreads::TransferThreads(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                                 size_t maxThreads, std::chrono::milliseconds idleLinger)
    : state_(std::make_shared<State>(downloader, mainLoop, std::max<size_t>(1, maxThreads), idleLinger)) {}

TransferThreads::~TransferThreads() { abandon(); }

WorkerGate& TransferThreads::gate() { return state_->gate; }

void TransferThreads::threadBody(std::shared_ptr<State> state, Thread* self) {
  State& s = *state;
  std::unique_lock lock(s.mutex);
  std::optional<uint64_t> notice;  // the epoch of a notice this thread is to post
  for (;;) {
    if (!self->next) {
      if (s.stopping) break;
      // Idle before the notice goes, so the main thread hearing of the end finds this thread free.
      s.idle.push_back(self);
    }
    if (notice) {
      lock.unlock();
      // The notice holds the state weakly: one still queued when everything is gone does nothing.
      s.gate.post([weak = std::weak_ptr<State>(state), epoch = *notice] { hearEnds(weak, epoch); });
      notice.reset();
      lock.lock();
    }
    if (!self->next) {
      self->wake.wait_for(lock, s.idleLinger, [&] { return self->next || s.stopping; });
      if (!self->next) {
        // Idle for the whole linger, or stopped: nobody gives this thread anything any more. The pool
        // makes a new one when it needs one.
        s.idle.erase(std::find(s.idle.begin(), s.idle.end(), self));
        break;
      }
    }
    TransferRequest request = std::move(*self->next);
    self->next.reset();
    const std::string fileKey = request.fileKey;
    lock.unlock();
    runTransfer(s, *self, std::move(request));
    lock.lock();
    s.queue.finished(fileKey);
    ++s.ended;
    // Otherwise the notice under way posts the one that reports this end.
    if (!s.noticePosted) {
      s.noticePosted = true;
      s.covered = s.ended;
      notice = s.epoch;
    }
    // The next request in the same step as the end, so the main thread never finds this thread's
    // transfers in neither count.
    if (s.runAhead > 0 && !s.stopping && !s.holding) {
      if (std::optional<TransferRequest> following = s.queue.takeNext()) {
        --s.runAhead;
        ++s.taken;
        self->next = std::move(following);
      }
    }
  }
  // Stopped, or idle too long. A notice left unposted is one only a stop leaves, and a stop hears of
  // every end itself.
  self->current = nullptr;
  self->ended = true;
  --s.live;
  ++s.endedThreads;
}

void TransferThreads::runTransfer(State& s, Thread& self, TransferRequest request) {
  // No exception leaves the thread: a transfer whose worker cannot even be made simply ends.
  try {
    // The progress handler runs on the main thread through the gate's hand-off; the other two run on
    // this thread, so the gate wraps them.
    TFileDownLoadThread worker(s.downloader, s.gate, std::move(request.request), std::move(request.onProgress),
                               s.gate.guard(std::move(request.onComplete)), s.gate.guard(std::move(request.onError)),
                               true);
    struct Current {
      State& s;
      Thread& self;
      Current(State& state, Thread& thread, TFileDownLoadThread& worker) : s(state), self(thread) {
        std::lock_guard lock(s.mutex);
        self.current = &worker;
        // A stop that began after the request was given to this thread did not see this worker.
        if (s.stopping) worker.terminate();
      }
      ~Current() {
        std::lock_guard lock(s.mutex);
        self.current = nullptr;
      }
      Current(const Current&) = delete;
      Current& operator=(const Current&) = delete;
    } current(s, self, worker);
    worker.runHere();
  } catch (...) {
  }
}

// One notice reports the ends recorded before it was posted, so it always runs after the calls those
// transfers' handlers posted, and gives the threads now idle the next requests. Ends recorded since
// then get a notice of their own, posted from here: one post for all the ends that came while the
// main thread was busy with the one before.
//
// It also lets the threads take a few requests each on their own as they end transfers, until the
// next notice. In a run of transfers a thread then goes from one to the next without sleeping, and
// the main thread need not wake it (under Wine a round trip to the server for both threads, on every
// transfer). So the pool runs at most that far ahead of what the main thread has heard; before the
// first end is heard, and after a stop, every transfer begins from the main thread.
void TransferThreads::hearEnds(const std::weak_ptr<State>& weak, uint64_t epoch) {
  const std::shared_ptr<State> state = weak.lock();
  if (!state) return;
  State& s = *state;
  bool more;
  {
    std::lock_guard lock(s.mutex);
    if (epoch != s.epoch) return;
    s.taken -= s.covered;
    s.ended -= s.covered;
    s.covered = s.ended;
    more = s.ended > 0;
    if (!more) s.noticePosted = false;
    // A thread that cannot be made now is made by the next start or notice; the threads there go on.
    try {
      while (assignLocked(state)) {
      }
    } catch (...) {
    }
    s.runAhead = s.maxThreads * kRunAheadPerThread;
  }
  wakeGiven(s);
  if (!more) return;
  s.gate.post([weak, epoch] { hearEnds(weak, epoch); });
}

void TransferThreads::wakeGiven(State& s) {
  // Woken under the lock, a thread would only wait for it again, and the main thread then would have
  // to wake it twice.
  for (Thread* thread : s.toWake) thread->wake.notify_one();
  s.toWake.clear();
}

bool TransferThreads::assignLocked(const std::shared_ptr<State>& state) {
  State& s = *state;
  if (s.holding || s.stopping || (s.idle.empty() && s.live >= s.maxThreads)) return false;
  std::optional<TransferRequest> request = s.queue.takeNext();
  if (!request) return false;
  ++s.taken;
  if (!s.idle.empty()) {
    Thread* thread = s.idle.back();
    s.idle.pop_back();
    thread->next = std::move(request);
    s.toWake.push_back(thread);
    return true;
  }
  Thread& thread = s.threads.emplace_back();
  thread.next = std::move(request);
  try {
    thread.thread = std::thread(threadBody, state, &thread);
  } catch (...) {
    --s.taken;
    s.queue.putBack(std::move(*thread.next));
    s.threads.pop_back();
    throw;
  }
  ++s.live;
  return true;
}

void TransferThreads::add(TransferRequest request) {
  State& s = *state_;
  bool joinEnded;
  {
    std::lock_guard lock(s.mutex);
    s.queue.push(std::move(request));
    try {
      while (assignLocked(state_)) {
      }
    } catch (...) {
      // Nobody is left to take it: the caller hears of it instead.
      if (s.live == 0) {
        s.queue.dropLast();
        throw;
      }
    }
    joinEnded = s.endedThreads > 0;
  }
  wakeGiven(s);
  if (joinEnded) reap();
}

void TransferThreads::hold() {
  std::lock_guard lock(state_->mutex);
  state_->holding = true;
}

void TransferThreads::release() {
  State& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    s.holding = false;
    try {
      while (assignLocked(state_)) {
      }
    } catch (...) {
      // The threads already there take the rest in turn; with none, the error is the caller's.
      if (s.live == 0) throw;
    }
  }
  wakeGiven(s);
}

void TransferThreads::dropWaiting() {
  std::lock_guard lock(state_->mutex);
  state_->queue.clear();
}

size_t TransferThreads::waiting() const {
  std::lock_guard lock(state_->mutex);
  return state_->queue.size();
}

size_t TransferThreads::running() const {
  std::lock_guard lock(state_->mutex);
  return state_->taken;
}

size_t TransferThreads::held() const {
  std::lock_guard lock(state_->mutex);
  return state_->queue.size() + state_->taken + (state_->cutOff ? state_->threads.size() : 0);
}

void TransferThreads::beginStop() {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  s.queue.clear();
  s.stopping = true;
  s.runAhead = 0;
  for (Thread& t : s.threads) {
    if (t.current != nullptr) t.current->terminate();
    t.wake.notify_one();
  }
}

bool TransferThreads::inTransfer() const {
  std::lock_guard lock(state_->mutex);
  return state_->live > 0;
}

bool TransferThreads::endStop() {
  reap();
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  // The ends not heard of yet count as heard; notices still queued find a new epoch.
  s.taken = s.ended = s.covered = s.runAhead = 0;
  s.noticePosted = false;
  ++s.epoch;
  if (s.threads.empty()) {
    s.queue.reset();
    s.stopping = false;
    s.cutOff = false;
    return true;
  }
  s.queue.clear();
  s.cutOff = true;
  return false;
}

void TransferThreads::reap() {
  std::list<Thread> ended;
  {
    std::lock_guard lock(state_->mutex);
    auto& threads = state_->threads;
    for (auto it = threads.begin(); it != threads.end();) {
      const auto next = std::next(it);
      if (it->ended) ended.splice(ended.end(), threads, it);
      it = next;
    }
    state_->endedThreads = 0;
  }
  // Each has left the state; joining only waits for its last return.
  for (Thread& t : ended) t.thread.join();
}

void TransferThreads::abandon() {
  std::lock_guard lock(state_->mutex);
  for (Thread& t : state_->threads)
    if (t.thread.joinable()) t.thread.detach();
}

}  // namespace qv::download
