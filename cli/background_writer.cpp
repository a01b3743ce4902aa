#include "background_writer.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "interruption.hpp"
#include "io_error.hpp"

namespace quor::cli {

namespace {

// Write-back is started once this many bytes have been written since it last was.
constexpr std::uint64_t kWriteBackStep = std::uint64_t{8} << 20;
// How often a wait for the writer thread looks whether a termination signal has arrived.
constexpr auto kInterruptionCheck = std::chrono::milliseconds(50);

}  // namespace

BackgroundWriter::BackgroundWriter(int fd, std::string name, bool startWriteBack, std::size_t blockSize)
    : fd_(fd), name_(std::move(name)), writeBack_(startWriteBack), pending_(blockSize) {
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    // No thread: write() writes on the caller's.
  }
}

BackgroundWriter::~BackgroundWriter() {
  if (!thread_.joinable()) return;
  {
    std::unique_lock lock(mutex_);
    waitIdle(lock);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

std::optional<std::string> BackgroundWriter::writeOut(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    // A termination signal ends the write: a stalled reader would hold it forever.
    if (interruptionPending()) return "cannot write " + name_ + ": interrupted";
    const ssize_t put = ::write(fd_, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return "cannot write " + name_ + ": " + std::strerror(errno);
    data += put;
    size -= static_cast<std::size_t>(put);
    const std::lock_guard lock(mutex_);
    written_ += static_cast<std::uint64_t>(put);
  }
#ifdef SYNC_FILE_RANGE_WRITE
  if (writeBack_) {
    const std::uint64_t end = written();
    if (end - writeBackFrom_ >= kWriteBackStep) {
      // Only a start: the pages go to the disk while the run goes on. A failure here changes nothing;
      // the sync at the end reports what matters.
      ::sync_file_range(fd_, static_cast<off_t>(writeBackFrom_), static_cast<off_t>(end - writeBackFrom_),
                        SYNC_FILE_RANGE_WRITE);
      writeBackFrom_ = end;
    }
  }
#endif
  return std::nullopt;
}

void BackgroundWriter::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || busy_; });
    if (!busy_) return;  // stopping, nothing left to write
    lock.unlock();
    std::optional<std::string> failure = writeOut(pending_.data(), pendingSize_);
    lock.lock();
    if (failure && !error_) error_ = std::move(failure);
    busy_ = false;
    changed_.notify_all();
  }
}

void BackgroundWriter::waitIdle(std::unique_lock<std::mutex>& lock) {
  // A write may wait on a stalled reader: once a termination signal has arrived, the writer thread is
  // interrupted until it is idle, however the signal and its write crossed.
  while (!changed_.wait_for(lock, kInterruptionCheck, [this] { return !busy_; }))
    if (interruptionPending()) interruptThread(thread_.native_handle());
}

void BackgroundWriter::write(std::vector<std::uint8_t>& block, std::size_t size) {
  if (!thread_.joinable()) {
    std::optional<std::string> failure = writeOut(block.data(), size);
    if (interruptionPending()) throw Interrupted();
    if (failure) throw IoError(*failure);
    return;
  }
  std::unique_lock lock(mutex_);
  waitIdle(lock);
  if (interruptionPending()) throw Interrupted();
  if (error_) throw IoError(*error_);
  block.swap(pending_);
  pendingSize_ = size;
  busy_ = true;
  lock.unlock();
  changed_.notify_all();
}

void BackgroundWriter::writeNow(const std::uint8_t* data, std::size_t size) {
  drain();
  std::optional<std::string> failure = writeOut(data, size);
  if (interruptionPending()) throw Interrupted();
  if (failure) throw IoError(*failure);
}

void BackgroundWriter::drain() {
  std::unique_lock lock(mutex_);
  waitIdle(lock);
  if (interruptionPending()) throw Interrupted();
  if (error_) throw IoError(*error_);
}

void BackgroundWriter::settle() noexcept {
  std::unique_lock lock(mutex_);
  waitIdle(lock);
  error_.reset();
}

std::uint64_t BackgroundWriter::written() const noexcept {
  const std::lock_guard lock(mutex_);
  return written_;
}

}  // namespace quor::cli
