#pragma once
// The program's one room for the file system: existence probes, the long-path rule, creating and
// removing, and "write a temporary beside the target, then rename". Install, remove, settings, the
// downloaders, the unzip engine and the self-update all come here, and open their files through the
// descriptors of file_descriptor.h, so each rule is written once. The build picks one implementation
// of both (posix/ or windows/); what is the same on every system is in file_system.cpp. The layer
// sits below the platform interfaces: the unzip engine and the tools use it without a Platform. Paths
// are UTF-8 texts on both systems.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_descriptor.h"

namespace qv::files {

// The "\\?\" form of an absolute Windows path ("C:\..." or "\\server\share\...") when it is longer
// than the classic limit allows; any other path is returned unchanged. Pure text, so it can be checked
// on any platform.
std::string longPathForm(std::string_view windowsPath);

// The path the file system calls take. On Windows: absolute, backslashed and long-path-prefixed when
// needed; elsewhere the UTF-8 bytes as they are.
std::filesystem::path fsPath(std::string_view utf8);
// The same path as UTF-8 text for services that take names (file stamps, the shell).
std::string serviceName(std::string_view utf8);

bool isDirectory(std::string_view utf8);
bool isFile(std::string_view utf8);
// Anything at that path, a dangling link included.
bool exists(std::string_view utf8);
// A link at that path, whatever it points at. On Windows that is a reparse point that stands for
// another name (a junction or a symbolic link), not one that only stores a file differently (a
// compressed or cloud file, which is the file itself).
bool isLink(std::string_view utf8);

// What is at a path, the path itself: a link is Link whatever it points at, and is never followed.
enum class PathKind { Missing, File, Directory, Link, Other };
PathKind pathKind(std::string_view utf8);
// Creates the directory with its missing parents; true when it exists afterwards.
bool createDirectories(std::string_view utf8);
// Deletes a file (never a directory); false when it could not be deleted or was not there.
bool removeFile(std::string_view utf8);
// Deletes an empty directory; false otherwise.
bool removeEmptyDirectory(std::string_view utf8);
// Deletes a directory tree that the program made itself (staging folders). Links inside it, and the
// path itself when it is a link, are removed themselves and never followed: nothing they point at is
// touched. Where the system cannot remove a link without reaching what it points at (Wine, whose
// calls act on a link's target), the link stays. False when something stayed.
bool removeTree(std::string_view utf8);
// Moves `from` over `to`, replacing a file that is there (not a directory).
bool renameReplacing(std::string_view from, std::string_view to);
// Moves `from` to `to` only when nothing has that name yet (files and directories alike).
bool renameNoReplace(std::string_view from, std::string_view to);
// The modification time of a file as a number that changes whenever the file changes; 0 if absent.
int64_t modificationStamp(std::string_view utf8);
// The size of a file, or -1.
int64_t fileSize(std::string_view utf8);

// Creates a new, empty file beside `target` (same directory, so the final rename is atomic) under a
// name no other writer uses: "<target>.~<random><tag>". It is created exclusively and never through a
// link. Returns its path, or empty when the directory cannot take it.
std::string createSiblingTemp(std::string_view target, std::string_view tag);
// One fresh candidate name for createSiblingTemp: "<target>.~" + 16 random hex digits + tag.
std::string siblingTempCandidate(std::string_view target, std::string_view tag);
// True for a name createSiblingTemp made for this tag (a leftover of a killed run).
bool isSiblingTempOf(std::string_view fileName, std::string_view targetFileName, std::string_view tag);
// The target's file name inside a name createSiblingTemp made for this tag; nothing for other names.
std::optional<std::string_view> siblingTempTarget(std::string_view fileName, std::string_view tag);

// The temporaries of one tag that runs which ended before they could rename or delete them (a killed
// process) left beside their targets. A writer asks for its target's before it makes its own, and
// they are deleted then. Each directory is read once, at the first question about it, so a folder
// of thousands of archives is not read again for every archive. Ask as the target's only writer:
// a temporary that another writer of the same target made before that first read would go too.
// Any thread.
class LeftoverTemps {
 public:
  explicit LeftoverTemps(std::string tag);
  ~LeftoverTemps();
  LeftoverTemps(const LeftoverTemps&) = delete;
  LeftoverTemps& operator=(const LeftoverTemps&) = delete;
  // Deletes the leftovers of `target`; returns how many went.
  int removeFor(std::string_view target);

