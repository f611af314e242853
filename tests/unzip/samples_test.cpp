// The sample archives made by other zip tools: every file of each manifest extracted with its size and
// SHA-256, required directories present, nothing else written.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <fstream>
#include <sstream>

#include "test_support.h"

namespace qv::unzip::test {
namespace {

const char* const kArchives[] = {
    "pkzip080_reduce1.zip", "pkzip080_reduce2.zip", "pkzip080_reduce3.zip",  "pkzip080_reduce4.zip",
    "pkzip080_shrink.zip",  "pkzip110_implode.zip", "pkzip110_mixed.zip",    "pkzip110_shrink.zip",
    "pkzip204_deflate_max.zip", "pkzip204_deflate_superfast.zip", "pkzip204_store.zip", "zip2test_implode.zip",
    "zip2test_reduce4.zip", "zip2test_shrink.zip",
};

std::string sha256Hex(const std::string& data) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(data.data(), data.size(), md, &len, EVP_sha256(), nullptr);
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < len; ++i) {
    out += hex[md[i] >> 4];
    out += hex[md[i] & 15];
  }
  return out;
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::stringstream ss(line);
  std::string f;
  while (std::getline(ss, f, '\t')) out.push_back(f);
  return out;
}

class SampleArchive : public UnzipTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SampleArchive, ExtractsExactlyTheManifest) {
  const std::string dir = QV_SAMPLES_DIR;
  const std::string zip = dir + "/" + GetParam();
  std::ifstream manifest(dir + "/expected/" + GetParam() + ".tsv");
  if (!std::filesystem::exists(zip) || !manifest) GTEST_SKIP() << "sample archive " << GetParam() << " is absent";

  ASSERT_TRUE(unzipFile(zip, at("out")));
  std::set<std::string> expected;
  std::string line;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto f = fields(line);
    if (f[0] == "dirs:") {
      for (size_t i = 1; i < f.size(); ++i) {
        EXPECT_TRUE(std::filesystem::is_directory(at("out/" + f[i]))) << f[i];
        expected.insert(f[i] + "/");
      }
      continue;
    }
    ASSERT_EQ(f.size(), 3u) << line;
    const std::string data = readFile(at("out/" + f[0]));
    EXPECT_EQ(data.size(), std::stoull(f[1])) << f[0];
    EXPECT_EQ(sha256Hex(data), f[2]) << f[0];
    expected.insert(f[0]);
  }
  EXPECT_EQ(tree(at("out")), expected);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleArchive, ::testing::ValuesIn(kArchives),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace
}  // namespace qv::unzip::test
