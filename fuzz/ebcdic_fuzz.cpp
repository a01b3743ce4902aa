// SJIStoEBCDICK with any text and any 32-bit length. A result has exactly `length` bytes: one per
// character, each what that character alone gives (0x4F for a double-byte character), then 0x00.
// A length below 1 or a text longer than the field is error 9; only a length beyond the memory one
// call may take can give error 7.

#include "fuzz_support.hpp"
#include "quor/quor.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const std::int32_t length = quor::fuzz::foldLength(in.length(), 1);
  const std::u16string text = in.text(in.rest());

  const quor::Quor q;
  quor::ByteString out;
  try {
    out = q.SJIStoEBCDICK(text, length);
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(quor::fuzz::oneOf(e.number(), {7, 9}));
    if (e.number() == 7) QUOR_FUZZ_CHECK(length > quor::fuzz::kAlwaysAllocatable);
    if (e.number() == 9) QUOR_FUZZ_CHECK(length < 1 || text.size() > static_cast<std::size_t>(length));
    return 0;
  }
  QUOR_FUZZ_CHECK(length >= 1 && text.size() <= static_cast<std::size_t>(length));
  QUOR_FUZZ_CHECK(out.size() == static_cast<std::size_t>(length));
  for (std::size_t p = text.size(); p < out.size(); ++p) QUOR_FUZZ_CHECK(out[p] == 0x00);
  for (std::size_t p = 0; p < text.size() && p < 64; ++p) {
    if (quor::text::cp932::byteLength(text[p]) == 2) QUOR_FUZZ_CHECK(out[p] == 0x4F);
    const quor::ByteString alone = q.SJIStoEBCDICK(std::u16string_view(&text[p], 1), 1);
    QUOR_FUZZ_CHECK(alone.size() == 1 && alone[0] == out[p]);
  }
  return 0;
}
