#pragma once
// The progress line of a long run: shown on standard error only when that is a terminal and the run
// has taken more than a second, rewritten in place a few times a second, and wiped at the end.

#include <chrono>
#include <cstdint>

namespace quor::cli {

class Progress {
 public:
  explicit Progress(bool enabled);

  // Cheap enough for every record: looks at the clock only every few thousand calls.
  void update(std::uint64_t records, std::uint64_t bytesRead) {
    if (enabled_ && (records & 0xFFFu) == 0) show(records, bytesRead);
  }
  // Wipes the line, if one was shown.
  void clear();

  [[nodiscard]] double elapsedSeconds() const;

 private:
  void show(std::uint64_t records, std::uint64_t bytesRead);

  using Clock = std::chrono::steady_clock;
  bool enabled_;
  bool shown_ = false;
  Clock::time_point start_;
  Clock::time_point next_;
};

}  // namespace quor::cli
