#pragma once
// An add-on list on a headless list view in the target machines' code page, with the native XML
// document to read catalogues into it.
#include <string_view>

#include "catalogue/addon_list.h"
#include "platform/headless/headless_platform.h"

namespace qv::catalogue {

struct ListUnderTest {
  platform::headless::HeadlessListView view{nullptr, {"ListView1", 0, {}, ""}};
  platform::headless::LocaleCollation collation;
  platform::headless::IconvCodec codec{950, 950};
  AddonList list{view, collation, codec};
  platform::headless::PugixmlFactory xml;

  // The row of that name now (rows move as the list is ordered), or -1.
  int row(std::string_view name) const {
    for (int i = 0; i < list.count(); ++i)
      if (list.name(i) == name) return i;
    return -1;
  }
};

}  // namespace qv::catalogue
