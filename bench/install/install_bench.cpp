// install_bench [ROUNDS]
// The main window's install command ("安裝選中UI") on 100 checked, not yet installed add-ons whose
// archives are in the archive folder, against bsdtar extracting the same 100 archives one after
// another into an empty folder. Each round starts from an empty Interface folder; the two take turns
// at going first. Prints the medians and their ratio.
#include <unistd.h>

#include "app/quorvane_app.h"
#include "platform/headless/headless_platform.h"
#include "support/addon_corpus.h"

using namespace qv::bench;

namespace {

constexpr int kAddons = 100;

struct Setup {
  fs::path work;
  fs::path program;
  fs::path iface;
  std::vector<std::string> names;
};

double ours(const Setup& s) {
  fs::remove_all(s.iface);
  fs::create_directories(s.iface);
  qv::platform::headless::HeadlessPlatform platform((s.program / "Quorvane.exe").string(), s.program.string());
  qv::app::QuorvaneApp app(platform, qv::download::ServerResources{"http://127.0.0.1:9"});
  app.start();
  auto& form = app.form1();
  for (const std::string& name : s.names) form.addonList().addRow(name, "插件", "說明", name);
  form.BitBtn4Click();  // every row reads "未安裝"
  form.BitBtn1Click();  // check all
  sync();
  const auto start = Clock::now();
  form.Button1Click();
  const double seconds = secondsSince(start);
  const std::string line = platform.headlessUi().form("TForm1").get<qv::platform::Label>("Label6").text();
  if (line != "勾選的UI 已經安裝完畢") std::fprintf(stderr, "install ended with: %s\n", line.c_str());
  for (const std::string& name : s.names)
    if (!fs::exists(s.iface / name / "info.ini")) std::fprintf(stderr, "missing %s\n", name.c_str());
  return seconds;
}

double peer(const Setup& s) {
  const fs::path out = s.work / "bsdtar-out";
  fs::remove_all(out);
  fs::create_directories(out);
  sync();
  const auto start = Clock::now();
  for (const std::string& name : s.names)
    if (run({"bsdtar", "-xf", (s.program / "zip" / (name + ".zip")).string(), "-C", out.string()}) != 0)
      std::fprintf(stderr, "bsdtar failed on %s\n", name.c_str());
  return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  Setup s;
  s.work = fs::temp_directory_path() / "qv-install-bench";
  s.program = s.work / "program";
  s.iface = s.work / "game" / "Interface";
  s.names = makeAddonArchives(s.program / "zip", kAddons, 100);
  writeFile(s.program / "Config.ini", "[game]\r\ngamepath=" + (s.work / "game" / "JX3Client.exe").string() + "\r\n");

  std::vector<double> o, p;
  for (int r = 0; r < rounds; ++r) {
    if (r % 2 == 0) {
      o.push_back(ours(s));
      p.push_back(peer(s));
    } else {
      p.push_back(peer(s));
      o.push_back(ours(s));
    }
  }
  fs::remove_all(s.work / "bsdtar-out");
  fs::remove_all(s.iface);
  const double om = median(o), pm = median(p);
  std::printf("install of %d checked add-ons (~40 files each), %d rounds (medians)\n", kAddons, rounds);
  std::printf("install command (staged, all-or-nothing per archive): %.1f ms\n", om * 1000);
  std::printf("peer (bsdtar -xf, one archive after another):         %.1f ms\n", pm * 1000);
  std::printf("ratio install / peer: %.2f (target: at most 1.20)\n", om / pm);
  return 0;
}
