#pragma once
// Works on batches on threads of its own, each thread with its own worker (a record encoder). The
// caller hands batches in with submit() and takes each back with wait(). Should no thread start, wait()
// does the work itself.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "batch.hpp"

namespace quor::cli {

class EncoderPool {
 public:
  // What one thread does to a batch. A failure it throws is kept in the batch (failure, failedLine 0,
  // no records), so wait() returns as for any batch.
  using Work = std::function<void(Batch&)>;

  // Starts `threads` threads, each with the work makeWork() gives it (called once a thread, and once
  // more for the caller's thread when no thread starts).
  EncoderPool(unsigned threads, const std::function<Work()>& makeWork);
  EncoderPool(const EncoderPool&) = delete;
  EncoderPool& operator=(const EncoderPool&) = delete;
  // Drops the batches not begun, lets the threads finish the ones they hold, and ends them.
  ~EncoderPool();

  void submit(Batch& batch);
  // Until `batch`, submitted before, is done.
  void wait(Batch& batch);

 private:
  void run(const Work& work);

  std::vector<Work> works_;  // one a thread; the first also the caller's when no thread started
  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable batchDone_;
  std::deque<Batch*> queue_;  // submitted, not yet begun
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// The number of encoding threads: one a processor, within reason.
unsigned encodingThreads();

}  // namespace quor::cli
