#pragma once
// A test seam in the file layer: every operation that changes the disk (creating, writing, flushing
// and closing a file, renaming, linking, deleting, making a folder, setting attributes or times) asks
// it first. A test arms it with a hook that can make the k-th operation fail, or end the process
// there, and so proves that no step of an install can lose a file. Unarmed (always, in the program)
// the question is one atomic load.
//
// The hook is process-wide because the operations are free functions called from deep inside the
// unzip engine and the installer, on more than one thread; passing it down through every call would
// change every signature of the file layer for the sake of the tests alone.
#include <atomic>
#include <string_view>

namespace qv::files::seam {

enum class Operation {
  Create,
  Write,
  Flush,
  Close,
  Rename,
  Link,
  Delete,
  MakeDirectory,
  SetAttributes,
  SetTime
};

class Hook {
 public:
  virtual ~Hook() = default;
  // False makes the operation fail as the system would (nothing is done). May not return at all.
  // Called from any thread.
  virtual bool allow(Operation operation, std::string_view path) = 0;
};

namespace detail {
extern std::atomic<Hook*> armed;
}

// Arms the seam with `hook` (null disarms). For tests.
inline void arm(Hook* hook) {
  detail::armed.store(hook, std::memory_order_release);
}

// True when the operation may go ahead.
inline bool allow(Operation operation, std::string_view path) {
  Hook* hook = detail::armed.load(std::memory_order_acquire);
  return hook == nullptr || hook->allow(operation, path);
}

}  // namespace qv::files::seam
