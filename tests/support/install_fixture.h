#pragma once
// The program started on the headless platform with a game folder, a trash of its own and a loopback
// server that serves a catalogue and add-on archives; helpers to make archives shaped like add-ons and
// to take a picture of a folder tree (every name and every byte) to compare before and after.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "app_fixture.h"
#include "test_server.h"
#include "zip_writer.h"

namespace qv::test {

namespace fs = std::filesystem;

struct CatalogueItem {
  std::string name;
  std::string chineseName;
  std::string folders;
  std::string description = "說明";
};

inline std::string catalogueOf(const std::vector<CatalogueItem>& items) {
  auto escape = [](const std::string& s) {
    std::string out;
    for (char c : s) {
      if (c == '"') out += "&quot;";
      else if (c == '&') out += "&amp;";
      else if (c == '<') out += "&lt;";
      else out += c;
    }
    return out;
  };
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<plug>\n";
  for (const CatalogueItem& i : items)
    xml += "<Item plugName=\"" + escape(i.name) + "\" plugCName=\"" + escape(i.chineseName) + "\" plugfolder=\"" +
           escape(i.folders) + "\" plugdescribe=\"" + escape(i.description) + "\"/>\n";
  return xml + "</plug>\n";
}

// A zip archive of (name, bytes) entries, deflated, names flagged UTF-8.
inline std::string zipOf(const unzip::test::NamedEntries& entries) { return unzip::test::addonArchive(entries); }

// Every entry below a folder: relative name -> bytes ("<dir>" for folders).
using TreePicture = std::map<std::string, std::string>;
inline TreePicture pictureOf(const std::string& root) {
  TreePicture out;
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    out[rel] = e.is_directory() ? std::string("<dir>") : readAll(e.path().string());
  }
  return out;
}

class InstallFixture : public ::testing::Test {
 protected:
  TestServer server;
  std::unique_ptr<AppFixture> app;
  std::string game;
  std::string iface;  // the add-on directory, with its separator

  // Starts the program with a game folder whose Config.ini points at it and a trash in the test folder.
  void startProgram() {
    app = std::make_unique<AppFixture>(download::ServerResources{server.url("/doc/site")});
    game = app->dir.file("game");
    iface = game + "/Interface/";
    fs::create_directories(iface);
    app->platform.headlessShell().setTrashDirectory(app->dir.file("home/.local/share/Trash"));
    fs::create_directories(app->dir.file("home/.local/share"));
    app->writeConfig("[game]\r\ngamepath=" + game + "/JX3Client.exe\r\n");
    ASSERT_TRUE(app->start());
    // The show step fetches the version file; its end is not what the cases look at.
    waitForDownloads();
  }
  void serveCatalogue(const std::vector<CatalogueItem>& items) {
    server.setDocument("site/Data.xml", catalogueOf(items));
  }
  void serveArchive(const std::string& name, const std::string& bytes) {
    server.setDocument("site/zip/" + name + ".zip", bytes);
  }
  // Puts an archive straight into the archive folder, as an earlier download would have.
  void placeArchive(const std::string& name, const std::string& bytes) {
    fs::create_directories(app->dir.file("zip"));
    writeAll(app->dir.file("zip/" + name + ".zip"), bytes);
  }
  void installed(const std::string& folder, const std::string& file = "main.lua", const std::string& bytes = "old") {
    fs::create_directories(iface + folder);
    writeAll(iface + folder + "/" + file, bytes);
  }

  mainwindow::TForm1& window() { return app->app->form1(); }
  platform::headless::HeadlessForm& form() { return app->form1(); }
  platform::headless::HeadlessListView& view() { return form().get<platform::headless::HeadlessListView>("ListView1"); }
  std::string label(const std::string& name) { return form().get<platform::Label>(name).text(); }
  int rowOf(const std::string& name) {
    for (int i = 0; i < view().rowCount(); ++i)
      if (view().cell(i, 0) == name) return i;
    ADD_FAILURE() << "no row " << name;
    return -1;
  }
  std::string status(const std::string& name) { return view().cell(rowOf(name), 1); }
  void check(const std::string& name) { view().userCheck(rowOf(name), true); }
  // Runs the status check, as the hidden button "check" does.
  void statusCheck() { form().clickButton("BitBtn4"); }
  // Presses "更新 UI" and lets every transfer it started end.
  void refreshAndWait() {
    form().clickButton("Button3");
    waitForDownloads();
  }
  void waitForDownloads() {
    auto& downloads = window().downloads();
    ASSERT_TRUE(app->platform.loop().pumpUntil([&] { return downloads.running() == 0 && downloads.waiting() == 0; }))
        << "downloads did not end";
  }
};

}  // namespace qv::test
