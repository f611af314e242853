#include "catalogue/folder_list.h"

#include <gtest/gtest.h>

namespace qv::catalogue {
namespace {

using Names = std::vector<std::string>;

TEST(FolderListTest, SplitsOnCommasAndBlanksKeepingQuotedAndEmptyNames) {
  struct Case {
    std::string list;
    Names names;
  } cases[] = {
      {"A,B", {"A", "B"}},
      {"A, B", {"A", "B"}},
      {"A B,C", {"A", "B", "C"}},
      {"A,,B", {"A", "", "B"}},
      {"A,", {"A", ""}},
      {",A", {"", "A"}},
      {"  A ,\tB  ", {"A", "B"}},
      {"\"Bar Baz\",Foo", {"Bar Baz", "Foo"}},
      {"\"a,b\",\"say \"\"hi\"\"\"", {"a,b", "say \"hi\""}},
      {"\"unterminated, x", {"unterminated, x"}},
      {"插件一,插件 二", {"插件一", "插件", "二"}},
  };
  for (const Case& c : cases) EXPECT_EQ(splitFolderList(c.list), c.names) << "list: " << c.list;
}

TEST(FolderListTest, ANulIsAnOrdinaryCharacterOfAName) {
  // Once a NUL ended a name without being consumed, and the split never finished.
  using namespace std::string_literals;
  EXPECT_EQ(splitFolderList("A\0B,C"s), (Names{"A\0B"s, "C"}));
  EXPECT_EQ(splitFolderList("\0,"s), (Names{"\0"s, ""}));
}

}  // namespace
}  // namespace qv::catalogue
