#include "platform/win32/message_answering_wait.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/win32_handles.h"

namespace qv::platform::win32 {

namespace {

// One look at the thread's messages: the sent ones answered, repaints done.
void answerWaitingMessages() {
  // Looking for a message dispatches the sent ones waiting; a posted one is left where it is.
  MSG message;
  ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  // Paint requests are not queued messages: the system makes one whenever a window of the thread has
  // something to repaint and the thread looks for it. A window that takes the request and does not
  // validate would make the next one at once, so a look takes a few at most.
  for (int i = 0; i < 32 && ::PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT);
       ++i)
    ::DispatchMessageW(&message);
}

class MessageAnsweringWait : public TransferWait {
 public:
  void wait(std::chrono::milliseconds timeout) override {
    // A thread that has not looked at its messages for five seconds counts as hung, and a sender that
    // does not wait on hung windows gives up on it at once: look at least a few times a second.
    constexpr DWORD kLookEveryMs = 250;
    const HANDLE event = woken_.get();
    ::MsgWaitForMultipleObjects(1, &event, FALSE,
                                std::min<DWORD>(static_cast<DWORD>(timeout.count()), kLookEveryMs),
                                QS_SENDMESSAGE | QS_PAINT);
    answerWaitingMessages();
  }
  void wake() override { ::SetEvent(woken_.get()); }

 private:
  UniqueHandle woken_{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // auto-reset
};

}  // namespace

std::shared_ptr<TransferWait> messageAnsweringWait() {
  return std::make_shared<MessageAnsweringWait>();
}

}  // namespace qv::platform::win32
