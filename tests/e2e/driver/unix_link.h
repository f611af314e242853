#pragma once
// Links for the cases about links. Wine cannot make one itself (CreateSymbolicLinkW reports success
// and makes nothing), but it runs Unix programs, and a Unix symbolic link shows to Windows programs as
// a reparse point (a link to a folder does: FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY).
// So under Wine the link is made by /bin/ln; on Windows by the system's own call.
#include <string>

namespace qv::e2e {

// Makes `link` a symbolic link to `target` (both Windows paths); false when it could not.
bool makeLink(const std::wstring& link, const std::wstring& target);
// Removes the link itself (Windows calls on a link act on its target under Wine, so /bin/rm does it
// there); true when it is gone.
bool removeLink(const std::wstring& link);
// Whether the entry at `path` is a reparse point (the entry itself, not what it points at).
bool isReparsePoint(const std::wstring& path);
// The Unix path of a Windows path under Wine; empty elsewhere.
std::string unixPathOf(const std::wstring& path);
bool runningOnWine();

}  // namespace qv::e2e
