#include "numeric/edited.hpp"

#include <algorithm>

namespace quor::numeric {

namespace {

using Position = EditedPicture::Position;

// The longest picture read: a field is at most this many bytes.
constexpr std::size_t kMostPositions = 32767;

bool isInsertion(char c) {
  return c == 'B' || c == '0' || c == '/' || c == ',';
}

bool isDigitPosition(Position p) {
  return p == Position::digit || p == Position::suppressed || p == Position::floating;
}

// The picture's symbols with their repeats written out ("Z(3)9" gives "ZZZ9"); V kept.
bool expand(std::string_view picture, std::string& out, std::string& problem) {
  for (std::size_t at = 0; at < picture.size();) {
    const char symbol = picture[at++];
    std::size_t count = 1;
    if (at < picture.size() && picture[at] == '(') {
      const std::size_t close = picture.find(')', at);
      const std::string_view inside =
          close == std::string_view::npos ? std::string_view() : picture.substr(at + 1, close - at - 1);
      count = 0;
      for (const char c : inside) {
        if (c < '0' || c > '9' || count > kMostPositions) {
          count = 0;
          break;
        }
        count = count * 10 + static_cast<std::size_t>(c - '0');
      }
      if (count == 0 || inside.empty()) {
        problem = "a repeat count is not a whole number from 1";
        return false;
      }
      at = close + 1;
    }
    if (out.size() + count > kMostPositions) {
      problem = "it is longer than " + std::to_string(kMostPositions) + " characters";
      return false;
    }
    out.append(count, symbol);
  }
  return true;
}

std::optional<EditedPicture> readText(const std::string& symbols, std::string& problem) {
  EditedPicture picture;
  picture.numeric = false;
  bool inserted = false;
  for (const char c : symbols) {
    if (c == 'A' || c == 'X' || c == '9') {
      picture.positions.push_back(Position::character);
      ++picture.characters;
    } else if (c == 'B' || c == '0' || c == '/') {
      picture.positions.push_back(Position::insertion);
      inserted = true;
    } else {
      problem = std::string("'") + c + "' has no place in an alphanumeric-edited picture (A, X, 9, B, 0, /)";
      return std::nullopt;
    }
  }
  if (!inserted) return std::nullopt;
  picture.symbols = symbols;
  return picture;
}

std::optional<EditedPicture> readNumber(const std::string& raw, std::string& problem) {
  const auto refuse = [&](std::string why) -> std::optional<EditedPicture> {
    problem = std::move(why);
    return std::nullopt;
  };
  const std::size_t stranger = raw.find_first_not_of("9VZ*+-CRDB0/.,$");
  if (stranger != std::string::npos) {
    if (raw[stranger] == 'P') return refuse("P (decimal scaling) does not go with editing symbols");
    return refuse(std::string("'") + raw[stranger] + "' is no symbol of a numeric-edited picture");
  }
  const auto count = [&](char c) { return static_cast<std::size_t>(std::count(raw.begin(), raw.end(), c)); };
  if (count('V') + count('.') > 1) return refuse("it has more than one decimal point (V or .)");
  std::size_t end = raw.size();  // the positions before CR or DB
  const bool credit = end >= 2 && (raw.compare(end - 2, 2, "CR") == 0 || raw.compare(end - 2, 2, "DB") == 0);
  if (credit) end -= 2;
  if (raw.find_first_of("CR") < end || (raw.find('D') != std::string::npos && raw.find('D') < end))
    return refuse("CR and DB stand only at the end");

  // The floating symbol: one of $, + and - written two or more times.
  char floating = 0;
  for (const char c : {'$', '+', '-'}) {
    if (count(c) < 2) continue;
    if (floating != 0) return refuse("it has two floating strings");
    floating = c;
  }
  const std::size_t signs = count('+') + count('-');
  if ((count('+') > 0 && count('-') > 0) || (credit && signs > 0))
    return refuse("it has more than one sign (+, -, CR, DB)");
  if (floating != 0 && (count('Z') > 0 || count('*') > 0))
    return refuse("a floating string and zero suppression (Z, *) do not go together");
  if (count('Z') > 0 && count('*') > 0) return refuse("Z and * do not go together");

  EditedPicture picture;
  picture.floatingSymbol = floating;
  picture.fill = count('*') > 0 ? '*' : ' ';
  picture.isSigned = credit || signs > 0;
  bool afterPoint = false;
  bool digitSeen = false;      // a digit position so far
  bool nineSeen = false;       // a 9 so far
  bool floatingSeen = false;   // the floating string has begun
  bool floatingOver = false;   // and ended
  bool suppressSeen = false;
  bool suppressOver = false;
  if (end == 0) return refuse("it has no digit position");
  const std::size_t lastFloating = floating == 0 ? std::string::npos : raw.find_last_of(floating, end - 1);
  for (std::size_t i = 0; i < end; ++i) {
    const char c = raw[i];
    Position kind;
    if (c == 'V' || c == '.') {
      afterPoint = true;
      if (c == 'V') continue;
      kind = Position::point;
    } else if (c == floating) {
      if (!floatingSeen && digitSeen) return refuse("a floating string comes before the digits");
      kind = floatingSeen ? Position::floating : Position::floatingLead;
      floatingSeen = true;
      if (i == lastFloating) floatingOver = true;
    } else if (c == '+' || c == '-') {
      if (i != 0 && i != end - 1) return refuse(std::string("a fixed '") + c + "' stands first or last");
      if (i == end - 1 && credit) return refuse("it has more than one sign (+, -, CR, DB)");
      kind = Position::fixedSign;
    } else if (c == '$') {
      if (digitSeen || floatingSeen) return refuse("a fixed '$' comes before the digits");
      kind = Position::currency;
    } else if (c == 'Z' || c == '*') {
      if (suppressOver || nineSeen) return refuse(std::string("'") + c + "' comes before every 9");
      suppressSeen = true;
      kind = Position::suppressed;
    } else if (c == '9') {
      if (floatingSeen && !floatingOver) return refuse("a 9 inside a floating string");
      if (suppressSeen) suppressOver = true;
      nineSeen = true;
      kind = Position::digit;
    } else if (isInsertion(c)) {
      kind = Position::insertion;
    } else {
      return refuse(std::string("'") + c + "' is no symbol of a numeric-edited picture");
    }
    if (isDigitPosition(kind)) {
      digitSeen = true;
      ++(afterPoint ? picture.fractionDigits : picture.integerDigits);
    }
    picture.positions.push_back(kind);
    picture.symbols += c;
  }
  if (credit) {
    picture.positions.push_back(Position::credit);
    picture.positions.push_back(Position::creditSecond);
    picture.symbols += raw.substr(end);
  }
  if (floating != 0 && count(floating) < 2) return refuse("a floating string needs two symbols");
  if (picture.digits() == 0) return refuse("it has no digit position");
  if (picture.digits() > kMaxEditedDigits)
    return refuse("it has " + std::to_string(picture.digits()) + " digit positions; at most " +
                  std::to_string(kMaxEditedDigits));
  picture.allSuppressed = !nineSeen;
  return picture;
}

}  // namespace

std::optional<EditedPicture> readEditedPicture(std::string_view written, std::string& problem) {
  problem.clear();
  std::string symbols;
  if (!expand(written, symbols, problem)) return std::nullopt;
  if (symbols.find_first_of("BZ*+-CRD0/.,$") == std::string::npos) return std::nullopt;
  if (symbols.find_first_of("AX") != std::string::npos) return readText(symbols, problem);
  if (symbols.find('S') != std::string::npos) {
    problem = "S has no place in an edited picture (its sign is shown by +, -, CR or DB)";
    return std::nullopt;
  }
  return readNumber(symbols, problem);
}

void editNumber(const EditedPicture& picture, std::string_view digits, bool negative, bool blankWhenZero,
                char* out) noexcept {
  const std::size_t n = picture.positions.size();
  const std::size_t pad = picture.digits() - std::min(digits.size(), picture.digits());
  const bool zero = digits.find_first_not_of('0') == std::string_view::npos;
  negative = negative && !zero && picture.isSigned;
  if (zero && (blankWhenZero || (picture.allSuppressed && picture.fill == ' '))) {
    std::fill(out, out + n, ' ');
    return;
  }
  if (zero && picture.allSuppressed) {
    // Check protection: asterisks all through, but for the point.
    for (std::size_t i = 0; i < n; ++i) out[i] = picture.positions[i] == Position::point ? '.' : '*';
    return;
  }
  // Each position as written, digits in place.
  std::size_t digit = 0;  // the next digit position, counted from the left
  std::size_t stop = n;   // the first position after the leading zeros: a digit shown, a 9, or the point
  std::size_t start = n;  // the first position of zero suppression or of the floating string
  for (std::size_t i = 0; i < n; ++i) {
    const Position kind = picture.positions[i];
    const char symbol = picture.symbols[i];
    switch (kind) {
      case Position::digit:
      case Position::suppressed:
      case Position::floating: {
        const char d = digit < pad ? '0' : digits[digit - pad];
        ++digit;
        out[i] = d;
        if (stop == n && (d != '0' || kind == Position::digit)) stop = i;
        break;
      }
      case Position::floatingLead:
        out[i] = ' ';
        break;
      case Position::insertion:
        out[i] = symbol == 'B' ? ' ' : symbol;
        break;
      case Position::point:
        out[i] = '.';
        if (stop == n) stop = i;
        break;
      case Position::fixedSign:
        out[i] = negative ? '-' : symbol == '+' ? '+' : ' ';
        break;
      case Position::credit:
        out[i] = negative ? symbol : ' ';
        break;
      case Position::creditSecond:
        out[i] = negative ? symbol : ' ';
        break;
      case Position::currency:
      case Position::character:
        out[i] = symbol;
        break;
    }
    if (start == n && (kind == Position::suppressed || kind == Position::floatingLead)) start = i;
  }
  if (start >= stop) return;
  // The leading zeros and the insertions among them: the fill; a floating symbol just before the first
  // position shown.
  for (std::size_t i = start; i < stop; ++i) {
    const Position kind = picture.positions[i];
    if (kind == Position::fixedSign || kind == Position::currency) continue;
    out[i] = picture.fill;
  }
  if (picture.floatingSymbol != 0)
    out[stop - 1] = picture.floatingSymbol == '$' ? '$' : negative ? '-' : picture.floatingSymbol == '+' ? '+' : ' ';
}

bool uneditNumber(const EditedPicture& picture, std::u16string_view text, bool blankWhenZero, std::string& digits,
                  bool& negative) {
  const std::size_t n = picture.positions.size();
  if (text.size() != n) return false;
  digits.assign(picture.digits(), '0');
  negative = false;
  std::size_t digit = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    switch (picture.positions[i]) {
      case Position::digit:
      case Position::suppressed:
      case Position::floating:
        if (c >= u'0' && c <= u'9') digits[digit] = static_cast<char>(c);
        ++digit;
        negative = negative || (c == u'-' && picture.floatingSymbol != 0);
        break;
      case Position::floatingLead:
      case Position::fixedSign:
        negative = negative || c == u'-';
        break;
      case Position::credit:
        negative = c != u' ';
        break;
      default:
        break;
    }
  }
  // What reads back must write back: the text of these digits, compared whole.
  std::string again(n, ' ');
  editNumber(picture, digits, negative, blankWhenZero, again.data());
  return std::equal(again.begin(), again.end(), text.begin(),
                    [](char a, char16_t b) { return static_cast<char16_t>(static_cast<unsigned char>(a)) == b; });
}

void editText(const EditedPicture& picture, std::u16string_view text, char16_t* out) noexcept {
  std::size_t next = 0;
  for (std::size_t i = 0; i < picture.positions.size(); ++i) {
    if (picture.positions[i] == Position::character) {
      out[i] = next < text.size() ? text[next] : u' ';
      ++next;
    } else {
      const char symbol = picture.symbols[i];
      out[i] = symbol == 'B' ? u' ' : static_cast<char16_t>(symbol);
    }
  }
}

bool uneditText(const EditedPicture& picture, std::u16string_view edited, std::u16string& text) {
  if (edited.size() != picture.positions.size()) return false;
  for (std::size_t i = 0; i < edited.size(); ++i) {
    if (picture.positions[i] == Position::character) {
      text += edited[i];
      continue;
    }
    const char symbol = picture.symbols[i];
    if (edited[i] != (symbol == 'B' ? u' ' : static_cast<char16_t>(symbol))) return false;
  }
  return true;
}

}  // namespace quor::numeric
