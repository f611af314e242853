// install_wine_bench WORK_FOLDER [ROUNDS]
//
// The crash-proof install against writing files in place, side by side in one run, under Wine (or
// on Windows). An add-on folder "Big" of 1,500 files and a file of the player's own is installed;
// the archive replaces the 1,500 files and adds a folder "Second" of 300.
//   in place  the same 1,800 files (the archive's bytes, already decompressed) written over the
//             installed ones and beside them: create or truncate, write, close; nothing else
//   install   the program's install of the archive (install::StagedInstaller, as the install command
//             runs it): unpacking into staging, completing the folder there, the journal flushed to
//             disk, the folder swap; until it returns, which is what the install command waits for.
//             The old tree's removal, which the sweeper does on its own thread after that, is timed
//             apart and shown beside it
// Each round starts both from a freshly written installed folder, written out to the disk first (as a
// player's files are); the two take turns at going first. The engine unpacking the archive into an
// empty folder is shown beside them, for where the time goes.
// Prints every round, the medians and their ratio.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/path.h"
#include "install/staged_install.h"
#include "platform/win32/win32_codec.h"
#include "platform/win32/win32_file_stamps.h"
#include "support/lua_text.h"
#include "zip_writer.h"

namespace {

using qv::bench::luaText;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kReplaced = 1500;
constexpr int kAdded = 300;

struct File {
  std::string relative;  // with "\"
  std::string bytes;
};

bool writeWhole(const fs::path& path, const std::string& bytes) {
  const int fd =
      _wsopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYNO, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  const bool ok =
      _write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) == static_cast<int>(bytes.size());
  return _close(fd) == 0 && ok;
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Files a player has installed have long been on the disk; freshly written ones are still in the
// cache, and truncating or deleting those costs next to nothing. Under Wine the Linux sync(1) writes
// them out (Wine starts Unix programs too); where there is none, the bench waits a little instead.
void settle() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  wchar_t command[] = L"Z:\\bin\\sync";
  if (CreateProcessW(command, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  Sleep(500);
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : (v[v.size() / 2] + v[(v.size() - 1) / 2]) / 2;
}

class Bench {
 public:
  explicit Bench(fs::path work) : work_(std::move(work)), iface_(work_ / "game" / "Interface") {
    std::mt19937 rng(17);
    for (int i = 0; i < kReplaced; ++i) {
      const std::string name = "Big\\f" + std::to_string(i) + ".lua";
      old_.push_back({name, luaText(rng, 800 + rng() % 4000)});
      new_.push_back({name, luaText(rng, 800 + rng() % 4000)});
    }
    for (int i = 0; i < kAdded; ++i)
      new_.push_back({"Second\\s" + std::to_string(i) + ".lua", luaText(rng, 800 + rng() % 4000)});
    qv::unzip::test::ZipWriter zip;
    for (const File& f : new_) {
      qv::unzip::test::FixtureEntry e;
      e.name = f.relative;
      std::replace(e.name.begin(), e.name.end(), '\\', '/');
      e.data = f.bytes;
      zip.add(std::move(e));
    }
    fs::create_directories(work_);
    archive_ = qv::path::fromFs(work_ / "update.zip");
    writeWhole(work_ / "update.zip", zip.finish());
  }

  // The add-on directory as the player has it before the install.
  void installed() {
    std::error_code ec;
    fs::remove_all(iface_, ec);
    fs::create_directories(iface_ / "Big");
    for (const File& f : old_) writeWhole(iface_ / qv::path::toFs(f.relative), f.bytes);
    writeWhole(iface_ / "Big" / "mine.txt", "the player's own notes");
    settle();
  }

  double inPlace() {
    installed();
    const auto start = Clock::now();
    fs::create_directories(iface_ / "Second");
    for (const File& f : new_)
      if (!writeWhole(iface_ / qv::path::toFs(f.relative), f.bytes))
        std::fprintf(stderr, "cannot write %s\n", f.relative.c_str());
    return secondsSince(start);
  }

  struct Installed {
    double command;  // until the install returns, as the install command waits for it
    double removal;  // the old tree's removal, which goes on in the background after that
  };
  Installed install() {
    installed();
    const std::string addonDirectory = qv::path::fromFs(iface_) + "\\";
    const qv::unzip::UnZipServices services{
        codec_, stamps_, [](const std::string&, const std::string&, unsigned) { return 1; }, [] {}};
    qv::install::StagingInUse inUse;
    qv::install::StagingSweeper sweeper(inUse);
    const auto start = Clock::now();
    {
      qv::install::StagedInstaller installer(services, inUse, &sweeper);
      const qv::install::InstallResult result = installer.install(archive_, addonDirectory);
      if (!result.ok) std::fprintf(stderr, "install failed: %s\n", result.failure.c_str());
    }
    const double command = secondsSince(start);
    const auto removalStart = Clock::now();
    sweeper.finish();
    const double removal = secondsSince(removalStart);
    check();
    return {command, removal};
  }

  // The engine alone: the archive unpacked into an empty folder.
  double unpackOnly() {
    std::error_code ec;
    fs::remove_all(work_ / "unpacked", ec);
    settle();
    const auto start = Clock::now();
    const qv::unzip::UnZipServices services{
        codec_, stamps_, [](const std::string&, const std::string&, unsigned) { return 1; }, [] {}};
    qv::unzip::UnZipFile(archive_, qv::path::fromFs(work_ / "unpacked"), services);
    return secondsSince(start);
  }

 private:
  void check() {
    int wrong = 0;
    for (const File& f : new_) {
      std::FILE* in = _wfopen((iface_ / qv::path::toFs(f.relative)).c_str(), L"rb");
      std::string bytes(f.bytes.size() + 1, '\0');
      const size_t n = in ? std::fread(bytes.data(), 1, bytes.size(), in) : 0;
      if (in) std::fclose(in);
      if (n != f.bytes.size() || bytes.compare(0, n, f.bytes) != 0) ++wrong;
    }
    if (!fs::exists(iface_ / "Big" / "mine.txt")) ++wrong;
    for (const auto& e : fs::directory_iterator(iface_))
      if (qv::path::fromFs(e.path().filename()).starts_with(".qv-staging-")) ++wrong;
    if (wrong > 0) std::fprintf(stderr, "the install left %d files wrong\n", wrong);
  }

  fs::path work_;
  fs::path iface_;
  std::string archive_;
  std::vector<File> old_, new_;
  qv::platform::win32::Win32Codec codec_;
  qv::platform::win32::Win32FileStamps stamps_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: install_wine_bench WORK_FOLDER [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  Bench bench{fs::path(argv[1])};
  std::vector<double> inPlace, install, whole;
  std::printf("%d files replaced in a folder beside a player's file, %d added in a new folder\n", kReplaced,
              kAdded);
  for (int r = 0; r < rounds; ++r) {
    Bench::Installed ours{};
    if (r % 2 == 0) {
      inPlace.push_back(bench.inPlace());
      ours = bench.install();
    } else {
      ours = bench.install();
      inPlace.push_back(bench.inPlace());
    }
    install.push_back(ours.command);
    whole.push_back(ours.command + ours.removal);
    const double unpack = bench.unpackOnly();
    std::printf(
        "round %d: in place %.2f s, install %.2f s (ratio %.2f), old tree removed %.2f s later (%.2f with "
        "it); "
        "unpacking alone %.2f s\n",
        r + 1, inPlace.back(), ours.command, ours.command / inPlace.back(), ours.removal,
        whole.back() / inPlace.back(), unpack);
    std::fflush(stdout);
  }
  const double p = median(inPlace), i = median(install), w = median(whole);
  std::printf(
      "medians over %d rounds: writing the files in place %.2f s, the crash-proof install %.2f s "
      "(%.2f s with the removal of the old tree that follows in the background)\n",
      rounds, p, i, w);
  std::printf("ratio install / in place: %.2f (target: at most 1.50); with the background removal: %.2f\n",
              i / p, w / p);
  return 0;
}
