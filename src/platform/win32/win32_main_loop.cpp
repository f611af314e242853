#include "platform/win32/win32_main_loop.h"

#include <future>
#include <memory>

#include "platform/error_boundary.h"
#include "platform/win32/child_window.h"

namespace qv::platform::win32 {

namespace {
constexpr wchar_t kSinkClass[] = L"QuorvaneMainThreadCalls";
constexpr wchar_t kFormProp[] = L"Quorvane.Form";
constexpr UINT kRunPosted = WM_APP + 1;
constexpr UINT_PTR kAfterPaintTimer = 1;

// The filter of the program's one main loop. dispatchLoopMessage is shared by every loop of the main
// thread (the modal ones too), so the filter lives beside it rather than in the loop object.
MessageFilter& messageFilter() {
  static MessageFilter filter;
  return filter;
}

// A queued message as the filter sees it.
class QueuedMessage : public LoopMessage {
 public:
  explicit QueuedMessage(const MSG& msg) : msg_(msg) {}
  unsigned id() const override { return msg_.message; }
  bool targetsInside(const Control& control) const override {
    const auto* window = dynamic_cast<const ChildWindow*>(&control);
    HWND outer = window != nullptr ? window->hwnd() : nullptr;
    return outer != nullptr && msg_.hwnd != nullptr && (msg_.hwnd == outer || ::IsChild(outer, msg_.hwnd));
  }

 private:
  const MSG& msg_;
};

// True when the filter took the message. A filter that fails lets the message pass.
bool filteredOut(const MSG& msg) {
  const MessageFilter& filter = messageFilter();
  if (!filter || msg.hwnd == nullptr) return false;
  bool handled = false;
  const QueuedMessage queued(msg);
  try {
    handled = filter(queued);
  } catch (...) {
    handled = false;
  }
  return handled;
}
}  // namespace

void markAsForm(HWND hwnd) { ::SetPropW(hwnd, kFormProp, reinterpret_cast<HANDLE>(1)); }

void dispatchLoopMessage(MSG& msg) {
  if (filteredOut(msg)) return;
  HWND root = msg.hwnd != nullptr ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root != nullptr && ::GetPropW(root, kFormProp) != nullptr && ::IsDialogMessageW(root, &msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

Win32MainLoop::Win32MainLoop(Dialogs& dialogs) : dialogs_(dialogs), mainThread_(::GetCurrentThreadId()) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = sinkProc;
  wc.hInstance = instance;
  wc.lpszClassName = kSinkClass;
  ::RegisterClassExW(&wc);
  sink_.reset(::CreateWindowExW(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
  ::SetWindowLongPtrW(sink_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32MainLoop::~Win32MainLoop() {
  ::SetWindowLongPtrW(sink_.get(), GWLP_USERDATA, 0);
  sink_.close();
  // Dropping the queued calls releases any worker still waiting in invokeSync (see there).
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(queue_);
  }
}

LRESULT CALLBACK Win32MainLoop::sinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kRunPosted) {
    auto* self = reinterpret_cast<Win32MainLoop*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    try {
      if (self != nullptr) self->runOnePosted();
    } catch (...) {
      // Only the queue itself can fail here (the call runs inside the error boundary); nothing
      // may unwind through the system's dispatcher.
    }
    return 0;
  }
  if (msg == WM_TIMER && wp == kAfterPaintTimer) {
    ::KillTimer(hwnd, kAfterPaintTimer);
    auto* self = reinterpret_cast<Win32MainLoop*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    try {
      if (self != nullptr) self->runAfterPaint();
    } catch (...) {
      // As above: each call runs inside the error boundary.
    }
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32MainLoop::runAfterPaint() {
  // Calls queued by these calls wait for the next paint.
  std::deque<std::function<void()>> due;
  due.swap(afterPaint_);
  for (auto& call : due) runGuarded(dialogs_, call);
}

void Win32MainLoop::postAfterPaint(std::function<void()> call) {
  if (!onMainThread() || sink_.get() == nullptr) {
    post(std::move(call));
    return;
  }
  afterPaint_.push_back(std::move(call));
  if (afterPaint_.size() == 1 &&
      ::SetTimer(sink_.get(), kAfterPaintTimer, USER_TIMER_MINIMUM, nullptr) == 0) {
    // No timer to be had: the calls go the ordinary way, still in order.
    std::deque<std::function<void()>> now;
    now.swap(afterPaint_);
    for (auto& c : now) post(std::move(c));
  }
}

void Win32MainLoop::runOnePosted() {
  std::function<void()> call;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return;
    call = std::move(queue_.front());
    queue_.pop_front();
  }
  runGuarded(dialogs_, call);
}

void Win32MainLoop::run() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) dispatchLoopMessage(msg);
}

void Win32MainLoop::quit() {
  if (onMainThread())
    ::PostQuitMessage(0);
  else
    ::PostThreadMessageW(mainThread_, WM_QUIT, 0, 0);
}

void Win32MainLoop::post(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(call));
  }
  ::PostMessageW(sink_.get(), kRunPosted, 0, 0);
}

void Win32MainLoop::invokeSync(std::function<void()> call) {
  if (onMainThread()) {
    call();
    return;
  }
  // The worker waits until the main thread has run the call. The signal fires when the queued call
  // is destroyed, which happens after it ran or when the loop goes away with it still queued, so a
  // worker is never left waiting on a loop that no longer runs. An error inside the call is the main
  // thread's to report, through the error boundary of posted calls.
  auto finished = std::make_shared<std::promise<void>>();
  std::future<void> done = finished->get_future();
  struct Signal {
    explicit Signal(std::shared_ptr<std::promise<void>> p) : promise(std::move(p)) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    ~Signal() { promise->set_value(); }
    std::shared_ptr<std::promise<void>> promise;
  };
  auto signal = std::make_shared<Signal>(finished);
  post([call = std::move(call), signal]() mutable {
    call();
    signal.reset();
  });
  signal.reset();
  done.wait();
}

void Win32MainLoop::setMessageFilter(MessageFilter filter) { messageFilter() = std::move(filter); }

void Win32MainLoop::processMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The quit belongs to the loop further out; leave it for that loop to see.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    dispatchLoopMessage(msg);
  }
}

}  // namespace qv::platform::win32
