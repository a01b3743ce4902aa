#pragma once
// Record assembly for the component's four formats: each field's value formatted, then encoded by the
// encoder its format code names, the fields' bytes joined in order. FujitsuHostQuor and RecordBuilder
// both build their records here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/limits.hpp"
#include "quor/byte_string.hpp"
#include "quor/error.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "text/padded_text.hpp"

namespace quor::record {

// The gaiji reading the JEF fields of a record use: a reading held by the caller, or the file at a
// path, read when a field first has a character to look up and then kept for the record.
class GaijiSupply {
 public:
  explicit GaijiSupply(const GaijiMapping& reading) noexcept : mapping_(&reading) {}
  explicit GaijiSupply(std::u16string_view path) noexcept : path_(path) {}

  const GaijiMapping& get() {
    if (mapping_ == nullptr) mapping_ = &read_.emplace(GaijiMapping::read(path_));
    return *mapping_;
  }

 private:
  const GaijiMapping* mapping_ = nullptr;
  std::u16string_view path_;
  std::optional<GaijiMapping> read_;
};

// Working storage of the field formatter, the caller's, so it is kept from field to field and record to
// record.
struct FieldStorage {
  std::u16string& formatted;
  std::u16string& exact;
};

// One field of a record: its value as listed, its length and its format code as integers.
struct FieldInput {
  std::u16string_view value;
  std::int32_t length;
  std::int32_t format;
};

// Appends a JEF field's bytes. A character whose bytes are no JEF code is a change, unless the value
// already has one that is not a cut: a user-defined character when no mapping file was read, otherwise a
// character without a JEF code.
void appendJefField(const text::PaddedText& formatted, std::int32_t length, const GaijiMapping& mapping,
                    ByteString& out, ValueChange* change);

// Appends one field's bytes to `out`. A format code outside 0..3 fails with error 5; the encoders'
// errors pass as they are; `out` is then as it was. `change` (when not null) receives how the value is
// written other than it reads.
void appendField(const FieldInput& field, bool sign, GaijiSupply& gaiji, FieldStorage& storage, ByteString& out,
                 ValueChange* change);

// Appends the fields of a record, one call of `appendOne(i, out)` each for i from 0 to count - 1. A
// failing field throws its error with `numberOf(i)`, its number in the record's messages (counted from
// 1); a record beyond 64 MiB fails with error 7. `out` is then as it was.
template <class AppendOne, class NumberOf>
void appendFields(std::size_t count, AppendOne&& appendOne, NumberOf&& numberOf, ByteString& out) {
  const std::size_t start = out.size();
  for (std::size_t i = 0; i < count; ++i) {
    try {
      appendOne(i, out);
    } catch (const Error& error) {
      out.resize(start);
      throw Error(error.number(), numberOf(i));
    } catch (...) {
      out.resize(start);
      throw;
    }
    if (out.size() - start > base::kMaxResultBytes) {
      out.resize(start);
      throw Error(errors::kOutOfMemory);
    }
  }
}

// Appends a record of `count` component fields; `fieldAt(i)` gives field i as a FieldInput when its
// turn comes, so an error in reading a later field's length never hides an earlier field's error.
template <class FieldAt>
void appendRecord(std::size_t count, FieldAt&& fieldAt, bool sign, GaijiSupply& gaiji, FieldStorage& storage,
                  ByteString& out) {
  appendFields(
      count, [&](std::size_t i, ByteString& bytes) { appendField(fieldAt(i), sign, gaiji, storage, bytes, nullptr); },
      [](std::size_t i) { return i + 1; }, out);
}

// Appends one field of a typed layout: `value` for a column, nothing for a constant (written as blanks,
// zeros or its fill bytes); text and national fields in the host code page of `options`. `change` (when
// not null) receives how the value is written other than it reads.
void appendTypedField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                      GaijiSupply& gaiji, FieldStorage& storage, ByteString& out, ValueChange* change);

// A typed text field in the host code page of `options`: mixed text on a page with double-byte
// characters (unless options.shiftCodes is off), single-byte text otherwise; `value` empty for blanks.
void appendHostTextField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                         const GaijiMapping& gaiji, ByteString& out, ValueChange* change);
// A typed national field on an IBM page: `value` made full width, cut or padded with ideographic
// spaces to the field, each character's double-byte code.
void appendHostNationalField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                             const GaijiMapping& gaiji, std::u16string& storage, ByteString& out, ValueChange* change);

// Appends one field of any layout: a component field by its format code (numbers with a sign when
// `options` say so), a typed field by its kind. `change` as above.
inline void appendLayoutField(const LayoutField& field, std::u16string_view value, const RecordOptions& options,
                              GaijiSupply& gaiji, FieldStorage& storage, ByteString& out, ValueChange* change) {
  if (field.kind == FieldKind::component)
    appendField({value, field.length, field.format}, options.convertSign, gaiji, storage, out, change);
  else
    appendTypedField(field, value, options, gaiji, storage, out, change);
}

}  // namespace quor::record
