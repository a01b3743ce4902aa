#include "record/field_formatter.hpp"

#include <algorithm>

#include "base/limits.hpp"
#include "base/utf.hpp"
#include "number_text/number_reading.hpp"
#include "numeric/packed.hpp"
#include "quor/format.hpp"
#include "text/cp932.hpp"
#include "text/fullwidth.hpp"

namespace quor::record {

namespace {

constexpr char16_t kBlank = u' ';
constexpr char16_t kIdeographicSpace = u'\u3000';

std::u16string_view trimBlanks(std::u16string_view s) {
  while (!s.empty() && s.front() == kBlank) s.remove_prefix(1);
  while (!s.empty() && s.back() == kBlank) s.remove_suffix(1);
  return s;
}

void note(ValueChange* change, Change kind, char32_t character = 0) {
  if (change != nullptr) *change = {kind, character, 0, {}};
}

// The character at `i`: a surrogate pair makes one.
char32_t characterAt(std::u16string_view value, std::size_t i) {
  const char32_t c = value[i];
  if (base::isHighSurrogate(c) && i + 1 < value.size() && base::isLowSurrogate(value[i + 1]))
    return base::scalarOfPair(c, value[i + 1]);
  return c;
}

// A character code page 932 writes as another: which, and what is written instead.
void noteLacking(ValueChange* change, std::u16string_view value, std::size_t i) {
  *change = {Change::noCodePage932Form, characterAt(value, i), text::cp932::writtenAs(value[i]), {}};
}

// Numbers (zoned and packed): the digits, without blanks and sign, filled with "0" in front to
// `width` characters or cut to their rightmost `width`; a "-" goes back in front. So "-12" in 5 is
// "-00012" and "12-" the same, where zeros put in front of the sign would lose the value. An "&H" or
// "&O" literal is replaced by its decimal digits first. Losing anything but leading zeros is a change:
// digits beyond the width or beyond `capacity`, the digits the encoder keeps, are lost. A literal
// beyond 64 bits has no digits: it stays as written, which the zoned encoder reads as zero (and the
// packed one refuses), so it is no number.
void formatNumber(std::u16string_view value, std::size_t width, std::size_t capacity, bool fill, bool sign,
                  std::u16string& out, ValueChange* change) {
  std::u16string literal;
  value = trimBlanks(value);
  bool valueless = false;
  if (!value.empty() && value.front() == u'&') {
    if (auto digits = number_text::radixLiteralDigits(value)) {
      literal = std::move(*digits);
      value = literal;
    } else {
      valueless = true;
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
  const std::size_t kept = std::min(width, value.size());
  const std::u16string_view lost = value.substr(0, value.size() - std::min({width, capacity, value.size()}));
  if (negative && !sign)
    note(change, Change::negativeInUnsignedField);
  else if (lost.find_first_not_of(u'0') != std::u16string_view::npos)
    note(change, Change::longerThanField);
  if (valueless) note(change, Change::notANumber);
  if (negative) out += u'-';
  if (fill && value.size() < width) out.append(width - value.size(), u'0');
  out.append(value.substr(value.size() - kept));
}

// The zoned encoder takes the exact text of the formatted number, whose exponent may give it more
// digits than the text has: "5E5" fits 5 characters, but its 500000 keeps only 00000. Digits other
// than leading zeros beyond the width are lost as well.
void noteExponentDigitsLost(std::u16string_view formatted, std::size_t width, ValueChange* change) {
  if (formatted.find_first_of(u"EeDd") == std::u16string_view::npos) return;
  const std::u16string exact = number_text::exactNumberText(formatted);
  std::u16string_view digits = exact;
  if (!digits.empty() && digits.front() == u'-') digits.remove_prefix(1);
  if (digits.size() > width && digits.substr(0, digits.size() - width).find_first_not_of(u'0') != std::u16string_view::npos)
    note(change, Change::longerThanField);
}

// Single-byte text: one double-byte character anywhere rejects the whole value; otherwise its first
// `width` characters, then blanks.
text::PaddedText formatCharacter(std::u16string_view value, std::size_t width, ValueChange* change) {
  if (value.empty()) {
    note(change, Change::emptyText);
    return {};
  }
  std::size_t lacking = value.size();
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (text::cp932::byteLength(value[i]) == 2) {
      note(change, Change::doubleByteInSingleByteField, value[i]);
      return {};
    }
    if (change != nullptr && lacking == value.size() && text::cp932::lacksExactForm(value[i])) lacking = i;
  }
  if (lacking < value.size())
    noteLacking(change, value, lacking);
  else if (value.size() > width)
    note(change, Change::longerThanField);
  const std::u16string_view shown = value.substr(0, std::min(width, value.size()));
  return {shown, width - shown.size(), kBlank};
}

// Double-byte text: filled with blanks to one more than the field, made full width, then cut. Where a
// sound mark joins its kana the text is one character shorter and that extra blank shows, as in "ｶﾞ"
// in a field of 2 giving U+30AC U+3000. A blank never joins, so the fill is added in its full-width
// form, and only as a count.
text::PaddedText formatNCharacter(std::u16string_view value, std::size_t width, std::u16string& out,
                                  ValueChange* change) {
  if (value.empty()) {
    note(change, Change::emptyText);
    return {};
  }
  bool lacking = false;
  if (change != nullptr) {
    const auto it = std::find_if(value.begin(), value.end(), text::cp932::lacksExactForm);
    lacking = it != value.end();
    if (lacking) noteLacking(change, value, static_cast<std::size_t>(it - value.begin()));
  }
  text::appendFullWidth(value, out);
  if (out.size() >= width) {
    if (out.size() > width && !lacking) note(change, Change::longerThanField);
    return {std::u16string_view(out).substr(0, width), 0, kIdeographicSpace};
  }
  const std::size_t fill = width >= value.size() ? width - value.size() + 1 : 0;
  return {out, std::min(fill, width - out.size()), kIdeographicSpace};
}

}  // namespace

text::PaddedText formatField(std::u16string_view value, std::int32_t length, std::int32_t format, bool sign,
                             std::u16string& storage, ValueChange* change) {
  note(change, Change::none);
  storage.clear();
  // A negative length leaves nothing to fill or cut: the empty text for every format.
  if (length < 0) return {};
  const auto width = static_cast<std::size_t>(length);

  switch (format) {
    case setNumeric:
    case setPackNumeric:
      if (!number_text::isNumeric(value)) {
        note(change, Change::notANumber);
        return {};
      }
      // A number wider than any encoder reads gets no fill: its encoder fails on the width itself.
      formatNumber(value, width, format == setPackNumeric ? numeric::packedDigits(length, sign) : width,
                   width <= base::kMaxNumberTextWidth, sign, storage, change);
      if (format == setNumeric && change != nullptr && change->kind == Change::none)
        noteExponentDigitsLost(storage, width, change);
      return {storage};
    case setCharacter:
      return formatCharacter(value, width, change);
    case setNCharacter:
      return formatNCharacter(value, width, storage, change);
    default:
      return {};
  }
}

}  // namespace quor::record
