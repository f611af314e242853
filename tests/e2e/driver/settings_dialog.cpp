#include "driver/settings_dialog.h"

#include "settings/form2_ids.h"
#include "driver/ui.h"

namespace qv::e2e {

std::optional<SettingsDialog> SettingsDialog::find(HWND window, std::string& missing) {
  namespace f2 = ids::form2;
  SettingsDialog d;
  d.window = window;
  missing.clear();
  auto need = [&](int id, const char* name) {
    HWND control = findControl(window, id);
    if (!control) missing += std::string(missing.empty() ? "" : ", ") + name;
    return control;
  };
  d.pages = need(f2::PageControl1, "PageControl1");
  d.path = need(f2::Edit1, "Edit1");
  d.autoUpdate = need(f2::CheckBox1, "CheckBox1");
  d.browse = need(f2::Button3, "Button3");
  d.ok = need(f2::Button1, "Button1");
  d.cancel = need(f2::Button2, "Button2");
  if (!missing.empty()) return std::nullopt;
  return d;
}

}  // namespace qv::e2e
