#include "platform/headless/locale_collation.h"

namespace qv::platform::headless {

LocaleCollation::LocaleCollation() {
  try {
    locale_ = std::locale("");
    useLocale_ = true;
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
