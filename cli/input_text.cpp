#include "input_text.hpp"

#include "platform/cp932.hpp"

namespace quor::cli {

namespace cp932 = quor::platform::cp932;

DecodeResult decodeCp932(std::string_view bytes, char16_t* out) noexcept {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t o = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char b = p[i];
    // Code page 932 keeps ASCII as it is.
    if (b < 0x80) {
      out[o++] = b;
      continue;
    }
    char16_t c;
    if (cp932::isLeadByte(b)) {
      if (i + 1 >= n) return {o, i, false};
      c = cp932::decodeDouble(b, p[i + 1]);
      if (c == 0xFFFF) return {o, i, false};
      ++i;
    } else {
      c = cp932::decodeSingle(b);
      if (c == 0xFFFF) return {o, i, false};
    }
    out[o++] = c;
  }
  return {o, 0, true};
}

DecodeResult decodeLine(std::string_view bytes, InputEncoding encoding, std::u16string& out) {
  // Neither encoding gives more UTF-16 units than it has bytes.
  if (out.size() < bytes.size()) out.resize(bytes.size());
  const DecodeResult result =
      encoding == InputEncoding::utf8 ? decodeUtf8(bytes, out.data()) : decodeCp932(bytes, out.data());
  return result;
}

}  // namespace quor::cli
