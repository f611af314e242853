// refresh_wine_bench BASE_URL SITE_FOLDER [--rounds R] [ENTRIES ...]
//
// The catalogue refresh of the Windows build, phase by phase, on generated catalogues (default 1,000
// and 10,000 entries): the bench writes SITE_FOLDER\Data.xml, which the add-on server on BASE_URL
// serves, and a game folder beside itself whose Interface folder holds every third add-on.
//
// Phases, each measured on its own with the classes the refresh uses:
//   load    the XML document fetches and parses Data.xml (and is discarded at the end); the fetch
//           alone (the platform's downloader into a file, as the document fetches) is shown below it
//   walk    every item's four attributes are read and copied out
//   order   the rows are queued in the add-on list and sorted by name (a list with no window)
//   fill    the sorted rows go into the real list view (the main window's list: the same batch as
//           the refresh runs, less the ordering measured above)
//   status  the status check against the Interface folder
//   paint   the window's messages until the queue is empty
// then the whole refresh as the button runs it (TForm1::Button3Click, then the messages until the
// window has painted: the catalogue, the start of the download-all road and its status check; the
// archive downloads it starts, which 404 on the bench's server, are dropped after the measurement,
// so every round starts on a quiet machine and none pays for the transfers of the one before), and
// the floor: a minimal reader that loads the same URL with the same engine (MSXML through COM) and
// reads the four attributes of every item, nothing else (its load shown below it). Medians over the
// rounds.
//
// Run it through scripts/bench-wine, which gives it a fresh Wine prefix, a display and the server.
#include <windows.h>
#include <commctrl.h>
#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/quorvane_app.h"
#include "catalogue/catalogue_reader.h"
#include "catalogue/status_check.h"
#include "platform/bounded_download.h"
#include "platform/win32/win32_platform.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr IID kIidXmlDomDocument = {0x2933bf81, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// Names independent of the catalogue's size, so every catalogue is a prefix of the largest one and
// one Interface folder serves them all; their order is not the document order.
std::string nameOf(int i) {
  return "Addon" + std::to_string(static_cast<uint64_t>(i) * 2654435761u % 1000000u) + "_" + std::to_string(i);
}

std::string makeCatalogue(int entries) {
  std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<plug>\n";
  for (int i = 0; i < entries; ++i) {
    const std::string name = nameOf(i);
    const std::string folder = i % 10 == 0 ? name + "," + name + "Data" : name;
    doc += "  <Item plugName=\"" + name + "\" plugCName=\"插件" + std::to_string(i) + "號\" plugfolder=\"" + folder +
           "\" plugdescribe=\"這是第" + std::to_string(i) + "個插件的說明文字，用來測試列表的效能。\"/>\n";
  }
  return doc + "</plug>\n";
}

std::wstring wide(const std::string& s) {
  std::wstring w(s.size(), L'\0');
  w.resize(static_cast<size_t>(
      ::MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), static_cast<int>(w.size()))));
  return w;
}

std::string utf8(const std::wstring& w) {
  std::string s(w.size() * 3, '\0');
  s.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(),
                                                      static_cast<int>(s.size()), nullptr, nullptr)));
  return s;
}

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Until nothing is left to do: the list paints the rows it shows.
void pump() {
  MSG m;
  while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
}

// Until the window has painted what changed: the counters then show the new count, which is where the
// refresh ends for the player. Messages posted before that (the first archives' handlers) run first,
// as in the program's own loop, where the paint waits for them too.
void untilPainted() {
  MSG m;
  while ((HIWORD(::GetQueueStatus(QS_PAINT)) & QS_PAINT) != 0 &&
         ::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&m);
    ::DispatchMessageW(&m);
  }
}

// Drops what is left of the download-all road the refresh started (ten thousand transfers that 404
// on the bench's server would run for a minute), lets the few running ones end and their messages
// through, so the next round starts on a quiet machine.
void settle(qv::app::QuorvaneApp& app) {
  const auto start = Clock::now();
  qv::download::DownloadWorkers& downloads = app.form1().downloads();
  downloads.dropWaiting();
  while (downloads.size() > 0 && since(start) < 90) {
    pump();
    ::Sleep(1);
  }
  if (downloads.size() > 0) throw std::runtime_error("the archive downloads did not end within 90 s");
  if (since(start) > 1)
    std::printf("(the running transfers took %.0f s to end between rounds)\n", since(start));
  pump();
}

