#pragma once
// The program entry, platform-neutral: the single-instance guard, the two forms and the main loop.
// Each platform's entry point builds its Platform and calls runApplication.
#include "platform/platform.h"

namespace qv::app {

// Runs the program to its end; the exit code is always 0.
int runApplication(platform::Platform& platform);

}  // namespace qv::app
