#include "interruption.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace quor::cli {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The one piece of process-wide state the tool has, as signals are process-wide: the signal that
// arrived, and the pipe its handler writes a byte to so that a poll() waiting on the pipe wakes.
// Lock-free atomics, which a signal handler may touch.
std::atomic<int> caught{0};
std::atomic<int> wakeRead{-1};
std::atomic<int> wakeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previous[std::size(kSignals)];
bool installed[std::size(kSignals)] = {};

extern "C" void onTerminationSignal(int signal) {
  int none = 0;
  caught.compare_exchange_strong(none, signal);
  const int saved = errno;
  if (const int fd = wakeWrite.load(); fd >= 0) {
    const char byte = 0;
    // Non-blocking: a full pipe already wakes every poll.
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

InterruptionGuard::InterruptionGuard() {
  caught.store(0);
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead.store(ends[0]);
    wakeWrite.store(ends[1]);
  }
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    struct sigaction current {};
    if (::sigaction(kSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking call the signal lands in returns EINTR
    installed[i] = ::sigaction(kSignals[i], &action, &previous[i]) == 0;
  }
}

InterruptionGuard::~InterruptionGuard() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    if (installed[i]) ::sigaction(kSignals[i], &previous[i], nullptr);
    installed[i] = false;
  }
  const int read = wakeRead.exchange(-1);
  const int write = wakeWrite.exchange(-1);
  if (read >= 0) ::close(read);
  if (write >= 0) ::close(write);
  if (const int signal = caught.exchange(0); signal != 0) ::raise(signal);
}

bool InterruptionGuard::pending() const noexcept {
  return interruptionPending();
}

bool interruptionPending() noexcept {
  return caught.load(std::memory_order_relaxed) != 0;
}

ssize_t readInterruptibly(int fd, void* data, std::size_t size) {
  for (;;) {
    if (interruptionPending()) throw Interrupted();
    // A regular file is always ready; a pipe, FIFO, socket or terminal is read once it has bytes or
    // its end, so the read cannot block after a signal was noted.
    pollfd waits[2] = {{fd, POLLIN, 0}, {wakeRead.load(), POLLIN, 0}};
    const int ready = ::poll(waits, waits[1].fd >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno != EINTR) return ::read(fd, data, size);  // let the read say what is wrong
    if (interruptionPending()) throw Interrupted();
    if (ready <= 0) continue;
    const ssize_t got = ::read(fd, data, size);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

void interruptThread(pthread_t thread) noexcept {
  // The handler runs again in that thread; only a blocked call's EINTR is wanted of it.
  if (const int signal = caught.load(); signal != 0) ::pthread_kill(thread, signal);
}

}  // namespace quor::cli
