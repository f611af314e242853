#pragma once
// The archive transfers: each asks the server whether the archive the program has is still the one
// it offers, and fetches only what changed.
//
// - A transfer whose archive is on disk and known to the index (validator_index.h) sends the
//   validators the server gave for it (If-None-Match, If-Modified-Since). A 304 keeps the file and is
//   a success like a whole transfer: the completion handler runs, the counter counts it.
// - A 200 goes to a partial file beside the archive ("<archive>.partial") and replaces the archive
//   only once it is whole and accepted, as every transfer of the program does.
// - A transfer cut part-way (the connection dropped, the program ended) keeps its partial file, and
//   the index the validators of the answer it came from; the next try asks for the rest (Range with
//   If-Range), and starts over when the server's file changed in between or the server answers the
//   range badly. An answer that could splice two versions is never written.
// - Within one start-up pass (terms.revalidation.pass), an archive already fetched or confirmed in
//   that pass, and unchanged on disk since, is a success without asking the server at all.
//
// Everything the server says is checked before it touches the disk: a 304 to a request that carried
// no validators, or for an archive that is no longer there, costs one whole transfer; a 206 that is not
// the range asked for (another start, another length, another version) is refused before any byte is
// written and the archive is fetched whole; validators that are too long, not plain text, or a date
// ahead of the clock are not kept.
//
// Transfers without terms.revalidation.enabled (the version file, the program) pass through to the
// whole-file downloader untouched. Any number of threads at once; one transfer per archive at a time
// (the download pool keeps to that).
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "download/validator_index.h"
#include "platform/body_fetch.h"
#include "platform/url_download.h"

namespace qv::download {

// The partial body of an archive lies beside it under this suffix.
inline constexpr char kPartialSuffix[] = ".partial";

class RevalidatingDownloader : public platform::UrlDownloader {
 public:
  RevalidatingDownloader(platform::UrlDownloader& whole, platform::BodyFetcher& fetcher)
      : whole_(whole), fetcher_(fetcher) {}

  int32_t download(const platform::DownloadRequest& request, const platform::ProgressCallback& progress) override;

 private:
  struct Confirmed {
    uint64_t pass = 0;
    int64_t size = -1;
    int64_t stamp = 0;
  };
  // One archive folder: its index and what this run has confirmed there.
  struct Folder {
    explicit Folder(std::string directory) : index(std::move(directory)) {}
    std::mutex lock;
    ValidatorIndex index;
    std::map<std::string, Confirmed> confirmed;  // by file-name key
  };
  struct Attempt;

  Folder& folderOf(const std::string& directory);
  int32_t attempt(const platform::DownloadRequest& request, const platform::ProgressCallback& progress,
                  Folder& folder, bool askAboutWhatIsThere);
  bool confirmedInPass(Folder& folder, const std::string& target, uint64_t pass);
  void confirm(Folder& folder, const std::string& target, uint64_t pass);

  platform::UrlDownloader& whole_;
  platform::BodyFetcher& fetcher_;
  std::mutex foldersLock_;
  std::map<std::string, std::unique_ptr<Folder>> folders_;
};

}  // namespace qv::download
