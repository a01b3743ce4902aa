// FujitsuPack with any text and any 32-bit nibble count. A packed result holds ceil(count / 2) bytes
// whose nibbles are the text's rightmost digits, with the sign nibble C or D last when signed; every
// failure is 6, 9 or 13, and a field the text fits must not fail.

#include "fuzz_support.hpp"
#include "quor/quor.hpp"

using quor::fuzz::isDigit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const std::int32_t nibbles = in.length();
  const std::u16string text = in.text(in.rest());
  const bool sign = in.sign();
  const bool negative = sign && text.find(u'-') != std::u16string::npos;

  // The digits the bytes are made from: a leading "0" to an even count, the text, and with a sign a
  // placeholder for the sign nibble; only the rightmost 2 x bytes are packed.
  std::u16string prepared = text;
  if (sign) prepared += u'0';
  if (prepared.size() % 2 != 0) prepared.insert(prepared.begin(), u'0');
  const std::int64_t byteCount = nibbles <= 0 ? 0 : (std::int64_t{nibbles} + 1) / 2;
  bool fits = byteCount > 0 && prepared.size() >= static_cast<std::size_t>(2 * byteCount);
  if (fits) {
    for (std::size_t i = prepared.size() - static_cast<std::size_t>(2 * byteCount); i < prepared.size(); ++i)
      if (!isDigit(prepared[i]) && !(negative && prepared[i] == u'-')) fits = false;
  }

  const quor::Quor q;
  quor::ByteString out;
  try {
    out = q.FujitsuPack(text, nibbles, sign);
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(quor::fuzz::oneOf(e.number(), {6, 9, 13}));
    if (nibbles <= 0) QUOR_FUZZ_CHECK(e.number() == 9);
    if (nibbles >= 65535) QUOR_FUZZ_CHECK(e.number() == 6);
    if (fits && byteCount > 16383) QUOR_FUZZ_CHECK(e.number() == 6);
    QUOR_FUZZ_CHECK(!fits || byteCount > 16383);
    return 0;
  }
  QUOR_FUZZ_CHECK(fits && byteCount <= 16383);
  const auto n = static_cast<std::size_t>(byteCount);
  QUOR_FUZZ_CHECK(out.size() == n);
  const std::size_t start = prepared.size() - 2 * n;
  for (std::size_t k = 0; k < 2 * n; ++k) {
    const unsigned nibble = k % 2 == 0 ? out[k / 2] >> 4 : out[k / 2] & 0x0Fu;
    if (sign && k + 1 == 2 * n) {
      QUOR_FUZZ_CHECK(nibble == (negative ? 0xDu : 0xCu));
      continue;
    }
    const char16_t c = prepared[start + k];
    QUOR_FUZZ_CHECK(nibble == (c == u'-' ? 0u : static_cast<unsigned>(c - u'0')));
  }
  return 0;
}
