#pragma once
// Turns an archive unpacked into new/ into the plan of its commit, and readies new/ for it.
//
// Each entry at the top of the archive that the add-on directory lacks moves in whole. A folder that
// the add-on directory has already is either swapped whole or entered: swapped, it is first completed
// in new/ with everything of the installed folder that the archive does not replace (a hard link for
// each file, a copy where the volume has none), then the installed folder moves aside and the new one
// in, two renames for a folder of any size; entered, each replaced file moves aside and its
// replacement in, and each new entry moves in. Whichever costs fewer file operations is taken, folder
// by folder (an update that replaces most of a large folder swaps it; an archive that adds one file to
// a large folder enters it).
//
// What installing in place would do is kept: files the archive does not carry stay; a read-only file
// the add-on directory has is not replaced; a folder in the way of a file, a file in the way of a
// folder, and an entry the archive would reach through a link make the archive fail whole. Nothing
// outside new/ and old/ is changed here.
#include <string>
#include <vector>

#include "install/install_journal.h"
#include "install/staging_layout.h"
#include "platform/services.h"
#include "unzip/unzip_file.h"

namespace qv::install {

struct PlannedCommit {
  Plan plan;
  std::string failure;  // why the archive cannot go in; empty when it can
};

// `held`: the attributes the extraction held back (paths under new/).
PlannedCommit planCommit(const StagingLayout& layout, const std::vector<unzip::HeldAttributes>& held,
                         const platform::FileStamps& stamps);

}  // namespace qv::install
