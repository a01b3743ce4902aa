#pragma once
// Edited pictures, as COBOL's MOVE to an edited item writes them and as a report reads them back: the
// one home of the editing rules.
// - Numeric-edited ("ZZZ,ZZ9.99-", "$$,$$9.99", "***9.99", "9(4)/99/99", "+9999", "9999CR"): a number's
//   digits in the digit positions, with fixed insertion (a sign "+" or "-" first or last, "CR" or "DB"
//   last, a currency sign "$" first), simple insertion ("B" a blank, "0", "/", ","), the decimal point
//   ".", zero suppression ("Z" with blanks, "*" with asterisks) and floating insertion ("$$$", "+++",
//   "---": the symbol stands just before the first digit shown).
// - Alphanumeric-edited ("XXBXX", "X(3)/X(2)", "AA0A"): a text's characters in the positions A, X and
//   9, with "B", "0" and "/" inserted.
// The edited text is ASCII, one character a byte of the field; the caller writes it as EBCDIC.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quor::numeric {

// The most digit positions a numeric-edited picture has, as the host compilers allow.
inline constexpr std::size_t kMaxEditedDigits = 31;

struct EditedPicture {
  // What each position of the field holds.
  enum class Position : std::uint8_t {
    digit,         // 9: a digit, always shown
    suppressed,    // Z or *: a digit, a leading zero shown as the fill
    floatingLead,  // the first symbol of a floating string: no digit, room for the symbol
    floating,      // a later symbol of a floating string: a digit, a leading zero a blank
    insertion,     // B (a blank), 0, / or ,: shown as itself, or as the fill before the first digit shown
    point,         // the decimal point "."
    fixedSign,     // "+" or "-" first or last
    credit,        // "CR" or "DB": two positions, the first of them
    creditSecond,  // their second
    currency,      // a fixed "$"
    character,     // alphanumeric-edited: A, X or 9, a character of the value
  };
  bool numeric = true;               // numeric-edited, or alphanumeric-edited
  std::string symbols;               // a symbol a position ("ZZZ,ZZ9.99-"), repeats written out, V dropped
  std::vector<Position> positions;   // a kind a position
  std::size_t integerDigits = 0;     // digit positions before the decimal point (or V)
  std::size_t fractionDigits = 0;    // after it: the field's scale
  std::size_t characters = 0;        // alphanumeric-edited: the character positions
  char fill = ' ';                   // zero suppression's fill: ' ' for Z and floating strings, '*' for *
  char floatingSymbol = 0;           // '$', '+' or '-' of a floating string; 0 without one
  bool isSigned = false;             // holds a "+", "-", "CR" or "DB": a negative value shows
  bool allSuppressed = false;        // every digit position is Z, * or floating: zero shows no digit

  [[nodiscard]] std::size_t digits() const noexcept { return integerDigits + fractionDigits; }
};

// Reads a picture with its repeats ("Z(3)9.99", in upper case), or gives the reason it is no edited
// picture these rules write in `problem`: "CR must come last". A picture without any editing symbol
// (all 9, X or A) is none.
std::optional<EditedPicture> readEditedPicture(std::string_view picture, std::string& problem);

// Writes the edited text of a number at `out` (picture.positions.size() characters): `digits` (ASCII,
// the value times 10^fractionDigits, at most picture.digits() of them, leading zeros allowed) and its
// sign, negative only when some digit is not 0 and the picture is signed. With `blankWhenZero` a zero
// is all blanks.
void editNumber(const EditedPicture& picture, std::string_view digits, bool negative, bool blankWhenZero,
                char* out) noexcept;

// Reads a numeric-edited text back: the digits of its digit positions (picture.digits() of them, ASCII,
// leading zeros kept) into `digits` and its sign. False when the text is not one editNumber writes for
// any value, so that what reads back, writes back to the same bytes.
bool uneditNumber(const EditedPicture& picture, std::u16string_view text, bool blankWhenZero, std::string& digits,
                  bool& negative);

// Writes an alphanumeric-edited text at `out` (picture.positions.size() units): the characters of `text`
// (at most picture.characters) in the character positions, blanks after them, the insertions between.
void editText(const EditedPicture& picture, std::u16string_view text, char16_t* out) noexcept;

// Reads an alphanumeric-edited text back: the characters of its character positions, into `text`.
// False when an insertion position does not hold its insertion.
bool uneditText(const EditedPicture& picture, std::u16string_view edited, std::u16string& text);

}  // namespace quor::numeric
