#pragma once
// File names: the interface carries paths as UTF-16 texts; the file system wants its own form.

#include <cstdio>
#include <string>
#include <string_view>

namespace quor::platform {

// The path as UTF-8, the form POSIX file systems take. A surrogate without its partner becomes U+FFFD.
std::string toNativePath(std::u16string_view path);

// Opens the file at `path` with the fopen `mode` ("rb", "wb", ...): through the wide API on Windows,
// through the UTF-8 name elsewhere. Null when the open fails; an empty path, or one holding U+0000
// (which the system would cut short and so open another file), always fails.
std::FILE* openFile(std::u16string_view path, const char* mode);

}  // namespace quor::platform
