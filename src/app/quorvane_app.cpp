#include "app/quorvane_app.h"

namespace qv::app {

bool QuorvaneApp::start() {
  // The guard comes before any window, and is held until the process ends.
  if (!platform_.singleInstance().acquire("Quorvane")) {
    platform_.dialogs().message("程式已經開啟");
    return false;
  }
  // The program's own files lie beside the running executable, wherever the process was started from.
  const ProgramFiles files(platform_.programPath());
  form1_ = std::make_unique<mainwindow::TForm1>(platform_, files, server_, window_);
  form2_ = std::make_unique<settings::TForm2>(platform_, files);
  form1_->attachSettingsDialog(*form2_);
  // The main loop shows the main window first, which runs its show step.
  form1_->form().show();
  return true;
}

}  // namespace qv::app
