#pragma once
// Everything the program asks of the operating system, in one place. The composition root (src/app)
// receives one Platform and hands its parts to the forms; nothing else reaches the platform globally.
#include <string>

#include "platform/automation.h"
#include "platform/body_fetch.h"
#include "platform/crypto.h"
#include "platform/dialogs.h"
#include "platform/main_loop.h"
#include "platform/screen.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "platform/url_download.h"
#include "platform/xml_document.h"

namespace qv::platform {

class Platform {
 public:
  virtual ~Platform() = default;
  virtual UiFactory& ui() = 0;
  virtual Dialogs& dialogs() = 0;
  virtual MainLoop& mainLoop() = 0;
  virtual SingleInstance& singleInstance() = 0;
  virtual Codec& codec() = 0;
  virtual Collation& collation() = 0;
  virtual FileStamps& fileStamps() = 0;
  virtual UrlDownloader& downloader() = 0;
  // The step under the archive transfers that ask the server what changed (download/revalidating_downloader.h).
  virtual BodyFetcher& bodyFetcher() = 0;
  virtual XmlFactory& xml() = 0;
  virtual Shell& shell() = 0;
  virtual Screen& screen() = 0;
  virtual Automation& automation() = 0;
  virtual Crypto& crypto() = 0;
  // Full path of the running executable.
  virtual std::string programPath() = 0;
};

}  // namespace qv::platform
