#pragma once
// A record layout: the fields of every record, in order, each with a length and a format code. It
// comes from a layout file or from the two comma-separated lists the component itself takes; either
// way it is checked once, before any record is built.
//
// Layout file: one field a line, "name length format", separated by blanks or tabs. The format is 0..3
// or its name (setNumeric, setCharacter, setNCharacter, setPackNumeric). "#" starts a comment; blank
// lines are ignored; a UTF-8 byte-order mark at the start is skipped. Names are unique.
//
// A malformed layout throws quor::Error 5 whose message names the place and the mistake:
// "orders.layout:3: format 'setKanji' is not 0..3 or one of setNumeric, ...".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quor/format.hpp"

namespace quor {

// Field lengths a layout accepts: the component would turn 0 into 1 and fail or drop a field of a
// negative length, and no host record field is longer than this.
inline constexpr std::int32_t kMaxLayoutFieldLength = 32767;

struct LayoutField {
  std::string name;  // empty when the layout came from the lists
  std::int32_t length = 1;
  CFormatDirection format = setCharacter;
};

struct Layout {
  std::vector<LayoutField> fields;

  // The length and format lists as FujitsuHostQuor takes them: "8,20,10" and "1,1,2".
  [[nodiscard]] std::u16string lengthList() const;
  [[nodiscard]] std::u16string formatList() const;
  // "field 3 (amount)" or "field 3", counted from 1.
  [[nodiscard]] std::string describe(std::size_t index) const;
};

// Parses a layout file's text (UTF-8); `fileName` goes into the messages.
Layout parseLayoutFile(std::string_view text, const std::string& fileName);

// A layout from the --lengths and --formats lists ("8,20,10" and "1,1,2"); messages name the list and
// its item ("--lengths item 2: ...").
Layout layoutFromLists(std::string_view lengths, std::string_view formats);

// The format code of "0".."3" or a format name; false for anything else.
bool parseFormat(std::string_view text, CFormatDirection& format);

}  // namespace quor
