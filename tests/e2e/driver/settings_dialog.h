#pragma once
// The controls of the settings dialog that the cases work, looked up once by their ids.
#include <windows.h>

#include <optional>
#include <string>

namespace qv::e2e {

struct SettingsDialog {
  HWND window = nullptr;
  HWND pages = nullptr;
  HWND path = nullptr;
  HWND autoUpdate = nullptr;
  HWND browse = nullptr;
  HWND ok = nullptr;
  HWND cancel = nullptr;

  // Nothing when one of the controls is missing; missing names which.
  static std::optional<SettingsDialog> find(HWND window, std::string& missing);
};

}  // namespace qv::e2e
