// The recycle bin on Windows proper, where the shell's file operation engine does the work: it tells
// its progress sink, before it acts, whether it will recycle an item or destroy it (a folder over the
// bin's quota, a path the bin cannot hold), and the program's sink must stop every destroying. Wine's
// engine is a stub, so the Windows road runs here against an engine of the test's own that behaves as
// the documentation describes: it asks the sink, then recycles (moves the item into a bin folder) or
// deletes for good, as it was told the bin would.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they build on.
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>

#include "driver/files.h"
#include "driver/text.h"
#include "driver/unix_link.h"
#include "platform/win32/recycle_file_operation.h"
#include "platform/win32/win32_shell.h"

namespace qv::in_process {
namespace {

using Microsoft::WRL::ComPtr;
using platform::Shell;
using platform::win32::RecycleOnlySink;
using platform::win32::recycleThroughFileOperation;
using platform::win32::Win32Shell;

// A file operation engine that deletes one item. `binTakesIt` is what it found out about the bin;
// the item goes there, or is deleted for good when the sink lets it, as Windows does with "no
// confirmation".
class FakeFileOperation final : public IFileOperation {
 public:
  FakeFileOperation(std::wstring bin, bool binTakesIt) : bin_(std::move(bin)), binTakesIt_(binTakesIt) {}

  HRESULT performResult = S_OK;  // what PerformOperations answers (after doing its work, when S_OK)
  bool refuseSink = false;       // Advise fails
  std::wstring itemPath;         // the item it was given
  DWORD flags = 0;               // the operation flags it was given
  bool askedTheSink = false;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IFileOperation)) {
      *out = static_cast<IFileOperation*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }

