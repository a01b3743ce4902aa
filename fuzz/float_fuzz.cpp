// Floating point both ways, on random bytes and random texts:
// - bytes: a field that reads without a fault reads as a text that writes back to bytes reading as the
//   same text (the same bytes, for every field but a hexadecimal one not normalized, which writes back
//   normalized), in at most kFloatTextRoom characters; a normalized hexadecimal one reads as the whole
//   exact expansions read it;
// - texts: a number that fits is written to bytes whose text writes back to them; for IEEE fields the
//   bytes are std::from_chars's.
//
// Input: byte 0 picks the field (bit 0: 8 bytes, bit 1: IEEE, bit 2: the rest is a text, not bytes).

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/floating.hpp"

namespace {

using quor::numeric::FloatEncoding;

std::string textOf(std::span<const std::uint8_t> field, FloatEncoding encoding, bool& fault) {
  std::string text;
  fault = quor::numeric::readFloat(field, encoding, text).has_value();
  return text;
}

quor::numeric::FloatFit write(std::string_view text, FloatEncoding encoding, std::vector<std::uint8_t>& field) {
  const std::u16string units(text.begin(), text.end());
  const auto number = quor::number_text::readDecimalText(units);
  QUOR_FUZZ_CHECK(number.has_value());
  return quor::numeric::writeFloat({number->digits, number->exponent, number->negative}, encoding, field);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t bytes = (data[0] & 1u) != 0 ? 8 : 4;
  const FloatEncoding encoding = (data[0] & 2u) != 0 ? FloatEncoding::ieee : FloatEncoding::hexadecimal;
  std::vector<std::uint8_t> field(bytes);
  if ((data[0] & 4u) == 0) {
    if (size < 1 + bytes) return 0;
    const std::span<const std::uint8_t> given(data + 1, bytes);
    bool fault = false;
    const std::string text = textOf(given, encoding, fault);
    if (fault) return 0;
    QUOR_FUZZ_CHECK(text.size() <= quor::numeric::kFloatTextRoom);
    QUOR_FUZZ_CHECK(write(text, encoding, field) == quor::numeric::FloatFit::fits);
    // The form the encoder writes: any IEEE field; a hexadecimal one normalized, or a zero of exponent 0.
    const bool zeroFraction = std::all_of(given.begin() + 1, given.end(), [](std::uint8_t b) { return b == 0; });
    const bool canonical = encoding == FloatEncoding::ieee ||
                           (zeroFraction ? (given[0] & 0x7Fu) == 0 : (given[1] & 0xF0u) != 0);
    if (canonical) QUOR_FUZZ_CHECK(std::equal(field.begin(), field.end(), given.begin()));
    QUOR_FUZZ_CHECK(textOf(field, encoding, fault) == text && !fault);
    // A normalized hexadecimal value: the short way's text is the whole exact expansions'.
    if (encoding == FloatEncoding::hexadecimal && !zeroFraction && (given[1] & 0xF0u) != 0) {
      const unsigned bits = bytes == 4 ? 24 : 56;
      std::uint64_t raw = 0;
      for (const std::uint8_t b : given) raw = (raw << 8) | b;
      const std::uint64_t fraction = raw & ((std::uint64_t{1} << bits) - 1);
      const auto power = (static_cast<std::int64_t>((raw >> bits) & 0x7Fu) - 64 - bits / 4) * 4;
      std::string exact;
      quor::numeric::detail::appendShortestHexadecimal((given[0] & 0x80u) != 0, fraction, power, bits, exact, false);
      QUOR_FUZZ_CHECK(exact == text);
    }
    return 0;
  }
  // A text: the number grammar's, cut to 200 characters.
  const std::string text(reinterpret_cast<const char*>(data + 1), std::min<std::size_t>(size - 1, 200));
  const std::u16string units(text.begin(), text.end());
  const auto number = quor::number_text::readDecimalText(units);
  if (!number) return 0;
  if (quor::numeric::writeFloat({number->digits, number->exponent, number->negative}, encoding, field) !=
      quor::numeric::FloatFit::fits)
    return 0;
  bool fault = false;
  const std::string shown = textOf(field, encoding, fault);
  QUOR_FUZZ_CHECK(!fault);
  std::vector<std::uint8_t> again(bytes);
  QUOR_FUZZ_CHECK(write(shown, encoding, again) == quor::numeric::FloatFit::fits && again == field);
  if (encoding == FloatEncoding::ieee && !number->digits.empty()) {
    const std::string plain = number->digits + "e" + std::to_string(number->exponent);
    std::uint64_t expected = 0;
    if (bytes == 4) {
      float value = 0;
      std::from_chars(plain.data(), plain.data() + plain.size(), value);
      expected = std::bit_cast<std::uint32_t>(number->negative ? -value : value);
    } else {
      double value = 0;
      std::from_chars(plain.data(), plain.data() + plain.size(), value);
      expected = std::bit_cast<std::uint64_t>(number->negative ? -value : value);
    }
    std::uint64_t got = 0;
    for (const std::uint8_t b : field) got = (got << 8) | b;
    QUOR_FUZZ_CHECK(got == expected);
  }
  return 0;
}
