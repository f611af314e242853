#pragma once
// The journal of one install's commit: the plan (every move, in order, and the attributes to give the
// placed files afterwards), written and flushed to disk before the first move, then one mark per move
// done. A process that dies in the middle leaves it for the next start, which finishes the commit or
// undoes it (install_recovery.h).
//
// The format is text, one record a line:
//   Quorvane install journal 1
//   aside <path> | in <path> | carry <path> | attr <8 hex digits> <path>     the plan
//   end <records> <CRC-32 of everything above, 8 hex digits>
//   done <index> ... | undo | committed                                      what happened since
// Paths are relative to the add-on directory, "/"-separated, with every byte below "!", "%", "\" and
// DEL written as %XX. A journal whose plan is not whole and checked (a process killed while writing
// it) is no plan: nothing was moved yet. A mark line cut short is ignored, as is anything after a
// line that does not read as a mark.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::install {

struct Step {
  enum class Kind {
    Aside,  // the add-on directory's entry moves into old/
    In,     // new/'s entry moves into the add-on directory
    Carry,  // an entry of a folder moved aside moves into that folder's replacement (now in place)
  };
  Kind kind;
  std::string path;  // relative, with the system's separator
};

struct AttributesAfter {
  std::string path;  // relative, with the system's separator
  uint32_t attributes;
};

struct Plan {
  std::vector<Step> steps;
  std::vector<AttributesAfter> attributes;
  bool empty() const { return steps.empty() && attributes.empty(); }
};

struct JournalState {
  Plan plan;
  size_t marked = 0;  // steps marked done, in order from the first
  bool undo = false;  // the commit was given up: undo it
  bool committed = false;
};

// A relative path that stays inside the add-on directory and names no staging folder: components that
// are neither empty, "." nor "..", and (on Windows) hold no colon, wildcard or control character.
bool isSafeRelative(std::string_view relative);

// The plan and its end line. Empty when a path cannot be written (isSafeRelative refuses it).
std::string encodePlan(const Plan& plan);
std::string doneMark(size_t index);
inline constexpr std::string_view kUndoMark = "undo\n";
inline constexpr std::string_view kCommittedMark = "committed\n";

// Nothing when the bytes hold no whole, checked plan.
std::optional<JournalState> parseJournal(std::string_view bytes);

}  // namespace qv::install
