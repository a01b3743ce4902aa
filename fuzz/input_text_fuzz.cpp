// The input text readers (UTF-8 and code page 932) with arbitrary bytes. A line that decodes is exactly the text
// its bytes spell: code page 932 as the library reads it, UTF-8 re-encoded gives the same bytes back.
// A line that does not decode names an offset inside it, and everything before that offset decodes
// on its own to the units already written. No more units than bytes are ever written.
//
// Input: the flags byte (no length), then the line's bytes.

#include <string>

#include "fuzz_support.hpp"
#include "quor/text.hpp"
#include "text/cp932.hpp"

namespace {

enum class Encoding { utf8, cp932 };

// A line decoded into a buffer grown to hold it, as the tool reads its input lines.
quor::TextDecodeResult decodeLine(std::string_view bytes, Encoding encoding, std::u16string& out) {
  if (out.size() < bytes.size()) out.resize(bytes.size());
  return encoding == Encoding::utf8 ? quor::decodeUtf8(bytes, out.data()) : quor::decodeCp932(bytes, out.data());
}

// The decoded text in UTF-8 by the library's own encoder, a separate path from the decoder; a decoded
// line never holds a lone surrogate, which would have no UTF-8 form.
std::string utf8Of(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
      ++i;
    else
      QUOR_FUZZ_CHECK(c < 0xD800 || c > 0xDFFF);
  }
  return quor::toUtf8(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const std::string_view line = in.rest();

  for (const auto encoding : {Encoding::utf8, Encoding::cp932}) {
    std::u16string out;
    const quor::TextDecodeResult result = decodeLine(line, encoding, out);
    QUOR_FUZZ_CHECK(result.length <= line.size() && out.size() >= line.size());
    const std::u16string_view text(out.data(), result.length);
    if (result.ok) {
      if (encoding == Encoding::utf8)
        QUOR_FUZZ_CHECK(utf8Of(text) == line);
      else
        QUOR_FUZZ_CHECK(quor::text::cp932::decodeText(line) == text);
      continue;
    }
    QUOR_FUZZ_CHECK(result.errorOffset < line.size());
    std::u16string before;
    const quor::TextDecodeResult prefix = decodeLine(line.substr(0, result.errorOffset), encoding, before);
    QUOR_FUZZ_CHECK(prefix.ok && prefix.length == result.length);
    QUOR_FUZZ_CHECK(std::u16string_view(before.data(), prefix.length) == text);
  }
  return 0;
}
