#include "driver/site.h"

#include <windows.h>

#include <stdexcept>

#include "driver/files.h"
#include "driver/text.h"

namespace qv::e2e {
namespace {

std::wstring siteFile(const std::wstring& name) {
  const std::wstring site = siteDirectory();
  if (site.empty())
    throw std::runtime_error("QV_E2E_SITE names no folder; run the suite through scripts/e2e");
  return site + L"\\" + name;
}

std::wstring catalogueFile() { return siteFile(L"Data.xml"); }

void removeIfThere(const std::wstring& file) {
  if (!DeleteFileW(file.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
    throw std::runtime_error("cannot remove " + utf8(file));
}

}  // namespace

std::wstring windowsPathOfUnixPath(std::wstring_view unixPath) {
  std::wstring path = L"Z:";
  for (wchar_t c : unixPath) path.push_back(c == L'/' ? L'\\' : c);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring siteDirectory() {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(L"QV_E2E_SITE", buffer, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return {};
  const std::wstring value(buffer, n);
  // Already a Windows path when the suite runs on Windows itself.
  return value.front() == L'/' ? windowsPathOfUnixPath(value) : value;
}

void publishCatalogue(std::string_view xml) {
  writeBytes(catalogueFile(), xml);
}

void publishCatalogueAndArchiveFolder(std::string_view xml) {
  makeDirectory(siteDirectory() + L"\\zip");
  publishCatalogue(xml);
}

void withdrawCatalogue() { removeIfThere(catalogueFile()); }

void publishSiteFile(const std::wstring& name, std::string_view bytes) { writeBytes(siteFile(name), bytes); }

void withdrawSiteFile(const std::wstring& name) { removeIfThere(siteFile(name)); }

// tools/addon-server reads the fault list at every request.
void setFault(std::string_view mode, std::string_view path) {
  writeBytes(siteFile(L".faults"), std::string(mode) + " " + std::string(path) + "\n");
}

void clearFaults() { removeIfThere(siteFile(L".faults")); }

}  // namespace qv::e2e
