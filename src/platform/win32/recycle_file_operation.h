#pragma once
// Sending one item to the recycle bin through the shell's file operation engine (IFileOperation),
// so that nothing is ever deleted for good. With "allow undo" and "no confirmation" the shell deletes
// for good, and reports success, any item its bin cannot take: a folder larger than the bin's quota,
// a path the bin cannot hold, a drive whose bin is switched off. The engine tells its progress sink,
// item by item and before it acts, whether it will recycle the item or destroy it; the sink here lets
// only recycling through and cancels the rest, so such an item stays where it is. No question is
// asked and no progress window shown.
#include <windows.h>
// After windows.h, which it builds on.
#include <shobjidl.h>

#include <string>

#include "platform/shell.h"

namespace qv::platform::win32 {

// The progress sink of one recycling: it cancels every delete that would not recycle, and notes that it
// did. Lives on the stack of the recycling; the engine's references end with Unadvise.
class RecycleOnlySink final : public IFileOperationProgressSink {
 public:
  // Whether a delete for good was asked for and refused.
  bool refusedDestroying() const { return refusedDestroying_; }

  // IUnknown: the object is not freed by its references (see above).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem* item) override;

  // Everything else the engine reports is only acknowledged.
  HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT, IShellItem*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                         IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                         IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT,
                                        IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }

 private:
  ULONG references_ = 1;
  bool refusedDestroying_ = false;
};

// Recycles `fullPath` (a full path to an existing item) with `operation`, a fresh file operation
// object: Yes when the item went to the bin; NoRecycleBin when the bin could not take it and it stays;
// Failed when the operation failed and the item stays.
Shell::Recycled recycleThroughFileOperation(IFileOperation& operation, const std::wstring& fullPath);

}  // namespace qv::platform::win32
