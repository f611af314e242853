#pragma once
// What the in-process cases share: a fresh folder per case and a main loop to pump while waiting.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/main_loop.h"

namespace qv::in_process {

// A folder of the case's own under the system's temporary folder, removed afterwards. Paths are
// UTF-8, as the program keeps them.
class CaseDir {
 public:
  CaseDir() {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("qv-in-process-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~CaseDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  CaseDir(const CaseDir&) = delete;
  CaseDir& operator=(const CaseDir&) = delete;

  std::string file(const std::string& name) const {
    const std::u8string s =
        (path_ / std::filesystem::path(std::u8string(name.begin(), name.end()))).u8string();
    return std::string(s.begin(), s.end());
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(path_)) {
      const std::u8string s = e.path().filename().u8string();
      out.emplace_back(s.begin(), s.end());
    }
    return out;
  }

 private:
  std::filesystem::path path_;
};

inline std::string readAll(const std::string& utf8Path) {
  std::ifstream in(std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end())), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& utf8Path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(std::u8string(utf8Path.begin(), utf8Path.end())),
                    std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Lets the main loop run its posted calls until `done` holds; false when the time ran out first.
template <class Pred>
bool pumpUntil(platform::MainLoop& loop, Pred done,
               std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    loop.processMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

// Pumps until `ready()` holds and `count()` has then stayed the same for `quiet`: a transfer whose
// server has stopped sending has reported what it got and is waiting inside the platform.
template <class Ready, class Count>
bool pumpUntilQuiet(platform::MainLoop& loop, Ready ready, Count count,
                    std::chrono::milliseconds quiet = std::chrono::milliseconds(500)) {
  auto last = count();
  auto since = std::chrono::steady_clock::now();
  return pumpUntil(loop, [&] {
    const auto now = std::chrono::steady_clock::now();
    if (!ready() || count() != last) {
      last = count();
      since = now;
      return false;
    }
    return now - since >= quiet;
  });
}

}  // namespace qv::in_process
