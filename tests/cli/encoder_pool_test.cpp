// The encoder pool and the background writer on their own, with work and descriptors the tests
// control: order, shutdown while work is queued or under way, a failing worker, a failing write. The
// ThreadSanitizer build runs them too.

#include "encoder_pool.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "background_writer.hpp"
#include "io_error.hpp"

namespace quor::cli {
namespace {

// Work that marks a batch with the line it was given and counts the calls.
EncoderPool::Work marking(std::atomic<int>& calls) {
  return [&calls](Batch& batch) {
    ++calls;
    batch.recordEnds.assign(1, batch.lines.front());
  };
}

TEST(EncoderPool, EveryBatchComesBackDoneOnceWhateverTheThreads) {
  for (const unsigned threads : {0u, 1u, 3u}) {
    std::atomic<int> calls = 0;
    std::vector<Batch> batches(50);
    {
      EncoderPool pool(threads, [&] { return marking(calls); });
      for (std::size_t round = 0; round < 4; ++round) {
        for (std::size_t i = 0; i < batches.size(); ++i) {
          batches[i].lines.assign(1, round * 100 + i);
          pool.submit(batches[i]);
        }
        for (std::size_t i = 0; i < batches.size(); ++i) {
          pool.wait(batches[i]);
          EXPECT_EQ(batches[i].recordEnds, std::vector<std::size_t>{round * 100 + i}) << threads;
        }
      }
    }
    EXPECT_EQ(calls, 200) << threads;
  }
}

TEST(EncoderPool, AWorkerThatThrowsFailsItsBatchOnly) {
  for (const unsigned threads : {0u, 2u}) {
    std::atomic<int> calls = 0;
    EncoderPool pool(threads, [&]() -> EncoderPool::Work {
      return [&calls](Batch& batch) {
        ++calls;
        batch.recordEnds.assign(1, 7);
        if (batch.lines.front() == 3) throw std::runtime_error("worker failed");
      };
    });
    std::vector<Batch> batches(6);
    for (std::size_t i = 0; i < batches.size(); ++i) {
      batches[i].lines.assign(1, i);
      pool.submit(batches[i]);
    }
    for (std::size_t i = 0; i < batches.size(); ++i) {
      pool.wait(batches[i]);
      EXPECT_EQ(batches[i].failure != nullptr, i == 3) << threads;
      EXPECT_EQ(batches[i].recordEnds.size(), i == 3 ? 0u : 1u) << threads;
    }
    EXPECT_THROW(std::rethrow_exception(batches[3].failure), std::runtime_error);
    batches[3].lines.assign(1, 4);
    batches[3].failure = nullptr;
    pool.submit(batches[3]);  // the pool goes on
    pool.wait(batches[3]);
    EXPECT_EQ(batches[3].failure, nullptr);
  }
}

TEST(EncoderPool, GoingWithAFullQueueFinishesTheBatchUnderWayAndDropsTheRest) {
  // One thread; the first batch's work waits until the pool is being destroyed, with nine more queued.
  std::promise<void> started, release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> calls = 0;
  std::vector<Batch> batches(10);
  auto pool = std::make_unique<EncoderPool>(1, [&]() -> EncoderPool::Work {
    return [&](Batch& batch) {
      if (calls++ == 0) {
        started.set_value();
        released.wait();
      }
      batch.recordEnds.assign(1, 1);
    };
  });
  for (Batch& batch : batches) pool->submit(batch);
  started.get_future().wait();
  std::thread destroyer([&] { pool.reset(); });
  release.set_value();
  destroyer.join();
  const int done = calls;
  EXPECT_GE(done, 1);
  // What was done is the first batches, each once, and nothing is done once the pool is gone.
  for (std::size_t i = 0; i < batches.size(); ++i)
    EXPECT_EQ(batches[i].recordEnds.size(), i < static_cast<std::size_t>(done) ? 1u : 0u) << i;
  EXPECT_EQ(calls, done);
}

// A pipe whose read end the test holds.
struct Pipe {
  int read = -1, write = -1;
  Pipe() {
    int ends[2];
    if (::pipe(ends) == 0) read = ends[0], write = ends[1];
  }
  ~Pipe() {
    if (read >= 0) ::close(read);
    if (write >= 0) ::close(write);
  }
  std::string readAll(std::size_t most) const {
    std::string got;
    char block[65536];
    for (ssize_t n;
         got.size() < most && (n = ::read(read, block, std::min(sizeof block, most - got.size()))) > 0;)
      got.append(block, static_cast<std::size_t>(n));
    return got;
  }
};

std::vector<std::uint8_t> blockOf(std::size_t size, std::uint8_t first) {
  std::vector<std::uint8_t> block(size);
  for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<std::uint8_t>(first + i);
  return block;
}

TEST(BackgroundWriter, GoingWithAWriteWaitingOnItsReaderWritesItFirst) {
  // A block of 1 MB to a pipe of 64 KB waits for the reader, who reads only once the writer is being
  // destroyed.
  Pipe pipe;
  ASSERT_GE(pipe.write, 0);
  std::optional<BackgroundWriter> writer(std::in_place, pipe.write, "the pipe", false, 1 << 20);
  std::vector<std::uint8_t> block = blockOf(1 << 20, 1);
  const std::string expected(block.begin(), block.end());
  writer->write(block, block.size());
  std::thread reader([&] { EXPECT_TRUE(pipe.readAll(expected.size()) == expected); });
  writer.reset();
  reader.join();
}

TEST(BackgroundWriter, AWriteFailingInTheMiddleIsReportedWithWhatWasWritten) {
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);
  {
    Pipe pipe;
    BackgroundWriter writer(pipe.write, "the pipe", false, 4096);
    std::vector<std::uint8_t> block = blockOf(4096, 1);
    writer.write(block, block.size());
    EXPECT_EQ(pipe.readAll(4096).size(), 4096u);
    writer.drain();
    ::close(pipe.read);
    pipe.read = -1;  // a reader gone in the middle: the next write fails
    block = blockOf(4096, 2);
    writer.write(block, block.size());
    try {
      writer.drain();
      ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
      EXPECT_STREQ(e.what(), "cannot write the pipe: Broken pipe");
    }
    EXPECT_EQ(writer.written(), 4096u);
    EXPECT_THROW(writer.write(block, block.size()), IoError);  // the error stays until settled
    writer.settle();
    EXPECT_NO_THROW(writer.drain());
  }
  ::sigaction(SIGPIPE, &previous, nullptr);
}

}  // namespace
}  // namespace quor::cli
