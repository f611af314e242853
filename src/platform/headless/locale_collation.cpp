#include "platform/headless/locale_collation.h"

namespace qv::platform::headless {

LocaleCollation::LocaleCollation() {
  try {
    locale_ = std::locale("");
    // The C locales (C.UTF-8 included) collate by code point, which is the byte order of UTF-8:
    // comparing the bytes gives the same order without a transformation per text.
    const std::string name = locale_.name();
    useLocale_ = !(name == "C" || name == "POSIX" || name == "C.UTF-8" || name == "C.utf8");
  } catch (const std::runtime_error&) {
    useLocale_ = false;
  }
}

int LocaleCollation::compare(std::string_view a, std::string_view b) const {
  if (useLocale_) {
    const auto& coll = std::use_facet<std::collate<char>>(locale_);
    return coll.compare(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
  }
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::string LocaleCollation::sortKey(std::string_view s) const {
  if (!useLocale_) return std::string(s);
  const auto& coll = std::use_facet<std::collate<char>>(locale_);
  return coll.transform(s.data(), s.data() + s.size());
}

}  // namespace qv::platform::headless
