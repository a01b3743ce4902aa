#include "output_sink.hpp"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "io_error.hpp"
#include "run_quor.hpp"

// Every fsync() of the program, the tool's code included, records the file it synced: this definition
// comes before the C library's, which it calls.
namespace {
std::vector<struct stat> syncedFiles;
}  // namespace

extern "C" int fsync(int fd) {
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  struct stat info {};
  if (::fstat(fd, &info) == 0) syncedFiles.push_back(info);
  return real(fd);
}

namespace quor::cli {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::ScratchFolder;

std::size_t entriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(OutputSink, CommitReplacesTheFileWithEverythingWritten) {
  const ScratchFolder folder;
  const fs::path target = folder.write("out.dat", "old contents");
  {
    OutputSink sink = OutputSink::toFile(target.string());
    // More than the buffer holds, in pieces that straddle its end, and one larger than it.
    const std::vector<std::uint8_t> piece(300000, 0xAB);
    for (int i = 0; i < 5; ++i) sink.write(piece.data(), piece.size());
    const std::vector<std::uint8_t> big(OutputSink::kBufferSize + 5, 0xCD);
    sink.write(big.data(), big.size());
    EXPECT_EQ(readFile(target), "old contents");  // untouched until commit
    EXPECT_EQ(sink.bytesWritten(), 5 * piece.size() + big.size());
    sink.commit();
  }
  const std::string data = readFile(target);
  ASSERT_EQ(data.size(), 1500000 + OutputSink::kBufferSize + 5);
  EXPECT_EQ(static_cast<unsigned char>(data[1499999]), 0xAB);
  EXPECT_EQ(static_cast<unsigned char>(data[1500000]), 0xCD);
  EXPECT_EQ(entriesIn(folder.path()), 1u);  // no temporary file left
}

TEST(OutputSink, DroppedWithoutCommitLeavesTheOldFileAndNoTemporary) {
  const ScratchFolder folder;
  const fs::path target = folder.write("out.dat", "old contents");
  {
    OutputSink sink = OutputSink::toFile(target.string());
    const std::uint8_t bytes[] = {1, 2, 3};
    sink.write(bytes, sizeof bytes);
    EXPECT_TRUE(fs::exists(sink.temporaryPath()));
    EXPECT_EQ(fs::path(sink.temporaryPath()).parent_path(), target.parent_path());
  }
  EXPECT_EQ(readFile(target), "old contents");
  EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(OutputSink, AMovedSinkKeepsEveryMemberAndSyncsTheFileAndItsFolder) {
  const ScratchFolder folder;
  const fs::path target = folder.path() / "out.dat";
  OutputSink sink = OutputSink::toFile(target.string());
  const std::uint8_t bytes[] = {1, 2, 3};
  sink.write(bytes, sizeof bytes);
  const std::string temporary = sink.temporaryPath();
  ASSERT_TRUE(sink.synced());
  OutputSink moved(std::move(sink));
  EXPECT_TRUE(moved.synced());
  EXPECT_EQ(moved.temporaryPath(), temporary);
  EXPECT_EQ(moved.bytesWritten(), 3u);
  syncedFiles.clear();
  moved.commit();
  EXPECT_EQ(readFile(target), "\x01\x02\x03");
  struct stat file {
  }, dir{};
  ASSERT_EQ(::stat(target.c_str(), &file), 0);
  ASSERT_EQ(::stat(folder.path().c_str(), &dir), 0);
  // The file first, then, once it has its name, the folder.
  ASSERT_EQ(syncedFiles.size(), 2u);
  EXPECT_EQ(syncedFiles[0].st_ino, file.st_ino);
  EXPECT_EQ(syncedFiles[1].st_ino, dir.st_ino);
  EXPECT_TRUE(S_ISDIR(syncedFiles[1].st_mode));

  // Standard output is the caller's: neither it nor a folder is synced.
  OutputSink standardOutput = OutputSink::toStandardOutput();
  EXPECT_FALSE(OutputSink(std::move(standardOutput)).synced());
}

TEST(OutputSink, MissingFolderIsAnIoError) {
  const ScratchFolder folder;
  EXPECT_THROW(OutputSink::toFile((folder.path() / "no" / "out.dat").string()), IoError);
  EXPECT_THROW(OutputSink::toFile(folder.path().string()), IoError);  // a folder, not a file
  EXPECT_THROW(OutputSink::toFile(""), IoError);
}

}  // namespace
}  // namespace quor::cli
