#pragma once
// The encoding threads: a worker pool over batches of lines, each thread with its own record encoder.

#include "batch.hpp"
#include "worker_pool.hpp"

namespace quor::cli {

using EncoderPool = WorkerPool<Batch>;

}  // namespace quor::cli
