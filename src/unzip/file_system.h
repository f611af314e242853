#pragma once
// File-system calls the engine makes by UTF-8 path. On Windows, paths too long for the classic
// 260-character limit are given the "\\?\" form, so deep add-on trees still extract.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qv::unzip {

// The "\\?\" form of an absolute Windows path ("C:\..." or "\\server\share\...") when it is longer
// than the classic limit allows; any other path is returned unchanged. Pure text, so it can be
// checked on any platform.
std::string longPathForm(std::string_view windowsPath);

// The path the file system calls take. On Windows: absolute, backslashed and long-path-prefixed when
// needed; elsewhere the UTF-8 bytes as they are.
std::filesystem::path fsPath(std::string_view utf8);

// The same path as UTF-8 text for services that take names (file stamps): long-path form on Windows.
std::string serviceName(std::string_view utf8);

bool isDirectory(std::string_view utf8);
bool fileExists(std::string_view utf8);  // anything at that path, including a dangling link
// Creates the directory with its missing parents; true when it exists afterwards.
bool createDirectories(std::string_view utf8);
bool removeFile(std::string_view utf8);
// Moves `from` over `to`, replacing a file that is there.
bool renameReplacing(std::string_view from, std::string_view to);
// The modification time of a file as a number that changes whenever the file changes; 0 if absent.
int64_t modificationStamp(std::string_view utf8);

}  // namespace qv::unzip
