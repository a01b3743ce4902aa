#include "platform/path.hpp"

#ifdef _WIN32
#include <wchar.h>
#endif

namespace quor::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t c) noexcept {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) noexcept {
  return c >= 0xDC00 && c <= 0xDFFF;
}

void appendUtf8(std::string& out, char32_t cp) {
  auto byte = [&out](char32_t v) { out += static_cast<char>(static_cast<unsigned char>(v)); };
  if (cp < 0x80) {
    byte(cp);
  } else if (cp < 0x800) {
    byte(0xC0 | (cp >> 6));
    byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    byte(0xE0 | (cp >> 12));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  } else {
    byte(0xF0 | (cp >> 18));
    byte(0x80 | ((cp >> 12) & 0x3F));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string toNativePath(std::u16string_view path) {
  std::string out;
  out.reserve(path.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (isHighSurrogate(c) && i + 1 < path.size() && isLowSurrogate(path[i + 1])) {
      appendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (path[i + 1] - 0xDC00u));
      ++i;
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, c);
    }
  }
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
