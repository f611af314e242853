#pragma once
// The Windows platform: every part the program asks of the operating system, composed in one object
// that the entry point builds and hands to the application.
#include "platform/platform.h"
#include "platform/win32/cng_crypto.h"
#include "platform/win32/win32_automation.h"
#include "platform/win32/win32_codec.h"
#include "platform/win32/win32_collation.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_file_stamps.h"
#include "platform/win32/win32_main_loop.h"
#include "platform/win32/win32_screen.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_single_instance.h"
#include "platform/win32/win32_ui_factory.h"
#include "platform/win32/url_download_win32.h"
#include "platform/win32/wininet_body_fetch.h"
#include "platform/win32/xml_document_msxml.h"

namespace qv::platform::win32 {

class Win32Platform final : public Platform {
 public:
  // `catalogueBounds` bound an XML document fetched from a server (tests shorten them); every other
  // transfer brings its bounds with its request.
  explicit Win32Platform(TransferBounds catalogueBounds = resource_bounds::kCatalogue);

  UiFactory& ui() override { return ui_; }
  Dialogs& dialogs() override { return dialogs_; }
  MainLoop& mainLoop() override { return mainLoop_; }
  SingleInstance& singleInstance() override { return singleInstance_; }
  Codec& codec() override { return codec_; }
  Collation& collation() override { return collation_; }
  FileStamps& fileStamps() override { return fileStamps_; }
  UrlDownloader& downloader() override { return downloader_; }
  BodyFetcher& bodyFetcher() override { return bodyFetcher_; }
  XmlFactory& xml() override { return xml_; }
  Shell& shell() override { return shell_; }
  Screen& screen() override { return screen_; }
  Automation& automation() override { return automation_; }
  Crypto& crypto() override { return crypto_; }
  std::string programPath() override;

 private:
  // The guard is declared first so it is released last, after every window is gone.
  Win32SingleInstance singleInstance_;
  Win32Dialogs dialogs_;
  Win32MainLoop mainLoop_;
  Win32UiFactory ui_;
  Win32Codec codec_;
  Win32Collation collation_;
  Win32FileStamps fileStamps_;
  Win32Shell shell_;
  Win32Screen screen_;
  Win32Automation automation_;
  CngCrypto crypto_;
  UrlMonDownloader downloader_;
  // The archives: WinINet, which answers conditional and range requests without a cache of its own.
  WinInetBodyFetcher bodyFetcher_;
  MsxmlFactory xml_;
};

}  // namespace qv::platform::win32
