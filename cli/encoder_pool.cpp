#include "encoder_pool.hpp"

#include <algorithm>
#include <system_error>

namespace quor::cli {

namespace {

constexpr unsigned kMostThreads = 4;

}  // namespace

unsigned encodingThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
}

EncoderPool::EncoderPool(const RecordRules& rules, const GaijiMapping& mapping, const EncodePlan& plan, unsigned threads) {
  for (unsigned i = 0; i < std::max(threads, 1u); ++i)
    encoders_.push_back(std::make_unique<RecordEncoder>(rules, mapping, plan));
  try {
    for (unsigned i = 0; i < threads; ++i)
      threads_.emplace_back([this, encoder = encoders_[i].get()] { work(*encoder); });
  } catch (const std::system_error&) {
    // Fewer threads, or none: the batches are still encoded.
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
    encoders_.front()->encode(batch);
    return;
  }
  std::unique_lock lock(mutex_);
  batchDone_.wait(lock, [&batch] { return batch.encoded; });
}

void EncoderPool::work(RecordEncoder& encoder) {
  std::unique_lock lock(mutex_);
  for (;;) {
    workReady_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Batch* batch = queue_.front();
    queue_.pop_front();
    lock.unlock();
    encoder.encode(*batch);
    lock.lock();
    batch->encoded = true;
    batchDone_.notify_all();
  }
}

}  // namespace quor::cli
