#pragma once
// A page control: a tab control with one page window per tab, laid over its display area; only the
// selected page is shown.
#include <memory>
#include <vector>

#include "platform/win32/child_host.h"
#include "platform/win32/child_window.h"

namespace qv::platform::win32 {

class Win32PageControl final : public ControlBase<PageControl> {
 public:
  Win32PageControl(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  ~Win32PageControl() override;

  Container& addPage(const std::string& name, const std::string& caption) override;
  int pageCount() const override { return static_cast<int>(pages_.size()); }
  int activePage() const override;
  void setActivePage(int index) override;

  LRESULT onNotify(NMHDR& header) override;
  void afterMove() override;
  void detach() override;

 private:
  class Page;
  void showActivePage();

  std::vector<std::unique_ptr<Page>> pages_;
};

}  // namespace qv::platform::win32
