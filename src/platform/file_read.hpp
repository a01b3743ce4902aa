#pragma once
// Reading a whole file into memory.

#include <optional>
#include <string>
#include <string_view>

namespace quor::platform {

struct FileBytes {
  std::string bytes;       // what was read
  bool readFailed = false;  // a read failed in the middle of the file: `bytes` stops there
};

// The content of the file at `path`, or nothing when it cannot be opened. Throws std::bad_alloc when
// memory runs out.
std::optional<FileBytes> readFile(std::u16string_view path);

}  // namespace quor::platform
