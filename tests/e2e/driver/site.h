#pragma once
// The folder that scripts/e2e has the add-on server publish on the program's compiled-in server
// address. The script names it by its Unix path (QV_E2E_SITE); Wine shows the Unix root as drive Z:.
#include <string>
#include <string_view>

namespace qv::e2e {

// "Z:\..." for "/..."; empty when the suite was started without a site (not through scripts/e2e).
std::wstring siteDirectory();
std::wstring windowsPathOfUnixPath(std::wstring_view unixPath);

// Puts the catalogue the program fetches in place of any earlier one, or takes it away (the server
// then answers 404).
void publishCatalogue(std::string_view xml);
void withdrawCatalogue();
// The same with an empty archive folder beside it, for the cases that publish archives.
void publishCatalogueAndArchiveFolder(std::string_view xml);

// Any other file of the site, by its name there ("UPdate.ini", "Quorvane.exe"); withdrawing a file that
// is not there is fine.
void publishSiteFile(const std::wstring& name, std::string_view bytes);
void withdrawSiteFile(const std::wstring& name);

// Has the server answer `path` (as the program asks for it, "/Data.xml") in one of its fault modes
// ("stall": read the request and never answer), or takes every such fault away again.
void setFault(std::string_view mode, std::string_view path);
void clearFaults();

}  // namespace qv::e2e
