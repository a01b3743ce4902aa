// How a value is written other than it reads, in words for a message, and the check of one value.

#include <cstdio>

#include "base/api_guard.hpp"
#include "base/utf.hpp"
#include "number_text/number_reading.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/edited.hpp"
#include "quor/record.hpp"
#include "quor/text.hpp"
#include "record/field_kind.hpp"
#include "record/record_assembly.hpp"

namespace quor {

namespace {

// A character as UTF-8, or nothing.
std::string printed(char32_t c) {
  // Control characters, surrogates and user-defined characters print as nothing anyone could read.
  if (c < 0x20 || c == 0x7F || base::isHighSurrogate(c) || base::isLowSurrogate(c) || base::isUserDefined(c) || c > 0x10FFFF)
    return {};
  unsigned char bytes[4];
  return std::string(reinterpret_cast<const char*>(bytes), base::putUtf8(c, bytes));
}

// "U+5C71 山": a character by its code and, where it prints, itself.
std::string named(char32_t c) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
  const std::string shown = printed(c);
  return shown.empty() ? std::string(code) : std::string(code) + " " + shown;
}

// "\"?\"": the character written in another's place, as it reads.
std::string quoted(char32_t c) {
  const std::string shown = printed(c);
  return shown.empty() ? named(c) : "\"" + shown + "\"";
}

std::string hexByte(std::uint8_t byte) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
  return text;
}

bool isNumeric(const LayoutField& field) {
  const FieldKind kind = record::writtenKind(field);
  return record::isNumberKind(kind) || kind == FieldKind::edited || kind == FieldKind::float4 ||
         kind == FieldKind::float8;
}

// The largest value of a typed number field of decimal scaling: "999000", "0.00999".
std::string largestScaled(const LayoutField& field) {
  std::u16string text;
  number_text::appendScaledText(std::string(static_cast<std::size_t>(field.length), '9'), false, field.scale, text);
  return toUtf8(text);
}

// The range of a binary field of the full range: "-32768 to 32767 of a 2-byte".
std::string binaryRange(const LayoutField& field) {
  const std::size_t bytes = fieldSize(field);
  const unsigned bits = static_cast<unsigned>(8 * bytes);
  const std::string high = field.isSigned ? std::to_string((std::uint64_t{1} << (bits - 1)) - 1)
                           : bits == 64   ? std::string("18446744073709551615")
                                          : std::to_string((std::uint64_t{1} << bits) - 1);
  const std::string low = field.isSigned ? "-" + std::to_string(std::uint64_t{1} << (bits - 1)) : "0";
  return low + " to " + high + " of a " + std::to_string(bytes) + "-byte";
}

// The digits of a number text: ASCII digits, nothing else.
std::size_t digitCount(std::u16string_view value) {
  std::size_t digits = 0;
  for (const char16_t c : value) digits += c >= u'0' && c <= u'9' ? 1 : 0;
  return digits;
}

// "1 digit", "6 digits".
std::string digits(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " digit" : " digits");
}

}  // namespace

