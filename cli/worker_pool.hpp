#pragma once
// Works on batches on threads of its own, each thread with its own worker. The caller hands batches in
// with submit() and takes each back with wait(). Should no thread start, wait() does the work itself.
// A batch type has `bool done`, which the pool guards, and fail(std::exception_ptr), which keeps a
// failure its work throws and empties what the work gave, so wait() returns as for any batch.

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace quor::cli {

// The number of working threads: one a processor, within reason.
unsigned workingThreads();

template <class Batch>
class WorkerPool {
 public:
  // What one thread does to a batch.
  using Work = std::function<void(Batch&)>;

  // Starts `threads` threads, each with the work makeWork() gives it (called once a thread, and once
  // more for the caller's thread when no thread starts).
  WorkerPool(unsigned threads, const std::function<Work()>& makeWork) {
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) works_.push_back(makeWork());
    try {
      for (unsigned i = 0; i < threads; ++i) threads_.emplace_back([this, &work = works_[i]] { run(work); });
    } catch (const std::system_error&) {
      // Fewer threads, or none: the batches are still done.
    }
  }
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  // Drops the batches not begun, lets the threads finish the ones they hold, and ends them.
  ~WorkerPool() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      queue_.clear();
    }
    workReady_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  void submit(Batch& batch) {
    if (threads_.empty()) return;
    {
      const std::lock_guard lock(mutex_);
      batch.done = false;
      queue_.push_back(&batch);
    }
    workReady_.notify_one();
  }

  // Until `batch`, submitted before, is done.
  void wait(Batch& batch) {
    if (threads_.empty()) {
      workOn(works_.front(), batch);
      return;
    }
    std::unique_lock lock(mutex_);
    batchDone_.wait(lock, [&batch] { return batch.done; });
  }

 private:
  static void workOn(const Work& work, Batch& batch) noexcept {
    try {
      work(batch);
    } catch (...) {
      batch.fail(std::current_exception());
    }
  }

  void run(const Work& work) {
    std::unique_lock lock(mutex_);
    for (;;) {
      workReady_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      Batch* batch = queue_.front();
      queue_.pop_front();
      lock.unlock();
      workOn(work, *batch);
      lock.lock();
      batch->done = true;
      batchDone_.notify_all();
    }
  }

  std::vector<Work> works_;  // one a thread; the first also the caller's when no thread started
  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable batchDone_;
  std::deque<Batch*> queue_;  // submitted, not yet begun
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace quor::cli
