// qv-unzip's exit status and output, as scripts rely on them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "test_support.h"

namespace qv::unzip::test {
namespace {

class CliTest : public UnzipTest {
 protected:
  // Runs qv-unzip and returns its exit status; stdout and stderr land in `out` and `err`.
  int run(const std::string& args) {
    const std::string cmd = std::string(QV_UNZIP_CLI) + " " + args + " >" + at("stdout") + " 2>" + at("stderr");
    const int status = std::system(cmd.c_str());
    out = readFile(at("stdout"));
    err = readFile(at("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string out, err;
};

TEST_F(CliTest, EveryFailureSaysWhyAndTheCountIsWhatWasExtracted) {
  ZipWriter w;
  w.add({.name = "Addon/a.lua", .data = "a"});
  w.add({.name = "Addon/b.bin", .data = "b", .method = 9, .compressed = "b"});
  const std::string zip = archive(w);
  EXPECT_EQ(run(zip + " " + at("out")), 0);
  EXPECT_EQ(out, "1\n");
  EXPECT_NE(err.find("Unknown Compression Method"), std::string::npos);  // the engine's box
  EXPECT_NE(err.find("not extracted: Addon/b.bin: its data do not decode"), std::string::npos) << err;

  writeFile(at("text.zip"), "just some text, no archive");
  EXPECT_EQ(run(at("text.zip") + " " + at("out2")), 1);
  EXPECT_EQ(out, "0\n");
  EXPECT_NE(err.find("qv-unzip: Incomplete Zip File"), std::string::npos) << err;

  EXPECT_EQ(run(at("absent.zip") + " " + at("out3")), 1);
  EXPECT_NE(err.find("Cannot open file"), std::string::npos);
  std::filesystem::create_directories(at("folder.zip"));
  EXPECT_EQ(run(at("folder.zip") + " " + at("out3")), 1);
  EXPECT_NE(err.find("Cannot open file \"" + at("folder.zip") + "\". Is a directory"), std::string::npos) << err;

  // A destination that is a file.
  writeFile(at("file"), "x");
  EXPECT_EQ(run(zip + " " + at("file")), 1);
  EXPECT_EQ(out, "0\n");
  EXPECT_NE(err.find("Cannot create directory"), std::string::npos) << err;

  EXPECT_EQ(run(zip), 2);
  EXPECT_NE(err.find("usage:"), std::string::npos);
  EXPECT_EQ(run("-O 12345x " + zip + " " + at("out4")), 2);
  EXPECT_NE(err.find("unknown code page"), std::string::npos);
}

TEST_F(CliTest, CountAfterAFailurePartWayIsWhatReallyLanded) {
  // The second entry's deflate data are corrupt: zlib's error ends the run after the first entry.
  ZipWriter w;
  w.add({.name = "first.txt", .data = "one"});
  w.add({.name = "second.txt", .data = "x", .compressed = std::string("\xFF\xFF\xFF\xFF", 4)});
  w.add({.name = "third.txt", .data = "three"});
  EXPECT_EQ(run(archive(w) + " " + at("out")), 1);
  EXPECT_EQ(out, "1\n");
  EXPECT_EQ(tree(at("out")), (std::set<std::string>{"first.txt"}));
  EXPECT_NE(err.find("qv-unzip: error"), std::string::npos) << err;
}

TEST_F(CliTest, NamesAreReadInCodePage950UnlessToldOtherwise) {
  ZipWriter w;
  w.add({.name = "\xB3\x5C\xA5\x5C\xBB\x5C.lua", .data = "big5"});  // MS-DOS host, no UTF-8 flag
  const std::string zip = archive(w);
  EXPECT_EQ(run(zip + " " + at("out")), 0);
  EXPECT_EQ(tree(at("out")), (std::set<std::string>{"許功蓋.lua"}));
  EXPECT_EQ(run("-O 936 " + zip + " " + at("gbk")), 0);
  EXPECT_EQ(tree(at("gbk")).count("許功蓋.lua"), 0u);  // the same bytes mean other characters in GBK
  EXPECT_EQ(run("-O 950 --list " + zip), 0);
  EXPECT_NE(out.find("\t許功蓋.lua\n"), std::string::npos) << out;
}

TEST_F(CliTest, UnixArchiversRawUtf8NamesAreReadAsUtf8WhateverTheCodePage) {
  ZipWriter w;
  w.add({.name = "界面/設定.ini", .data = "linux", .versionMadeBy = (3 << 8) | 30});  // Info-ZIP on Linux
  EXPECT_EQ(run(archive(w) + " " + at("out")), 0);
  EXPECT_EQ(tree(at("out")), (std::set<std::string>{"界面/", "界面/設定.ini"}));
}

TEST_F(CliTest, ListPrintsOneLinePerEntry) {
  ZipWriter w;
  w.add({.name = "dir/", .data = "", .method = 0});
  w.add({.name = "dir/x.txt", .data = "hello", .method = 0});
  EXPECT_EQ(run("--list " + archive(w)), 0);
  EXPECT_EQ(out, "0\t0\t0\t00000000\t2024-06-15 12:30:00\tdir/\n"
                 "0\t5\t5\t3610a686\t2024-06-15 12:30:00\tdir/x.txt\n");
}

}  // namespace
}  // namespace qv::unzip::test
