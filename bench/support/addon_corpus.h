#pragma once
// Add-on archives shaped like the real ones, for the benchmarks: about 40 small Lua, XML, INI and
// texture files in a few folders per add-on, zipped by Info-ZIP's zip as the makers' tools do. Also the
// small helpers every benchmark needs (running a tool without a shell, medians).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/lua_text.h"

namespace qv::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline void writeFile(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// A texture: a header and pixels that compress about as game art does (runs and noise).
inline std::string texture(std::mt19937& rng, size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i % 64 < 40 ? (i / 64) & 0xFF : rng() & 0xFF);
  return s;
}

// Writes add-on `name`'s files below `root/name`.
inline void makeAddonFiles(const fs::path& root, const std::string& name, std::mt19937& rng) {
  const fs::path a = root / name;
  for (int i = 0; i < 20; ++i) writeFile(a / (name + "_" + std::to_string(i) + ".lua"), luaText(rng, 800 + rng() % 4000));
  for (int i = 0; i < 8; ++i) writeFile(a / "ui" / ("frame" + std::to_string(i) + ".xml"), luaText(rng, 500 + rng() % 1500));
  for (int i = 0; i < 4; ++i) writeFile(a / "lang" / ("zh_TW_" + std::to_string(i) + ".ini"), luaText(rng, 300 + rng() % 800));
  for (int i = 0; i < 8; ++i) writeFile(a / "img" / ("icon" + std::to_string(i) + ".tga"), texture(rng, 2048 + rng() % 6000));
  writeFile(a / "info.ini", "[" + name + "]\nname=" + name + "\nversion=1.0\n");
}

// Runs a program (no shell) and waits for it; its exit status, or -1.
inline int run(const std::vector<std::string>& argv, bool quiet = true) {
  std::vector<char*> args;
  for (const std::string& s : argv) args.push_back(const_cast<char*>(s.c_str()));
  args.push_back(nullptr);
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    if (quiet) {
      std::FILE* devNull = std::fopen("/dev/null", "w");
      if (devNull) {
        dup2(fileno(devNull), STDOUT_FILENO);
        dup2(fileno(devNull), STDERR_FILENO);
      }
    }
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// `count` archives "Addon<i>.zip" in `into`; each holds its add-on's folder. Made once and kept.
inline std::vector<std::string> makeAddonArchives(const fs::path& into, int count, unsigned seed) {
  std::vector<std::string> names;
  fs::create_directories(into);
  std::mt19937 rng(seed);
  const fs::path scratch = into / ".src";
  for (int i = 0; i < count; ++i) {
    const std::string name = "Addon" + std::to_string(i);
    names.push_back(name);
    const fs::path archive = into / (name + ".zip");
    if (fs::exists(archive)) continue;
    fs::remove_all(scratch);
    makeAddonFiles(scratch, name, rng);
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    fs::current_path(scratch);
    const int status = run({"zip", "-q", "-r", archive.string(), name});
    fs::current_path(here, ec);
    if (status != 0) std::fprintf(stderr, "zip failed for %s\n", name.c_str());
  }
  fs::remove_all(scratch);
  return names;
}

// Runs the two sides once per round, each going first every other round, so neither always meets a
// machine the other has just warmed up or left busy.
template <class Ours, class Peer>
void takeTurns(int rounds, Ours ours, Peer peer) {
  for (int r = 0; r < rounds; ++r) {
    if (r % 2 == 0) {
      ours();
      peer();
    } else {
      peer();
      ours();
    }
  }
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

inline double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace qv::bench
