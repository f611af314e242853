#pragma once
// The installer driven directly (no window), on archives made by the unzip suite's fixture writer,
// and a picture of a folder tree that tells apart every name, byte, read-only mark and link, to
// compare the add-on directory with what it was before an install and what it is after one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "install/staged_install.h"
#include "platform/headless/iconv_codec.h"
#include "platform/headless/posix_file_stamps.h"
#include "test_dir.h"
#include "zip_writer.h"

namespace qv::test {

namespace fs = std::filesystem;

struct ArchiveEntry {
  std::string name;
  std::string data;
  uint32_t attributes = 0x20;
};

inline std::string archiveOf(const std::vector<ArchiveEntry>& entries) {
  unzip::test::ZipWriter w;
  for (const ArchiveEntry& a : entries) {
    unzip::test::FixtureEntry e;
    e.name = a.name;
    e.data = a.data;
    e.flags = 0x0800;
    e.externalAttributes = a.attributes;
    w.add(std::move(e));
  }
  return w.finish();
}

// relative name -> what is there: "<dir>", "<link>target", or the bytes, with " <ro>" for a file
// without write permission.
using Picture = std::map<std::string, std::string>;
inline Picture pictureOf(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  Picture out;
  std::error_code ec;
  if (!fs::exists(root, ec)) return out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = it->path().lexically_relative(root).string();
    if (it->is_symlink()) {
      out[rel] = "<link>" + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      out[rel] = "<dir>";
    } else {
      struct stat st {};
      ::stat(it->path().c_str(), &st);
      out[rel] = readAll(it->path().string()) + ((st.st_mode & S_IWUSR) ? "" : " <ro>");
    }
  }
  return out;
}

// Names the program's work must never leave behind once recovery has run.
inline std::vector<std::string> leftoversIn(const Picture& picture) {
  std::vector<std::string> out;
  for (const auto& [name, what] : picture)
    if (name.find(".qv-staging-") != std::string::npos || name.find(".qv-old") != std::string::npos ||
        name.find(".qv-partial") != std::string::npos)
      out.push_back(name);
  return out;
}

inline void makeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

class StagedFixture : public ::testing::Test {
 protected:
  TestDir dir;
  std::string iface = dir.file("Interface") + "/";
  platform::headless::IconvCodec codec{65001, 65001};
  platform::headless::PosixFileStamps stamps;
  unzip::UnZipServices services{codec, stamps,
                                [](const std::string&, const std::string&, unsigned) { return 1; }, [] {}};
  install::StagingInUse inUse;

  void SetUp() override { fs::create_directories(iface); }

  std::string archive(const std::string& name, const std::vector<ArchiveEntry>& entries) {
    const std::string path = dir.file(name + ".zip");
    writeAll(path, archiveOf(entries));
    return path;
  }
  void put(const std::string& relative, const std::string& bytes) {
    fs::create_directories(fs::path(iface + relative).parent_path());
    writeAll(iface + relative, bytes);
  }
  install::InstallResult installOne(const std::string& archivePath) {
    install::StagedInstaller installer(services, inUse);
    return installer.install(archivePath, iface);
  }
  install::RecoveryReport recover() { return install::recoverInterruptedInstalls(iface, stamps); }
  std::vector<std::string> stagingFolders() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(iface))
      if (e.path().filename().string().starts_with(".qv-staging-")) out.push_back(e.path().string());
    return out;
  }
};

}  // namespace qv::test