std::string describeChange(const ValueChange& change, std::u16string_view value, const LayoutField& field) {
  return base::guarded([&]() -> std::string {
    const std::string holds = std::to_string(field.length);
    switch (change.kind) {
      case Change::none:
        return {};
      case Change::doubleByteInSingleByteField:
        return "double-byte character " + named(change.character) + " in a single-byte field: the field is written as " +
               (field.kind == FieldKind::component ? "0x00 bytes" : "blanks");
      case Change::notANumber:
        // A component packed field fails; the others are written as zero.
        return field.kind == FieldKind::component && field.format == setPackNumeric ? "not a number"
                                                                                      : "not a number: written as zeros";
      case Change::longerThanField:
        if (field.justifiedRight)
          return std::to_string(value.size()) + " characters, the field holds " + holds +
                 ": the first characters are cut (JUSTIFIED RIGHT)";
        if (field.kind == FieldKind::editedText) {
          std::string problem;
          const auto picture = numeric::readEditedPicture(field.picture, problem);
          return std::to_string(value.size()) + " characters, picture " + field.picture + " holds " +
                 std::to_string(picture ? picture->characters : 0) + ": the rest is cut";
        }
        if (field.kind == FieldKind::text && value.size() <= static_cast<std::size_t>(field.length))
          return std::to_string(value.size()) + " characters do not fit the field's " + holds +
                 " bytes (a double-byte character takes two, and its run the shift codes around it): the rest is cut";
        if (!isNumeric(field))
          return std::to_string(value.size()) + " characters, the field holds " + holds + ": the rest is cut";
        if (field.kind == FieldKind::edited) {
          std::string problem;
          const auto picture = numeric::readEditedPicture(field.picture, problem);
          return "more than the " + digits(picture ? picture->integerDigits : 0) + " before the point of picture " +
                 field.picture + ": the leading digits are cut";
        }
        if (field.kind == FieldKind::binary && field.range == BinaryRange::full)
          return "beyond the range " + binaryRange(field) + " binary field: its low-order bytes are kept";
        if (field.kind != FieldKind::component && (field.scale < 0 || field.scale > field.length))
          return "beyond the largest value " + largestScaled(field) + " of the field (" + digits(static_cast<std::size_t>(field.length)) +
                 ", decimal scaling): the leading digits are cut";
        if (field.kind == FieldKind::component && field.format == setPackNumeric && field.length % 2 == 0)
          return digits(digitCount(value)) + ", the field holds " + std::to_string(field.length - 1) +
                 " (packed decimal of the even length " + holds +
                 " holds one digit less): the leading digits are cut";
        if (value.find_first_of(u"EeDd") != std::u16string_view::npos) {
          // Cut as a text before its exponent is applied, or after, with more digits than it shows.
          const std::u16string exact = number_text::exactNumberText(value);
          return "the exponent form of " + toUtf8(exact) + " (" + digits(digitCount(exact)) + "), in a field of " +
                 digits(static_cast<std::size_t>(field.length)) + ": digits are cut";
        }
        return digits(digitCount(value)) + ", the field holds " + holds + ": the leading digits are cut";
      case Change::noCodePage932Form:
        return "character " + named(change.character) + " has no code page 932 form: written as " +
               quoted(change.writtenAs);
      case Change::emptyText:
        return "empty, in a character field: written as 0x00 bytes, not blanks";
      case Change::notAJefCode:
        return "character " + named(change.character) + " has no JEF code: written as " + hexByte(change.bytes[0]) +
               " " + hexByte(change.bytes[1]) + " (a gaiji mapping line can give it one)";
      case Change::noGaijiMapping:
        return "user-defined character " + named(change.character) +
               " and no gaiji mapping given to look it up in";
      case Change::negativeInUnsignedField:
        return field.kind == FieldKind::component ? "a negative number, and numbers are written without sign"
                                                  : "a negative number in an unsigned field: written without its sign";
      case Change::moreDecimalsThanScale: {
        if (field.kind != FieldKind::edited && field.scale >= 0)
          return "more decimal places than the field's " + std::to_string(field.scale) + ": the rest are cut";
        std::size_t places = static_cast<std::size_t>(field.scale > 0 ? field.scale : 0);
        if (field.kind == FieldKind::edited) {
          std::string problem;
          const auto picture = numeric::readEditedPicture(field.picture, problem);
          places = picture ? picture->fractionDigits : 0;
          return "more decimal places than the " + std::to_string(places) + " of picture " + field.picture +
                 ": the rest are cut";
        }
        return "digits below the field's lowest place (it holds multiples of 1" +
               std::string(static_cast<std::size_t>(-field.scale), '0') + "): they are cut";
      }
      case Change::noHostCodePageForm:
        if (change.writtenAs == 0)
          return "character " + named(change.character) + " has a gaiji code that is no double-byte code: written as " +
                 hexByte(change.bytes[0]) + " " + hexByte(change.bytes[1]);
        return "character " + named(change.character) + " has no code of its own on the host code page: written as " +
               quoted(change.writtenAs);
      case Change::pastTableCount:
        return "a value in an element past its table's count: not written";
    }
    return {};
  });
}

std::string describeFailure(int number, std::u16string_view value, const LayoutField& field) {
  return base::guarded([&]() -> std::string {
    if (number == errors::kOverflow && (field.kind == FieldKind::float4 || field.kind == FieldKind::float8)) {
      // Beyond the range one way or the other: the text's first digit tells which.
      const std::string format = std::string(field.kind == FieldKind::float4 ? "4" : "8") + "-byte " +
                                 (field.floatFormat == FloatFormat::ieee ? "IEEE" : "hexadecimal") + " float";
      const auto read = number_text::readDecimalText(value);
      const bool large = read && static_cast<std::int64_t>(read->digits.size()) + read->exponent > 0;
      return large ? "beyond the largest value of a " + format
                   : "nearer to zero than the smallest value of a " + format + " (not zero)";
    }
    if (number == errors::kTypeMismatch && isNumeric(field) && value.find_first_of(u".eEdD") != value.npos)
      return "a number with a fraction, in a field of whole numbers";
    return Error::textOf(number);
  });
}

ValueChange valueChange(std::u16string_view value, const LayoutField& field, const RecordOptions& options,
                        const GaijiMapping& gaiji) {
  return base::guarded([&] {
    ValueChange change;
    std::u16string formatted;
    std::u16string exact;
    record::FieldStorage storage{formatted, exact};
    record::GaijiSupply supply(gaiji);
    ByteString scratch;
    try {
      record::appendLayoutField(field, value, options, supply, storage, scratch, &change);
    } catch (const Error& error) {
      // A field that fails still has the change the formatter found before its encoder failed.
      if (error.number() == errors::kOutOfMemory) throw;
    }
    return change;
  });
}

}  // namespace quor
