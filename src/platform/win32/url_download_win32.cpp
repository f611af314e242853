#include "platform/win32/url_download_win32.h"

#include <windows.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cwchar>
#include <memory>
#include <string>

#include "common/file_system.h"
#include "platform/url_escape.h"
#include "platform/win32/binding_watchdog.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {

namespace dr = download_result;
using Microsoft::WRL::ComPtr;

// The value of a header in a block of "Name: value" lines, or an empty text.
std::wstring headerValue(const wchar_t* headers, const wchar_t* name) {
  if (headers == nullptr) return {};
  const size_t nameLen = std::wcslen(name);
  for (const wchar_t* line = headers; *line != L'\0';) {
    const wchar_t* end = line;
    while (*end != L'\0' && *end != L'\r' && *end != L'\n') ++end;
    if (static_cast<size_t>(end - line) > nameLen && _wcsnicmp(line, name, nameLen) == 0 &&
        line[nameLen] == L':') {
      const wchar_t* v = line + nameLen + 1;
      while (v < end && (*v == L' ' || *v == L'\t')) ++v;
      return std::wstring(v, end);
    }
    line = end;
    while (*line == L'\r' || *line == L'\n') ++line;
  }
  return {};
}

// The file the platform's HTTP layer writes the body to (its cache file), asked of the binding as soon
// as the answer has begun; empty when the binding does not say. WinINet's option holds an ANSI text;
// some urlmons (Wine's) hand the wide one, which starts with a letter and a zero byte.
std::wstring cacheFileOf(IBinding* binding) {
  constexpr DWORD kDataFileName = 33;  // INTERNET_OPTION_DATAFILE_NAME
  if (binding == nullptr) return {};
  ComPtr<IWinInetInfo> info;
  if (FAILED(binding->QueryInterface(IID_IWinInetInfo, reinterpret_cast<void**>(info.GetAddressOf()))) ||
      !info)
    return {};
  char buffer[2 * (MAX_PATH + 1) * sizeof(wchar_t)] = {};
  DWORD size = sizeof buffer - 2 * sizeof(wchar_t);  // room for a terminator of either kind
  if (FAILED(info->QueryOption(kDataFileName, buffer, &size)) || size == 0) return {};
  if (size >= 2 && buffer[0] != '\0' && buffer[1] == '\0') {
    std::wstring wide(reinterpret_cast<const wchar_t*>(buffer));
    return wide;
  }
  const int n = ::MultiByteToWideChar(CP_ACP, 0, buffer, -1, nullptr, 0);
  if (n <= 1) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, buffer, -1, wide.data(), n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

// A body's size against the cap, for the statuses that carry one: bytes so far and, once known, the
// whole length.
bool carriesBodySize(ULONG status) {
  return status == BINDSTATUS_BEGINDOWNLOADDATA || status == BINDSTATUS_DOWNLOADINGDATA ||
         status == BINDSTATUS_ENDDOWNLOADDATA;
}

// The binding-status callback of one transfer. Reference-counted as COM wants; the object owns
// itself through `self_` while any reference is out, so it goes when the last one is released. It
// reaches the caller's progress callback and the watchdog, both of which live on download()'s stack,
// only until detach(), so a reference urlmon keeps after the transfer leads nowhere.
class BindStatusCallback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  BindStatusCallback(const ProgressCallback& progress, BindingWatchdog& watchdog, uint64_t maxBytes)
      : progress_(&progress), watchdog_(&watchdog), maxBytes_(maxBytes) {}

  static ComPtr<BindStatusCallback> create(const ProgressCallback& progress, BindingWatchdog& watchdog,
                                           uint64_t maxBytes) {
    auto object = std::make_shared<BindStatusCallback>(progress, watchdog, maxBytes);
    object->self_ = object;  // the first reference
    ComPtr<BindStatusCallback> p;
    p.Attach(object.get());
    return p;
  }

  // urlmon calls the callback on the transfer's thread, which is also the one that detaches it.
  void detach() {
    progress_ = nullptr;
    watchdog_ = nullptr;
    binding_ = nullptr;
  }

  // What the server said, once it answered.
  DWORD httpStatus() const { return httpStatus_; }
  // The announced length, or -1.
  long long announcedLength() const { return announcedLength_; }
  // The body was, or was announced as, larger than the cap: the transfer was stopped for that.
  bool overCap() const { return overCap_; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
    } else if (IsEqualIID(riid, IID_IHttpNegotiate)) {
      *out = static_cast<IHttpNegotiate*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) {
      auto last = std::move(self_);  // destroys this object on leaving the block
    }
    return left;
  }

  // IBindStatusCallback
  // The binding goes to the watchdog, the one that may have to abort it from outside.
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    if (watchdog_ != nullptr) {
      watchdog_->watch(binding);
      binding_ = binding;  // the watchdog holds it until the transfer has ended
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG status,
                                       LPCWSTR text) override {
    if (watchdog_ == nullptr) return E_ABORT;
    const bool body = carriesBodySize(status);
    watchdog_->sign(BindingWatchdog::phaseOf(status), body ? progress : 0);
    // urlmon keeps the body in its cache file as it arrives: the watchdog measures that one too.
    if (status == BINDSTATUS_CACHEFILENAMEAVAILABLE && text != nullptr) {
      watchdog_->watchFile(text);
      cacheFileKnown_ = true;
    }
    if (!cacheFileKnown_ && body) findCacheFile();
    // Data flowing is the answer under way, also where no OnResponse came before it.
    if (body) watchdog_->answered();
    // The count so far passes the cap, or the length urlmon learnt from the server does: stop here.
    if (body && (progress > maxBytes_ || progressMax > maxBytes_)) refuseOverCap();
    if (overCap_ || httpStatus_ >= 400 || watchdog_->expired() || watchdog_->overCap()) return E_ABORT;
    if (!*progress_) return S_OK;
    // No exception may cross back into urlmon: a throwing callback ends the transfer like an abort.
    try {
      return (*progress_)(progress, progressMax) ? S_OK : E_ABORT;
    } catch (...) {
      return E_ABORT;
    }
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  // The platform's default binding options stay as they are, its cache use included.
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // IHttpNegotiate: adds no headers of its own; watches the status line.
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additional) override {
    if (additional != nullptr) *additional = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR headers, LPCWSTR, LPWSTR* additional) override {
    if (additional != nullptr) *additional = nullptr;
    if (watchdog_ != nullptr) {
      watchdog_->sign(BindingWatchdog::Phase::Connected);
      watchdog_->answered();
      // Wine's HTTP layer fills the cache file from here on, at the network's speed, long before
      // urlmon says a word about it.
      findCacheFile();
    }
    httpStatus_ = status;
    // A compressed body arrives longer than announced; only plain bodies are checked.
    const std::wstring length = headerValue(headers, L"Content-Length");
    if (!length.empty() && headerValue(headers, L"Content-Encoding").empty()) {
      wchar_t* end = nullptr;
      errno = 0;
      const long long n = std::wcstoll(length.c_str(), &end, 10);
      // A length past what a number holds is past every cap too.
      if (end != length.c_str() && n >= 0) announcedLength_ = errno == ERANGE ? LLONG_MAX : n;
    }
    // A body announced larger than the cap is refused before any of it is read.
    if (status < 400 && announcedLength_ >= 0 &&
        static_cast<unsigned long long>(announcedLength_) > maxBytes_)
      refuseOverCap();
    return status >= 400 || overCap_ ? E_ABORT : S_OK;
  }

 private:
  // The abort answer alone does not stop every urlmon (Wine's reads on after OnResponse answered
  // it): the binding is aborted as well.
  void refuseOverCap() {
    overCap_ = true;
    if (watchdog_ != nullptr) watchdog_->stop();
  }
  void findCacheFile() {
    std::wstring name = cacheFileOf(binding_);
    if (name.empty()) return;
    watchdog_->watchFile(std::move(name));
    cacheFileKnown_ = true;
  }

  const ProgressCallback* progress_;
  BindingWatchdog* watchdog_;
  IBinding* binding_ = nullptr;  // not counted: the watchdog's reference keeps it
  bool cacheFileKnown_ = false;
  const uint64_t maxBytes_;
  std::atomic<ULONG> refs_{1};
  std::shared_ptr<BindStatusCallback> self_;
  DWORD httpStatus_ = 0;
  long long announcedLength_ = -1;
  bool overCap_ = false;
};


