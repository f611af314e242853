#pragma once
// The main window's status line and progress bar, as the subsystems' commands report to them.
#include "common/command_feedback.h"
#include "platform/ui.h"

namespace qv::mainwindow {

class WindowFeedback final : public CommandFeedback {
 public:
  WindowFeedback(platform::Label& status, platform::ProgressBar& bar) : status_(status), bar_(bar) {}
  void showStatus(const std::string& text) override { status_.setText(text); }
  void setProgressMax(int max) override { bar_.setMax(max); }
  void setProgress(int position) override { bar_.setPosition(position); }

 private:
  platform::Label& status_;
  platform::ProgressBar& bar_;
};

}  // namespace qv::mainwindow
