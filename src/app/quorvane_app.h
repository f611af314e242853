#pragma once
// The composition root: the single-instance guard, the main window and the settings dialog, in the
// order the program creates them. Tests drive the same object with the headless platform.
#include <memory>

#include "download/server_resources.h"
#include "mainwindow/main_window.h"
#include "platform/platform.h"
#include "settings/settings_dialog.h"

namespace qv::app {

class QuorvaneApp {
 public:
  explicit QuorvaneApp(platform::Platform& platform,
                       download::ServerResources server = download::ServerResources::builtIn(),
                       mainwindow::WindowSettings window = mainwindow::WindowSettings::builtIn())
      : platform_(platform), server_(std::move(server)), window_(std::move(window)) {}

  // Up to the main loop: false when another instance runs (the message has been shown then).
  bool start();

  mainwindow::TForm1& form1() { return *form1_; }
  settings::TForm2& form2() { return *form2_; }

 private:
  platform::Platform& platform_;
  download::ServerResources server_;
  mainwindow::WindowSettings window_;
  std::unique_ptr<mainwindow::TForm1> form1_;
  std::unique_ptr<settings::TForm2> form2_;
};

}  // namespace qv::app