long long fileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Deletes a file another part of the process may still hold open for a moment (the platform's HTTP
// layer, just after an aborted transfer), trying for a second at most.
void removeOnceReleased(const std::wstring& path) {
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (::DeleteFileW(path.c_str()) || ::GetLastError() != ERROR_SHARING_VIOLATION) return;
    ::Sleep(25);
  }
}

}  // namespace

int32_t UrlMonDownloader::download(const DownloadRequest& request, const ProgressCallback& progress) {
  const std::string& filePath = request.filePath;
  const TransferBounds& bounds = request.terms.bounds;
  // A killed run cannot clean up after itself; the next fetch of the same target does.
  leftovers_.removeFor(filePath);  // the last use of this object (see the header)
  ComScope com;
  // Creating the temporary first tells an unwritable folder apart from a network failure before
  // anything is fetched.
  const std::string tempPath = files::createSiblingTemp(filePath, ".part");
  if (tempPath.empty()) return dr::kCannotWrite;
  const std::wstring target = toWidePath(filePath);
  const std::wstring temp = toWidePath(tempPath);

  HRESULT hr;
  DWORD status;
  long long announced;
  bool timedOut;
  bool overCap;
  std::wstring cacheFile;
  {
    BindingWatchdog watchdog(bounds, temp);
    ComPtr<BindStatusCallback> callback = BindStatusCallback::create(progress, watchdog, bounds.maxBytes);
    hr = ::URLDownloadToFileW(nullptr, toWide(escapeUrlForWire(request.url)).c_str(), temp.c_str(), 0,
                              callback.Get());
    callback->detach();
    status = callback->httpStatus();
    announced = callback->announcedLength();
    overCap = callback->overCap() || watchdog.overCap();
    timedOut = watchdog.expired();
    cacheFile = watchdog.cacheFile();
  }
  const long long arrived = fileSize(temp);
  if (status >= 400) {
    hr = status == 404 || status == 410 ? dr::kNotFound : dr::kDownloadFailure;
  } else if (overCap || (arrived >= 0 && static_cast<unsigned long long>(arrived) > bounds.maxBytes)) {
    // Also where this urlmon did not stop at our abort, or reported less than it wrote.
    hr = dr::kTooLarge;
  } else if (hr == S_OK) {
    if (announced >= 0 && arrived != announced) hr = dr::kDownloadFailure;
  } else if (timedOut) {
    hr = dr::kTimedOut;
  }
  if (hr == S_OK && !acceptedByCheck(request.terms.accept, tempPath)) hr = dr::kNotAccepted;
  if (hr == S_OK && !::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) hr = dr::kCannotWrite;
  if (hr != S_OK) ::DeleteFileW(temp.c_str());
  // The part of a body refused for its size stays in the platform's cache otherwise, as large as the
  // cap or larger; nothing will ever read it.
  if (hr == dr::kTooLarge && !cacheFile.empty()) removeOnceReleased(cacheFile);
  return static_cast<int32_t>(hr);
}

}  // namespace qv::platform::win32
