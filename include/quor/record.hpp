#pragma once
// Records of a layout of the component's four formats from one value a field. The bytes are those
// FujitsuHostQuor builds from the same values joined into its lists; the values are views and may hold
// commas. The builder also says, field by field, which values it writes other than they read (cut,
// zeroed, blanked), and a failing record names its field (quor::Error::field()).
//
//   quor::RecordBuilder builder(quor::parseLayoutFile(text, "orders.layout"), true, quor::GaijiMapping());
//   quor::ByteString out;
//   std::vector<quor::ValueChange> changes(2);
//   const std::u16string_view values[] = {u"ABC", u"123456"};
//   builder.append(values, out, changes);  // changes[1].kind == Change::longerThanField for a field of 5

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quor/byte_string.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/layout.hpp"

namespace quor {

// How the record builder writes a value other than it reads.
enum class Change : std::uint8_t {
  none,
  doubleByteInSingleByteField,  // a single-byte field holding a double-byte character: 0x00 bytes
  notANumber,                   // a numeric field whose value is no number: zeros
  longerThanField,              // cut to the field's length (numbers keep their rightmost digits)
  noCodePage932Form,            // a character code page 932 writes as "?" or a single-byte look-alike
  emptyText,                    // an empty character value: 0x00 bytes, not blanks
};
inline constexpr std::size_t kChangeKinds = 6;

// The change of one value: the first found, a double-byte character before a character without a form
// before a cut.
struct ValueChange {
  Change kind = Change::none;
  std::size_t position = 0;  // the character concerned (a UTF-16 index into the value), where one is
  char16_t writtenAs = 0;    // noCodePage932Form: the character written in its place ("?", "e", ...)
};

// How the record builder writes `value` in `field`, found by the same formatter that writes it.
ValueChange valueChange(std::u16string_view value, const LayoutField& field);

// Builds records of one layout. One builder is used by one thread at a time (it keeps working storage
// from record to record); separate builders share nothing but the gaiji reading, which is read-only.
class RecordBuilder {
 public:
  RecordBuilder(const Layout& layout, bool convertSign, GaijiMapping gaiji);

  // Appends the record of `values`, one a field of the layout, to `out`. When `changes` is not empty it
  // has one entry a field and receives each value's change. Throws quor::Error, leaving `out` as it
  // was: the error of the first failing field with its number in field(), 5 when the number of values
  // is not the layout's, 7 when memory runs out or the record would pass 64 MiB.
  void append(std::span<const std::u16string_view> values, ByteString& out, std::span<ValueChange> changes = {});

 private:
  struct Field {
    std::int32_t length;
    CFormatDirection format;
  };
  std::vector<Field> fields_;
  bool convertSign_;
  GaijiMapping gaiji_;
  std::u16string formatted_;  // working storage of the field formatter, kept from record to record
  std::u16string exact_;
};

}  // namespace quor
