#include "layout/copybook_value.hpp"

#include <algorithm>
#include <cstdio>

#include "character/ebcdic_kana.hpp"
#include "character/jef.hpp"
#include "layout/copybook_source.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "quor/text.hpp"
#include "text/cp932.hpp"
#include "text/fullwidth.hpp"

namespace quor::layout {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kBlank = 0x40;
constexpr std::uint8_t kJefSpace = 0xA1;

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

// Single-byte text as the EBCDIC kana encoder writes it, or false naming the first character it would
// write as another.
bool ebcdicBytes(std::u16string_view text, Bytes& out, std::string& problem) {
  for (const char16_t c : text)
    if (text::cp932::byteLength(c) != 1 || text::cp932::lacksExactForm(c)) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
      problem = std::string("character ") + code + " has no single-byte form";
      return false;
    }
  if (text.empty()) return true;
  ByteString bytes;
  character::appendEbcdicKana(text::PaddedText(text), static_cast<std::int32_t>(text.size()), bytes);
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
}

// National text in full width as the JEF encoder writes it, or false naming the first character
// without a JEF code of its own.
bool jefBytes(std::u16string_view text, Bytes& out, std::string& problem) {
  const std::u16string wide = text::toFullWidth(text);
  if (wide.empty()) return true;
  if (std::any_of(wide.begin(), wide.end(), text::cp932::lacksExactForm)) {
    problem = "a character has no code page 932 form";
    return false;
  }
  ByteString bytes;
  character::JefStray stray;
  character::appendJef(text::PaddedText(wide), static_cast<std::int32_t>(wide.size()), GaijiMapping(), bytes, &stray);
  if (stray.found) {
    problem = "a character has no JEF code";
    return false;
  }
  out.insert(out.end(), bytes.begin(), bytes.end());
  return true;
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

// The bytes of a character item (text, or national when `national`) from the clause, before the field's
// padding: the literals joined, or nothing with `fill` set for a figurative constant that fills it.
bool characterBytes(bool national, const ValueClause& clause, Bytes& out, Figurative& fill, std::string& problem) {
  fill = Figurative::none;
  for (const std::string& part : clause.parts) {
    if (const Figurative figurative = figurativeOf(part); figurative != Figurative::none) {
      if (clause.parts.size() > 1) {
        problem = "a figurative constant cannot be joined with &";
        return false;
      }
      fill = figurative;
      return true;
    }
    std::string prefix;
    std::string inside;
    if (!splitLiteral(part, prefix, inside)) {
      problem = isNumericLiteral(part) ? "a numeric literal in an item of characters" : "'" + part + "' is no literal";
      return false;
    }
    bool ok = true;
    if (prefix == "X" && !national) {
      ok = hexBytes(inside, out);
      if (!ok) problem = "X'" + inside + "' is no hexadecimal literal";
    } else if (prefix == "NX" && national) {
      ok = hexBytes(inside, out) && out.size() % 2 == 0;
      if (!ok) problem = "NX'" + inside + "' is no hexadecimal literal of whole characters";
    } else if (prefix.empty() || prefix == "Z" || (national && (prefix == "N" || prefix == "G"))) {
      const std::u16string text = utf16(inside, ok);
      if (!ok) {
        problem = "a literal that is no UTF-8 text";
        return false;
      }
      ok = national ? jefBytes(text, out, problem) : ebcdicBytes(text, out, problem);
      if (ok && prefix == "Z") out.push_back(0x00);
    } else {
      problem = "a literal " + prefix + "'...' in an item of " + (national ? "national" : "single-byte") + " characters";
      ok = false;
    }
    if (!ok) return false;
  }
  return true;
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

Bytes filled(Figurative figurative, bool national, std::size_t size, std::string& problem) {
  switch (figurative) {
    case Figurative::space:
      return Bytes(size, national ? kJefSpace : kBlank);
    case Figurative::lowValue:
      return Bytes(size, 0x00);
    case Figurative::highValue:
      return Bytes(size, 0xFF);
    case Figurative::zero:
    case Figurative::quote: {
      Bytes unit;
      const std::u16string one(1, figurative == Figurative::zero ? u'0' : u'"');
      if (!(national ? jefBytes(one, unit, problem) : ebcdicBytes(one, unit, problem))) return {};
      Bytes out;
      for (std::size_t i = 0; i < size; ++i) out.push_back(unit[i % unit.size()]);
      return out;
    }
    case Figurative::none:
      break;
  }
  return {};
}

Bytes charactersValue(bool national, std::size_t size, const ValueClause& clause, std::string& problem) {
  Bytes bytes;
  Figurative fill = Figurative::none;
  if (!characterBytes(national, clause, bytes, fill, problem)) return {};
  if (fill != Figurative::none) return filled(fill, national, size, problem);
  if (bytes.empty() && !clause.all) {
    problem = "an empty literal";
    return {};
  }
  if (national) {
    // Padded with ideographic spaces, a pair a character.
    if (!fitted(bytes, size, clause.all, kJefSpace, problem)) return {};
    return bytes;
  }
  if (!fitted(bytes, size, clause.all, kBlank, problem)) return {};
  return bytes;
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

std::vector<std::uint8_t> valueBytes(const LayoutField& field, const ValueClause& clause, std::string& problem) {
  problem.clear();
  switch (field.kind) {
    case FieldKind::text:
      return charactersValue(false, field.size, clause, problem);
    case FieldKind::national:
      return charactersValue(true, field.size, clause, problem);
    case FieldKind::zoned:
    case FieldKind::packed:
    case FieldKind::binary:
      return numberValue(field, clause, problem);
    default:
      problem = "the item cannot take a VALUE";
      return {};
  }
}

std::vector<std::uint8_t> groupValueBytes(std::size_t size, const ValueClause& clause, std::string& problem) {
  problem.clear();
  if (clause.parts.size() == 1 && isNumericLiteral(clause.parts[0])) {
    problem = "a group takes an alphanumeric literal or a figurative constant, not a number";
    return {};
  }
  return charactersValue(false, size, clause, problem);
}

}  // namespace quor::layout
