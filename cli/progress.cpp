#include "progress.hpp"

#include <cstdio>

namespace quor::cli {

namespace {

constexpr auto kFirstAfter = std::chrono::seconds(1);
constexpr auto kEvery = std::chrono::milliseconds(250);

}  // namespace

Progress::Progress(bool enabled) : enabled_(enabled), start_(Clock::now()), next_(start_ + kFirstAfter) {}

void Progress::show(std::uint64_t records, std::uint64_t bytesRead) {
  const Clock::time_point now = Clock::now();
  if (now < next_) return;
  next_ = now + kEvery;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\rquor: %llu records, %.1f MB read, %.0f records/s ",
               static_cast<unsigned long long>(records), static_cast<double>(bytesRead) / 1e6,
               static_cast<double>(records) / seconds);
  std::fflush(stderr);
  shown_ = true;
}

void Progress::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

double Progress::elapsedSeconds() const {
  return std::chrono::duration<double>(Clock::now() - start_).count();
}

}  // namespace quor::cli
