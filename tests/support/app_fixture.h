#pragma once
// The program started on the headless platform in a fresh program directory.
#include <memory>

#include "app/quorvane_app.h"
#include "platform/headless/headless_platform.h"
#include "test_dir.h"

namespace qv::test {

class AppFixture {
 public:
  explicit AppFixture(download::ServerResources server = download::ServerResources::builtIn(),
                      mainwindow::WindowSettings window = mainwindow::WindowSettings::builtIn())
      : platform(dir.file("Quorvane.exe"), dir.str()),
        app(std::make_unique<app::QuorvaneApp>(platform, std::move(server), std::move(window))) {
    // Settings files of the target machines are Big5.
    platform.iconvCodec().setCodePages(950, 950);
  }

  bool start() { return app->start(); }

  TestDir dir;
  platform::headless::HeadlessPlatform platform;
  std::unique_ptr<app::QuorvaneApp> app;

  platform::headless::HeadlessForm& form1() { return platform.headlessUi().form("TForm1"); }
  // The settings dialog's window, made now if the program has not needed it yet.
  platform::headless::HeadlessForm& form2() {
    app->form2().form();
    return platform.headlessUi().form("TForm2");
  }
  std::vector<platform::headless::ShownBox> boxes() { return platform.headlessDialogs().boxes(); }
  std::string config() const { return dir.file("Config.ini"); }
  void writeConfig(const std::string& utf8) { writeAll(config(), platform.codec().toAnsi(utf8)); }
};

}  // namespace qv::test
