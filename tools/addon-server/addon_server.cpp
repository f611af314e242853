// addon-server: serves a folder over HTTP on loopback for the demo and the Windows end-to-end tests,
// logging one line per request. Fault modes imitate the ways real servers fail.
#include <httplib.h>
#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "body_sending.h"
#include "entity_tags.h"
#include "fault_modes.h"
#include "file_answer.h"
#include "file_snapshot.h"
#include "http_date.h"
#include "transfer_stats.h"

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: addon-server PORT FOLDER [--bind ADDRESS]\n"
    "\n"
    "Serves the files under FOLDER by HTTP GET on ADDRESS:PORT (ADDRESS defaults to 127.0.0.1).\n"
    "Each request is logged on standard output as one line: method, path, status, bytes (the body\n"
    "bytes really sent: a body cut short counts what left).\n"
    "\n"
    "Request paths are percent-decoded. A path that names no file as UTF-8 is tried again as Big5\n"
    "(code page 950), the bytes a Windows client sends for a name it did not escape.\n"
    "\n"
    "A file is answered as a static web server answers: with a strong ETag (its size and modification\n"
    "time), Last-Modified and Accept-Ranges: bytes; 304 to If-None-Match or, without that field,\n"
    "If-Modified-Since; 206 to a single byte range (Range: bytes=N-, N-M or -S), 416 with\n"
    "Content-Range: bytes */LENGTH to one past the end, the whole file when If-Range does not match.\n"
    "Several ranges in one request are answered with the whole file.\n"
    "\n"
    "  GET /__stats          requests and body bytes sent, in all and per path (\"PATH REQUESTS BYTES\")\n"
    "  GET /__stats/reset    the same, then zeroes the counts; neither is counted itself\n"
    "\n"
    "Fault modes, chosen by a path prefix in front of a file's path:\n"
    "  /fault/404/PATH         answers 404 with an HTML page, whether PATH exists or not\n"
    "  /fault/500/PATH         answers 500 with an HTML page\n"
    "  /fault/html/PATH        answers 200 with an HTML error page instead of the file\n"
    "  /fault/truncate/PATH    announces the file's (or range's) full length, sends half and hangs up\n"
    "  /fault/cut90/PATH       the same with 90% of it sent\n"
    "  /fault/slow/PATH        sends the file in 1 KiB pieces, 50 ms apart\n"
    "  /fault/nolength/PATH    sends the file without Content-Length, ended by closing the connection\n"
    "  /fault/stall/PATH       reads the request and never answers (for five minutes, then hangs up)\n"
    "  /fault/always304/PATH   answers 304 to every request, validators or none\n"
    "  /fault/etagchurn/PATH   a new ETag on every answer, so no If-None-Match or If-Range matches\n"
    "  /fault/futuredate/PATH  Last-Modified ten years ahead of now\n"
    "  /fault/baddate/PATH     Last-Modified that is no date (\"yesterday-ish\")\n"
    "  /fault/always206/PATH   answers 206 with the file from byte 1 (Content-Range to match), asked or not\n"
    "  /fault/badrange/PATH    answers a range with 206 for one that starts a byte later than asked\n"
    "  /fault/norange/PATH     ignores Range and If-Range: 200 with the whole file, no Accept-Ranges\n"
    "Each keeps the ETag and Last-Modified fields unless it is about them.\n"
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

// A request field; several fields of one name read as one list, as HTTP combines them.
std::optional<std::string> field(const httplib::Request& req, const char* name) {
  const size_t count = req.get_header_value_count(name);
  if (count == 0) return std::nullopt;
  std::string value;
  for (size_t i = 0; i < count; ++i) value += (i ? ", " : "") + req.get_header_value(name, i);
  return value;
}

int64_t secondsOf(int64_t ns) {
  return ns / 1000000000 - (ns % 1000000000 < 0 ? 1 : 0);
}

std::string contentRange(uint64_t first, uint64_t length, uint64_t size) {
  if (length == 0) return "bytes */" + std::to_string(size);
  return "bytes " + std::to_string(first) + "-" + std::to_string(first + length - 1) + "/" +
         std::to_string(size);
}

