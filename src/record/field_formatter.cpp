// The field formatter: brings the value of the record field in progress into the shape its encoder
// expects. Numbers get leading zeros (or keep their rightmost digits), single-byte text gets trailing
// blanks (or keeps its first characters), double-byte text is filled, made full width and cut. A value
// that fails its rule, and a format without a rule, become the empty text. It never fails.

#include <algorithm>

#include "object/fields.hpp"
#include "object/limits.hpp"
#include "platform/cp932.hpp"
#include "platform/fullwidth.hpp"
#include "platform/number_reading.hpp"

namespace quor {

namespace {

std::u16string_view trimBlanks(std::u16string_view s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

// Numbers (zoned and packed): the digits, without blanks and sign, filled with "0" in front to
// `width` characters or cut to their rightmost `width`; a "-" goes back in front. So "-12" in 5 is
// "-00012" and "12-" the same, where zeros put in front of the sign would lose the value. An "&H" or
// "&O" literal is replaced by its decimal digits first.
void formatNumber(std::u16string_view value, std::size_t width, bool fill, std::u16string& out) {
  std::u16string literal;
  value = trimBlanks(value);
  if (!value.empty() && value.front() == u'&') {
    if (auto digits = platform::radixLiteralDigits(value)) {
      literal = std::move(*digits);
      value = literal;
    }
  }
  bool negative = false;
  if (!value.empty() && (value.front() == u'-' || value.front() == u'+')) {
    negative = value.front() == u'-';
    value.remove_prefix(1);
  } else if (!value.empty() && (value.back() == u'-' || value.back() == u'+')) {
    negative = value.back() == u'-';
    value.remove_suffix(1);
  }
  value = trimBlanks(value);
  if (negative) out += u'-';
  if (fill && value.size() < width) out.append(width - value.size(), u'0');
  out.append(value.substr(value.size() - std::min(width, value.size())));
}

}  // namespace

const std::u16string& Quor::Fields::formatField() {
  std::u16string& out = formattedValue;
  out.clear();
  // A negative length leaves nothing to fill or cut: the empty text for every format.
  if (fieldLength < 0) return out;
  const auto width = static_cast<std::size_t>(fieldLength);
  // A width beyond any result a call may set up, or beyond any number field, gets no fill: its encoder
  // fails on the width itself (error 7 or 6, or the empty JEF result), so filling megabytes first
  // would only waste time and memory.
  const bool fill = width <= detail::kMaxResultBytes;
  const std::u16string_view value = fieldValue;

  switch (fieldFormat) {
    case setNumeric:
    case setPackNumeric:
      if (platform::isNumeric(value)) formatNumber(value, width, width <= detail::kMaxNumberWidth, out);
      break;

    case setCharacter:
      // One double-byte character anywhere rejects the whole value.
      if (value.empty() || std::any_of(value.begin(), value.end(),
                                       [](char16_t c) { return platform::cp932::byteLength(c) == 2; }))
        break;
      out.assign(value.substr(0, std::min(width, value.size())));
      if (fill) out.append(width - out.size(), u' ');
      break;

    case setNCharacter:
      if (value.empty()) break;
      // Filled to one more than the field, made full width, then cut: where a sound mark joins its
      // kana the text is one character shorter and that extra blank shows, as in "ｶﾞ" in a field of 2
      // giving U+30AC U+3000. A blank never joins, so the fill is added in its full-width form.
      platform::appendFullWidth(value, out);
      if (fill && width >= value.size()) out.append(width - value.size() + 1, u'\u3000');
      if (out.size() > width) out.resize(width);
      break;

    default:
      break;
  }
  return out;
}

}  // namespace quor
