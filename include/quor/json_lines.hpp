#pragma once
// JSON Lines: one JSON object (RFC 8259, UTF-8) a record, a line each. The object nests the record's
// values as its copybook does: a group is an object, a table (OCCURS) an array of its elements, an
// elementary item a value: a number field's value (zoned, packed, binary, numeric-edited) a JSON
// number with its decimal places as the field has them (1234.50), a text field's a string. A value a
// JSON number would not hold exactly is a string: a float's shortest text ("0.1"), a number with its
// leading zeros kept ("00042"); the reader takes a float's value as a number or a string. A flat layout (a layout file, the lists) gives a flat
// object, keyed by the fields' names ("field 3" for a field without one). Fillers, constants and the
// items of a REDEFINES take no value and have no key. Where a file holds records of several layouts,
// each object names its layout first, under "record".
//
//   {"record":"DETAIL","ACCOUNT":"0012345","NAME":"ﾔﾏﾀﾞ
//   ﾀﾛｳ","AMOUNT":1234.50,"HISTORY":[{"DAY":1},{"DAY":2}]}
//
// A field past the end of a record shorter than its layout (a variable-length file's) is absent: null.
// A table of varying length (OCCURS DEPENDING ON) is an array of as many elements as its counter's
// value says (all of them when that is no count, as read leniently); the reader refuses an array of
// another length.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quor/layout.hpp"

namespace quor {

class JsonLinesWriter {
 public:
  // Objects for records of `layout`; `recordName` goes under "record" when `named`. Throws quor::Error
  // 5 when one object would have a name twice (two items of one group, "record" among the names of a
  // named object's items), 7 when memory runs out.
  explicit JsonLinesWriter(const Layout& layout, std::string recordName = {}, bool named = false);
  ~JsonLinesWriter();
  JsonLinesWriter(JsonLinesWriter&&) noexcept;
  JsonLinesWriter& operator=(JsonLinesWriter&&) noexcept;

  // Appends the object of a record's values, one a column as RecordDecoder gives them, and a line feed
  // to `out`; the columns from `present` on are absent (null). A number field's value that is no
  // decimal number (the raw digits of invalid data, read leniently) is written as a string. Throws
  // quor::Error 7 when memory runs out.
  void append(std::span<const std::u16string> values, std::size_t present, std::string& out) const;

  struct Shape;

 private:
  std::vector<Shape> shape_;  // the object's members
  std::string head_;          // "{" and the record's name
};

class JsonLinesReader {
 public:
  // Reads objects for records of `layouts`. With several, each object names its layout under "record";
  // with one, "record" may be left out, and where given names that layout. Throws quor::Error 5 as
  // JsonLinesWriter does for a layout, 7 when memory runs out.
  explicit JsonLinesReader(std::span<const NamedLayout> layouts);
  ~JsonLinesReader();
  JsonLinesReader(JsonLinesReader&&) noexcept;
  JsonLinesReader& operator=(JsonLinesReader&&) noexcept;

  struct Read {
    std::size_t layout = 0;   // the index of the record's layout
    std::size_t present = 0;  // the columns given: those after are null (absent)
  };

  // Reads one object, a line without its line end, into `values`: one text a column of its layout,
  // numbers as written, strings unescaped. Absent (null) values must be the last: a record's end is
  // absent, not its middle. Throws quor::Error 5 saying what is wrong: malformed JSON at a byte ("byte
  // 12: expected ':' after a name"), an unknown layout, a name that is no field's, a field missing, a
  // value of the wrong type or count, a null before a value; 7 when memory runs out.
  Read read(std::string_view line, std::vector<std::u16string>& values) const;

 private:
  std::vector<NamedLayout> layouts_;
  std::vector<std::vector<JsonLinesWriter::Shape>> shapes_;
};

}  // namespace quor
