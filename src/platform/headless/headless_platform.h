#pragma once
// The platform of the native build, scriptable by tests: in-memory windows, recorded message boxes,
// virtual time, a lock-file instance guard, iconv code pages, libcurl downloads, pugixml documents, a
// screen of a chosen size, recording browser and automation objects, and OpenSSL digests and signatures.
#include <memory>
#include <string>

#include "platform/headless/curl_downloader.h"
#include "platform/headless/headless_automation.h"
#include "platform/headless/headless_dialogs.h"
#include "platform/headless/headless_main_loop.h"
#include "platform/headless/headless_screen.h"
#include "platform/headless/headless_shell.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/iconv_codec.h"
#include "platform/headless/locale_collation.h"
#include "platform/headless/lock_file_instance.h"
#include "platform/headless/openssl_crypto.h"
#include "platform/headless/posix_file_stamps.h"
#include "platform/headless/pugixml_document.h"
#include "platform/platform.h"

namespace qv::platform::headless {

class HeadlessPlatform : public Platform {
 public:
  // `programPath` is the executable path the program believes it runs from; `lockDirectory` keeps
  // the instance guards of parallel tests apart.
  explicit HeadlessPlatform(std::string programPath, std::string lockDirectory = {});

  UiFactory& ui() override { return ui_; }
  Dialogs& dialogs() override { return dialogs_; }
  MainLoop& mainLoop() override { return loop_; }
  SingleInstance& singleInstance() override { return instance_; }
  Codec& codec() override { return codec_; }
  Collation& collation() override { return collation_; }
  FileStamps& fileStamps() override { return stamps_; }
  UrlDownloader& downloader() override { return *downloader_; }
  BodyFetcher& bodyFetcher() override { return bodyFetcher_; }
  XmlFactory& xml() override { return *xml_; }
  Shell& shell() override { return shell_; }
  Screen& screen() override { return screen_; }
  Automation& automation() override { return automation_; }
  Crypto& crypto() override { return crypto_; }
  std::string programPath() override { return programPath_; }

  // Typed access for tests.
  HeadlessDialogs& headlessDialogs() { return dialogs_; }
  HeadlessMainLoop& loop() { return loop_; }
  HeadlessUiFactory& headlessUi() { return ui_; }
  HeadlessShell& headlessShell() { return shell_; }
  HeadlessScreen& headlessScreen() { return screen_; }
  HeadlessAutomation& headlessAutomation() { return automation_; }
  IconvCodec& iconvCodec() { return codec_; }
  void setProgramPath(std::string path) { programPath_ = std::move(path); }

 private:
  std::string programPath_;
  HeadlessDialogs dialogs_;
  HeadlessMainLoop loop_;
  HeadlessUiFactory ui_;
  LockFileInstance instance_;
  IconvCodec codec_;
  LocaleCollation collation_;
  PosixFileStamps stamps_;
  HeadlessShell shell_;
  HeadlessScreen screen_;
  HeadlessAutomation automation_;
  OpenSslCrypto crypto_;
  std::unique_ptr<UrlDownloader> downloader_;
  CurlBodyFetcher bodyFetcher_;
  std::unique_ptr<XmlFactory> xml_;
};

}  // namespace qv::platform::headless
