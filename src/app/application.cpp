#include "app/application.h"

#include "app/quorvane_app.h"

namespace qv::app {

int runApplication(platform::Platform& platform) {
  QuorvaneApp app(platform);
  if (app.start()) platform.mainLoop().run();
  return 0;
}

}  // namespace qv::app
