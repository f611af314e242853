#include "app/application.h"

#include "app/quorvane_app.h"

namespace qv::app {

int runApplication(platform::Platform& platform, const std::string& caption) {
  mainwindow::WindowSettings window = mainwindow::WindowSettings::builtIn();
  window.caption = caption;
  QuorvaneApp app(platform, download::ServerResources::builtIn(), std::move(window));
  if (app.start()) platform.mainLoop().run();
  return 0;
}

}  // namespace qv::app
