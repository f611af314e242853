#pragma once
// The key under which the file system tells files apart: two paths (or names) with equal keys name
// one file. Whatever keeps "one writer per file" or "one row per archive" keys by it, so two names
// the system takes for one file are never two files to the program.
//
// Windows compares names without regard to case, by its own upper-case mapping of each UTF-16 unit
// (no other folding, no normalisation): "Foo.zip" and "FOO.ZIP" are one file, as are "ı" and "I".
// Elsewhere names are their bytes. The build picks the implementation (posix/ or windows/).
#include <string>
#include <string_view>

namespace qv::files {

std::string fileNameKey(std::string_view utf8);

}  // namespace qv::files