void serveFile(const fs::path& file, const std::string& fault, const httplib::Request& req,
               httplib::Response& res) {
  const std::optional<addon_server::FileSnapshot> snapshot = addon_server::readSnapshot(file);
  if (!snapshot) {
    res.status = 404;
    addon_server::sendText(res, kErrorPage, "text/html");
    return;
  }
  const uint64_t size = snapshot->bytes->size();
  const int64_t mtime = secondsOf(snapshot->mtimeNs);
  const addon_server::Validators validators = addon_server::faultedValidators(
      fault,
      {addon_server::fileEntityTag(size, snapshot->mtimeNs), addon_server::formatHttpDate(mtime), mtime},
      size, snapshot->mtimeNs);
  const addon_server::RequestConditions conditions{field(req, "If-None-Match"),
                                                   field(req, "If-Modified-Since"), field(req, "Range"),
                                                   field(req, "If-Range")};
  const addon_server::FileAnswer answer = addon_server::faultedAnswer(
      fault, addon_server::answerFor(conditions, validators, size, addon_server::faultServesRanges(fault)),
      size);

  res.status = answer.status;
  res.set_header("ETag", validators.entityTag);
  res.set_header("Last-Modified", validators.lastModified);
  if (addon_server::faultServesRanges(fault)) res.set_header("Accept-Ranges", "bytes");
  const std::string type = contentType(file);
  switch (answer.status) {
    case 304:
      // cpp-httplib would add "Content-Length: 0", which states an empty file; the length a 200 would
      // have announced is the one value allowed here.
      res.set_header("Content-Length", std::to_string(size));
      return;
    case 416:
      res.set_header("Content-Range", contentRange(0, 0, size));
      return;
    case 206:
      res.set_header("Content-Range", contentRange(answer.first, answer.length, size));
      break;
    default:
      break;
  }
  addon_server::sendBody(res, snapshot->bytes, answer.first, answer.length, type,
                         addon_server::faultDelivery(fault));
}

void serve(const Site& site, const fs::path& root, addon_server::TransferStats& stats,
           const httplib::Request& req, httplib::Response& res) {
  // Ranges are answered here, from the file's validators; left in the request, cpp-httplib would cut
  // every body (a 200 for a failed If-Range too) to the ranges itself. The request is a non-const
  // object inside the library, handed to handlers as const.
  const_cast<httplib::Request&>(req).ranges.clear();
  addon_server::takeBodyBytesSent();
  res.status = 200;
  res.set_header("Date", addon_server::formatHttpDate(std::time(nullptr)));
  if (req.path == "/__stats" || req.path == "/__stats/reset") {
    addon_server::sendText(res, req.path == "/__stats" ? stats.report() : stats.reset(), "text/plain");
    return;
  }
  const addon_server::FaultedPath target = addon_server::faultOf(root, req.path);
  const std::string& fault = target.mode;
  if (fault == "stall") {
    // A server that accepted the connection and then says nothing at all.
    std::this_thread::sleep_for(std::chrono::minutes(5));
    res.status = 503;
    return;
  }
  if (fault == "404" || fault == "500") {
    res.status = std::stoi(fault);
    addon_server::sendText(res, kErrorPage, "text/html");
    return;
  }
  if (fault == "html") {
    addon_server::sendText(res, kErrorPage, "text/html");
    return;
  }
  if (!fault.empty() && !addon_server::isFaultMode(fault)) {
    res.status = 400;
    addon_server::sendText(res, "unknown fault mode\n", "text/plain");
    return;
  }
  const std::optional<fs::path> file = site.resolve(target.path);
  if (!file) {
    res.status = 404;
    addon_server::sendText(res, kErrorPage, "text/html");
    return;
  }
  serveFile(*file, fault, req, res);
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
  addon_server::TransferStats stats;
  server.Get(
      ".*", [&](const httplib::Request& req, httplib::Response& res) { serve(site, root, stats, req, res); });
  // cpp-httplib answers 416 itself, before any handler, to a Range field it cannot parse. A static
  // server ignores such a field and answers the request; this does the same from here.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([&](const httplib::Request& req, httplib::Response& res) {
        if (res.status != 416 || res.has_header("Content-Range"))
          return httplib::Server::HandlerResponse::Unhandled;
        res = httplib::Response();
        serve(site, root, stats, req, res);
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_logger([&stats](const httplib::Request& req, const httplib::Response& res) {
    const uint64_t bytes = addon_server::takeBodyBytesSent();
    if (req.path != "/__stats" && req.path != "/__stats/reset") stats.record(req.path, bytes);
    std::printf("%s %s %d %llu\n", req.method.c_str(), req.path.c_str(), res.status,
                static_cast<unsigned long long>(bytes));
    std::fflush(stdout);
  });
  std::printf("addon-server: serving %s on http://%s:%d\n", fs::canonical(positional[1]).c_str(),
              bind.c_str(), port);
  std::fflush(stdout);
  if (!server.listen(bind, port)) {
    std::fprintf(stderr, "addon-server: cannot listen on %s:%d\n", bind.c_str(), port);
    return 1;
  }
  return 0;
}
