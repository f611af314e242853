// refresh_bench [ENTRIES] [ROUNDS]
// Times the main window's whole refresh (fetch, parse, insert every row, start one archive download per
// row, status check) of a generated catalogue served on loopback, and the peer figure: fetching the same document with libcurl into
// memory plus parsing it with pugixml from memory. Prints the medians and their ratio.
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/quorvane_app.h"
#include "platform/headless/headless_platform.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string makeCatalogue(int entries) {
  std::mt19937 rng(1);
  std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<plug>\n";
  for (int i = 0; i < entries; ++i) {
    const std::string name = "Addon" + std::to_string(rng() % 1000000) + "_" + std::to_string(i);
    const std::string folder = i % 10 == 0 ? name + "," + name + "Data" : name;
    doc += "  <Item plugName=\"" + name + "\" plugCName=\"插件" + std::to_string(i) + "號\" plugfolder=\"" + folder +
           "\" plugdescribe=\"這是第" + std::to_string(i) + "個插件的說明文字，用來測試列表的效能。\"/>\n";
  }
  return doc + "</plug>\n";
}

size_t toString(char* data, size_t size, size_t n, void* out) {
  static_cast<std::string*>(out)->append(data, size * n);
  return size * n;
}

double peerSeconds(const std::string& url) {
  const auto start = Clock::now();
  std::string body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, toString);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  pugi::xml_document doc;
  const pugi::xml_parse_result ok = doc.load_buffer(body.data(), body.size());
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  if (!ok || std::distance(doc.document_element().begin(), doc.document_element().end()) == 0)
    std::fprintf(stderr, "peer parse failed\n");
  return s;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::string catalogue = makeCatalogue(entries);

  httplib::Server server;
  server.Get("/Data.xml", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(catalogue, "text/xml");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const std::string base = "http://127.0.0.1:" + std::to_string(port);

  const fs::path work = fs::temp_directory_path() / ("qv-refresh-bench-" + std::to_string(::getpid()));
  fs::create_directories(work / "game" / "Interface");
  for (int i = 0; i < entries; i += 3) fs::create_directories(work / "game" / "Interface" / ("Addon" + std::to_string(i)));
  {
    std::ofstream ini(work / "Config.ini", std::ios::binary);
    ini << "[game]\r\ngamepath=" << (work / "game" / "JX3Client.exe").string() << "\r\n";
  }

  std::vector<double> ours, peer, road;
  int rows = 0;
  for (int r = 0; r < rounds; ++r) {
    peer.push_back(peerSeconds(base + "/Data.xml"));

    qv::platform::headless::HeadlessPlatform platform((work / "Quorvane.exe").string(), work.string());
    qv::app::QuorvaneApp app(platform, qv::download::ServerResources{base});
    app.start();
    const auto start = Clock::now();
    app.form1().Button3Click();
    ours.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    rows = app.form1().addonList().count();
    const auto roadStart = Clock::now();
    app.form1().Button4Click();
    road.push_back(std::chrono::duration<double>(Clock::now() - roadStart).count());
  }
  server.stop();
  serving.join();
  fs::remove_all(work);

  const double o = median(ours), p = median(peer);
  std::printf("catalogue: %d entries, %.1f MB, %d rows listed, %d rounds (medians)\n", entries,
              static_cast<double>(catalogue.size()) / 1e6, rows, rounds);
  std::printf("refresh (fetch, parse, insert, start downloads, status check): %.1f ms\n", o * 1000);
  std::printf("peer (curl fetch + pugixml parse from memory): %.1f ms\n", p * 1000);
  std::printf("download-all road alone, once more on the filled list: %.1f ms\n", median(road) * 1000);
  std::printf("ratio refresh / peer: %.2f (target: at most 3.00)\n", o / p);
  return rows == entries ? 0 : 1;
}
