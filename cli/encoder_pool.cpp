#include "encoder_pool.hpp"

#include <algorithm>
#include <exception>
#include <system_error>

namespace quor::cli {

namespace {

constexpr unsigned kMostThreads = 4;

// Does `work` to `batch`, keeping a failure it throws in the batch.
void workOn(const EncoderPool::Work& work, Batch& batch) noexcept {
  try {
    work(batch);
  } catch (...) {
    batch.records.clear();
    batch.recordEnds.clear();
    batch.badLines.clear();
    batch.changed.clear();
    batch.failure = std::current_exception();
    batch.failedLine = 0;
  }
}

}  // namespace

unsigned encodingThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
}

EncoderPool::EncoderPool(unsigned threads, const std::function<Work()>& makeWork) {
  for (unsigned i = 0; i < std::max(threads, 1u); ++i) works_.push_back(makeWork());
  try {
    for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this, &work = works_[i]] { run(work); });
  } catch (const std::system_error&) {
    // Fewer threads, or none: the batches are still done.
  }
}

EncoderPool::~EncoderPool() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  workReady_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void EncoderPool::submit(Batch& batch) {
  if (threads_.empty()) return;
  {
    const std::lock_guard lock(mutex_);
    batch.encoded = false;
    queue_.push_back(&batch);
  }
  workReady_.notify_one();
}

void EncoderPool::wait(Batch& batch) {
  if (threads_.empty()) {
    workOn(works_.front(), batch);
    return;
  }
  std::unique_lock lock(mutex_);
  batchDone_.wait(lock, [&batch] { return batch.encoded; });
}

void EncoderPool::run(const Work& work) {
  std::unique_lock lock(mutex_);
  for (;;) {
    workReady_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Batch* batch = queue_.front();
    queue_.pop_front();
    lock.unlock();
    workOn(work, *batch);
    lock.lock();
    batch->encoded = true;
    batchDone_.notify_all();
  }
}

}  // namespace quor::cli
