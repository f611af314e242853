#pragma once
// The program on the headless platform in a fresh directory beside its own executable file, against a
// loopback server that serves releases signed with the suite's release key, which the program trusts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "app_fixture.h"
#include "pe_builder.h"
#include "release_key.h"
#include "test_server.h"

namespace qv::test {

namespace fs = std::filesystem;
using platform::headless::ShownBox;

const std::string kOldProgram = buildPe() + "the running version";
const std::string kNewProgram = buildPe({.symbols = true}) + "the new version";

class SelfUpdateFixture : public ::testing::Test {
 protected:
  TestServer server;
  std::unique_ptr<AppFixture> app;

  void SetUp() override { server.setDocument("site/Data.xml", "<?xml version=\"1.0\"?><plug></plug>"); }

  void serveVersion(const std::string& iniText) { server.setDocument("site/UPdate.ini", iniText); }
  // A version number without a signature: enough where the numbers are equal.
  void serveVersion(int version) { serveVersion("[updataver]\r\nver=" + std::to_string(version) + "\r\n"); }
  void serveProgram(const std::string& bytes) { server.setDocument("site/Quorvane.exe", bytes); }
  // A release as the publisher makes one: the version file signed for these very bytes.
  void serve(int version, const std::string& program) {
    serveVersion(releaseKey().versionFile(version, program));
    serveProgram(program);
  }
  int programRequests() { return server.requestsFor("site/Quorvane.exe"); }

  // The program in a fresh directory beside its own executable file; `settings` is Config.ini's text
  // after the game path (nothing: no settings file at all).
  void makeProgram(std::optional<std::string> settings = "") {
    app = std::make_unique<AppFixture>(download::ServerResources{server.url("/doc/site")},
                                       trustingReleaseKey());
    writeAll(file("Quorvane.exe"), kOldProgram);
    fs::create_directories(file("game/Interface"));
    if (settings) app->writeConfig("[game]\r\ngamepath=" + file("game/JX3Client.exe") + "\r\n" + *settings);
  }
  void startProgram(std::optional<std::string> settings = "") {
    makeProgram(std::move(settings));
    ASSERT_TRUE(app->start());
  }

  std::string file(const std::string& name) const { return app->dir.file(name); }
  mainwindow::TForm1& window() { return app->app->form1(); }
  platform::headless::HeadlessForm& form() { return app->form1(); }
  platform::Timer& timer(const std::string& name) { return form().timer(name); }
  std::string statusLine() { return form().get<platform::Label>("Label6").text(); }
  platform::headless::HeadlessMainLoop& loop() { return app->platform.loop(); }
  std::vector<platform::headless::HeadlessShell::Started> started() {
    return app->platform.headlessShell().executed();
  }
  std::optional<std::string> installedVersion() {
    const std::string config = readAll(file("Config.ini"));
    const size_t at = config.find("[updataver]\r\nver=");
    if (at == std::string::npos) return std::nullopt;
    const size_t from = at + 17;
    return config.substr(from, config.find('\r', from) - from);
  }

  void waitForDownloads() {
    auto& downloads = window().downloads();
    ASSERT_TRUE(loop().pumpUntil([&] { return downloads.running() == 0 && downloads.waiting() == 0; }))
        << "downloads did not end";
  }
  // The version file arrives, the start-up pass runs, and whatever it started has ended.
  void runStartUpPass() {
    waitForDownloads();
    loop().advance(3000);
    waitForDownloads();
  }
};

}  // namespace qv::test
