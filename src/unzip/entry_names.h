#pragma once
// From the bytes an archive stores as an entry's name to the path the entry is written to. Names are
// decoded to UTF-8 first and only then split, so a double-byte character whose second byte is 0x5C
// ("\") stays whole. Inside the engine "\" separates the parts of an entry's directory whatever the
// platform; the output path uses the file system's own separator.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services.h"
#include "unzip/zip_objects.h"

namespace qv::unzip {

// Decodes a stored name. It is UTF-8 when flag bit 11 is set; when the entry carries an Info-ZIP
// Unicode Path field that belongs to this very name (`unicodePath`, see below), that field's name is
// taken; a name written on a Unix or macOS host is UTF-8 when its bytes are valid UTF-8 with a
// non-ASCII character (those archivers store the system's UTF-8 names as they are, without the
// flag). Only the rest use a code page: the OEM one when an MS-DOS host wrote the name and `oem`
// allows (oemFlexible: unless the bytes are valid UTF-8 with non-ASCII characters, which some tools
// write without setting the flag), the ANSI one otherwise. Every "/" becomes "\".
std::string decodeEntryName(std::string_view stored, uint16_t flags, uint16_t versionMadeBy, TOEMConvert oem,
                            const platform::Codec& codec, std::optional<std::string_view> unicodePath = {});

// The UTF-8 name of the Info-ZIP Unicode Path extra field (tag 0x7075) in an entry's extra field, when
// that field is there in version 1 and its CRC-32 is the CRC-32 of `storedName` (the name bytes of
// the same header): a field left over from before the name was changed by another tool does not count.
std::optional<std::string> unicodePathField(const uint8_t* extra, size_t size, std::string_view storedName);

// Splits a decoded name at its last "\" or ":" into directory (keeping the separator) and file name.
void splitEntryName(const std::string& name, std::string& directory, std::string& fileName);

// The directory an entry's file goes to, or nothing when the entry must not be written because its
// name would leave `destDir` (a ".." part, a part of only dots and spaces, a ":" inside a part, a NUL),
// names a Windows device, or has a part ending in a dot or a blank (Windows drops those, so the name
// would land on another folder's, or, in the long-path form, make one that Explorer cannot handle).
// `why`, when given, receives the reason of a refusal.
// `relativePaths` are prefixes removed from the entry's directory, first match, ignoring case.
std::optional<std::string> outputDirectory(const std::string& destDir, const std::string& entryDirectory,
                                           bool recreateDirs, const std::vector<std::string>& relativePaths,
                                           std::string* why = nullptr);

// Whether a file name is one the engine will create inside its directory: none of the above, and not
// one of the engine's own temporaries. `why`, when given, receives the reason of a refusal.
bool isSafeFileName(std::string_view fileName, std::string* why = nullptr);

// Whether Windows would open a device instead of a file for this path component: CON, PRN, AUX, NUL,
// COM1 to COM9, LPT1 to LPT9 (and the console's CONIN$ and CONOUT$), in any letter case, with any
// extension and with trailing dots or blanks. Refused in every build, so an archive extracts alike on
// every system.
bool isDeviceName(std::string_view part);

// Joins a directory (possibly empty) and a name with the file system's separator.
std::string joinPath(const std::string& directory, std::string_view name);

// A FilesList pattern against a lower-cased "directory\name": "*" any run of characters, "?" one
// character; "*.*" matches every name, with or without a dot, as on MS-DOS.
bool matchesPattern(std::string_view lowerName, std::string_view lowerPattern);

bool isValidUtf8(std::string_view s);

}  // namespace qv::unzip
