#include "selfupdate/version_check.h"

#include <algorithm>

#include "common/file_system.h"
#include "selfupdate/executable_image.h"
#include "settings/private_profile.h"

// A program file the image check would take must not be cut off by the transfer's cap.
static_assert(qv::platform::resource_bounds::kProgram.maxBytes >=
              static_cast<uint64_t>(qv::selfupdate::kMaxImageBytes));

namespace qv::selfupdate {

VersionCheck checkVersionFile(const std::string& versionFile, int32_t installedVersion,
                              const std::string& publicKeyText, const platform::Codec& codec,
                              const platform::FileStamps& stamps, const platform::Crypto& crypto) {
  VersionCheck check;
  if (!files::isFile(versionFile)) return check;
  const settings::PrivateProfile file(versionFile, codec, stamps);
  check.serverVersion = file.readInteger(kVersionSection, "ver", 0);
  if (check.serverVersion == installedVersion) {
    check.offer = VersionCheck::Offer::Same;
    return check;
  }
  // Anything else from the network (an unsigned file, a signature for another number or by another
  // key) is no update at all.
  const ReleaseFields fields{file.readString(kVersionSection, kSizeKey, ""),
                             file.readString(kVersionSection, kDigestKey, ""),
                             file.readString(kVersionSection, kSignatureKey, "")};
  check.release = verifiedRelease(check.serverVersion, fields, publicKeyText, crypto);
  check.offer = check.release ? VersionCheck::Offer::Signed : VersionCheck::Offer::Unsigned;
  return check;
}

platform::TransferBounds programBounds(const SignedRelease& release) {
  platform::TransferBounds bounds = platform::resource_bounds::kProgram;
  bounds.maxBytes = std::min<uint64_t>(bounds.maxBytes, release.size);
  return bounds;
}

}  // namespace qv::selfupdate