 private:
  struct Found;
  std::string tag_;
  std::unique_ptr<Found> found_;
};
// A sibling temporary of `target` (as createSiblingTemp) holding `bytes`, closed; its path, or empty
// when it could not be made or written (nothing is left then).
std::string writeSiblingTemp(std::string_view target, std::string_view tag, std::string_view bytes);
// Writes `bytes` to `target` whole or not at all: into a sibling temporary first, renamed over the
// target once everything is written. The target keeps its old content on any failure.
bool writeFileReplacing(std::string_view target, std::string_view bytes);
// Copies a file of modest size (it is read whole) to a name nothing has yet, whole or not at all
// (through a sibling temporary). False when the name is taken or the copy failed; nothing is left at
// `to` then.
bool copyFileNoReplace(std::string_view from, std::string_view to);
// Reads a whole file; false when it cannot be read.
bool readFile(std::string_view utf8, std::string& bytes);

// One entry below a directory, named relative to it with the system's separator.
struct TreeEntry {
  enum class Kind { File, Directory, Other };  // Other: links and anything else not plainly one of the two
  std::string relative;
  Kind kind;
  bool link = false;  // a link (kind Other), whatever it points at
};
// Every entry below `directory`, parents before their contents; links are listed, never followed.
// False when the tree cannot be read whole.
bool listTree(std::string_view directory, std::vector<TreeEntry>& entries);
// The entries directly inside `directory`, each named by its file name, with the kinds of listTree:
// a link is listed as a link and never followed. False when the directory cannot be read.
bool listDirectory(std::string_view directory, std::vector<TreeEntry>& entries);

// Creates one directory whose parent exists; false when anything has the name already or it cannot
// be made (so a true answer means the directory is the caller's own).
bool createDirectory(std::string_view utf8);

enum class LinkResult {
  Linked,       // `newName` is now a second name of the file
  NameTaken,    // something has the new name already
  Unsupported,  // the volume has no hard links (FAT), or the file has as many as it may: copy instead
  Failed,
};
// Gives the file `existing` the second name `newName` (a hard link: one file, two names). Nothing is
// made unless the answer is Linked.
LinkResult createHardLink(std::string_view existing, std::string_view newName);
// Copies a file with its times and attributes to a name nothing has yet; nothing is left at `to`
// when the copy fails.
bool copyFileKeepingStamps(std::string_view from, std::string_view to);

// False when something holds the file open in a way that forbids moving or deleting it (on Windows, a
// handle opened without FILE_SHARE_DELETE, as a running game holds its add-ons), or it may not be
// deleted at all. Moving the folder around such a file would succeed where moving the file fails.
bool isFreeToMove(std::string_view utf8);

// The name the file system holds for the entry at that path (its own letter case on Windows); empty
// when nothing is there.
std::string storedName(std::string_view utf8);

// A file written once, front to back, and pushed to the disk when asked (the install's journal). It is
// created exclusively and never through a link.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  bool create(std::string_view utf8);
  // Opens an existing file to write at its end (never through a link, never creating it).
  bool openToAppend(std::string_view utf8);
  bool isOpen() const { return fd_.valid(); }
  // False when not all of it was written.
  bool append(std::string_view bytes);
  // The data written so far reach the disk itself (and the file's name with them), not only the
  // system's cache.
  bool flushToDisk();
  bool close();

 private:
  bool openAs(std::string_view utf8, OpenMode mode);

  UniqueDescriptor fd_;
  std::string path_;
  bool nameFlushed_ = false;
};

// Answers "is there a directory of this name directly inside `directory`" for many names at once: the
// directory is read once, and each name is answered from that listing wherever the listing answers
// as the file system itself would (its case rules included); the rare names where it cannot (see the
// implementation of each system) are asked of the file system.
class DirectoryProbe {
 public:
  explicit DirectoryProbe(std::string directoryWithSeparator);
  ~DirectoryProbe();
  DirectoryProbe(const DirectoryProbe&) = delete;
  DirectoryProbe& operator=(const DirectoryProbe&) = delete;
  bool hasDirectory(std::string_view name) const;
  const std::string& directory() const { return directory_; }

 private:
  struct Listing;
  std::string directory_;
  std::unique_ptr<Listing> listing_;
};

}  // namespace qv::files
