#pragma once
// The bounds of each resource the program fetches from its server, in one place: the download-all
// road, the show step and the version check hand them to the download workers, and both builds'
// catalogue readings take the catalogue's. Both downloaders keep to them the same way.
//
// Every resource shares the time limits: 30 s for a connection, 60 s without a byte, and at least
// 1 KiB/s averaged over each 30 s once the server answers (a dial-up line does five times that; a
// server that drips a byte now and then is broken or hostile). The caps and deadlines are each
// resource's own.
#include <chrono>
#include <cstdint>

#include "platform/url_download.h"

namespace qv::platform::resource_bounds {

inline constexpr uint64_t kKiB = 1024;
inline constexpr uint64_t kMiB = 1024 * kKiB;

// The catalogue: a line of about 250 bytes per add-on (four attributes, the description in Chinese),
// so a server with a few hundred add-ons sends well under 1 MiB and a catalogue of 100,000 add-ons
// still fits in 32 MiB. It is parsed whole in memory, which is why it is capped far below an archive.
// The window waits for it (painting, but taking no input), so its deadline is short: 3 minutes bring
// a 10,000-row catalogue (2.5 MiB) over a link of 15 KiB/s.
inline constexpr TransferBounds kCatalogue{
    .maxBytes = 32 * kMiB,
    .deadline = std::chrono::minutes(3),
};

// An add-on archive: the large add-on packs players install (several add-ons with their pictures and
// sound files) weigh a few tens of MiB, most add-ons far less. 128 MiB leaves room for the largest
// while a body that never ends stops there rather than filling the disk. The hour lets the largest
// archive arrive at 40 KiB/s; the transfers run in the background, six at most at a time.
inline constexpr TransferBounds kArchive{
    .maxBytes = 128 * kMiB,
    .deadline = std::chrono::hours(1),
};

// The version file: a section and a number, a few lines more with a signature; 64 KiB is far more
// than it will ever hold. The start-up pass reads it 3 s after the show, so a minute is plenty.
inline constexpr TransferBounds kVersionFile{
    .maxBytes = 64 * kKiB,
    .deadline = std::chrono::minutes(1),
};

// The new executable: as large as the image check takes a program file to be (the version check
// checks the two agree), which is many times the size of any build.
inline constexpr TransferBounds kProgram{
    .maxBytes = 64 * kMiB,
    .deadline = std::chrono::hours(1),
};

}  // namespace qv::platform::resource_bounds