class ComApartment {
 public:
  ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE); }
  ~ComApartment() { ::CoUninitialize(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

// The floor: what any program must spend to have the four attributes of every item from MSXML. Raw
// COM, the same engine and parse options as the program, siblings walked, values dropped at once.
// Returns the seconds, or a negative number when the document did not load.
double floorSeconds(const std::wstring& url, int& items, double& loadSeconds) {
  const auto start = Clock::now();
  CLSID clsid;
  if (FAILED(::CLSIDFromProgID(L"Msxml2.DOMDocument.6.0", &clsid)) &&
      FAILED(::CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &clsid)))
    return -1;
  IXMLDOMDocument* doc = nullptr;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                reinterpret_cast<void**>(&doc))))
    return -1;
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  doc->put_preserveWhiteSpace(VARIANT_FALSE);
  VARIANT source;
  ::VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = ::SysAllocString(url.c_str());
  VARIANT_BOOL ok = VARIANT_FALSE;
  doc->load(source, &ok);
  ::VariantClear(&source);
  items = 0;
  if (ok != VARIANT_TRUE) {
    doc->Release();
    return -1;
  }
  loadSeconds = since(start);
  BSTR names[4] = {::SysAllocString(L"plugName"), ::SysAllocString(L"plugCName"), ::SysAllocString(L"plugfolder"),
                   ::SysAllocString(L"plugdescribe")};
  IXMLDOMElement* root = nullptr;
  IXMLDOMNode* node = nullptr;
  if (doc->get_documentElement(&root) == S_OK && root) root->get_firstChild(&node);
  while (node) {
    IXMLDOMElement* element = nullptr;
    if (SUCCEEDED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element)))) {
      for (BSTR name : names) {
        VARIANT value;
        ::VariantInit(&value);
        element->getAttribute(name, &value);
        ::VariantClear(&value);
      }
      element->Release();
      ++items;
    }
    IXMLDOMNode* next = nullptr;
    node->get_nextSibling(&next);
    node->Release();
    node = next;
  }
  if (root) root->Release();
  for (BSTR name : names) ::SysFreeString(name);
  doc->Release();
  return since(start);
}

// A list view with no window: the add-on list's ordering alone.
class NoWindowListView final : public qv::platform::ListView {
 public:
  const std::string& name() const override { return name_; }
  void setText(const std::string&) override {}
  std::string text() const override { return {}; }
  void setVisible(bool) override {}
  bool visible() const override { return false; }
  qv::platform::Rect bounds() const override { return {}; }
  void setColumns(const std::vector<qv::platform::ListColumn>&) override {}
  void setColumnCaption(int, const std::string&) override {}
  std::string columnCaption(int) const override { return {}; }
  void setRowSource(const qv::platform::ListRowSource*) override {}
  int rowCount() const override { return rows_; }
  void insertRow(int) override { ++rows_; }
  void resetRows(int count) override { rows_ = count; }
  void rowChanged(int) override {}
  std::string cell(int, int) const override { return {}; }
  void setChecked(int, bool) override {}
  bool checked(int) const override { return false; }
  void beginUpdate() override {}
  void endUpdate() override {}
  void setOnCheckChanged(std::function<void(int, bool)>) override {}
  void setOnColumnClick(std::function<void(int)>) override {}
  void setOnInfoTip(std::function<std::string(int)>) override {}

 private:
  std::string name_ = "bench";
  int rows_ = 0;
};

struct Entry {
  std::string name, chineseName, folderList, description;
};

struct Figures {
  std::map<std::string, std::vector<double>> phases;  // seconds per round
  std::vector<double> total, floor, floorLoad;
  int rows = 0, floorItems = 0;
  bool failed = false;
};

// Refresh over floor, round by round (the two run side by side, so a busy moment of the machine
// weighs on both), then the median of those.
double ratio(const Figures& f) {
  std::vector<double> r;
  for (size_t i = 0; i < f.total.size() && i < f.floor.size(); ++i) r.push_back(f.total[i] / f.floor[i]);
  return median(r);
}

const char* const kPhaseOrder[] = {"load", "walk", "order", "fill", "status", "paint"};
const char* phaseTitle(const std::string& p) {
  if (p == "load") return "fetch + load the document";
  if (p == "fetch") return "  of which the fetch (downloader)";
  if (p == "walk") return "walk the items, read attributes";
  if (p == "order") return "order (sort by name)";
  if (p == "fill") return "fill the list view";
  if (p == "status") return "status check";
  return "paint";
}

