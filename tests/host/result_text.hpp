#pragma once
// The one-line form of a case's outcome that both sides print: "bytes 5: F0 F0 F1 F2 D3",
// "text: 1.0.0" (texts as UTF-16 units in hexadecimal, so any character prints the same),
// "error 13", or "done" for a call without result.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace quor::hostcheck {

inline std::string bytesLine(const std::uint8_t* data, std::size_t size) {
  std::string line = "bytes " + std::to_string(size) + ":";
  char hex[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned>(data[i]));
    line += hex;
  }
  return line;
}

inline std::string textLine(std::u16string_view text) {
  std::string line = "text:";
  char hex[6];
  for (char16_t unit : text) {
    std::snprintf(hex, sizeof hex, " %04X", static_cast<unsigned>(unit));
    line += hex;
  }
  return line;
}

inline std::string errorLine(long number) {
  return "error " + std::to_string(number);
}

}  // namespace quor::hostcheck
