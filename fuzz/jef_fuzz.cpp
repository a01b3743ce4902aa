// FujitsuJEF with any text and any 32-bit length, without a mapping file. The call never fails; the
// result is 2 x length bytes (or empty when that output cannot be set up), each character's pair is
// its JIS code + 0x80 byte by byte (0x00 for a value outside a byte), and the bytes after the last
// character are 0x00.

#include <algorithm>
#include <cstring>

#include "fuzz_support.hpp"
#include "quor/quor.hpp"

namespace {

// The two bytes a character the mapping file does not list gets, from its code page 932 code.
std::pair<int, int> notFoundBytes(char16_t c) {
  const auto [j1, j2] = quor::fuzz::jisPairOf(c);
  const auto byte = [](int v) { return v + 0x80 >= 0 && v + 0x80 <= 0xFF ? v + 0x80 : 0; };
  return {byte(j1), byte(j2)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const std::int32_t length = quor::fuzz::foldLength(in.length(), 2);
  const std::u16string text = in.text(in.rest());

  quor::Quor q;
  q.JEFGaijiFilePath(u"");  // no mapping file: every character is not found
  quor::ByteString out;
  try {
    out = q.FujitsuJEF(text, length);
  } catch (const quor::Error&) {
    quor::fuzz::broken("FujitsuJEF reports no error", __FILE__, __LINE__);
  }
  if (length < 1) {
    QUOR_FUZZ_CHECK(out.empty());
    return 0;
  }
  const auto n = static_cast<std::size_t>(length);
  if (2 * std::int64_t{length} <= quor::fuzz::kAlwaysAllocatable) QUOR_FUZZ_CHECK(out.size() == 2 * n);
  QUOR_FUZZ_CHECK(out.empty() || out.size() == 2 * n);
  if (out.empty()) return 0;
  const std::size_t written = std::min(text.size(), n);
  for (std::size_t p = 0; p < written; ++p) {
    const auto [first, second] = notFoundBytes(text[p]);
    QUOR_FUZZ_CHECK(out[2 * p] == first && out[2 * p + 1] == second);
  }
  // The padding, millions of bytes for a long field, checked by memcmp rather than an instrumented
  // loop: all zeros when the first is zero and each byte equals the next.
  const std::uint8_t* const pad = out.data() + 2 * written;
  const std::size_t padding = out.size() - 2 * written;
  QUOR_FUZZ_CHECK(padding == 0 || (pad[0] == 0x00 && std::memcmp(pad, pad + 1, padding - 1) == 0));
  return 0;
}
