#include "progress.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace quor::cli {

namespace {

constexpr auto kFirstAfter = std::chrono::seconds(1);
constexpr auto kEvery = std::chrono::milliseconds(250);

// "42 s", "3 min 05 s", "2 h 07 min".
std::string duration(double seconds) {
  const auto whole = static_cast<unsigned long long>(seconds + 0.5);
  char text[48];
  if (whole < 60)
    std::snprintf(text, sizeof text, "%llu s", whole);
  else if (whole < 3600)
    std::snprintf(text, sizeof text, "%llu min %02llu s", whole / 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%llu h %02llu min", whole / 3600, whole / 60 % 60);
  return text;
}

}  // namespace

std::string progressLine(std::uint64_t records, std::uint64_t bytesRead,
                         std::optional<std::uint64_t> totalBytes, double seconds) {
  char text[160];
  const auto count = static_cast<unsigned long long>(records);
  if (!totalBytes || *totalBytes == 0) {
    std::snprintf(text, sizeof text, "quor: %llu records, %.1f MB read, %.0f records/s", count,
                  static_cast<double>(bytesRead) / 1e6,
                  seconds > 0 ? static_cast<double>(records) / seconds : 0.0);
    return text;
  }
  // An input may grow while it is read: the share stops at 100 %.
  const std::uint64_t total = *totalBytes;
  const std::uint64_t done = std::min(bytesRead, total);
  const double share = static_cast<double>(done) / static_cast<double>(total);
  std::snprintf(text, sizeof text, "quor: %llu records, %llu %% of %.1f MB", count,
                static_cast<unsigned long long>(done * 100 / total), static_cast<double>(total) / 1e6);
  std::string line = text;
  if (done > 0) line += ", " + duration(seconds * (1 - share) / share) + " left";
  return line;
}

std::optional<std::uint64_t> inputsSize(const std::vector<std::string>& inputs) {
  std::uint64_t total = 0;
  bool standardInput = false;  // read once: its later mentions read nothing
  for (const std::string& input : inputs) {
    struct stat info {};
    if (input != "-") {
      if (::stat(input.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
      total += static_cast<std::uint64_t>(info.st_size);
    } else if (!standardInput) {
      standardInput = true;
      if (::fstat(STDIN_FILENO, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
      const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
      total += static_cast<std::uint64_t>(info.st_size - std::clamp<off_t>(at, 0, info.st_size));
    }
  }
  return total;
}

Progress::Progress(bool enabled) : enabled_(enabled), start_(Clock::now()), next_(start_ + kFirstAfter) {}

void Progress::show(std::uint64_t records, std::uint64_t bytesRead) {
  const Clock::time_point now = Clock::now();
  if (now < next_) return;
  next_ = now + kEvery;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r%s\033[K", progressLine(records, bytesRead, total_, seconds).c_str());
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
