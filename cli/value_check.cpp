#include "value_check.hpp"

#include <algorithm>
#include <cstdio>

#include "platform/cp932.hpp"
#include "platform/fullwidth.hpp"
#include "platform/number_reading.hpp"

namespace quor::cli {

namespace {

namespace cp932 = quor::platform::cp932;

bool isBlank(char16_t c) {
  return c == u' ';
}

// Plain digits with an optional leading "-": by far the most common numeric value, and surely a
// number, so the locale-aware test is needed only for the rest.
bool isPlainInteger(std::u16string_view value) {
  if (!value.empty() && value.front() == u'-') value.remove_prefix(1);
  return !value.empty() &&
         std::all_of(value.begin(), value.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// True when a numeric field keeps fewer characters than the value's number has: the field formatter
// takes the digits without blanks and sign and keeps their rightmost `length`. Dropping leading zeros
// changes nothing.
bool numberIsCut(std::u16string_view value, std::int32_t length) {
  std::u16string literal;
  // Only an "&H" or "&O" literal holds "&"; the common case skips the literal reader.
  if (value.find(u'&') != std::u16string_view::npos) {
    if (auto digits = platform::radixLiteralDigits(value)) {
      literal = std::move(*digits);
      value = literal;
    }
  }
  auto trim = [](std::u16string_view& s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  };
  trim(value);
  if (!value.empty() && (value.front() == u'-' || value.front() == u'+')) {
    value.remove_prefix(1);
  } else if (!value.empty() && (value.back() == u'-' || value.back() == u'+')) {
    value.remove_suffix(1);
  }
  trim(value);
  const auto keep = static_cast<std::size_t>(length);
  if (value.size() <= keep) return false;
  const std::u16string_view dropped = value.substr(0, value.size() - keep);
  return !std::all_of(dropped.begin(), dropped.end(), [](char16_t c) { return c == u'0'; });
}

// A character that code page 932 writes as another single-byte character: "?" for one it lacks, or a
// look-alike ("e" for U+00E9). Double-byte codes are JIS characters, the host's own, so only the
// single-byte results lose something.
bool lacksCodePage932Form(char16_t c) {
  if (c < 0x80) return false;
  const std::uint16_t code = cp932::encode(c);
  return code <= 0xFF && cp932::decodeSingle(static_cast<std::uint8_t>(code)) != c;
}

const char16_t* findLacking(std::u16string_view value) {
  const auto it = std::find_if(value.begin(), value.end(), lacksCodePage932Form);
  return it == value.end() ? nullptr : &*it;
}

std::string codePoint(char16_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

}  // namespace

ValueChecker::ValueChecker() : classes_(0x10000) {
  for (std::size_t unit = 0; unit < classes_.size(); ++unit) {
    const auto c = static_cast<char16_t>(unit);
    classes_[unit] = static_cast<std::uint8_t>((cp932::byteLength(c) == 2 ? kDoubleByte : 0) |
                                               (lacksCodePage932Form(c) ? kLacksForm : 0));
  }
}

Change ValueChecker::check(std::u16string_view value, const LayoutField& field) const {
  const auto length = static_cast<std::size_t>(field.length);
  switch (field.format) {
    case setNumeric:
    case setPackNumeric:
      if (!isPlainInteger(value) && !platform::isNumeric(value)) return Change::notANumber;
      if (value.size() > length && numberIsCut(value, field.length)) return Change::longerThanField;
      return Change::none;
    case setCharacter: {
      if (value.empty()) return Change::emptyText;
      // A double-byte character rejects the whole value, which outranks a character without a code.
      bool lacking = false;
      for (const char16_t c : value) {
        if (isDoubleByte(c)) return Change::doubleByteInSingleByteField;
        lacking = lacking || lacksForm(c);
      }
      if (lacking) return Change::noCodePage932Form;
      if (value.size() > length) return Change::longerThanField;
      return Change::none;
    }
    case setNCharacter:
      if (value.empty()) return Change::emptyText;
      for (const char16_t c : value)
        if (lacksForm(c)) return Change::noCodePage932Form;
      // Joining a half-width kana with its sound mark can make a value fit.
      if (value.size() > length && platform::toFullWidth(value).size() > length)
        return Change::longerThanField;
      return Change::none;
  }
  return Change::none;
}

std::string describeChange(Change change, std::u16string_view value, const LayoutField& field) {
  const std::string holds = "the field holds " + std::to_string(field.length);
  switch (change) {
    case Change::none:
      break;
    case Change::doubleByteInSingleByteField: {
      const auto it =
          std::find_if(value.begin(), value.end(), [](char16_t c) { return cp932::byteLength(c) == 2; });
      return "double-byte character " + codePoint(*it) +
             " in a single-byte field (the field would be written as 0x00 bytes)";
    }
    case Change::notANumber:
      return "value is not a number (it would be written as zeros)";
    case Change::longerThanField:
      return "value longer than its field (" + std::to_string(value.size()) + " characters, " + holds +
             "; it would be cut)";
    case Change::noCodePage932Form: {
      const char16_t c = *findLacking(value);
      const auto written = static_cast<char>(cp932::encode(c));
      return "character " + codePoint(c) + " has no code page 932 form (it would be written as \"" +
             std::string(1, written) + "\")";
    }
    case Change::emptyText:
      return "empty value in a character field (it would be written as 0x00 bytes, not blanks)";
  }
  return {};
}

std::string_view summaryPhrase(Change change) {
  switch (change) {
    case Change::none:
      break;
    case Change::doubleByteInSingleByteField:
      return "double-byte text in a single-byte field (written as 0x00 bytes)";
    case Change::notANumber:
      return "not a number (written as zeros)";
    case Change::longerThanField:
      return "longer than the field (cut)";
    case Change::noCodePage932Form:
      return "without a code page 932 form (written as another character)";
    case Change::emptyText:
      return "empty in a character field (written as 0x00 bytes)";
  }
  return {};
}

}  // namespace quor::cli
