// addon-server: serves a folder over HTTP on loopback for the demo and the Windows end-to-end tests,
// logging one line per request. Fault modes imitate the ways real servers fail.
#include <httplib.h>
#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: addon-server PORT FOLDER [--bind ADDRESS]\n"
    "\n"
    "Serves the files under FOLDER by HTTP GET on ADDRESS:PORT (ADDRESS defaults to 127.0.0.1).\n"
    "Each request is logged on standard output as one line: method, path, status, bytes.\n"
    "\n"
    "Request paths are percent-decoded. A path that names no file as UTF-8 is tried again as Big5\n"
    "(code page 950), the bytes a Windows client sends for a name it did not escape.\n"
    "\n"
    "Fault modes, chosen by a path prefix in front of a file's path:\n"
    "  /fault/404/PATH       answers 404 with an HTML page, whether PATH exists or not\n"
    "  /fault/500/PATH       answers 500 with an HTML page\n"
    "  /fault/html/PATH      answers 200 with an HTML error page instead of the file\n"
    "  /fault/truncate/PATH  announces the file's full length, sends half of it and hangs up\n"
    "  /fault/slow/PATH      sends the file in 1 KiB pieces, 50 ms apart\n"
    "  /fault/nolength/PATH  sends the file without Content-Length, ended by closing the connection\n"
    "  /fault/stall/PATH     reads the request and never answers (for five minutes, then hangs up)\n"
    "\n"
    "A fault can also be put on a path the client asks for as it is: FOLDER/.faults holds lines\n"
    "\"MODE PATH\" (for example \"stall /Data.xml\"), read at every request.\n";

const char kErrorPage[] =
    "<html><head><title>Error</title></head><body><h1>Error</h1><p>The page is not available.<br>"
    "</body></html>";

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};

// Big5 bytes to UTF-8, or nothing when the bytes are not Big5.
std::optional<std::string> big5ToUtf8(const std::string& in) {
  iconv_t raw = iconv_open("UTF-8", "BIG5");
  if (raw == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser> cd(raw);
  std::string out(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  if (iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return std::nullopt;
  out.resize(out.size() - dstLeft);
  return out;
}

std::string contentType(const fs::path& p) {
  const std::string ext = p.extension().string();
  if (ext == ".xml") return "text/xml; charset=utf-8";
  if (ext == ".ini" || ext == ".txt") return "text/plain";
  if (ext == ".php" || ext == ".html" || ext == ".htm") return "text/html; charset=utf-8";
  if (ext == ".zip") return "application/zip";
  return "application/octet-stream";
}

class Site {
 public:
  explicit Site(fs::path root) : root_(fs::canonical(root)) {}

  // The file a request path names, or nothing. Paths that climb out of the folder name nothing.
  std::optional<fs::path> resolve(const std::string& requestPath) const {
    if (auto p = lookup(requestPath)) return p;
    if (auto utf8 = big5ToUtf8(requestPath)) return lookup(*utf8);
    return std::nullopt;
  }

 private:
  std::optional<fs::path> lookup(const std::string& requestPath) const {
    const fs::path relative = fs::path(requestPath).relative_path().lexically_normal();
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    const fs::path full = root_ / relative;
    std::error_code ec;
    if (!fs::is_regular_file(full, ec)) return std::nullopt;
    return full;
  }

  fs::path root_;
};

std::string readWhole(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The mode FOLDER/.faults puts on `path`, or nothing.
std::string faultFromFile(const fs::path& root, const std::string& path) {
  std::ifstream in(root / ".faults");
  std::string mode, faultPath;
  while (in >> mode >> faultPath)
    if (faultPath == path) return mode;
  return {};
}

void serve(const Site& site, const fs::path& root, const httplib::Request& req, httplib::Response& res) {
  std::string path = req.path;
  std::string fault;
  if (path.rfind("/fault/", 0) == 0) {
    const size_t end = path.find('/', 7);
    fault = path.substr(7, end == std::string::npos ? std::string::npos : end - 7);
    path = end == std::string::npos ? "/" : path.substr(end);
  } else {
    fault = faultFromFile(root, path);
  }
  if (fault == "stall") {
    // A server that accepted the connection and then says nothing at all.
    std::this_thread::sleep_for(std::chrono::minutes(5));
    res.status = 503;
    return;
  }
  if (fault == "404" || fault == "500") {
    res.status = std::stoi(fault);
    res.set_content(kErrorPage, "text/html");
    return;
  }
  if (fault == "html") {
    res.set_content(kErrorPage, "text/html");
    return;
  }
  if (!fault.empty() && fault != "truncate" && fault != "slow" && fault != "nolength") {
    res.status = 400;
    res.set_content("unknown fault mode\n", "text/plain");
    return;
  }
  const std::optional<fs::path> file = site.resolve(path);
  if (!file) {
    res.status = 404;
    res.set_content(kErrorPage, "text/html");
    return;
  }
  auto body = std::make_shared<std::string>(readWhole(*file));
  const std::string type = contentType(*file);
  if (fault == "truncate") {
    res.set_content_provider(body->size(), type, [body](size_t offset, size_t, httplib::DataSink& sink) {
      const size_t half = body->size() / 2;
      if (offset >= half) return false;  // hang up with the rest still owed
      sink.write(body->data() + offset, half - offset);
      return true;
    });
  } else if (fault == "slow") {
    res.set_content_provider(body->size(), type, [body](size_t offset, size_t, httplib::DataSink& sink) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      sink.write(body->data() + offset, std::min<size_t>(1024, body->size() - offset));
      return true;
    });
  } else if (fault == "nolength") {
    res.set_content_provider(type, [body](size_t offset, httplib::DataSink& sink) {
      if (offset >= body->size()) return false;  // closing the connection ends the body
      sink.write(body->data() + offset, body->size() - offset);
      return true;
    });
  } else {
    res.set_content(*body, type);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string bind = "127.0.0.1";
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--bind" && i + 1 < argc) {
      bind = argv[++i];
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) {
    std::cerr << kUsage;
    return 2;
  }
  const int port = std::atoi(positional[0].c_str());
  std::error_code ec;
  if (port <= 0 || port > 65535 || !fs::is_directory(positional[1], ec)) {
    std::cerr << "addon-server: need a port from 1 to 65535 and an existing folder\n";
    return 2;
  }
  const Site site(positional[1]);

  httplib::Server server;
  // The header and the body go out in separate writes; with Nagle's rule the body would wait for the
  // client's acknowledgement of the header, which Linux delays by 40 ms on loopback. Web servers send
  // at once, and so does this one, or every small file would take 40 ms at random.
  server.set_tcp_nodelay(true);
  const fs::path root = fs::canonical(positional[1]);
  server.Get(".*", [&site, &root](const httplib::Request& req, httplib::Response& res) { serve(site, root, req, res); });
  server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    const size_t bytes = res.body.empty() ? res.content_length_ : res.body.size();
    std::printf("%s %s %d %zu\n", req.method.c_str(), req.path.c_str(), res.status, bytes);
    std::fflush(stdout);
  });
  std::printf("addon-server: serving %s on http://%s:%d\n", fs::canonical(positional[1]).c_str(), bind.c_str(),
              port);
  std::fflush(stdout);
  if (!server.listen(bind, port)) {
    std::fprintf(stderr, "addon-server: cannot listen on %s:%d\n", bind.c_str(), port);
    return 1;
  }
  return 0;
}
