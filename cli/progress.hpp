#pragma once
// The progress line of a long run: shown on standard error only when that is a terminal and the run
// has taken more than a second, rewritten in place a few times a second, and wiped at the end. When
// the inputs' size is known it says how far the run is and how long it has left.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quor::cli {

class Progress {
 public:
  explicit Progress(bool enabled);

  // The inputs' total size, when known.
  void expectBytes(std::optional<std::uint64_t> total) noexcept { total_ = total; }
  // Cheap enough for every record: looks at the clock only every few thousand calls.
  void update(std::uint64_t records, std::uint64_t bytesRead) { advance(records - 1, records, bytesRead); }
  // The count moved from `before` to `records` at once: looks at the clock when it passed a multiple
  // of 4096.
  void advance(std::uint64_t before, std::uint64_t records, std::uint64_t bytesRead) {
    if (enabled_ && (before >> 12) != (records >> 12)) show(records, bytesRead);
  }
  // Wipes the line, if one was shown.
  void clear();

  [[nodiscard]] double elapsedSeconds() const;

 private:
  void show(std::uint64_t records, std::uint64_t bytesRead);

  using Clock = std::chrono::steady_clock;
  bool enabled_;
  bool shown_ = false;
  std::optional<std::uint64_t> total_;
  Clock::time_point start_;
  Clock::time_point next_;
};

// The progress line's text after `seconds`: with the inputs' total size, the share read and the time
// left at the pace so far; without it, the bytes read and the records a second.
std::string progressLine(std::uint64_t records, std::uint64_t bytesRead,
                         std::optional<std::uint64_t> totalBytes, double seconds);

// The bytes left to read in `inputs` ("-": standard input), when every one is a regular file.
std::optional<std::uint64_t> inputsSize(const std::vector<std::string>& inputs);

}  // namespace quor::cli
