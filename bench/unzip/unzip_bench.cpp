// Times qv-unzip against `unzip -o -q` and `bsdtar -xf` on two generated archives: 3,000 small
// add-on files with Chinese names in folders, and three 20 MB files half random, half text. Each tool
// extracts into a fresh directory, several rounds, medians compared. Also prints zlib's raw inflate
// plus CRC-32 of the large archive's entries into memory (the floor) and qv-unzip's peak memory.
// Runs of the benchmark right after one another find the file system still busy with the last one's
// deletions, which slows every tool: leave a few minutes between them.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "support/addon_corpus.h"

using namespace qv::bench;
using qv::le16;
using qv::le32;

namespace {

struct RunResult {
  double seconds = 0;
  long maxRssKb = 0;
  int status = -1;
};

// Runs a command without a shell and measures its wall time and peak resident set.
RunResult runTool(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  // Earlier rounds' dirty pages would otherwise be written back during this one and charge their
  // cost to whichever tool happens to run.
  sync();
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  RunResult r;
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  r.maxRssKb = usage.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

void makeCorpus(const fs::path& work) {
  std::mt19937 rng(20240615);
  const fs::path small = work / "small_src";
  if (!fs::exists(work / "small.zip")) {
    fs::remove_all(small);
    const char* dirs[] = {"界面", "插件/戰鬥", "插件/團隊", "配置", "語言/繁體中文", "資料"};
    const char* names[] = {"技能", "目標", "血條", "設定", "說明", "團隊", "框架", "計時"};
    const char* exts[] = {".lua", ".ini", ".txt"};
    for (int i = 0; i < 3000; ++i) {
      const fs::path p = small / ("插件包" + std::to_string(i % 20)) / dirs[i % 6] /
                         (std::string(names[i % 8]) + std::to_string(i) + exts[i % 3]);
      writeFile(p, luaText(rng, 300 + rng() % 7000));
    }
    std::system(("cd '" + small.string() + "' && zip -q -r ../small.zip . && cd .. && rm -rf small_src").c_str());
  }
  const fs::path large = work / "large_src";
  if (!fs::exists(work / "large.zip")) {
    fs::remove_all(large);
    for (int i = 0; i < 3; ++i) {
      std::string data;
      data.reserve(20 << 20);
      while (data.size() < (10u << 20)) data += static_cast<char>(rng());
      data += luaText(rng, 10u << 20);
      writeFile(large / ("data" + std::to_string(i) + ".pak"), data);
    }
    std::system(("cd '" + large.string() + "' && zip -q -r ../large.zip . && cd .. && rm -rf large_src").c_str());
  }
}

// zlib's raw inflate and crc32 over every deflated entry of an archive held in memory, into one
// reused buffer: what extraction costs without a file system.
double rawInflateSeconds(const std::string& zip) {
  const auto* b = reinterpret_cast<const unsigned char*>(zip.data());
  std::vector<unsigned char> out(1 << 18);
  const auto start = Clock::now();
  size_t at = 0;
  uint32_t sink = 0;
  while (at + 30 <= zip.size() && le32(b + at) == 0x04034B50) {
    const uint32_t csize = le32(b + at + 18);
    const size_t data = at + 30 + le16(b + at + 26) + le16(b + at + 28);
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    z.next_in = const_cast<unsigned char*>(b + data);
    z.avail_in = csize;
    uLong crc = 0;
    int r = Z_OK;
    while (r == Z_OK) {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      r = inflate(&z, Z_NO_FLUSH);
      crc = crc32(crc, out.data(), static_cast<uInt>(out.size() - z.avail_out));
    }
    inflateEnd(&z);
    sink ^= static_cast<uint32_t>(crc);
    at = data + csize;
  }
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  if (sink == 0x5EED) std::puts("");  // keeps the work observable
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path work = fs::absolute(argc > 1 ? argv[1] : "unzip-bench-work");
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  fs::create_directories(work);
  fs::remove_all(work / "out");  // left by an interrupted run
  makeCorpus(work);
  std::printf("corpus in %s, %d rounds, medians\n", work.c_str(), rounds);

  for (const char* name : {"small.zip", "large.zip"}) {
    const std::string zip = (work / name).string();
    struct Tool {
      const char* label;
      std::vector<std::string> (*argv)(const std::string& zip, const std::string& dest);
      std::vector<double> times{};
      long peakKb = 0;
    } tools[] = {
        // Info-ZIP's names are UTF-8 without the flag that says so: read them as the peers do.
        {"qv-unzip", [](const std::string& z, const std::string& d) { return std::vector<std::string>{QV_UNZIP_CLI, "-O", "65001", z, d}; }},
        {"unzip -o -q", [](const std::string& z, const std::string& d) { return std::vector<std::string>{"unzip", "-o", "-q", z, "-d", d}; }},
        {"bsdtar -xf", [](const std::string& z, const std::string& d) {
           fs::create_directories(d);
           return std::vector<std::string>{"bsdtar", "-xf", z, "-C", d};
         }},
    };
    constexpr int kTools = static_cast<int>(std::size(tools));
    fs::create_directories(work / "out");
    for (int round = 0; round < rounds; ++round) {
      // The tools take turns at going first, so none always follows a particular other.
      for (int k = 0; k < kTools; ++k) {
        const int index = (round + k) % kTools;
        Tool& t = tools[index];
        // Every run gets a directory of its own, and none is deleted before all rounds are done:
        // creating thousands of files right after thousands were deleted costs ext4 far more (it
        // steps over recently freed inodes), which would time the file system's state, not the tools.
        const fs::path dest = work / "out" / (std::to_string(round) + "-" + std::to_string(index));
        const auto args = t.argv(zip, dest.string());
        const RunResult r = runTool(args);
        if (r.status != 0) std::fprintf(stderr, "%s exited with %d\n", t.label, r.status);
        t.times.push_back(r.seconds);
        t.peakKb = std::max(t.peakKb, r.maxRssKb);
      }
    }
    fs::remove_all(work / "out");
    sync();
    const double qv = median(tools[0].times), iz = median(tools[1].times), bt = median(tools[2].times);
    std::printf("\n%s\n", name);
    for (const Tool& t : tools)
      std::printf("  %-12s %8.1f ms  (%.1f to %.1f)   peak RSS %6.1f MB\n", t.label, median(t.times) * 1e3,
                  *std::min_element(t.times.begin(), t.times.end()) * 1e3,
                  *std::max_element(t.times.begin(), t.times.end()) * 1e3, t.peakKb / 1024.0);
    std::printf("  ratio vs faster peer (peer time / qv-unzip time, >= 1.0 is the target): %.2f\n", std::min(iz, bt) / qv);
    std::printf("  ratio vs unzip: %.2f   vs bsdtar: %.2f\n", iz / qv, bt / qv);
    if (std::string(name) == "large.zip") {
      std::ifstream f(zip, std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      std::vector<double> raw;
      for (int round = 0; round < rounds; ++round) raw.push_back(rawInflateSeconds(bytes));
      std::printf("  raw inflate+crc32 into memory: %8.1f ms; qv-unzip / raw = %.2f (target <= 1.20)\n",
                  median(raw) * 1e3, qv / median(raw));
    }
    std::printf("  qv-unzip peak RSS %.1f MB (target < 16 MB)\n", tools[0].peakKb / 1024.0);
  }
  return 0;
}
