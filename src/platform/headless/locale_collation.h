#pragma once
// Locale collation of the native build: the user's locale through the C++ library, falling back to a
// byte comparison where the locale is not installed.
#include <locale>

#include "platform/services.h"

namespace qv::platform::headless {

class LocaleCollation : public Collation {
 public:
  LocaleCollation();
  int compare(std::string_view a, std::string_view b) const override;
  std::string sortKey(std::string_view s) const override;
  bool ordersByBytes() const override { return !useLocale_; }

 private:
  std::locale locale_;
  bool useLocale_ = false;
};

}  // namespace qv::platform::headless
