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

TEST_F(CliTest, ExitStatusTellsSuccessFailureAndEscapedErrors) {
  ZipWriter w;
  w.add({.name = "Addon/a.lua", .data = "a"});
  w.add({.name = "Addon/b.bin", .data = "b", .method = 9, .compressed = "b"});
  const std::string zip = archive(w);
  EXPECT_EQ(run(zip + " " + at("out")), 0);
  EXPECT_EQ(out, "1\n");
  EXPECT_NE(err.find("Unknown Compression Method"), std::string::npos);  // the engine's box

  writeFile(at("text.zip"), "just some text, no archive");
  EXPECT_EQ(run(at("text.zip") + " " + at("out2")), 1);
  EXPECT_EQ(out, "0\n");

  EXPECT_EQ(run(at("absent.zip") + " " + at("out3")), 2);
  EXPECT_NE(err.find("Cannot open file"), std::string::npos);
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
