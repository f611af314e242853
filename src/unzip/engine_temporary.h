#pragma once
// The temporary an existing file is replaced through: "<target>.~<16 hex digits>.qv-partial", made by
// the file-system room's sibling temporaries (created exclusively, never through a link). No entry
// may carry such a name, so an archive can neither ask for a temporary's name nor for one that a
// later entry's temporary would take; and what a killed run left behind can be told from anything an
// archive put there.
#include <string>
#include <string_view>

namespace qv::unzip {

inline constexpr std::string_view kTemporaryTag = ".qv-partial";

// Whether a file name is one of the engine's temporaries, as Windows would compare it (letter case
// and trailing dots and blanks do not count there).
bool isEngineTemporary(std::string_view fileName);

// Removes the engine's temporaries that a killed run left in `directory` (not below it).
void removeEngineLeftovers(const std::string& directory);

}  // namespace qv::unzip
