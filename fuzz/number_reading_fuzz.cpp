// The number reading with arbitrary text: the numeric test, the integer value, the leading number's
// value, its 15-digit text and its exact text. They must agree with one another: the integer value
// exists exactly for numeric texts (or overflows), the exact text reads back to the same value, the
// 15-digit text reads back to within its rounding, and a literal's digits are its exact text.
//
// Input: the flags byte (no length), then the text.

#include <cmath>
#include <optional>

#include "fuzz_support.hpp"
#include "number_text/number_reading.hpp"
#include "support/number_value.hpp"

namespace qp = quor::number_text;

namespace {

// "0", or an optional "-", digits without a leading zero (or one "0" before a point), and an optional
// fraction that does not end in "0".
bool isPlainDecimal(const std::u16string& t) {
  if (t == u"0") return true;
  std::size_t i = t.size() > 0 && t[0] == u'-' ? 1 : 0;
  const std::size_t digitsStart = i;
  while (i < t.size() && quor::fuzz::isDigit(t[i])) ++i;
  const std::size_t integerDigits = i - digitsStart;
  if (integerDigits == 0) return false;
  if (integerDigits > 1 && t[digitsStart] == u'0') return false;
  if (i == t.size()) return t[digitsStart] != u'0';
  if (t[i] != u'.' || i + 1 == t.size()) return false;
  for (++i; i < t.size(); ++i)
    if (!quor::fuzz::isDigit(t[i])) return false;
  return t.back() != u'0';
}

std::size_t significantDigits(const std::u16string& t) {
  std::u16string digits;
  for (char16_t c : t)
    if (quor::fuzz::isDigit(c)) digits += c;
  const auto first = digits.find_first_not_of(u'0');
  if (first == std::u16string::npos) return 0;
  return digits.find_last_not_of(u'0') - first + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const std::u16string text = in.text(in.rest());

  // Numeric test and integer value, with the default separators and with swapped ones.
  for (const qp::NumberSeparators seps : {qp::NumberSeparators{}, qp::NumberSeparators{u',', u'.'}}) {
    const bool numeric = qp::isNumeric(text, seps);
    try {
      (void)qp::integerValue(text, seps);
      QUOR_FUZZ_CHECK(numeric);
    } catch (const quor::Error& e) {
      QUOR_FUZZ_CHECK(numeric ? quor::fuzz::oneOf(e.number(), {6, 7}) : e.number() == 13);
    }
  }

  const double value = qp::numericValue(text);
  QUOR_FUZZ_CHECK(std::isfinite(value));
  const std::u16string rounded = qp::numberText(value);
  const double reread = qp::numericValue(rounded);
  QUOR_FUZZ_CHECK(std::fabs(reread - value) <= std::fabs(value) * 1e-14);

  std::optional<std::u16string> exact;
  try {
    exact = qp::exactNumberText(text);
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(quor::fuzz::oneOf(e.number(), {6, 7}));
  }
  if (exact) {
    QUOR_FUZZ_CHECK(isPlainDecimal(*exact));
    QUOR_FUZZ_CHECK(qp::numericValue(*exact) == value);
    // Where the 15-digit text is plain and loses nothing (no rounding to 15 digits, no value too
    // small for a double), both texts are the same.
    if (rounded.find(u'E') == std::u16string::npos && significantDigits(*exact) <= 15 &&
        (value != 0.0 || *exact == u"0"))
      QUOR_FUZZ_CHECK(rounded == *exact);
  }

  if (const auto digits = qp::radixLiteralDigits(text)) {
    QUOR_FUZZ_CHECK(isPlainDecimal(*digits) && digits->find(u'.') == std::u16string::npos);
    QUOR_FUZZ_CHECK(exact && *exact == *digits);
  }
  return 0;
}
