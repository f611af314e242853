#pragma once
// The add-on server started as a process on a free loopback port over a scratch folder, and a
// client that sends exactly the fields a test writes and reads the answer to the connection's end.
#include <arpa/inet.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "test_dir.h"

namespace qv::test {

struct Reply {
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;

  bool has(const std::string& name) const { return headers.count(name) != 0; }
  std::string operator[](const std::string& name) const {
    return has(name) ? headers.at(name) : std::string();
  }
};

class AddonServerProcess {
 public:
  TestDir site;
  TestDir logs;

  AddonServerProcess() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
    close(probe);
    port_ = ntohs(a.sin_port);
    pid_ = fork();
    if (pid_ == 0) {
      if (!freopen(logs.file("server.log").c_str(), "w", stdout)) _exit(127);
      execl(QV_ADDON_SERVER, QV_ADDON_SERVER, std::to_string(port_).c_str(), site.str().c_str(), nullptr);
      _exit(127);
    }
    for (int i = 0, fd = -1; i < 200 && fd < 0; ++i) {
      if ((fd = connected()) >= 0)
        close(fd);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
  ~AddonServerProcess() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }

  std::string log() const { return readAll(logs.file("server.log")); }

  // One GET on its own connection ("Connection: close"), read until the server hangs up.
  Reply get(const std::string& path, const std::vector<std::string>& fields = {}) const {
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    for (const std::string& f : fields) request += f + "\r\n";
    request += "\r\n";
    std::string raw;
    const int fd = connected();
    const timeval timeout{10, 0};
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (fd >= 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
      char buffer[65536];
      for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        raw.append(buffer, static_cast<size_t>(n));
    }
    if (fd >= 0) close(fd);
    Reply reply;
    const size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos || raw.size() < 12) return reply;
    reply.status = std::stoi(raw.substr(9, 3));
    for (size_t line = raw.find("\r\n") + 2, next; line < end; line = next + 2) {
      next = raw.find("\r\n", line);
      const std::string header = raw.substr(line, next - line);
      const size_t colon = std::min(header.find(':'), header.size());
      std::string name = header.substr(0, colon);
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      reply.headers[name] = header.substr(std::min(header.find_first_not_of(' ', colon + 1), header.size()));
    }
    reply.body = raw.substr(end + 4);
    return reply;
  }

 private:
  static sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    return a;
  }
  int connected() const {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(port_);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return fd;
    close(fd);
    return -1;
  }

  int port_ = 0;
  pid_t pid_ = -1;
};

// Bytes that differ from their neighbours, so a body shifted by one byte never passes for another.
inline std::string distinctBytes(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 % 251);
  return s;
}

// An HTTP date in one of its three forms, written by the C library, and read back.
inline std::string httpDate(std::time_t t, const char* format = "%a, %d %b %Y %H:%M:%S GMT") {
  std::tm utc{};
  gmtime_r(&t, &utc);
  char out[64];
  std::strftime(out, sizeof out, format, &utc);
  return out;
}
inline std::time_t timeOfHttpDate(const std::string& text) {
  std::tm utc{};
  return strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &utc) ? timegm(&utc) : -1;
}

}  // namespace qv::test
