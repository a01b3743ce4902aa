#include "character/gaiji_file.hpp"

#include <cstdio>
#include <memory>

#include "platform/path.hpp"

namespace quor::character {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

std::optional<std::string> readGaijiBytes(std::u16string_view path) {
  const std::unique_ptr<std::FILE, FileCloser> file(platform::openFile(path, "rb"));
  if (!file) return std::nullopt;

  std::string bytes;
  constexpr std::size_t kChunk = 32768;
  for (;;) {
    const std::size_t before = bytes.size();
    bytes.resize(before + kChunk);
    const std::size_t got = std::fread(bytes.data() + before, 1, kChunk, file.get());
    bytes.resize(before + got);
    if (got == kChunk) continue;
    if (std::ferror(file.get())) {
      // Keep only whole lines: a line end is CR or LF, and neither byte can be part of a
      // double-byte character, so searching the raw bytes is safe.
      const std::size_t lastEnd = bytes.find_last_of("\r\n");
      bytes.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    }
    break;
  }
  return bytes;
}

}  // namespace quor::character
