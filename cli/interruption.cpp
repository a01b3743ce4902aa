#include "interruption.hpp"

#include <pthread.h>

namespace quor::cli {

InterruptionGuard::InterruptionGuard(bool active) : active_(active) {
  if (!active_) return;
  sigemptyset(&held_);
  sigaddset(&held_, SIGINT);
  sigaddset(&held_, SIGTERM);
  sigaddset(&held_, SIGHUP);
  // The process has threads: only the calling thread's mask is set, and threads it starts inherit it.
  if (pthread_sigmask(SIG_BLOCK, &held_, &previous_) != 0) active_ = false;
}

InterruptionGuard::~InterruptionGuard() {
  if (active_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool InterruptionGuard::pending() const {
  if (!active_) return false;
  sigset_t waiting;
  if (sigpending(&waiting) != 0) return false;
  return sigismember(&waiting, SIGINT) == 1 || sigismember(&waiting, SIGTERM) == 1 ||
         sigismember(&waiting, SIGHUP) == 1;
}

}  // namespace quor::cli
