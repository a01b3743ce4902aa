// Files that fail under the component: output paths that cannot be created and the error number each
// gives, an output folder that goes away while the object holds its file, and a gaiji mapping file
// that is deleted, truncated or rewritten between FujitsuJEF calls. Each case shows what earlier
// calls wrote is still there and later calls follow the file's state at their own time.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/output_file.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

namespace fs = std::filesystem;

const char* const kRecord = "C1 C2 C3 40 40 00 12 3C";  // "ABC,123" in "5,5" as "1,3"

class FailureInjection : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("quor-failure-" + std::to_string(rd()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_ / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }

  static std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    return hex(ByteString(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
  }
  static void put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  static bool writeRecord(Quor& q, const fs::path& file) {
    return q.FujitsuHostQuorBinaryWrite(u"ABC,123", u"5,5", u"1,3", file.u16string());
  }

  fs::path dir_;
};

#ifndef _WIN32

// Output paths where no file can be made: the open gives the file error number, and the public call
// gives false without creating anything, so the same object can still open a good path afterwards.
TEST_F(FailureInjection, OutputPathsThatCannotBeCreated) {
  put(dir_ / "plain", "keep");
  fs::create_directories(dir_ / "locked");
  fs::permissions(dir_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  // Root passes folder permissions by; a new entry in /sys is refused to everyone.
  const bool root = ::geteuid() == 0;
  const fs::path refusing = root ? fs::path("/sys/quor-cannot-create") : dir_ / "locked" / "out.dat";

  const struct {
    const char* what;
    fs::path path;
    int error;
  } cases[] = {
      {"a folder that refuses new files", refusing, 70},
      {"a folder in the path is a regular file", dir_ / "plain" / "out.dat", 76},
      {"a missing folder", dir_ / "missing" / "out.dat", 76},
      {"the path names a folder", dir_, 75},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (root && c.error == 70 && !fs::exists("/sys")) continue;
    platform::OutputFile file;
    EXPECT_EQ(file.open(c.path.u16string()), c.error);
    EXPECT_FALSE(file.isOpen());

    Quor q;
    EXPECT_FALSE(writeRecord(q, c.path));
    EXPECT_FALSE(fs::is_regular_file(c.path));
    EXPECT_TRUE(writeRecord(q, dir_ / "good.dat"));
    EXPECT_EQ(contents(dir_ / "good.dat"), kRecord);
    fs::remove(dir_ / "good.dat");
  }
  EXPECT_EQ(contents(dir_ / "plain"), "6B 65 65 70");  // the file in the way is untouched
}

// The folder of the open output file is renamed away: the object keeps writing to the same file, which
// holds every record, earlier and later, at its new place. Nothing appears under the old name.
TEST_F(FailureInjection, OutputFolderMovedAway) {
  fs::create_directories(dir_ / "run");
  Quor q;
  ASSERT_TRUE(writeRecord(q, dir_ / "run" / "out.dat"));
  fs::rename(dir_ / "run", dir_ / "moved");
  EXPECT_TRUE(writeRecord(q, dir_ / "run" / "out.dat"));
  EXPECT_TRUE(writeRecord(q, dir_ / "run" / "out.dat"));
  EXPECT_FALSE(fs::exists(dir_ / "run"));
  EXPECT_EQ(contents(dir_ / "moved" / "out.dat"), std::string(kRecord) + " " + kRecord + " " + kRecord);
}

// The folder is deleted with the file in it: the open file stays valid, later calls still succeed and
// recreate nothing; a new object then starts a new file under the same name.
TEST_F(FailureInjection, OutputFolderDeleted) {
  fs::create_directories(dir_ / "run");
  {
    Quor q;
    ASSERT_TRUE(writeRecord(q, dir_ / "run" / "out.dat"));
    fs::remove_all(dir_ / "run");
    EXPECT_TRUE(writeRecord(q, dir_ / "run" / "out.dat"));
    EXPECT_FALSE(fs::exists(dir_ / "run"));
  }
  fs::create_directories(dir_ / "run");
  Quor next;
  EXPECT_TRUE(writeRecord(next, dir_ / "run" / "out.dat"));
  EXPECT_EQ(contents(dir_ / "run" / "out.dat"), kRecord);
}

#endif

// The mapping file changes between calls: each call sees the file as it is at that call. A pinned
// reading keeps what was read when it was pinned.
TEST_F(FailureInjection, GaijiFileChangesBetweenCalls) {
  const fs::path map = dir_ / "map.txt";
  Quor q;
  q.JEFGaijiFilePath(map.u16string());
  const std::u16string text = u"\uE000\uE001";  // keys "7F21" and "7F22"

  const struct {
    const char* what;
    const char* file;  // nullptr: no file
    const char* expected;
  } steps[] = {
      {"both lines", "8EA1 7F21\r\n8EA2 7F22\r\n", "8E A1 8E A2"},
      {"truncated inside the second line", "8EA1 7F21\r\n8EA2 7F", "8E A1 FF A2"},
      {"truncated to the first line's code", "8EA1", "FF A1 FF A2"},
      {"emptied", "", "FF A1 FF A2"},
      {"deleted", nullptr, "FF A1 FF A2"},
      {"written again", "8EA3 7F22\r\n", "FF A1 8E A3"},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.file) {
      put(map, step.file);
    } else {
      fs::remove(map);
    }
    EXPECT_EQ(hex(q.FujitsuJEF(text, 2)), step.expected);
    // The record builder's JEF fields read the file the same way.
    EXPECT_EQ(hex(q.FujitsuHostQuor(u"\uE000\uE001", u"2", u"2")), step.expected);
  }

  put(map, "8EA1 7F21\r\n");
  Quor pinned;
  pinned.PinGaijiMapping(GaijiMapping::read(map.u16string()));
  fs::remove(map);
  EXPECT_EQ(hex(pinned.FujitsuJEF(text, 2)), "8E A1 FF A2");
  pinned.UnpinGaijiMapping();
  pinned.JEFGaijiFilePath(map.u16string());
  EXPECT_EQ(hex(pinned.FujitsuJEF(text, 2)), "FF A1 FF A2");
}

}  // namespace
}  // namespace quor::test
