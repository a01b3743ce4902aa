#pragma once
// Termination signals (SIGINT, SIGTERM, SIGHUP) during a run. While a guard lives, such a signal does
// not end the process at once: it is noted, and every wait of the run ends on it, a read from a
// stalled pipe, FIFO, socket or terminal included. The run then removes its temporary file, or says
// what it left on standard output or a device, and when the guard goes the signal takes effect as it
// would have (the process ends with the signal's status).
//
// A signal is process-wide, so what a guard notes is too: the reading and writing layers ask
// interruptionPending() and wait through awaitReadable() without being handed the guard. A signal the
// process ignores when the guard is made (nohup, a background job's SIGINT) stays ignored.

#include <pthread.h>
#include <sys/types.h>

#include <cstddef>
#include <stdexcept>

namespace quor::cli {

// Thrown by a wait that a termination signal ended.
struct Interrupted : std::runtime_error {
  Interrupted() : std::runtime_error("interrupted") {}
};

class InterruptionGuard {
 public:
  // Notes the signals from now on. One guard at a time.
  InterruptionGuard();
  // Restores the signals' handling and, when one arrived, raises it again.
  ~InterruptionGuard();
  InterruptionGuard(const InterruptionGuard&) = delete;
  InterruptionGuard& operator=(const InterruptionGuard&) = delete;

  // True when a termination signal has arrived.
  [[nodiscard]] bool pending() const noexcept;
};

// True when a termination signal arrived while a guard lives.
[[nodiscard]] bool interruptionPending() noexcept;

// Reads at most `size` bytes from `fd` as read(2) does (0 at the end of the input), retrying when a
// signal interrupts it, after waiting until the descriptor has bytes or its end: on a pipe, FIFO,
// socket or terminal that wait ends when a termination signal arrives, with Interrupted. Returns -1
// with errno set when the read fails.
ssize_t readInterruptibly(int fd, void* data, std::size_t size);

// Interrupts the system call `thread` is blocked in, once a termination signal has arrived: a write to
// a stalled pipe then returns. Nothing otherwise.
void interruptThread(pthread_t thread) noexcept;

}  // namespace quor::cli
