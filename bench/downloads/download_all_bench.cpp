// download_all_bench [ROUNDS]
// The main window's download-all road (the hidden button "down") over a list of 500 add-ons, each
// archive fetched from tools/addon-server on loopback into the archive folder, timed from the click to
// the last transfer's end; against curl fetching the same 500 URLs into files with
// `--parallel --parallel-max 6`. The two take turns at going first; medians and their ratio are printed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include "app/quorvane_app.h"
#include "platform/headless/headless_platform.h"
#include "support/addon_corpus.h"

using namespace qv::bench;

namespace {

constexpr int kAddons = 500;

int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

bool answers(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

struct Setup {
  fs::path work;
  fs::path site;
  std::string base;
  std::vector<std::string> names;
};

// Every archive arrived whole: same size as the server's.
bool allArrived(const Setup& s, const fs::path& folder) {
  for (const std::string& name : s.names) {
    std::error_code ec;
    if (fs::file_size(folder / (name + ".zip"), ec) != fs::file_size(s.site / "zip" / (name + ".zip"))) return false;
  }
  return true;
}

double ours(const Setup& s) {
  const fs::path program = s.work / "program";
  fs::remove_all(program);
  fs::create_directories(program);
  qv::platform::headless::HeadlessPlatform platform((program / "Quorvane.exe").string(), program.string());
  qv::app::QuorvaneApp app(platform, qv::download::ServerResources{s.base});
  app.start();
  auto& form = app.form1();
  for (const std::string& name : s.names) form.addonList().addRow(name, "插件", "說明", name);
  auto& downloads = form.downloads();
  const auto start = Clock::now();
  form.Button4Click();
  platform.loop().pumpUntil([&] { return downloads.running() == 0 && downloads.waiting() == 0; }, 600000);
  const double seconds = secondsSince(start);
  if (form.downLoadedCount() != kAddons || !allArrived(s, program / "zip"))
    std::fprintf(stderr, "the road fetched %d of %d archives\n", form.downLoadedCount(), kAddons);
  return seconds;
}

double peer(const Setup& s) {
  const fs::path out = s.work / "curl-out";
  fs::remove_all(out);
  fs::create_directories(out);
  const fs::path config = s.work / "curl.config";
  {
    std::ofstream c(config);
    for (const std::string& name : s.names)
      c << "url = \"" << s.base << "/zip/" << name << ".zip\"\noutput = \"" << (out / (name + ".zip")).string() << "\"\n";
  }
  const auto start = Clock::now();
  const int status = run({"curl", "--silent", "--fail", "--parallel", "--parallel-max", "6", "-K", config.string()});
  const double seconds = secondsSince(start);
  if (status != 0 || !allArrived(s, out)) std::fprintf(stderr, "curl did not fetch every archive (%d)\n", status);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  Setup s;
  s.work = fs::temp_directory_path() / "qv-download-bench";
  s.site = s.work / "site";
  s.names = makeAddonArchives(s.site / "zip", kAddons, 500);
  uint64_t bytes = 0;
  for (const std::string& name : s.names) bytes += fs::file_size(s.site / "zip" / (name + ".zip"));

  const int port = freePort();
  s.base = "http://127.0.0.1:" + std::to_string(port);
  const pid_t server = fork();
  if (server == 0) {
    std::FILE* devNull = std::fopen("/dev/null", "w");
    if (devNull) dup2(fileno(devNull), STDOUT_FILENO);
    execl(QV_ADDON_SERVER, QV_ADDON_SERVER, std::to_string(port).c_str(), s.site.c_str(), nullptr);
    _exit(127);
  }
  for (int i = 0; i < 200 && !answers(port); ++i) usleep(20000);

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
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  fs::remove_all(s.work / "program");
  fs::remove_all(s.work / "curl-out");

  const double om = median(o), pm = median(p);
  std::printf("download-all of %d archives (%.1f MB) from addon-server on loopback, %d rounds (medians)\n", kAddons,
              static_cast<double>(bytes) / 1e6, rounds);
  std::printf("download-all road (6 transfers at a time): %.1f ms\n", om * 1000);
  std::printf("peer (curl --parallel --parallel-max 6):   %.1f ms\n", pm * 1000);
  std::printf("ratio road / peer: %.2f (target: at most 1.50)\n", om / pm);
  return 0;
}
