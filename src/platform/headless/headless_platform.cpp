#include "platform/headless/headless_platform.h"

namespace qv::platform::headless {

HeadlessPlatform::HeadlessPlatform(std::string programPath, std::string lockDirectory)
    : programPath_(std::move(programPath)),
      loop_(dialogs_),
      ui_(loop_, dialogs_),
      instance_(std::move(lockDirectory)),
      downloader_(std::make_unique<CurlDownloader>()),
      xml_(std::make_unique<PugixmlFactory>()) {}

}  // namespace qv::platform::headless
