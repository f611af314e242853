#pragma once
// The cases that walk an add-on's road in Quorvane.exe (refresh, install, remove) share this: the
// program started with its start-up pass let run and every archive fetched, and the main window's
// list, buttons and status line at hand.
#include <windows.h>

#include <string>
#include <vector>

#include "driver/quorvane_test.h"

namespace qv::e2e {

class AddonRoadTest : public QuorvaneTest {
 protected:
  // Starts the program and lets its start-up pass run: its refresh fills the list, and it fetches
  // every archive twice (the refresh's download-all road, then the pass's own). The case goes on once
  // both rounds of each of `archives` (add-on names) are in, so no transfer or refresh of the pass
  // lands between its steps.
  bool startProgram(const std::vector<std::string>& archives);
  std::string label(int id);
  void press(int id);
  int rowOf(const std::string& name);
  std::string status(const std::string& name);
  void tick(const std::string& name);
  // Presses "安裝選中UI" and waits for the line that ends the command.
  bool installAndWait();

  Process* program_ = nullptr;
  HWND main_ = nullptr;
  HWND list_ = nullptr;
};

}  // namespace qv::e2e
