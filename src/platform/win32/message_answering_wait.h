#pragma once
// Waiting on a thread that has windows: while the wait lasts, the messages that other threads and
// processes send to its windows are answered (as a blocking COM call in this apartment would answer
// them) and its windows repaint what needs it (uncovered, resized, changed); posted messages, input
// and timers stay queued, so no command of the window runs in the middle of the wait. Without that,
// a shell or a worker that sends the window a message stays stuck for as long as the window waits
// (removing a tray icon, a download's progress report), and the window shows holes where another
// window passed over it.
#include <memory>

#include "platform/bounded_download.h"

namespace qv::platform::win32 {

std::shared_ptr<TransferWait> messageAnsweringWait();

}  // namespace qv::platform::win32
