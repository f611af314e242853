#include "download/revalidating_downloader.h"

#include <chrono>
#include <optional>

#include "common/file_name_key.h"
#include "common/file_system.h"
#include "common/path.h"
#include "download/http_validators.h"

namespace qv::download {

namespace dr = platform::download_result;
using platform::AnswerHead;
using platform::BodyPlacement;

namespace {

// Not a platform result: the attempt learnt that asking about what is on disk cannot work this time
// (a 304 for an archive that is gone, a range answered wrongly), and a whole transfer follows at once.
constexpr int32_t kAskForTheWhole = 1;

struct FileNow {
  int64_t size = -1;
  int64_t stamp = 0;
};

FileNow fileNow(const std::string& path) { return {files::fileSize(path), files::modificationStamp(path)}; }

}  // namespace

// What one request and its answer's head decided, shared by the head check and what follows.
struct RevalidatingDownloader::Attempt {
  enum class Outcome { NoHead, NotModified, Whole, Resumed, Bad, AskForTheWhole };
  Outcome outcome = Outcome::NoHead;
  bool askedAboutFile = false;  // validators of the archive on disk were sent
  bool askedForRange = false;
  uint64_t offset = 0;  // what the partial file held when the request went out
  uint64_t complete = 0;  // the server's whole length, 0 when it did not say
  Validators got;         // what the answer said, as far as it can be kept
  bool headSeen = false;
};

RevalidatingDownloader::Folder& RevalidatingDownloader::folderOf(const std::string& directory) {
  std::lock_guard lock(foldersLock_);
  const std::string key = files::fileNameKey(directory);
  auto& slot = folders_[key];
  if (!slot) slot = std::make_unique<Folder>(directory);
  return *slot;
}

bool RevalidatingDownloader::confirmedInPass(Folder& folder, const std::string& target, uint64_t pass) {
  if (pass == 0) return false;
  std::lock_guard lock(folder.lock);
  const auto it = folder.confirmed.find(files::fileNameKey(path::fileNameOf(target)));
  if (it == folder.confirmed.end() || it->second.pass != pass) return false;
  const FileNow now = fileNow(target);
  return now.size >= 0 && now.size == it->second.size && now.stamp == it->second.stamp;
}

void RevalidatingDownloader::confirm(Folder& folder, const std::string& target, uint64_t pass) {
  const FileNow now = fileNow(target);
  std::lock_guard lock(folder.lock);
  folder.confirmed[files::fileNameKey(path::fileNameOf(target))] = {pass, now.size, now.stamp};
}

int32_t RevalidatingDownloader::download(const platform::DownloadRequest& request,
                                         const platform::ProgressCallback& progress) {
  const platform::Revalidation& revalidation = request.terms.revalidation;
  if (!revalidation.enabled) return whole_.download(request, progress);
  Folder& folder = folderOf(path::directoryWithSeparator(request.filePath));
  if (confirmedInPass(folder, request.filePath, revalidation.pass)) {
    const auto size = static_cast<uint64_t>(files::fileSize(request.filePath));
    if (progress && !progress(size, size)) return dr::kAborted;
    return dr::kOk;
  }
  int32_t result = attempt(request, progress, folder, true);
  if (result == kAskForTheWhole) result = attempt(request, progress, folder, false);
  // A second answer that wants the same is a server that cannot be trusted with this archive today.
  if (result == kAskForTheWhole) result = dr::kDownloadFailure;
  if (result == dr::kOk) confirm(folder, request.filePath, revalidation.pass);
  return result;
}

int32_t RevalidatingDownloader::attempt(const platform::DownloadRequest& request,
                                        const platform::ProgressCallback& progress, Folder& folder,
                                        bool askAboutWhatIsThere) {
  const std::string& target = request.filePath;
  const std::string name(path::fileNameOf(target));
  const std::string partialPath = target + kPartialSuffix;
  const auto clock = std::chrono::system_clock::now();

  std::optional<KnownFile> known;
  std::optional<KeptPartial> kept;
  {
    std::lock_guard lock(folder.lock);
    known = folder.index.file(name);
    kept = folder.index.partial(name);
  }
  const FileNow onDisk = fileNow(target);
  const int64_t partialSize = files::fileSize(partialPath);

  Attempt a;
  platform::BodyRequest body;
  body.url = request.url;
  body.bodyPath = partialPath;
  body.bounds = request.terms.bounds;

  a.askedAboutFile = askAboutWhatIsThere && known && onDisk.size >= 0 &&
                     static_cast<uint64_t>(onDisk.size) == known->size && onDisk.stamp == known->stamp &&
                     known->validators.any();
  if (a.askedAboutFile) {
    if (!known->validators.etag.empty()) body.headers.push_back("If-None-Match: " + known->validators.etag);
    if (!known->validators.lastModified.empty())
      body.headers.push_back("If-Modified-Since: " + known->validators.lastModified);
  }
  // A range is asked for only against a validator that names one version exactly.
  std::string rangeValidator;
  if (kept) rangeValidator = isStrongEtag(kept->validators.etag) ? kept->validators.etag : kept->validators.lastModified;
  a.askedForRange = askAboutWhatIsThere && kept && !rangeValidator.empty() && partialSize > 0 &&
                    (kept->complete == 0 || static_cast<uint64_t>(partialSize) < kept->complete) &&
                    static_cast<uint64_t>(partialSize) < body.bounds.maxBytes;
  if (a.askedForRange) {
    a.offset = static_cast<uint64_t>(partialSize);
    body.headers.push_back("Range: bytes=" + std::to_string(a.offset) + "-");
    body.headers.push_back("If-Range: " + rangeValidator);
  } else {
    // Whatever lies there is not a body this request can continue.
    if (!files::writeFileReplacing(partialPath, {})) return dr::kCannotWrite;
    if (kept) {
      std::lock_guard lock(folder.lock);
      folder.index.setPartial(name, std::nullopt);
      folder.index.save();
      kept.reset();
    }
  }

  body.checkHead = [&](const AnswerHead& head) {
    a.headSeen = true;
    a.got = keepable(head.etag, head.lastModified, clock);
    switch (head.status) {
      case 304:
        // Only an archive that is there, and that the request asked about, can be "not modified".
        a.outcome = a.askedAboutFile ? Attempt::Outcome::NotModified : Attempt::Outcome::AskForTheWhole;
        if (!a.askedAboutFile && !askAboutWhatIsThere) a.outcome = Attempt::Outcome::Bad;
        return a.outcome == Attempt::Outcome::NotModified ? BodyPlacement::Append : BodyPlacement::Refuse;
      case 206: {
        if (!a.askedForRange) {
          a.outcome = askAboutWhatIsThere ? Attempt::Outcome::AskForTheWhole : Attempt::Outcome::Bad;
          return BodyPlacement::Refuse;
        }
        const auto range = parseContentRange(head.contentRange);
        const bool sameVersion = isStrongEtag(kept->validators.etag)
                                     ? a.got.etag == kept->validators.etag
                                     : a.got.lastModified == kept->validators.lastModified;
        const bool fits = range && range->first == a.offset && range->last + 1 == range->complete &&
                          (kept->complete == 0 || range->complete == kept->complete) &&
                          (head.contentLength < 0 ||
                           static_cast<uint64_t>(head.contentLength) == range->last - range->first + 1);
        if (!sameVersion || !fits) {
          a.outcome = Attempt::Outcome::AskForTheWhole;
          return BodyPlacement::Refuse;
        }
        a.outcome = Attempt::Outcome::Resumed;
        a.complete = range->complete;
        return BodyPlacement::Append;
      }
      case 200: {
        a.outcome = Attempt::Outcome::Whole;
        a.offset = 0;
        a.complete = head.contentLength > 0 ? static_cast<uint64_t>(head.contentLength) : 0;
        // From here a killed program leaves a partial body the next start can continue, when the
        // answer named its version well enough to ask for the rest of exactly that version.
        const bool resumable = isStrongEtag(a.got.etag) || !a.got.lastModified.empty();
        std::lock_guard lock(folder.lock);
        folder.index.setPartial(name, resumable ? std::optional<KeptPartial>(KeptPartial{a.got, a.complete})
                                                : std::nullopt);
        folder.index.save();
        return BodyPlacement::Restart;
      }
      default:
        a.outcome = Attempt::Outcome::Bad;
        return BodyPlacement::Refuse;
    }
  };

  const platform::ProgressCallback reports = [&](uint64_t done, uint64_t total) {
    if (!progress) return true;
    const uint64_t before = a.headSeen ? a.offset : 0;
    return progress(before + done, total > 0 ? before + total : 0);
  };
  const platform::BodyAnswer answer = fetcher_.fetchBody(body, reports);

  const auto dropPartial = [&] {
    files::removeFile(partialPath);
    std::lock_guard lock(folder.lock);
    folder.index.setPartial(name, std::nullopt);
    folder.index.save();
  };

  switch (a.outcome) {
    case Attempt::Outcome::AskForTheWhole:
      return kAskForTheWhole;
    case Attempt::Outcome::Bad:
      dropPartial();
      return dr::kDownloadFailure;
    case Attempt::Outcome::NoHead:
      // No answer to judge (no connection, an HTTP error): a partial body worth continuing stays.
      if (!a.askedForRange) dropPartial();
      return answer.result == dr::kOk ? dr::kDownloadFailure : answer.result;
    case Attempt::Outcome::NotModified: {
      if (answer.result != dr::kOk) return answer.result;
      // The archive must still be the one asked about; if it changed meanwhile, fetch it whole.
      const FileNow now = fileNow(target);
      if (now.size != onDisk.size || now.stamp != onDisk.stamp) return kAskForTheWhole;
      dropPartial();
      {
        std::lock_guard lock(folder.lock);
        KnownFile still = *known;
        // A 304 may bring newer validators for the same content; they replace the old ones.
        if (a.got.any()) still.validators = a.got;
        folder.index.setFile(name, still);
        folder.index.save();
      }
      const auto size = static_cast<uint64_t>(now.size);
      if (progress && !progress(size, size)) return dr::kAborted;
      return dr::kOk;
    }
    case Attempt::Outcome::Whole:
    case Attempt::Outcome::Resumed:
      break;
  }

  if (answer.result != dr::kOk) {
    // A body cut by the network or by a stop request can be continued; one refused for its size, or a
    // write that failed, starts over.
    const bool continuable = answer.result != dr::kTooLarge && answer.result != dr::kCannotWrite &&
                             answer.result != dr::kNotAccepted;
    bool partialKnown = false;
    {
      std::lock_guard lock(folder.lock);
      partialKnown = folder.index.partial(name).has_value();
    }
    if (!continuable || !partialKnown || files::fileSize(partialPath) <= 0) dropPartial();
    return answer.result;
  }
  const int64_t got = files::fileSize(partialPath);
  if (got < 0 || (a.complete != 0 && static_cast<uint64_t>(got) != a.complete)) {
    dropPartial();
    return dr::kDownloadFailure;
  }
  if (!platform::acceptedByCheck(request.terms.accept, partialPath)) {
    dropPartial();
    return dr::kNotAccepted;
  }
  if (!files::renameReplacing(partialPath, target)) {
    dropPartial();
    return dr::kCannotWrite;
  }
  const FileNow now = fileNow(target);
  {
    std::lock_guard lock(folder.lock);
    folder.index.setPartial(name, std::nullopt);
    folder.index.setFile(name, a.got.any() && now.size >= 0
                                   ? std::optional<KnownFile>(KnownFile{static_cast<uint64_t>(now.size), now.stamp, a.got})
                                   : std::nullopt);
    folder.index.save();
  }
  if (progress) {
    const auto size = static_cast<uint64_t>(now.size);
    if (!progress(size, size)) return dr::kAborted;
  }
  return dr::kOk;
}

}  // namespace qv::download
