#pragma once
// File helpers for the checks on disk: raw bytes, attributes, whole trees.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::e2e {

// The file's bytes, or nothing when it cannot be opened (missing, a directory, locked).
std::optional<std::string> readBytes(const std::wstring& path);
void writeBytes(const std::wstring& path, std::string_view bytes);

bool isFile(const std::wstring& path);
bool isDirectory(const std::wstring& path);
bool pathExists(const std::wstring& path);
void makeDirectory(const std::wstring& path);
void copyFile(const std::wstring& from, const std::wstring& to);
void setReadOnly(const std::wstring& path, bool readOnly);
// Deletes a tree, read-only files included; a tree that is already gone is fine.
void removeTree(const std::wstring& path);
// The names directly inside a directory (without "." and "..").
size_t entryCount(const std::wstring& directory);

// The file's identity on its volume: the same for two names of one file (a hard link), another for a
// copy; nothing when it cannot be opened.
std::optional<uint64_t> fileIndexOf(const std::wstring& path);

// Every entry below a folder, sorted, one line each: "\\rel <dir>", "\\rel = <bytes>" (followed by
// " <ro>" for a read-only file) or "\\rel <link>" for a reparse point, which is not entered; each
// with the last write time after it when asked.
std::vector<std::string> treePicture(const std::wstring& root, bool withWriteTimes = false);

// Looks a key up in the raw bytes of a private-profile file, as a byte string: the section and key
// compare without regard to ASCII letter case, the value is everything after the first "=" of the line.
std::optional<std::string> rawProfileValue(std::string_view bytes, std::string_view section,
                                           std::string_view key);

}  // namespace qv::e2e
