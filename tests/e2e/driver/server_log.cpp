#include "driver/server_log.h"

#include <windows.h>

#include <sstream>

#include "driver/files.h"
#include "driver/site.h"

namespace qv::e2e {

namespace {

std::wstring logPath() {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(L"QV_E2E_SERVER_LOG", buffer, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return {};
  const std::wstring value(buffer, n);
  return value.front() == L'/' ? windowsPathOfUnixPath(value) : value;
}

}  // namespace

bool serverLogAvailable() {
  const std::wstring path = logPath();
  return !path.empty() && isFile(path);
}

std::vector<std::string> serverRequests() {
  std::vector<std::string> requests;
  const std::wstring path = logPath();
  if (path.empty()) return requests;
  const auto bytes = readBytes(path);
  if (!bytes) return requests;
  std::istringstream lines(*bytes);
  std::string line;
  while (std::getline(lines, line)) {
    // "METHOD PATH STATUS BYTES"; the server's own first line says something else.
    std::istringstream fields(line);
    std::string method, target, status;
    if (!(fields >> method >> target >> status) || method != "GET") continue;
    requests.push_back(method + " " + target);
  }
  return requests;
}

std::vector<int> answersTo(const std::string& path) {
  std::vector<int> statuses;
  const std::wstring file = logPath();
  const auto bytes = file.empty() ? std::nullopt : readBytes(file);
  if (!bytes) return statuses;
  std::istringstream lines(*bytes);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string method, target;
    int status = 0;
    if (fields >> method >> target >> status && method == "GET" && target == path) statuses.push_back(status);
  }
  return statuses;
}

int requestsFor(const std::string& path) {
  int n = 0;
  for (const std::string& request : serverRequests())
    if (request == "GET " + path) ++n;
  return n;
}

}  // namespace qv::e2e
