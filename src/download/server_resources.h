#pragma once
// The five resources of the add-on web server, each the server base address followed by its path.
// The base is a build setting (builtIn); tests point the program at their own server. Add-on names
// are inserted as they are, without escaping.
#include <string>
#include <string_view>

namespace qv::download {

struct ServerResources {
  std::string base;

  static ServerResources builtIn();
  std::string portal() const { return base + "/ui.php"; }
  std::string catalogue() const { return base + "/Data.xml"; }
  std::string archive(std::string_view trimmedName) const {
    // Made in one allocation: the download-all road asks for one per row.
    std::string url;
    url.reserve(base.size() + 5 + trimmedName.size() + 4);
    return url.append(base).append("/zip/").append(trimmedName).append(".zip");
  }
  std::string versionFile() const { return base + "/UPdate.ini"; }
  std::string newExecutable() const { return base + "/Quorvane.exe"; }
};

}  // namespace qv::download
