#include "number_text/number_scan.hpp"

#include "base/ascii.hpp"

namespace quor::number_text::detail {

namespace {

using base::isDigit;

// An exponent is read up to this size and no further: every use of the value has given up long
// before (the longest exact text allowed is far shorter), and sums with digit counts stay in range.
constexpr std::int64_t kExponentCap = 1'000'000'000'000;

bool isSign(char16_t c) {
  return c == u'+' || c == u'-';
}
bool isExponentLetter(char16_t c) {
  return c == u'E' || c == u'e' || c == u'D' || c == u'd';
}

// The value of a digit of a literal with the given bits per digit, or -1 when it is not one.
int radixDigitValue(char16_t c, unsigned bitsPerDigit) {
  const int value = base::hexDigitValue(c);
  return value < (1 << bitsPerDigit) ? value : -1;
}

// The bits per digit the letter after "&" announces, or 0 when it announces no literal.
unsigned radixLetterBits(char16_t c) {
  if (c == u'H' || c == u'h') return 4;
  if (c == u'O' || c == u'o') return 3;
  return 0;
}

void appendRadixDigit(RadixLiteral& literal, char16_t c) {
  if (literal.digits.empty() && c == u'0') return;
  literal.digits.push_back(static_cast<char>(c));
}

// Collects the parts of a decimal number as they are read and normalizes them at the end.
class DecimalBuilder {
 public:
  void integerDigit(char16_t c) {
    if (number_.digits.empty() && c == u'0') return;  // a leading zero changes nothing
    number_.digits.push_back(static_cast<char>(c));
  }
  void fractionDigit(char16_t c) {
    ++fractionDigits_;
    integerDigit(c);
  }
  void exponentSign(char16_t c) { exponentNegative_ = c == u'-'; }
  void exponentDigit(char16_t c) {
    if (exponent_ < kExponentCap) exponent_ = exponent_ * 10 + (c - u'0');
  }

  DecimalNumber finish(bool negative) && {
    std::size_t zeros = 0;
    while (zeros < number_.digits.size() && number_.digits[number_.digits.size() - 1 - zeros] == '0') ++zeros;
    number_.digits.resize(number_.digits.size() - zeros);
    if (number_.digits.empty()) return {};
    number_.negative = negative;
    number_.exponent =
        (exponentNegative_ ? -exponent_ : exponent_) - fractionDigits_ + static_cast<std::int64_t>(zeros);
    return std::move(number_);
  }

 private:
  DecimalNumber number_;
  std::int64_t fractionDigits_ = 0;
  std::int64_t exponent_ = 0;
  bool exponentNegative_ = false;
};

// Walks a text while skipping the characters the forgiving reading removes first.
class SkippingCursor {
 public:
  explicit SkippingCursor(std::u16string_view text) : text_(text) { skipIgnored(); }
  // The current character, or U+0000 at the end (which continues no number).
  [[nodiscard]] char16_t peek() const { return position_ < text_.size() ? text_[position_] : u'\0'; }
  void advance() {
    ++position_;
    skipIgnored();
  }

 private:
  void skipIgnored() {
    while (position_ < text_.size() &&
           (text_[position_] == u' ' || text_[position_] == u'\t' || text_[position_] == u'\n'))
      ++position_;
  }
  std::u16string_view text_;
  std::size_t position_ = 0;
};

}  // namespace

std::optional<std::uint64_t> RadixLiteral::unsignedValue() const {
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (value >> (64 - bitsPerDigit) != 0) return std::nullopt;
    value = (value << bitsPerDigit) | static_cast<unsigned>(radixDigitValue(static_cast<char16_t>(c), 4));
  }
  return value;
}

std::optional<std::int32_t> RadixLiteral::wordValue() const {
  const auto value = unsignedValue();
  if (!value || *value > 0xFFFF'FFFFu) return std::nullopt;
  const auto signedValue = static_cast<std::int64_t>(*value);
  if (*value <= 0xFFFFu)
    return static_cast<std::int32_t>(*value >= 0x8000u ? signedValue - 0x1'0000 : signedValue);
  return static_cast<std::int32_t>(*value >= 0x8000'0000u ? signedValue - 0x1'0000'0000 : signedValue);
}

std::optional<RadixLiteral> scanRadixLiteral(std::u16string_view text) {
  if (text.size() < 3 || text[0] != u'&') return std::nullopt;
  RadixLiteral literal;
  literal.bitsPerDigit = radixLetterBits(text[1]);
  if (literal.bitsPerDigit == 0) return std::nullopt;
  for (const char16_t c : text.substr(2)) {
    if (radixDigitValue(c, literal.bitsPerDigit) < 0) return std::nullopt;
    appendRadixDigit(literal, c);
  }
  return literal;
}

std::optional<ScannedNumber> scanWholeNumber(std::u16string_view text, const NumberSeparators& separators) {
  NumberParts<char16_t> parts;
  switch (scanNumberParts(text, separators, parts)) {
    case NumberForm::none:
      return std::nullopt;
    case NumberForm::literal:
      return scanRadixLiteral(parts.literal);
    case NumberForm::decimal:
      break;
  }
  DecimalBuilder builder;
  for (const char16_t c : parts.integer)
    if (isDigit(c)) builder.integerDigit(c);
  for (const char16_t c : parts.fraction) builder.fractionDigit(c);
  if (parts.exponentNegative) builder.exponentSign(u'-');
  for (const char16_t c : parts.exponent) builder.exponentDigit(c);
  return std::move(builder).finish(parts.negative);
}

ScannedNumber scanLeadingNumber(std::u16string_view text) {
  SkippingCursor cursor(text);
  if (cursor.peek() == u'&') {
    cursor.advance();
    RadixLiteral literal;
    literal.bitsPerDigit = radixLetterBits(cursor.peek());
    if (literal.bitsPerDigit == 0) return DecimalNumber{};
    cursor.advance();
    bool anyDigit = false;
    for (; radixDigitValue(cursor.peek(), literal.bitsPerDigit) >= 0; cursor.advance()) {
      appendRadixDigit(literal, cursor.peek());
      anyDigit = true;
    }
    if (!anyDigit) return DecimalNumber{};
    return literal;
  }

  bool negative = false;
  if (isSign(cursor.peek())) {
    negative = cursor.peek() == u'-';
    cursor.advance();
  }
  DecimalBuilder builder;
  bool anyDigit = false;
  bool point = false;
  for (;; cursor.advance()) {
    const char16_t c = cursor.peek();
    if (isDigit(c)) {
      if (point)
        builder.fractionDigit(c);
      else
        builder.integerDigit(c);
      anyDigit = true;
    } else if (c == u'.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return DecimalNumber{};
  if (isExponentLetter(cursor.peek())) {
    cursor.advance();
    if (isSign(cursor.peek())) {
      builder.exponentSign(cursor.peek());
      cursor.advance();
    }
    for (; isDigit(cursor.peek()); cursor.advance()) builder.exponentDigit(cursor.peek());
  }
  return std::move(builder).finish(negative);
}

}  // namespace quor::number_text::detail
