#include "platform/win32/recycle_file_operation.h"

#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

namespace qv::platform::win32 {

namespace {

using Microsoft::WRL::ComPtr;

// The engine's answer to a sink that stops an item: the item and everything after it are cancelled.
const HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_CANCELLED);

bool stillThere(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Ends the sink's connection when the recycling ends, however it ends.
class Advised {
 public:
  Advised(IFileOperation& operation, IFileOperationProgressSink& sink) : operation_(operation) {
    ok_ = SUCCEEDED(operation.Advise(&sink, &cookie_));
  }
  ~Advised() {
    if (ok_) operation_.Unadvise(cookie_);
  }
  Advised(const Advised&) = delete;
  Advised& operator=(const Advised&) = delete;
  bool ok() const { return ok_; }

 private:
  IFileOperation& operation_;
  DWORD cookie_ = 0;
  bool ok_ = false;
};

}  // namespace

HRESULT STDMETHODCALLTYPE RecycleOnlySink::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IFileOperationProgressSink)) {
    *out = static_cast<IFileOperationProgressSink*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE RecycleOnlySink::PreDeleteItem(DWORD flags, IShellItem*) {
  // Without this flag the engine is about to destroy the item rather than recycle it.
  if ((flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) == 0) {
    refusedDestroying_ = true;
    return kCancelled;
  }
  return S_OK;
}

Shell::Recycled recycleThroughFileOperation(IFileOperation& operation, const std::wstring& fullPath) {
  // Allow undo: to the bin. No confirmation, no error box, no progress window: the program asks its
  // one question itself. What the bin cannot take, the sink stops.
  if (FAILED(operation.SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI)))
    return Shell::Recycled::Failed;
  ComPtr<IShellItem> item;
  if (FAILED(::SHCreateItemFromParsingName(fullPath.c_str(), nullptr, IID_PPV_ARGS(&item))))
    return Shell::Recycled::Failed;
  RecycleOnlySink sink;
  {
    const Advised advised(operation, sink);
    // Never without the sink: without it nothing would stop a delete for good.
    if (!advised.ok() || FAILED(operation.DeleteItem(item.Get(), nullptr))) return Shell::Recycled::Failed;
    operation.PerformOperations();  // its result is read from the sink and the disk below
  }
  if (stillThere(fullPath))
    return sink.refusedDestroying() ? Shell::Recycled::NoRecycleBin : Shell::Recycled::Failed;
  // Gone: the sink let only recycling through.
  return Shell::Recycled::Yes;
}

}  // namespace qv::platform::win32
