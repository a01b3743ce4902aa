#include "output_sink.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "io_error.hpp"
#include "run_quor.hpp"

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

TEST(OutputSink, MissingFolderIsAnIoError) {
  const ScratchFolder folder;
  EXPECT_THROW(OutputSink::toFile((folder.path() / "no" / "out.dat").string()), IoError);
  EXPECT_THROW(OutputSink::toFile(folder.path().string()), IoError);  // a folder, not a file
  EXPECT_THROW(OutputSink::toFile(""), IoError);
}

}  // namespace
}  // namespace quor::cli
