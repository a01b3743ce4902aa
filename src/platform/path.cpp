#include "platform/path.hpp"

#include "base/utf.hpp"

namespace quor::platform {

std::string toNativePath(std::u16string_view path) {
  std::string out;
  base::appendUtf8(path, out);
  return out;
}

std::FILE* openFile(std::u16string_view path, const char* mode) {
  if (path.empty() || path.find(u'\0') != std::u16string_view::npos) return nullptr;
#ifdef _WIN32
  // wchar_t is UTF-16 on Windows, so the units pass through unchanged.
  const std::wstring wide(path.begin(), path.end());
  const std::string narrowMode(mode);
  const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
  return _wfopen(wide.c_str(), wideMode.c_str());
#else
  return std::fopen(toNativePath(path).c_str(), mode);
#endif
}

}  // namespace quor::platform
