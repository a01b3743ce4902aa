#pragma once
// Writes blocks to a file descriptor on a thread of its own, one at a time and in order, so the thread
// that fills them goes on while the kernel copies the bytes. A file that is synced at the end has its
// write-back started as it grows, so the sync has little left to wait for. A termination signal noted
// by the run's InterruptionGuard ends a write that waits on a stalled reader: the waits for the writer
// then throw Interrupted.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quor::cli {

class BackgroundWriter {
 public:
  // Writes to `fd`, which the caller keeps open while the writer lives; `name` goes into messages.
  // `startWriteBack`: the file is synced at the end (a regular file or block device). Should no thread
  // start, blocks are written on the caller's.
  BackgroundWriter(int fd, std::string name, bool startWriteBack, std::size_t blockSize);
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Takes the first `size` bytes of `block` to write, and gives back in `block` another block, free to
  // fill, once the block before is written. Throws IoError when an earlier write failed, Interrupted
  // after a termination signal (so do writeNow() and drain()).
  void write(std::vector<std::uint8_t>& block, std::size_t size);
  // Writes `size` bytes on the caller's thread after the blocks given: for bytes too many for a block.
  // Throws IoError when this or an earlier write failed.
  void writeNow(const std::uint8_t* data, std::size_t size);
  // Returns once every block given is written. Throws IoError when a write failed.
  void drain();
  // Waits for the write under way, if any, and keeps no error: for an output being dropped.
  void settle() noexcept;
  // The bytes that reached the descriptor; all those given, after drain().
  [[nodiscard]] std::uint64_t written() const noexcept;

 private:
  void run();
  // Writes the bytes whole (a short write is continued); the error's message on failure.
  std::optional<std::string> writeOut(const std::uint8_t* data, std::size_t size);
  void waitIdle(std::unique_lock<std::mutex>& lock);

  const int fd_;
  const std::string name_;
  const bool writeBack_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> pending_;  // the block being written, or the free one
  std::size_t pendingSize_ = 0;
  bool busy_ = false;                  // pending_ holds bytes to write
  bool stopping_ = false;
  std::optional<std::string> error_;   // the first failed write's message
  std::uint64_t written_ = 0;          // guarded by mutex_
  std::uint64_t writeBackFrom_ = 0;    // the writer thread's: where write-back was last started
  std::thread thread_;
};

}  // namespace quor::cli
