// The text rules of common/path.h: which dot starts an extension, and where a path's directory ends.
#include <gtest/gtest.h>

#include "common/path.h"

namespace qv {
namespace {

TEST(PathNames, ExtensionIsReplacedOnlyInTheLastElement) {
  EXPECT_EQ(path::withExtension("C:\\Games\\Quorvane.exe", ".old"), "C:\\Games\\Quorvane.old");
  EXPECT_EQ(path::withExtension("/tmp/add-on.zip", ".zfc"), "/tmp/add-on.zfc");
  EXPECT_EQ(path::withExtension("a.tar.gz", ".zfc"), "a.tar.zfc") << "only the last dot starts the extension";
  // A dot in a directory's name is not the file's extension.
  EXPECT_EQ(path::withExtension("C:\\v1.2\\Quorvane", ".old"), "C:\\v1.2\\Quorvane.old");
  EXPECT_EQ(path::withExtension("/opt/v1.2/archive", ".zfc"), "/opt/v1.2/archive.zfc");
  EXPECT_EQ(path::withExtension("archive", ".zfc"), "archive.zfc");
  EXPECT_EQ(path::withExtension("", ".zfc"), ".zfc");
}

TEST(PathNames, DirectoryOfDropsTheLastElementAndItsSeparator) {
  EXPECT_EQ(path::directoryOf("C:\\JX3\\bin\\zhcn\\JX3Client.exe"), "C:\\JX3\\bin\\zhcn");
  EXPECT_EQ(path::directoryOf("/games/jx3/client"), "/games/jx3");
  EXPECT_EQ(path::directoryOf("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(path::directoryOf("client.exe"), "") << "no separator, no directory";
}

}  // namespace
}  // namespace qv
