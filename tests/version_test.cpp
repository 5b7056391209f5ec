// SPDX-License-Identifier: GPL-2.0-or-later
// The version record: the reader's steps against a scripted source, the
// record layout, the short version text, and the programs' own record found
// by the bare name "tavrolith.exe" (on Linux in an ELF section, on Windows
// in the resource).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/version/version_info.h"
#include "app/version/version_record.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <fstream>

#include "app/version/elf_version_source.h"
#include "tests/start_up_directory.h"
#endif

namespace tav {
namespace {

VersionRecordValues OwnValues(const std::string& fileVersion = "1, 3, 9, 0") {
  return {{1, 3, 9, 0}, 0x0407, 0x04B0, {{"FileDescription", "8051 Controller Programmer"}, {"FileVersion", fileVersion}}};
}

// A source over one built record that can fail at each step: no record
// (size 0), a failing read, a path it pretends not to find.
class ScriptedSource : public VersionRecordSource {
public:
  std::vector<uint8_t> record = BuildVersionRecord(OwnValues());
  bool readFails = false;
  std::string hiddenPath;
  std::vector<std::string> paths;

  uint32_t RecordSize(const std::string&) override { return uint32_t(record.size()); }
  bool ReadRecord(const std::string&, std::vector<uint8_t>& out) override {
    if (readFails || out.size() != record.size()) return false;
    out = record;
    return true;
  }
  bool QueryValue(const std::vector<uint8_t>& in, const std::string& path, std::string& value) override {
    paths.push_back(path);
    return path != hiddenPath && QueryVersionRecord(in, path, value);
  }
};

// Open takes the first translation and a query builds the block path; a
// Close, or an Open failing at any step, leaves nothing open.
TEST(VersionInfoTest, OpenTakesTheFirstTranslationAndEveryFailedStepLeavesNothingOpen) {
  for (int step = 0; step < 4; ++step) {
    SCOPED_TRACE(step);
    ScriptedSource source;
    VersionInfo info(source);
    ASSERT_TRUE(info.Open("a.exe"));
    EXPECT_EQ(info.Translation(), 0x040704B0u);
    EXPECT_EQ(info.QueryString("FileDescription", 0x040704B0), "8051 Controller Programmer");
    EXPECT_EQ(source.paths.back(), "\\StringFileInfo\\040704b0\\FileDescription");
    EXPECT_EQ(info.QueryString("FileVersion", 0x04090000), "");  // no such block
    source.paths.clear();
    if (step == 0) source.record.clear();
    source.readFails = step == 1;
    if (step == 2) source.hiddenPath = "\\VarFileInfo\\Translation";
    if (step == 3) info.Close();
    EXPECT_FALSE(step < 3 && info.Open("tavrolith.exe"));
    EXPECT_EQ(source.paths.empty(), step != 2);  // nothing is queried before the record is read
    EXPECT_FALSE(info.IsOpen());
    EXPECT_EQ(VersionText(info), "V.");
  }
}

TEST(VersionRecordTest, KeysAreFoundWithoutRegardToCaseAndADamagedRecordIsRefused) {
  const std::vector<uint8_t> record = BuildVersionRecord(OwnValues());
  std::string value;
  EXPECT_TRUE(QueryVersionRecord(record, "\\stringfileinfo\\040704B0\\fileversion", value));
  EXPECT_EQ(value, "1, 3, 9, 0");
  // Cut anywhere or with a length pointing past the end: refused or found
  // intact, never read beyond the buffer.
  for (size_t size = 0; size < record.size(); ++size) {
    const std::vector<uint8_t> cut(record.begin(), record.begin() + long(size));
    const bool found = QueryVersionRecord(cut, "\\StringFileInfo\\040704b0\\FileVersion", value);
    EXPECT_TRUE(!found || value == "1, 3, 9, 0") << size << ": " << value;
  }
  std::vector<uint8_t> lying = record;
  lying[0] = lying[1] = 0xFF;
  EXPECT_FALSE(QueryVersionRecord(lying, "\\VarFileInfo\\Translation", value));
}

TEST(OwnVersionRecordTest, TheProgramFileFoundByItsBareNameReadsV139) {
  VersionInfo info;
  ASSERT_TRUE(info.Open("tavrolith.exe"));
  EXPECT_EQ(info.QueryString("FileDescription"), "8051 Controller Programmer");
  EXPECT_EQ(VersionText(info), "V1.39");
  EXPECT_FALSE(info.Open("keinprogramm.exe"));
}

#ifdef _WIN32
// The resource compiler's record read by the reader the Linux programs use:
// both systems agree on one layout.
TEST(OwnVersionRecordTest, TheResourceCompilersRecordHasTheLayoutOfTheBuiltOne) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA("tavrolith.exe", &ignored);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> resource(size);
  ASSERT_TRUE(GetFileVersionInfoA("tavrolith.exe", 0, size, resource.data()));
  const std::vector<uint8_t> built = BuildVersionRecord(OwnValues());
  for (const char* path : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040704b0\\FileVersion",
                           "\\StringFileInfo\\040704b0\\FileDescription"}) {
    std::string fromResource, fromBuilt;
    ASSERT_TRUE(QueryVersionRecord(resource, path, fromResource)) << path;
    ASSERT_TRUE(QueryVersionRecord(built, path, fromBuilt)) << path;
    // The fixed part: signature, structure version, file and product version.
    EXPECT_EQ(fromResource.substr(0, 24), fromBuilt.substr(0, 24)) << path;
  }
}
#else
TEST(ElfVersionSourceTest, BareNamesSearchTheProgramDirectoryAndOnlyElfSectionsCount) {
  namespace fs = std::filesystem;
  // The program directory is the working directory too, so that the build
  // folder's own tavrolith does not answer.
  const test::StartUpDirectory scratch("tav_version");
  ASSERT_TRUE(scratch.Valid());
  const std::string dir = scratch.Path().string() + "/", self = fs::read_symlink("/proc/self/exe").string();
  ElfVersionSource source(scratch.Path().string());
  VersionInfo info(source);
  // A copy of this program (test programs carry the record too) answers to the name with ".exe".
  fs::copy_file(self, dir + "tavrolith");
  ASSERT_TRUE(info.Open("tavrolith.exe"));
  EXPECT_EQ(source.Resolve("tavrolith.exe"), dir + "tavrolith");
  EXPECT_EQ(info.QueryString("FileVersion"), "1, 3, 9, 0");
  // A program without the section.
  fs::copy_file(fs::path(self).parent_path() / "version_probe_plain", dir + "plain");
  EXPECT_FALSE(info.Open(dir + "plain"));
  // The working directory is searched after the program directory.
  const test::ScratchDirectory empty("tav_version_empty");
  EXPECT_EQ(ElfVersionSource(empty.Path().string()).Resolve("tavrolith.exe"), dir + "tavrolith");
}
#endif

}  // namespace
}  // namespace tav
