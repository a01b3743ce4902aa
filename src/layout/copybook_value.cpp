#include "layout/copybook_value.hpp"

#include <algorithm>

#include "layout/copybook_source.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "quor/text.hpp"

namespace quor::layout {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kBlank = 0x40;

enum class Figurative : std::uint8_t { none, space, zero, quote, lowValue, highValue };

Figurative figurativeOf(std::string_view word) {
  const std::string key = upperWord(word);
  for (const auto& [name, figurative] : {std::pair<std::string_view, Figurative>{"SPACE", Figurative::space},
                                         {"SPACES", Figurative::space},
                                         {"ZERO", Figurative::zero},
                                         {"ZEROS", Figurative::zero},
                                         {"ZEROES", Figurative::zero},
                                         {"QUOTE", Figurative::quote},
                                         {"QUOTES", Figurative::quote},
                                         {"LOW-VALUE", Figurative::lowValue},
                                         {"LOW-VALUES", Figurative::lowValue},
                                         {"HIGH-VALUE", Figurative::highValue},
                                         {"HIGH-VALUES", Figurative::highValue}})
    if (key == name) return figurative;
  return Figurative::none;
}

// A literal's parts: its prefix (X, N, NX, G, Z or none) and the text between its quotes, doubled
// quotes made one. False for a word that is no quoted literal.
bool splitLiteral(std::string_view written, std::string& prefix, std::string& inside) {
  const std::size_t quote = written.find_first_of("'\"");
  if (quote == std::string_view::npos || written.size() < quote + 2 || written.back() != written[quote]) return false;
  prefix = upperWord(written.substr(0, quote));
  inside.clear();
  const std::string_view body = written.substr(quote + 1, written.size() - quote - 2);
  for (std::size_t i = 0; i < body.size(); ++i) {
    inside += body[i];
    if (body[i] == written[quote] && i + 1 < body.size() && body[i + 1] == written[quote]) ++i;
  }
  return true;
}

bool hexBytes(std::string_view hex, Bytes& out) {
  if (hex.size() % 2 != 0) return false;
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = nibble(hex[i]);
    const int low = nibble(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return true;
}

std::u16string utf16(std::string_view text, bool& ok) {
  std::u16string units(text.size(), u'\0');
  const TextDecodeResult read = decodeUtf8(text, units.data());
  ok = read.ok;
  units.resize(read.ok ? read.length : 0);
  return units;
}

// A numeric literal: a sign, digits and at most one decimal point, with a digit somewhere.
bool isNumericLiteral(std::string_view word) {
  std::size_t at = word.starts_with('+') || word.starts_with('-') ? 1 : 0;
  bool digit = false;
  bool point = false;
  for (; at < word.size(); ++at) {
    if (word[at] >= '0' && word[at] <= '9') {
      digit = true;
    } else if (word[at] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

// `bytes` filled to `size`: repeated (ALL), or padded with `pad`; false when longer than `size`.
bool fitted(Bytes& bytes, std::size_t size, bool all, std::uint8_t pad, std::string& problem) {
  if (all && !bytes.empty()) {
    const std::size_t unit = bytes.size();
    for (std::size_t i = unit; i < size; ++i) bytes.push_back(bytes[i % unit]);
    bytes.resize(size);
    return true;
  }
  if (bytes.size() > size) {
    problem = "the literal takes " + std::to_string(bytes.size()) + " bytes, the item " + std::to_string(size);
    return false;
  }
  bytes.resize(size, pad);
  return true;
}

// A character item's value (text, or national when `national`, of `characters` characters and `size`
// bytes) from the clause: its text, or its bytes for hexadecimal literals, LOW-VALUE and HIGH-VALUE.
ConstantValue charactersValue(bool national, std::size_t characters, std::size_t size, const ValueClause& clause,
                              std::string& problem) {
  ConstantValue value;
  bool hex = false;
  for (const std::string& part : clause.parts) {
    if (const Figurative figurative = figurativeOf(part); figurative != Figurative::none) {
      if (clause.parts.size() > 1) {
        problem = "a figurative constant cannot be joined with &";
        return {};
      }
      if (figurative == Figurative::lowValue || figurative == Figurative::highValue)
        return {Bytes(size, figurative == Figurative::lowValue ? 0x00 : 0xFF), {}};
      const char16_t c = figurative == Figurative::space ? u' ' : figurative == Figurative::zero ? u'0' : u'"';
      return {{}, std::u16string(characters, c)};
    }
    std::string prefix;
    std::string inside;
    if (!splitLiteral(part, prefix, inside)) {
      problem = isNumericLiteral(part) ? "a numeric literal in an item of characters" : "'" + part + "' is no literal";
      return {};
    }
    if ((prefix == "X" && !national) || (prefix == "NX" && national)) {
      if (!hexBytes(inside, value.bytes) || value.bytes.size() % (national ? 2 : 1) != 0) {
        problem = prefix + "'" + inside + "' is no hexadecimal literal" + (national ? " of whole characters" : "");
        return {};
      }
      hex = true;
    } else if (prefix.empty() || (national && (prefix == "N" || prefix == "G"))) {
      bool ok = true;
      value.text += utf16(inside, ok);
      if (!ok) {
        problem = "a literal that is no UTF-8 text";
        return {};
      }
    } else {
      problem = "a literal " + prefix + "'...' in an item of " + (national ? "national" : "single-byte") + " characters";
      return {};
    }
  }
  if (hex && !value.text.empty()) {
    problem = "characters joined with a hexadecimal literal: write the whole value in hexadecimal";
    return {};
  }
  if (hex) {
    // National padding differs from page to page: a national hexadecimal literal fills its item.
    if (national && !clause.all && value.bytes.size() != size) {
      problem = "a national hexadecimal literal of " + std::to_string(value.bytes.size()) + " bytes, the item " +
                std::to_string(size) + ": it must fill the item";
      return {};
    }
    if (!fitted(value.bytes, size, clause.all, kBlank, problem)) return {};
    return value;
  }
  if (value.text.empty()) {
    problem = "an empty literal";
    return {};
  }
  if (clause.all) {
    const std::u16string unit = value.text;
    while (value.text.size() < characters) value.text += unit;
    value.text.resize(characters);
  }
  if (value.text.size() > characters) {
    problem = "the literal has " + std::to_string(value.text.size()) + " characters, the item " +
              std::to_string(characters);
    return {};
  }
  return value;
}

Bytes numberValue(const LayoutField& field, const ValueClause& clause, std::string& problem) {
  if (clause.parts.size() != 1 || (clause.all && figurativeOf(clause.parts[0]) != Figurative::zero)) {
    problem = "a number item takes one numeric literal or ZERO";
    return {};
  }
  const std::string& part = clause.parts[0];
  std::string text = part;
  if (figurativeOf(part) == Figurative::zero) {
    text = "0";
  } else if (!isNumericLiteral(part)) {
    problem = "a number item takes a numeric literal or ZERO, not " + part;
    return {};
  }
  bool ok = true;
  const std::u16string units = utf16(text, ok);
  const std::optional<number_text::ScaledDecimal> number =
      number_text::readScaledDecimal(units, field.scale, number_text::NumberSeparators{u'.', u','});
  if (!number) {
    problem = part + " is no number";
    return {};
  }
  if (number->fractionCut) {
    problem = part + " has more decimal places than the item's " + std::to_string(field.scale);
    return {};
  }
  if (number->digits.size() > static_cast<std::size_t>(field.length)) {
    problem = part + " has more digits than the item's " + std::to_string(field.length);
    return {};
  }
  if (number->negative && !field.isSigned) {
    problem = part + " is negative and the item has no sign";
    return {};
  }
  ByteString bytes;
  const auto digits = static_cast<std::size_t>(field.length);
  switch (field.kind) {
    case FieldKind::zoned:
      numeric::appendZonedDigits(number->digits, number->negative, digits, bytes);
      break;
    case FieldKind::packed:
      numeric::appendPackedDigits(number->digits, number->negative, digits,
                                  field.isSigned ? numeric::PackedSign::signedCD : numeric::PackedSign::unsignedF, bytes);
      break;
    default:
      numeric::appendBinaryDigits(number->digits, number->negative, digits, bytes);
      break;
  }
  return Bytes(bytes.begin(), bytes.end());
}

}  // namespace

ConstantValue valueOf(const LayoutField& field, const ValueClause& clause, std::string& problem) {
  problem.clear();
  const auto characters = static_cast<std::size_t>(field.length);
  switch (field.kind) {
    case FieldKind::text:
      return charactersValue(false, characters, field.size, clause, problem);
    case FieldKind::national:
      return charactersValue(true, characters, field.size, clause, problem);
    case FieldKind::zoned:
    case FieldKind::packed:
    case FieldKind::binary:
      return {numberValue(field, clause, problem), {}};
    default:
      problem = "the item cannot take a VALUE";
      return {};
  }
}

ConstantValue groupValueOf(std::size_t size, const ValueClause& clause, std::string& problem) {
  problem.clear();
  if (clause.parts.size() == 1 && isNumericLiteral(clause.parts[0])) {
    problem = "a group takes an alphanumeric literal or a figurative constant, not a number";
    return {};
  }
  ConstantValue value = charactersValue(false, size, size, clause, problem);
  // A group is alphanumeric: a literal shorter than it is padded with blanks, a character a byte.
  if (problem.empty() && !value.text.empty()) value.text.resize(size, u' ');
  return value;
}

}  // namespace quor::layout
