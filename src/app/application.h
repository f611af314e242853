#pragma once
// The program entry, platform-neutral: the single-instance guard, the two forms and the main loop.
// Each platform's entry point builds its Platform and calls runApplication.
#include <string>

#include "platform/platform.h"

namespace qv::app {

// Runs the program to its end; the exit code is always 0. `caption` is the main window's caption as
// the entry point was built with it.
int runApplication(platform::Platform& platform, const std::string& caption);

}  // namespace qv::app