void runPhases(qv::platform::Platform& platform, qv::catalogue::AddonList& list, const std::string& url,
               const std::string& addonDir, const std::string& scratch, Figures& f) {
  // The fetch alone, as the document makes it: the downloader into a file, with the wait bounded.
  auto start = Clock::now();
  const int32_t fetched = qv::platform::downloadWithin(
      platform.downloader(), {url, scratch, {qv::platform::resource_bounds::kCatalogue, {}}});
  f.phases["fetch"].push_back(since(start));
  std::filesystem::remove(std::filesystem::path(wide(scratch)));
  if (fetched != 0) throw std::runtime_error("the downloader could not fetch " + url);

  start = Clock::now();
  std::unique_ptr<qv::platform::XmlDocument> doc = platform.xml().createDocument();
  doc->load(url);
  double load = since(start);

  start = Clock::now();
  std::vector<Entry> entries;
  std::unique_ptr<qv::platform::XmlNode> root = doc->documentElement();
  if (root) {
    qv::catalogue::forEachEntry(*root, [&](const qv::catalogue::CatalogueEntry& e) {
      entries.push_back({std::string(e.name), std::string(e.chineseName), std::string(e.folderList),
                         std::string(e.description)});
    });
  }
  root.reset();
  f.phases["walk"].push_back(since(start));
  start = Clock::now();
  doc.reset();
  load += since(start);
  f.phases["load"].push_back(load);

  NoWindowListView noWindow;
  qv::catalogue::AddonList model(noWindow, platform.collation(), platform.codec());
  start = Clock::now();
  {
    qv::catalogue::AddonList::Batch batch(model);
    model.reserve(static_cast<int>(entries.size()));
    for (const Entry& e : entries) model.addRow(e.name, e.chineseName, e.description, e.folderList);
  }
  const double order = since(start);
  f.phases["order"].push_back(order);

  start = Clock::now();
  {
    // As the refresh does it: emptied and refilled in one batch.
    qv::catalogue::AddonList::Batch batch(list);
    list.clear();
    list.reserve(static_cast<int>(entries.size()));
    for (const Entry& e : entries) list.addRow(e.name, e.chineseName, e.description, e.folderList);
  }
  f.phases["fill"].push_back(std::max(0.0, since(start) - order));

  start = Clock::now();
  qv::catalogue::checkStatuses(list, addonDir);
  f.phases["status"].push_back(since(start));

  start = Clock::now();
  pump();
  f.phases["paint"].push_back(since(start));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(utf8(argv[i]));
  int rounds = 5;
  std::vector<int> sizes;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--rounds" && i + 1 < args.size())
      rounds = std::max(1, std::atoi(args[++i].c_str()));
    else if (positional.size() < 2)
      positional.push_back(args[i]);
    else
      sizes.push_back(std::atoi(args[i].c_str()));
  }
  if (positional.size() < 2) {
    std::fprintf(stderr, "usage: refresh_wine_bench BASE_URL SITE_FOLDER [--rounds R] [ENTRIES ...]\n");
    return 2;
  }
  if (sizes.empty()) sizes = {1000, 10000};
  const std::string base = positional[0];
  const fs::path site = fs::path(wide(positional[1]));
  const std::string url = base + "/Data.xml";

  ComApartment com;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                                      ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&controls);

  // The program's files lie beside the running executable: Config.ini names the game there.
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path home = fs::path(self).parent_path();
  const fs::path game = home / "game";
  const int largest = *std::max_element(sizes.begin(), sizes.end());
  fs::create_directories(game / "Interface");
  for (int i = 0; i < largest; i += 3) fs::create_directories(game / "Interface" / nameOf(i));
  {
    std::ofstream ini(home / "Config.ini", std::ios::binary);
    ini << "[game]\r\ngamepath=" << utf8((game / "JX3Client.exe").wstring()) << "\r\n";
  }
  const std::string addonDir = qv::catalogue::addonDirectoryOf(utf8((game / "JX3Client.exe").wstring()));

  auto serve = [&](int entries) {
    std::ofstream out(site / "Data.xml", std::ios::binary);
    out << makeCatalogue(entries);
  };
  serve(sizes.front());

  qv::platform::win32::Win32Platform platform;
  qv::app::QuorvaneApp app(platform, qv::download::ServerResources{base});
  if (!app.start()) return 1;
  // The start-up pass (a refresh and the download-all road, three seconds after the show) runs before
  // anything is measured, as it would for a player, instead of in the middle of some round.
  const auto shown = Clock::now();
  while (app.form1().addonList().count() == 0 && since(shown) < 30) {
    pump();
    ::Sleep(1);
  }
  if (app.form1().addonList().count() == 0) {
    std::printf("the start-up pass did not fill the list within 30 s\n");
    return 1;
  }
  settle(app);

  std::printf("refresh of the Windows build, %d rounds per size (medians); server %s\n", rounds, base.c_str());
  std::map<int, Figures> results;
  for (int n : sizes) {
    serve(n);
    Figures& f = results[n];
    try {
      for (int r = 0; r < rounds; ++r) {
        runPhases(platform, app.form1().addonList(), url, addonDir, utf8((home / "bench-fetch.xml").wstring()), f);

        int items = 0;
        double floorLoad = 0;
        const double floor = floorSeconds(wide(url), items, floorLoad);
        if (floor < 0) throw std::runtime_error("the floor reader could not load " + url);
        f.floor.push_back(floor);
        f.floorLoad.push_back(floorLoad);
        f.floorItems = items;

        const auto start = Clock::now();
        app.form1().Button3Click();
        untilPainted();
        f.total.push_back(since(start));
        f.rows = app.form1().addonList().count();
        settle(app);
      }
    } catch (const std::exception& e) {
      std::printf("%d entries: failed: %s\n", n, e.what());
      f.failed = true;
    }
  }

  std::printf("\n%-36s", "phase (ms; µs per entry)");
  for (int n : sizes) std::printf(" %20d", n);
  std::printf("\n");
  auto row = [&](const char* title, const std::function<double(const Figures&)>& seconds) {
    std::printf("%-36s", title);
    for (int n : sizes) {
      const double s = seconds(results[n]);
      std::printf(" %10.1f (%7.2f)", s * 1000, s * 1e6 / n);
    }
    std::printf("\n");
  };
  for (const char* p : kPhaseOrder) {
    row(phaseTitle(p), [&](const Figures& f) { return median(f.phases.at(p)); });
    if (std::string(p) == "load") row(phaseTitle("fetch"), [&](const Figures& f) { return median(f.phases.at("fetch")); });
  }
  row("sum of the phases", [&](const Figures& f) {
    double s = 0;
    for (const char* p : kPhaseOrder) s += median(f.phases.at(p));
    return s;
  });
  row("refresh as the button runs it", [](const Figures& f) { return median(f.total); });
  row("floor: MSXML load + attribute reads", [](const Figures& f) { return median(f.floor); });
  row("  of which the load (MSXML fetches)", [](const Figures& f) { return median(f.floorLoad); });

  std::printf("\n");
  bool allMet = true;
  for (int n : sizes) {
    const Figures& f = results[n];
    if (f.failed) {
      allMet = false;
      continue;
    }
    std::printf("%6d entries: %d rows listed, floor read %d items; refresh / floor = %.2f (median of the rounds)\n", n,
                f.rows, f.floorItems, ratio(f));
    if (f.rows != n || f.floorItems != n) allMet = false;
  }
  const int small = *std::min_element(sizes.begin(), sizes.end());
  if (!results[largest].failed && !results[small].failed && largest != small) {
    const double total = median(results[largest].total), nearness = ratio(results[largest]);
    const double perEntryRatio =
        (total / largest) / (median(results[small].total) / small);
    const bool nearFloor = nearness <= 2, fast = total < 2.0, flat = perEntryRatio <= 1.1;
    std::printf("target: %d entries within 2x of the floor: %.2f %s\n", largest, nearness, nearFloor ? "met" : "MISSED");
    std::printf("target: %d entries under 2 s: %.2f s %s\n", largest, total, fast ? "met" : "MISSED");
    std::printf("target: cost per entry flat (%d vs %d, at most 1.10): %.2f %s\n", largest, small, perEntryRatio,
                flat ? "met" : "MISSED");
    allMet = allMet && nearFloor && fast && flat;
  }
  return allMet ? 0 : 1;
}
