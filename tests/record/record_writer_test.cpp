// The record file writer: the state of the output file across calls, failures that touch nothing, and
// write failures that keep every earlier record.

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/test_support.hpp"

namespace quor::test {
namespace {

namespace fs = std::filesystem;

const char* const kRecord = "C1 C2 C3 40 40 00 12 3C";

class RecordWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("quor-writer-" + std::to_string(rd()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::u16string path(const std::string& name) const { return u16((dir_ / name).string()); }
  std::string contents(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    const std::string raw{std::istreambuf_iterator<char>(in), {}};
    return hex(ByteString(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()));
  }
  void put(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name, std::ios::binary) << text;
  }
  bool exists(const std::string& name) const { return fs::exists(dir_ / name); }

  static bool writeWorked(Quor& q, const std::u16string& file) {
    return q.FujitsuHostQuorBinaryWrite(u"ABC,123", u"5,5", u"1,3", file);
  }

  fs::path dir_;
};

TEST_F(RecordWriter, FirstCallOpensLaterCallsAppendAndIgnoreTheirPath) {
  put("out.dat", "an older and much longer file that must not survive behind the records");
  {
    Quor q;
    EXPECT_TRUE(writeWorked(q, path("out.dat")));
    EXPECT_TRUE(writeWorked(q, path("other.dat")));
    EXPECT_TRUE(writeWorked(q, u""));
    EXPECT_EQ(contents("out.dat"), std::string(kRecord) + " " + kRecord + " " + kRecord);
  }
  EXPECT_FALSE(exists("other.dat"));
}

TEST_F(RecordWriter, RecordsOfDifferentLayoutsFollowDirectly) {
  {
    Quor q;
    EXPECT_TRUE(q.FujitsuHostQuorBinaryWrite(u"1", u"1", u"0", path("out.dat")));
    EXPECT_TRUE(q.FujitsuHostQuorBinaryWrite(u"AB,2", u"2,1", u"1,3", path("out.dat")));
  }
  EXPECT_EQ(contents("out.dat"), "F1 C1 C2 2C");
}

TEST_F(RecordWriter, BuildFailureTouchesNothing) {
  put("out.dat", "old");
  Quor q;
  EXPECT_EQ(
      errorOf([&] { (void)q.FujitsuHostQuorBinaryWrite(u"1,2,3", u"1,,1", u"0,0,0", path("out.dat")); }), 13);
  EXPECT_EQ(errorOf([&] { (void)q.FujitsuHostQuorBinaryWrite(u"1", u"1", u"9", path("out.dat")); }), 5);
  EXPECT_EQ(contents("out.dat"), "6F 6C 64");
  // The next call is again a first call.
  EXPECT_TRUE(writeWorked(q, path("out.dat")));
  EXPECT_EQ(contents("out.dat"), kRecord);
}

TEST_F(RecordWriter, ListsOfDifferentLengthsWriteNothing) {
  put("out.dat", "old");
  Quor q;
  EXPECT_FALSE(q.FujitsuHostQuorBinaryWrite(u"1,2", u"1", u"0", path("out.dat")));
  EXPECT_EQ(contents("out.dat"), "6F 6C 64");  // not deleted, not opened
  EXPECT_TRUE(writeWorked(q, path("out.dat")));
  EXPECT_FALSE(q.FujitsuHostQuorBinaryWrite(u"1,2", u"1", u"0", path("out.dat")));
  EXPECT_EQ(contents("out.dat"), kRecord);  // no marker bytes behind the record
}

TEST_F(RecordWriter, FailedOpenThenSuccess) {
  Quor q;
  EXPECT_FALSE(writeWorked(q, path("missing/out.dat")));
  EXPECT_FALSE(writeWorked(q, u""));
  EXPECT_TRUE(writeWorked(q, path("out.dat")));
  EXPECT_EQ(contents("out.dat"), kRecord);
}

TEST_F(RecordWriter, EmptyRecordCreatesAnEmptyFile) {
  put("out.dat", "old");
  {
    Quor q;
    EXPECT_TRUE(q.FujitsuHostQuorBinaryWrite(u"", u"", u"", path("out.dat")));
  }
  ASSERT_TRUE(exists("out.dat"));
  EXPECT_EQ(contents("out.dat"), "");
}

TEST_F(RecordWriter, ObjectThatNeverWritesTouchesNoFile) {
  { Quor q; }
  EXPECT_TRUE(fs::is_empty(dir_));
}

// A file another object holds as its output is neither deleted nor emptied under it.
TEST_F(RecordWriter, FileHeldByAnotherObjectIsRefused) {
  Quor first, second;
  EXPECT_TRUE(writeWorked(first, path("out.dat")));
  EXPECT_FALSE(writeWorked(second, path("out.dat")));
  EXPECT_TRUE(writeWorked(first, path("out.dat")));
  EXPECT_EQ(contents("out.dat"), std::string(kRecord) + " " + kRecord);
}

#ifndef _WIN32
TEST_F(RecordWriter, FullDevice) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Quor q;
  EXPECT_FALSE(writeWorked(q, u"/dev/full"));  // the write on the opening call fails: false
  // That call left no file open, so the next call opens afresh: false again, not error 61, and a call
  // with a usable path then writes its record to a new file.
  EXPECT_FALSE(writeWorked(q, u"/dev/full"));
  EXPECT_TRUE(fs::exists("/dev/full"));  // a device is never removed
  EXPECT_TRUE(writeWorked(q, path("after-full.dat")));
  EXPECT_EQ(contents("after-full.dat"), kRecord);
}

// A write that runs out of room on a later call fails with 61 and leaves exactly the earlier records.
TEST_F(RecordWriter, WriteFailureKeepsEarlierRecords) {
  const std::string file = (dir_ / "out.dat").string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    Quor q;
    const std::u16string p = u16(file);
    if (!writeWorked(q, p) || !writeWorked(q, p)) _exit(10);
    const rlimit limit{19, 19};  // room for 3 more bytes only
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(11);
    _exit(errorOf([&] { (void)writeWorked(q, p); }));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 61);
  EXPECT_EQ(contents("out.dat"), std::string(kRecord) + " " + kRecord);
}
#endif

}  // namespace
}  // namespace quor::test
