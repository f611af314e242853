#include "hung_transfer.h"

#include <windows.h>

#include <memory>

#include "case_support.h"
#include "download/download_workers.h"
#include "driver/text.h"
#include "platform/win32/url_download_win32.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_main_loop.h"

namespace qv::in_process {

namespace {
const wchar_t kUrlVariable[] = L"QV_HUNG_TRANSFER_URL";
const wchar_t kFileVariable[] = L"QV_HUNG_TRANSFER_FILE";

std::string variable(const wchar_t* name) {
  wchar_t buffer[4096] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
  return n > 0 && n < 4096 ? e2e::utf8(std::wstring_view(buffer, n)) : std::string();
}
}  // namespace

std::optional<HungTransfer> hungTransferRequest() {
  HungTransfer request{variable(kUrlVariable), variable(kFileVariable)};
  if (request.url.empty() || request.file.empty()) return std::nullopt;
  return request;
}

void requestHungTransfer(const HungTransfer& request) {
  SetEnvironmentVariableW(kUrlVariable, e2e::wide(request.url).c_str());
  SetEnvironmentVariableW(kFileVariable, e2e::wide(request.file).c_str());
}

void clearHungTransferRequest() {
  SetEnvironmentVariableW(kUrlVariable, nullptr);
  SetEnvironmentVariableW(kFileVariable, nullptr);
}

int runHungTransfer(const HungTransfer& request) {
  platform::win32::Win32Dialogs dialogs;
  platform::win32::Win32MainLoop loop(dialogs);
  platform::win32::UrlMonDownloader downloader;
  auto pool = std::make_unique<download::DownloadWorkers>(downloader, loop);
  // Limits far beyond the pool's wait, so the transfer is still hung when the pool gives up on it.
  platform::DownloadTerms terms;
  terms.bounds.connect = std::chrono::seconds(300);
  terms.bounds.silence = std::chrono::seconds(300);
  bool moving = false;  // main thread only, as the progress handler runs there
  int reports = 0;
  pool->start(
      {request.url, request.file, terms},
      [&](download::TFileDownLoadThread&, uint32_t progress, uint32_t) {
        ++reports;
        if (progress > 0) moving = true;
      },
      [](download::TFileDownLoadThread&) {}, [](download::TFileDownLoadThread&, int32_t) {});
  // The server sends half the body and stops: once urlmon has reported that, it waits for the rest.
  if (!pumpUntilQuiet(
          loop, [&] { return moving; }, [&] { return reports; }))
    return kHungTransferNeverMoved;
  if (pool->shutdown(std::chrono::milliseconds(500))) return kHungTransferNotHung;
  // As the main window goes: the pool's destructor lets go of what it could not end.
  pool.reset();
  return kHungTransferEnded;
}

}  // namespace qv::in_process