  HRESULT STDMETHODCALLTYPE Advise(IFileOperationProgressSink* sink, DWORD* cookie) override {
    if (refuseSink) return E_FAIL;
    sink_ = sink;
    *cookie = 7;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie != 7) return E_INVALIDARG;
    sink_.Reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetOperationFlags(DWORD given) override {
    flags = given;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteItem(IShellItem* item, IFileOperationProgressSink*) override {
    item_ = item;
    PWSTR name = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
      itemPath = name;
      ::CoTaskMemFree(name);
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PerformOperations() override {
    if (FAILED(performResult)) return performResult;
    if (!item_) return E_UNEXPECTED;
    const DWORD itemFlags = binTakesIt_ ? TSF_DELETE_RECYCLE_IF_POSSIBLE : 0;
    if (sink_) {
      askedTheSink = true;
      const HRESULT answer = sink_->PreDeleteItem(itemFlags, item_.Get());
      if (FAILED(answer)) {
        aborted_ = TRUE;
        return answer;  // the sink cancelled: nothing happens to the item
      }
    }
    if (binTakesIt_) {
      const std::wstring name = itemPath.substr(itemPath.find_last_of(L'\\') + 1);
      if (!::MoveFileW(itemPath.c_str(), (bin_ + L"\\" + name).c_str()))
        return HRESULT_FROM_WIN32(::GetLastError());
    } else {
      e2e::removeTree(itemPath);  // what the shell does with an item its bin cannot take
    }
    if (sink_) sink_->PostDeleteItem(itemFlags, item_.Get(), S_OK, nullptr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetAnyOperationsAborted(BOOL* aborted) override {
    *aborted = aborted_;
    return S_OK;
  }

  // Not used by a recycling.
  HRESULT STDMETHODCALLTYPE SetProgressMessage(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetProgressDialog(IOperationsProgressDialog*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetProperties(IPropertyChangeArray*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOwnerWindow(HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ApplyPropertiesToItem(IShellItem*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ApplyPropertiesToItems(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RenameItem(IShellItem*, LPCWSTR, IFileOperationProgressSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RenameItems(IUnknown*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE MoveItem(IShellItem*, IShellItem*, LPCWSTR,
                                     IFileOperationProgressSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE MoveItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyItem(IShellItem*, IShellItem*, LPCWSTR,
                                     IFileOperationProgressSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CopyItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteItems(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewItem(IShellItem*, DWORD, LPCWSTR, LPCWSTR,
                                    IFileOperationProgressSink*) override {
    return E_NOTIMPL;
  }

 private:
  std::wstring bin_;
  bool binTakesIt_;
  ULONG references_ = 1;
  ComPtr<IFileOperationProgressSink> sink_;
  ComPtr<IShellItem> item_;
  BOOL aborted_ = FALSE;
};

class RecycleOperationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"qv-recycle-op-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++caseNumber_);
    bin_ = root_ + L"\\bin";
    addon_ = root_ + L"\\Interface\\AddonA";
    for (const std::wstring& folder : {root_, bin_, root_ + L"\\Interface", addon_, addon_ + L"\\skin"})
      e2e::makeDirectory(folder);
    e2e::writeBytes(addon_ + L"\\skin\\main.lua", "print('AddonA')\n");
  }
  void TearDown() override {
    e2e::removeTree(root_);
    ::CoUninitialize();
  }
  void expectAddonWhole() { EXPECT_EQ(e2e::readBytes(addon_ + L"\\skin\\main.lua"), "print('AddonA')\n"); }

  static inline int caseNumber_ = 0;
  std::wstring root_, bin_, addon_;
};

TEST_F(RecycleOperationTest, AFolderTheBinTakesGoesThereWithoutAQuestion) {
  FakeFileOperation operation(bin_, true);
  EXPECT_EQ(recycleThroughFileOperation(operation, addon_), Shell::Recycled::Yes);
  EXPECT_FALSE(e2e::pathExists(addon_));
  EXPECT_EQ(e2e::readBytes(bin_ + L"\\AddonA\\skin\\main.lua"), "print('AddonA')\n");
  // To the bin, with no question, no error box and no progress window of the shell's own.
  EXPECT_EQ(operation.flags, DWORD{FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI});
  EXPECT_EQ(operation.itemPath, addon_);
}

TEST_F(RecycleOperationTest, AFolderTheBinCannotTakeIsNeverDestroyedAndStays) {
  // The bin's quota is smaller than the folder, say: the engine would delete it for good.
  FakeFileOperation operation(bin_, false);
  EXPECT_EQ(recycleThroughFileOperation(operation, addon_), Shell::Recycled::NoRecycleBin);
  EXPECT_TRUE(operation.askedTheSink);
  expectAddonWhole();
  EXPECT_EQ(e2e::entryCount(bin_), 0u);
}

TEST_F(RecycleOperationTest, AnEngineThatFailsLeavesTheFolderAndSaysSo) {
  FakeFileOperation failing(bin_, true);
  failing.performResult = E_FAIL;
  EXPECT_EQ(recycleThroughFileOperation(failing, addon_), Shell::Recycled::Failed);
  expectAddonWhole();
  // Without its sink the engine is never let loose.
  FakeFileOperation deaf(bin_, false);
  deaf.refuseSink = true;
  EXPECT_EQ(recycleThroughFileOperation(deaf, addon_), Shell::Recycled::Failed);
  EXPECT_FALSE(deaf.askedTheSink);
  expectAddonWhole();
}

TEST_F(RecycleOperationTest, TheSinkLetsRecyclingThroughAndStopsEverythingElse) {
  RecycleOnlySink sink;
  EXPECT_EQ(sink.PreDeleteItem(TSF_DELETE_RECYCLE_IF_POSSIBLE, nullptr), S_OK);
  EXPECT_FALSE(sink.refusedDestroying());
  EXPECT_EQ(sink.PreDeleteItem(TSF_DELETE_RECYCLE_IF_POSSIBLE | TSF_OVERWRITE_EXIST, nullptr), S_OK);
  EXPECT_TRUE(FAILED(sink.PreDeleteItem(TSF_OVERWRITE_EXIST, nullptr)));
  EXPECT_TRUE(sink.refusedDestroying());
  ComPtr<IFileOperationProgressSink> asked;
  EXPECT_EQ(sink.QueryInterface(IID_PPV_ARGS(&asked)), S_OK);
  ComPtr<IFileOperation> notThat;
  EXPECT_EQ(sink.QueryInterface(IID_PPV_ARGS(&notThat)), E_NOINTERFACE);
}

TEST_F(RecycleOperationTest, TheShellTakesTheEngineItIsGivenForAFullPath) {
  FakeFileOperation* made = nullptr;
  FakeFileOperation operation(bin_, false);
  Win32Shell shell([&](IFileOperation** out) {
    made = &operation;
    operation.AddRef();
    *out = &operation;
    return S_OK;
  });
  // A trailing separator still names the folder; the answer is the engine's road, not Wine's trash.
  EXPECT_EQ(shell.recycle(e2e::utf8(addon_) + "\\"), Shell::Recycled::NoRecycleBin);
  ASSERT_EQ(made, &operation);
  EXPECT_EQ(operation.itemPath, addon_);
  expectAddonWhole();
  Win32Shell failingMaker([](IFileOperation**) { return E_OUTOFMEMORY; });
  EXPECT_EQ(failingMaker.recycle(e2e::utf8(addon_)), Shell::Recycled::Failed);
  expectAddonWhole();
}

TEST_F(RecycleOperationTest, WinesOwnEngineDoesNothingAndTheFolderStays) {
  if (!e2e::runningOnWine()) GTEST_SKIP() << "about Wine's engine";
  ComPtr<IFileOperation> wine;
  ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&wine))));
  EXPECT_EQ(recycleThroughFileOperation(*wine.Get(), addon_), Shell::Recycled::Failed);
  expectAddonWhole();
}

}  // namespace
}  // namespace qv::in_process
