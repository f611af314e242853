#pragma once
// Release keys of the suite's own, made once per run with the publisher's signing code: the program
// under test trusts `releaseKey()`, and `strangerKey()` is anyone else's.
#include <memory>
#include <string>

#include "mainwindow/main_window.h"
#include "test_dir.h"
#include "update_signer.h"

namespace qv::test {

class ReleaseKey {
 public:
  ReleaseKey() : key_(tools::SigningKey::generate(pem_)), publicKey_(key_.publicKeyText()) {}

  const tools::SigningKey& key() const { return key_; }
  const std::string& publicKey() const { return publicKey_; }
  const std::string& pemFile() const { return pem_; }
  // UPdate.ini announcing `program` as `version`, signed with this key.
  std::string versionFile(int version, const std::string& program) const {
    return tools::versionSectionFor(key_, version, program);
  }

 private:
  TestDir dir_;
  std::string pem_ = dir_.file("release.pem");
  tools::SigningKey key_;
  std::string publicKey_;
};

inline const ReleaseKey& releaseKey() {
  static const ReleaseKey key;
  return key;
}
inline const ReleaseKey& strangerKey() {
  static const ReleaseKey key;
  return key;
}

// The window settings of a build that trusts `releaseKey()`.
inline mainwindow::WindowSettings trustingReleaseKey() {
  mainwindow::WindowSettings settings = mainwindow::WindowSettings::builtIn();
  settings.updateKey = releaseKey().publicKey();
  return settings;
}

}  // namespace qv::test
