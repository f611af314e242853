#pragma once
// The download-all road: one transfer per list row into the archive folder. Names that would leave
// the archive folder or the server's archive folder, and rows whose archive file an earlier row
// already owns, are not fetched; the status line names them.
#include <cstdint>
#include <functional>
#include <string>

#include "catalogue/addon_list.h"
#include "common/command_feedback.h"
#include "common/program_files.h"
#include "download/server_resources.h"
#include "platform/crypto.h"
#include "platform/url_download.h"

namespace qv::install {

struct FetchAllCommand {
  const catalogue::AddonList& list;
  const ProgramFiles& files;
  const download::ServerResources& server;
  // Checks an arrived archive against the digest and size its row names; lives longer than any transfer.
  const platform::Crypto& crypto;
  // The start-up pass these transfers belong to (0: none): an archive an earlier road of the same
  // pass fetched or confirmed is not asked about again.
  uint64_t startUpPass = 0;
  // Starts one transfer with the caller's handlers.
  std::function<void(platform::DownloadRequest)> startTransfer;
};

// Starts the transfers. When the archive folder cannot be made, nothing starts and the status line
// says why once. Errors while starting a transfer leave as Error("更新").
void fetchAllArchives(const FetchAllCommand& command, CommandFeedback& feedback);

// What the status line says when a transfer ends in failure: an archive the catalogue's digest
// refused names its add-on, every other failure reads as always.
std::string transferFailureText(const std::string& fileName, int32_t errorCode);

// The status line after `arrived` transfers have completed: the row whose index equals the count
// (not the row whose archive has just arrived) is named, and the last row's turn says the list is up
// to date. Nothing is said past the list's end.
void reportArrival(const catalogue::AddonList& list, int arrived, CommandFeedback& feedback);

}  // namespace qv::install
