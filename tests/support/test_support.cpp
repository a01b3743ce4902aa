#include "support/test_support.hpp"

#include <cstdio>
#include <stdexcept>

namespace quor::test {

std::string hex(const ByteString& b) {
  std::string out;
  char pair[4];
  for (std::size_t i = 0; i < b.size(); ++i) {
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(b[i]));
    if (i != 0) out += ' ';
    out += pair;
  }
  return out;
}

ByteString bytes(std::string_view text) {
  ByteString out;
  int high = -1;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else
      continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) throw std::invalid_argument("odd number of hex digits");
  return out;
}

std::u16string u16(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    int extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if (c < 0xE0) {
      cp = c & 0x1Fu;
      extra = 1;
    } else if (c < 0xF0) {
      cp = c & 0x0Fu;
      extra = 2;
    } else {
      cp = c & 0x07u;
      extra = 3;
    }
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3Fu);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

int errorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

std::string layoutRefusal(Layout layout) {
  try {
    finishLayout(layout);
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kInvalidCall);
    return e.what();
  }
  return "accepted";
}

}  // namespace quor::test
