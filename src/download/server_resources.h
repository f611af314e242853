#pragma once
// The five resources of the add-on web server, each the server base address followed by its path.
// The base is a build setting (builtIn); tests point the program at their own server. Add-on names
// are inserted as they are, without escaping.
#include <string>

namespace qv::download {

struct ServerResources {
  std::string base;

  static ServerResources builtIn();
  std::string portal() const { return base + "/ui.php"; }
  std::string catalogue() const { return base + "/Data.xml"; }
  std::string archive(const std::string& trimmedName) const { return base + "/zip/" + trimmedName + ".zip"; }
  std::string versionFile() const { return base + "/UPdate.ini"; }
  std::string newExecutable() const { return base + "/Quorvane.exe"; }
};

}  // namespace qv::download
