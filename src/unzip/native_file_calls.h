#pragma once
// The system calls under NativeFile, one implementation per system (posix/ or windows/, picked by the
// build). File descriptors of the C runtime on both; errno carries the reason of a failure.
#include <cstddef>
#include <cstdint>
#include <string>

#include "unzip/native_file.h"

namespace qv::unzip::native {

// -1 on failure.
int openFile(const std::string& utf8Path, NativeFile::Mode mode);
// Bytes moved, 0 at the end of the file, negative on error; at most `count`, which stays below 2^30.
long long readSome(int fd, void* buffer, size_t count);
long long writeSome(int fd, const void* buffer, size_t count);
int64_t seekFile(int fd, int64_t offset, SeekOrigin origin);
bool closeFile(int fd);
bool flushFile(int fd);

}  // namespace qv::unzip::native
