// Images whose headers the system's loader refuses never replace the program, however whole the file
// is: an entry point outside the image, an image smaller than its own headers, alignments that are no
// power of two or lie outside the range the loader takes. And the programs our toolchain makes (page-
// aligned sections in the file, as Quorvane.exe is linked) still pass.
#include <gtest/gtest.h>

#include "pe_builder.h"
#include "selfupdate/executable_image.h"

namespace qv::test {
namespace {

using selfupdate::checkProgramImage;
using selfupdate::ImageVerdict;

TEST(LoaderRules, TheLayoutsOurLinkerMakesAreTaken) {
  EXPECT_EQ(checkProgramImage(buildPe()), ImageVerdict::Ok) << "512-byte file alignment";
  EXPECT_EQ(checkProgramImage(buildPe({.fileAlignment = 0x1000})), ImageVerdict::Ok)
      << "page-aligned in the file";
  EXPECT_EQ(checkProgramImage(buildPe({.sectionAlignment = 0x200, .fileAlignment = 0x200})), ImageVerdict::Ok)
      << "sections below a page sit in memory as in the file";
  EXPECT_EQ(checkProgramImage(buildPe({.entryPoint = 0x2FFF})), ImageVerdict::Ok) << "the image's last byte";
  EXPECT_EQ(checkProgramImage(buildPe({.entryPoint = 0x100, .sizeOfImage = 0x200})), ImageVerdict::Ok)
      << "as large as its headers, the entry inside them";
}

TEST(LoaderRules, AnEntryPointOutsideTheImageIsRefused) {
  EXPECT_EQ(checkProgramImage(buildPe({.entryPoint = 0})), ImageVerdict::Unloadable) << "no entry point";
  EXPECT_EQ(checkProgramImage(buildPe({.entryPoint = 0x3000})), ImageVerdict::Unloadable)
      << "one past the end";
  EXPECT_EQ(checkProgramImage(buildPe({.entryPoint = 0xFFFFFFFF})), ImageVerdict::Unloadable);
}

TEST(LoaderRules, AnImageSmallerThanItsHeadersIsRefused) {
  EXPECT_EQ(checkProgramImage(buildPe({.entryPoint = 0x10, .sizeOfImage = 0x1FF})), ImageVerdict::Unloadable);
}

TEST(LoaderRules, AlignmentsThatAreNoPowerOfTwoOrOutOfRangeAreRefused) {
  struct Case {
    uint32_t section;
    uint32_t file;
    const char* why;
  };
  for (const Case& c :
       {Case{0x1000, 0x300, "file alignment no power of two"}, Case{0x1000, 0, "file alignment zero"},
        Case{0x1000, 0x100, "file alignment below 512"},
        Case{0x40000, 0x20000, "file alignment above 64 KiB"},
        Case{0x1800, 0x200, "section alignment no power of two"}, Case{0, 0x200, "section alignment zero"},
        Case{0x1000, 0x2000, "sections aligned less in memory than in the file"},
        Case{0x400, 0x200, "below a page, the two alignments must agree"}}) {
    EXPECT_EQ(checkProgramImage(buildPe({.sectionAlignment = c.section, .fileAlignment = c.file})),
              ImageVerdict::Unloadable)
        << c.why;
  }
}

}  // namespace
}  // namespace qv::test
