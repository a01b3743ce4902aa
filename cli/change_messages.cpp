#include "change_messages.hpp"

#include <cstdio>

#include "quor/text.hpp"

namespace quor::cli {

namespace {

std::string codePoint(char16_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
  return text;
}

}  // namespace

std::string describeChange(const ValueChange& change, std::u16string_view value, const LayoutField& field) {
  const std::string holds = "the field holds " + std::to_string(field.length);
  switch (change.kind) {
    case Change::none:
      break;
    case Change::doubleByteInSingleByteField:
      return "double-byte character " + codePoint(value[change.position]) +
             " in a single-byte field (the field would be written as 0x00 bytes)";
    case Change::notANumber:
      return "value is not a number (it would be written as zeros)";
    case Change::longerThanField:
      return "value longer than its field (" + std::to_string(value.size()) + " characters, " + holds +
             "; it would be cut)";
    case Change::noCodePage932Form:
      return "character " + codePoint(value[change.position]) + " has no code page 932 form (it would be written as \"" +
             toUtf8(std::u16string_view(&change.writtenAs, 1)) + "\")";
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
