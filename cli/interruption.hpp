#pragma once
// Termination signals (SIGINT, SIGTERM, SIGHUP) during a run: they are held back while the guard lives
// and looked for between blocks of records, so the run can remove its temporary file, or say what it
// left on standard output, first. When the guard goes, a signal that arrived takes effect as it would
// have. The guard holds them for the thread that makes it and for the threads started while it lives.

#include <signal.h>

namespace quor::cli {

class InterruptionGuard {
 public:
  // Holds the signals back only when `active`.
  explicit InterruptionGuard(bool active);
  ~InterruptionGuard();
  InterruptionGuard(const InterruptionGuard&) = delete;
  InterruptionGuard& operator=(const InterruptionGuard&) = delete;

  // True when a held-back signal is waiting.
  [[nodiscard]] bool pending() const;

 private:
  bool active_;
  sigset_t held_{};
  sigset_t previous_{};
};

}  // namespace quor::cli
