#pragma once
// Encodes batches on worker threads, one record encoder each. The caller hands batches in with
// submit() and takes each back with wait(). Should no thread start, wait() encodes the batch itself.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "batch.hpp"
#include "record_encoder.hpp"

namespace quor::cli {

class EncoderPool {
 public:
  EncoderPool(const RecordRules& rules, const GaijiMapping& mapping, const EncodePlan& plan, unsigned threads);
  EncoderPool(const EncoderPool&) = delete;
  EncoderPool& operator=(const EncoderPool&) = delete;
  // Drops the batches not begun, lets the threads finish the ones they hold, and ends them.
  ~EncoderPool();

  void submit(Batch& batch);
  // Until `batch`, submitted before, is encoded.
  void wait(Batch& batch);

 private:
  void work(RecordEncoder& encoder);

  std::vector<std::unique_ptr<RecordEncoder>> encoders_;
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
