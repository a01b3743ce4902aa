#include "platform/file_read.hpp"

#include <cstdio>
#include <memory>

#include "platform/path.hpp"

namespace quor::platform {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

std::optional<FileBytes> readFile(std::u16string_view path) {
  const std::unique_ptr<std::FILE, FileCloser> file(openFile(path, "rb"));
  if (!file) return std::nullopt;

  FileBytes content;
  std::string& bytes = content.bytes;
  constexpr std::size_t kChunk = 32768;
  for (;;) {
    const std::size_t before = bytes.size();
    bytes.resize(before + kChunk);
    const std::size_t got = std::fread(bytes.data() + before, 1, kChunk, file.get());
    bytes.resize(before + got);
    if (got == kChunk) continue;
    content.readFailed = std::ferror(file.get()) != 0;
    break;
  }
  return content;
}

}  // namespace quor::platform
