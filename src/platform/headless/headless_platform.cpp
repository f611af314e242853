#include "platform/headless/headless_platform.h"

namespace qv::platform::headless {

HeadlessPlatform::HeadlessPlatform(std::string programPath, std::string lockDirectory)
    : programPath_(std::move(programPath)),
      loop_(dialogs_),
      ui_(loop_, dialogs_),
      instance_(std::move(lockDirectory)),
      downloader_(makeDownloader()),
      xml_(makeXmlFactory()) {}

}  // namespace qv::platform::headless
