#include "worker_pool.hpp"

namespace quor::cli {

namespace {

constexpr unsigned kMostThreads = 4;

}  // namespace

unsigned workingThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
}

}  // namespace quor::cli
