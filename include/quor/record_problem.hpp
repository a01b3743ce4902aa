#pragma once
// A bad record in words: what a message about a value the builder refuses, a field that fails, or
// invalid bytes a decoder finds says, in parts (the field, the value as shown, what is wrong, the error
// number) and as one text. The quor tool's messages and the Python package's errors are made from
// these parts, so both say the same thing the same way. The caller puts the place in front: the file
// and line, or the record and its byte offset.
//
//   field 5 (amount): "12.50": a number with a fraction, in a field of whole numbers (error 13)
//   field 3 (kanji_name): "山": character U+5C71 山 has no JEF code: written as ...
//   field 4 (quantity): bytes F1 FA: digit nibble above 9

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "quor/error.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor {

struct RecordProblem {
  // The column concerned, counted from 0, and the words that name it ("field 5 (amount)"); an empty
  // `field` when the problem is the record's as a whole (column is then 0).
  std::size_t column = 0;
  std::string field;
  // The value as a message shows it: quoted and escaped (shownValue), or "bytes F1 FA" for bytes read.
  std::string shown;
  std::string reason;  // what is wrong, in words
  // The runtime error number of a field that failed, when the message shows it; 0 for a value refused
  // because it would be written other than it reads, and for invalid bytes.
  int number = 0;

  // The parts as one message: "field: shown: reason (error N)", or "error N: reason" for the record as
  // a whole.
  [[nodiscard]] std::string text() const;
};

// The value as a message shows it: in double quotes, a quote, backslash or control character escaped
// (\", \\, \t, \n, \r, \xNN), and shortened to its first `most` characters and "…" when longer.
std::string shownValue(std::u16string_view value, std::size_t most = 40);

// Bytes as upper-case hexadecimal pairs separated by blanks: "F0 F1 D3".
std::string hexPairs(std::span<const std::uint8_t> bytes);

// A value the builder writes other than it reads (`change`, as RecordBuilder::append gives it) in
// column `column` of `layout`.
RecordProblem changeProblem(const Layout& layout, std::size_t column, std::u16string_view value,
                            const ValueChange& change);

// A record RecordBuilder::append refused with `error`, built from `values` (one a column) with the
// `changes` the call gave (one a column, or empty): the field's change where one was found before its
// encoder failed, which says best what is wrong, else the failure in words with its error number.
RecordProblem failureProblem(const Layout& layout, const Error& error, std::span<const std::u16string_view> values,
                             std::span<const ValueChange> changes);

// Invalid bytes RecordDecoder::decode found in `record`: the fault's field, its bytes and its reason.
RecordProblem faultProblem(const Layout& layout, std::span<const std::uint8_t> record, const FieldFault& fault);

// Why a record of `size` bytes, as a V or VB file frames it, is no record of `layout` (named `name`,
// "" for the one layout of a file): longer than the layout, empty, or ending inside a field that is
// not a column (a constant or filler); empty when it is one. A record that ends inside a column is
// one: the decoder finds that column's bytes invalid.
std::string recordLengthProblem(const Layout& layout, std::string_view name, std::size_t size);

// The same for `record` as `decoder` reads it: a record of a layout with varying tables is as long as
// its counters make it (its slot's length with padVarying), and one longer than that names its
// leftover bytes; one shorter ends early, as any record of a V file may.
std::string recordLengthProblem(const RecordDecoder& decoder, std::string_view name,
                                std::span<const std::uint8_t> record);

}  // namespace quor
