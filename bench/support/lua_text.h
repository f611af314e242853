#pragma once
// Text that reads like an add-on's Lua source, of a given size, for the benchmarks' generated files.
// Portable: the Windows benchmarks use it too.
#include <random>
#include <string>

namespace qv::bench {

inline std::string luaText(std::mt19937& rng, size_t size) {
  static const char* words[] = {"local", "function", "end",     "return", "if",  "then", "else",
                                "for",   "in",       "pairs",   "self",   "nil", "true", "false",
                                "Addon", "Frame",    "OnEvent", "=",      "..",  "\n"};
  std::string s;
  while (s.size() < size) {
    s += words[rng() % 20];
    s += ' ';
  }
  s.resize(size);
  return s;
}

}  // namespace qv::bench
