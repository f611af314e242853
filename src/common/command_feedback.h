#pragma once
// What a long command tells the player while it runs: a status line and a progress bar. The commands
// live in their subsystems and know no window; the main window hands them its label and bar through
// this, and tests hand them a recorder.
#include <string>

namespace qv {

class CommandFeedback {
 public:
  virtual ~CommandFeedback() = default;
  virtual void showStatus(const std::string& text) = 0;
  virtual void setProgressMax(int max) = 0;
  virtual void setProgress(int position) = 0;
};

}  // namespace qv
