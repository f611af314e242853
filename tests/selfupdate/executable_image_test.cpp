// What may replace the program: a whole x86-64 GUI executable and nothing else. Each case is one way
// a download goes wrong (an error page, a cut transfer, another program) or one header a hostile
// server could bend to make the check read outside the file.
#include "selfupdate/executable_image.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pe_builder.h"
#include "test_dir.h"

namespace qv::test {
namespace {

using selfupdate::checkProgramFile;
using selfupdate::checkProgramImage;
using selfupdate::ImageVerdict;

TEST(ExecutableImage, AWholeX64GuiProgramIsTaken) {
  EXPECT_EQ(checkProgramImage(buildPe()), ImageVerdict::Ok);
  EXPECT_EQ(checkProgramImage(buildPe({.symbols = true})), ImageVerdict::Ok);
  EXPECT_EQ(checkProgramImage(buildPe({.certificate = true})), ImageVerdict::Ok);
  // Bytes after the last section (an overlay) do not matter.
  EXPECT_EQ(checkProgramImage(buildPe() + std::string(1000, 'o')), ImageVerdict::Ok);
}

TEST(ExecutableImage, ErrorPagesAndOtherFilesAreNoExecutable) {
  for (const std::string& body :
       {std::string("<html><head><title>Error</title></head><body><h1>Error</h1></body></html>"),
        std::string(), std::string("MZ"), std::string(4096, '\0'),
        std::string("PK\x03\x04") + std::string(200, 'z')})
    EXPECT_EQ(checkProgramImage(body), ImageVerdict::NotAnExecutable) << body.substr(0, 20);
  std::string noSignature = buildPe();
  noSignature[0x81] = 'X';
  EXPECT_EQ(checkProgramImage(noSignature), ImageVerdict::NotAnExecutable);
  EXPECT_EQ(checkProgramImage(buildPe({.characteristics = 0x2022})), ImageVerdict::NotAnExecutable)
      << "a DLL";
  EXPECT_EQ(checkProgramImage(buildPe({.characteristics = 0x0020})), ImageVerdict::NotAnExecutable)
      << "an object file";
}

TEST(ExecutableImage, EveryCutBeforeTheEndOfTheLastSectionIsRefused) {
  const std::string whole = buildPe({.symbols = true, .certificate = true});
  for (size_t cut = 0; cut < whole.size(); ++cut)
    EXPECT_NE(checkProgramImage(std::string_view(whole).substr(0, cut)), ImageVerdict::Ok)
        << "cut at " << cut;
  const std::string plain = buildPe();
  EXPECT_EQ(checkProgramImage(std::string_view(plain).substr(0, plain.size() - 1)), ImageVerdict::Truncated);
}

TEST(ExecutableImage, ProgramsForOtherMachinesOrSubsystemsAreRefused) {
  EXPECT_EQ(checkProgramImage(buildPe({.machine = 0x014C, .magic = 0x10B})), ImageVerdict::WrongMachine)
      << "x86";
  EXPECT_EQ(checkProgramImage(buildPe({.machine = 0xAA64})), ImageVerdict::WrongMachine) << "ARM64";
  EXPECT_EQ(checkProgramImage(buildPe({.magic = 0x10B})), ImageVerdict::WrongMachine) << "PE32 header on x64";
  EXPECT_EQ(checkProgramImage(buildPe({.subsystem = 3})), ImageVerdict::NotAGuiProgram) << "console";
  EXPECT_EQ(checkProgramImage(buildPe({.subsystem = 1})), ImageVerdict::NotAGuiProgram) << "driver";
}

TEST(ExecutableImage, HeaderFieldsPointingOutsideTheFileAreCaughtWithoutReadingThere) {
  std::string far = buildPe();
  putU32(far, 0x3C, 0xFFFFFFF0);  // the PE header "after" four gigabytes
  EXPECT_EQ(checkProgramImage(far), ImageVerdict::Truncated);

  // A section whose offset plus size wraps around 32 bits.
  const PeSpec spec;
  std::string wrap = buildPe(spec);
  putU32(wrap, sectionTableAt(spec) + 40 + 16, 0x20);
  putU32(wrap, sectionTableAt(spec) + 40 + 20, 0xFFFFFFF0);
  EXPECT_EQ(checkProgramImage(wrap), ImageVerdict::Truncated);

  std::string headers = buildPe(spec);
  putU32(headers, optionalHeaderAt(spec) + 60, 0x7FFFFFFF);
  EXPECT_EQ(checkProgramImage(headers), ImageVerdict::Truncated) << "headers larger than the file";

  std::string symbols = buildPe({.symbols = true});
  putU32(symbols, fileHeaderAt(spec) + 12, 0x10000000);  // symbol count far past the end
  EXPECT_EQ(checkProgramImage(symbols), ImageVerdict::Truncated);

  std::string signature = buildPe({.certificate = true});
  putU32(signature, optionalHeaderAt(spec) + 112 + 36, 0x101);  // one byte more than there is
  EXPECT_EQ(checkProgramImage(signature), ImageVerdict::Truncated);

  std::string table = buildPe(spec);
  putU16(table, fileHeaderAt(spec) + 16, 0xFFFF);  // an optional header larger than the file
  EXPECT_EQ(checkProgramImage(table), ImageVerdict::Truncated);
}

TEST(ExecutableImage, SectionCountsNoProgramHasAreRefused) {
  EXPECT_EQ(checkProgramImage(buildPe({.sections = 0})), ImageVerdict::NotAnExecutable);
  std::string many = buildPe();
  putU16(many, fileHeaderAt({}) + 2, 97);
  EXPECT_EQ(checkProgramImage(many), ImageVerdict::NotAnExecutable);
  std::string tooShortOptional = buildPe();
  putU16(tooShortOptional, fileHeaderAt({}) + 16, 100);
  EXPECT_EQ(checkProgramImage(tooShortOptional), ImageVerdict::NotAnExecutable);
}

TEST(ExecutableImage, FilesAreReadOnlyWhenTheirSizeFitsAProgram) {
  TestDir dir;
  writeAll(dir.file("good.exe"), buildPe());
  EXPECT_EQ(checkProgramFile(dir.file("good.exe")), ImageVerdict::Ok);
  EXPECT_EQ(checkProgramFile(dir.file("missing.exe")), ImageVerdict::NotAnExecutable);
  std::filesystem::create_directory(dir.file("folder.exe"));
  EXPECT_EQ(checkProgramFile(dir.file("folder.exe")), ImageVerdict::NotAnExecutable);
  // A sparse file of 5 GiB is refused by its size, before a byte of it is read.
  writeAll(dir.file("huge.exe"), buildPe());
  std::filesystem::resize_file(dir.file("huge.exe"), 5ull << 30);
  EXPECT_EQ(checkProgramFile(dir.file("huge.exe")), ImageVerdict::TooLarge);
}

}  // namespace
}  // namespace qv::test
