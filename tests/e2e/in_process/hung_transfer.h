#pragma once
// A second run of the test program, as the program under test would be at its end: one download
// stuck inside URLDownloadToFileW (its server has sent half a body and says nothing more), the
// download pool destroyed as the main window would destroy it, and then the return from main. The
// case that starts it checks that the process really ends.
#include <optional>
#include <string>

namespace qv::in_process {

struct HungTransfer {
  std::string url;
  std::string file;
};

// Exit codes of the second run.
inline constexpr int kHungTransferEnded = 0;       // the pool let go of the hung transfer and main returned
inline constexpr int kHungTransferNeverMoved = 3;  // no byte arrived, so nothing was hung
inline constexpr int kHungTransferNotHung = 4;     // the transfer ended before the pool gave up on it

// Set when this run is the second one (environment QV_HUNG_TRANSFER_URL and QV_HUNG_TRANSFER_FILE).
std::optional<HungTransfer> hungTransferRequest();
void requestHungTransfer(const HungTransfer& request);  // for the child about to be started
void clearHungTransferRequest();
int runHungTransfer(const HungTransfer& request);

}  // namespace qv::in_process
