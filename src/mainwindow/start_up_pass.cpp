// The start-up pass: 3000 ms after every show the catalogue is refreshed, every archive fetched and
// the program's own version checked against the version file the show step started to fetch.
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

void TForm1::Timer1Timer() {
  // One pass per arming.
  Timer1->setEnabled(false);
  // Both roads of this pass share its number, so the second asks the server nothing the first
  // already asked; a road outside a pass (the buttons) always asks.
  startUpPass_ = ++startUpPasses_;
  try {
    Button3Click();
    // The refresh already ended with the download-all road; the pass runs it once more, as the hidden
    // button "down" would (the pool lets only one transfer write an archive at a time).
    Button4Click();
  } catch (...) {
    startUpPass_ = 0;
    throw;
  }
  startUpPass_ = 0;
  // An error above ends the pass before this: no version check in that pass.
  checkVersion();
}

}  // namespace qv::mainwindow
