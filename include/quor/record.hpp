#pragma once
// Records of a layout of the component's four formats from one value a field. The bytes are those
// FujitsuHostQuor builds from the same values joined into its lists; the values are views and may hold
// commas. The builder also says, field by field, which values it writes other than they read (cut,
// zeroed, blanked), and a failing record names its field (quor::Error::field()).
//
//   quor::RecordBuilder builder(quor::parseLayoutFile(text, "orders.layout"), quor::RecordOptions{});
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
#include "quor/host_code_page.hpp"
#include "quor/layout.hpp"

namespace quor {

// How the values of a record are converted, the same for every record of a layout: the one set of
// options the builder, the decoder, the plans and valueChange take.
struct RecordOptions {
  // Component numbers carry a sign, as the component's ConvertSign: a zoned field's last zone D for a
  // negative value, a packed field's sign nibble C or D. Without it they are written without sign (a
  // negative value is a change) and a component packed field has no sign nibble. Typed numbers have
  // their own sign (LayoutField::isSigned).
  bool convertSign = true;
  // Reading back: text and national values keep their trailing padding (blanks, ideographic spaces,
  // 0x00) instead of dropping it (their leading blanks, when JUSTIFIED RIGHT).
  bool keepPadding = false;
  // The host code page of typed text and national fields (component fields always write the Fujitsu
  // encodings, and checkLayoutForHost refuses their text and national fields on another page).
  HostCodePage host = HostCodePage::fujitsu;
  // On a page with double-byte characters, typed text fields hold mixed text: a double-byte run between
  // the page's shift codes. False: they hold single-byte text only, a double-byte character is a change
  // (the field written as blanks) and shift codes read as whatever the single-byte page makes of them.
  bool shiftCodes = true;
  // Reading back: unsigned whole-number zoned, packed and binary fields keep their leading zeros, the
  // value written with as many digits as the picture has ("00042" for PIC 9(5); PIC 9(3)PPP: 6), so
  // identifiers, postal codes and dates kept in numbers read as they were.
  bool keepZeros = false;
};

// How the record builder writes a value other than it reads.
enum class Change : std::uint8_t {
  none,
  doubleByteInSingleByteField,  // a single-byte field holding a double-byte character: 0x00 bytes
  notANumber,                   // a numeric field whose value is no number: zeros (zoned)
  longerThanField,              // cut: text, or digits (an even-length packed field holds one digit less)
  noCodePage932Form,            // a character code page 932 writes as "?" or as a look-alike
  emptyText,                    // an empty character value: 0x00 bytes, not blanks
  notAJefCode,                  // a character whose JEF bytes are no JEF code and no gaiji line maps
  noGaijiMapping,               // a user-defined character (U+E000..U+F8FF) and no gaiji mapping given
  negativeInUnsignedField,      // a negative number where numbers are written without sign
  moreDecimalsThanScale,        // typed numbers: more decimal places than the field's scale, the rest cut
  noHostCodePageForm,           // an IBM host page has no code of its own for the character: written as another
};
inline constexpr std::size_t kChangeKinds = 11;

// The change of one value. Where a value has several, the one that decides what is written first: a
// double-byte character before a character without a form before a cut.
//
// In a typed layout (new-style layout lines, copybooks) an empty text or national value is written as
// blanks, as a host program's MOVE SPACES would, and is no change.
struct ValueChange {
  Change kind = Change::none;
  char32_t character = 0;    // the character concerned, where there is one
  char16_t writtenAs = 0;    // noCodePage932Form, noHostCodePageForm: the character written in its place
                             // ("?", "e", ...); noHostCodePageForm: 0 for a gaiji code that is none
  std::uint8_t bytes[2]{};   // notAJefCode, noHostCodePageForm without writtenAs: the two bytes written
};

// The words for a change, to follow the value in a message: "12 characters, the field holds 10".
std::string describeChange(const ValueChange& change, std::u16string_view value, const LayoutField& field);

// The words for a field that fails with error `number`: "a number with a fraction, in a field of whole
// numbers", or the error's standard text.
std::string describeFailure(int number, std::u16string_view value, const LayoutField& field);

// How the record builder writes `value` in `field` (with `options`, user-defined characters from
// `gaiji`), found by the same code that writes it; also for a value whose field fails.
ValueChange valueChange(std::u16string_view value, const LayoutField& field, const RecordOptions& options = {},
                        const GaijiMapping& gaiji = GaijiMapping());

// Builds records of one layout. One builder is used by one thread at a time (it keeps working storage
// from record to record); separate builders share nothing but the gaiji reading, which is read-only.
class RecordBuilder {
 public:
  // A builder for records of `layout` with `options`; JEF fields look user-defined characters up in
  // `gaiji`.
  explicit RecordBuilder(Layout layout, const RecordOptions& options = {}, GaijiMapping gaiji = GaijiMapping());

  // Appends the record of `values`, one a column of the layout (Layout::columns()), to `out`. When
  // `changes` is not empty it has one entry a column and receives each value's change. Throws
  // quor::Error, leaving `out` as it was: the error of the first failing field with its column number
  // (counted from 1) in field(), 5 when the number of values is not the layout's, 7 when memory runs out
  // or the record would pass 64 MiB.
  void append(std::span<const std::u16string_view> values, ByteString& out, std::span<ValueChange> changes = {});

  // Appends the record of the first columns only, as a variable-length file holds a record whose last
  // fields are absent: `values` gives the first of the layout's columns (at least one), and the record
  // ends where the field of the first column not given starts, its fields before that as append()
  // writes them. `changes`, when not empty, has one entry a value given. With every column given it is
  // append(). Throws as append() does, and quor::Error 5 for no value or more values than columns.
  void appendFirstColumns(std::span<const std::u16string_view> values, ByteString& out,
                          std::span<ValueChange> changes = {});

  [[nodiscard]] const Layout& layout() const noexcept { return layout_; }

 private:
  Layout layout_;
  std::size_t columns_ = 0;
  std::vector<std::size_t> columnFields_;  // the field of each column
  RecordOptions options_;
  GaijiMapping gaiji_;
  std::u16string formatted_;  // working storage of the field formatter, kept from record to record
  std::u16string exact_;
};

// Invalid data in a record: bytes no encoder writes for the field's kind.
struct FieldFault {
  std::size_t column = 0;  // the field's column, counted from 0
  std::size_t offset = 0;  // the first byte concerned, from the start of the record
  std::size_t length = 1;  // the bytes concerned
  const char* reason = "";  // what is wrong, in words: "digit nibble above 9"
};

// Refuses (quor::Error 5, naming the field) a layout whose text fields `page` cannot hold: on an IBM page
// a component text or national field (the component's formats are the Fujitsu encodings), and on a
// single-byte page (037, 1140, 1047, 500) a national field. RecordBuilder, RecordDecoder and both plans
// check their layout so.
void checkLayoutForHost(const Layout& layout, HostCodePage page);

// Reads records of a layout back into one text a column, each the inverse of its encoder: numbers with
// their decimal point and sign ("-12.50", leading zeros dropped), text and national values without
// their trailing padding (blanks, ideographic spaces, 0x00), national values in full width as written.
// Fillers, constants and overlays give no text. One decoder is used by one thread at a time.
class RecordDecoder {
 public:
  // A decoder for records of `layout` written with `options` (component packed fields carry a sign
  // nibble when written with a sign), keeping text and national values' padding where they say so.
  explicit RecordDecoder(Layout layout, const RecordOptions& options = {}, GaijiMapping gaiji = GaijiMapping());

  // Reads `record` (Layout::recordLength bytes) into `values`, one text a column. Invalid data is
  // reported in `faults` (emptied first; at most one a column, in column order). A column with a fault
  // has no text unless `lenient`: then an undecodable character reads as U+FFFD and a bad number as its
  // raw digit nibbles, in hexadecimal. A shorter record, as a variable-length file holds, has the
  // columns past its end absent, with no text (columnsWithin counts the others), and a column its end
  // cuts is invalid data. Throws quor::Error 5 for a record longer than the layout, 7 when memory runs
  // out.
  void decode(std::span<const std::uint8_t> record, std::vector<std::u16string>& values,
              std::vector<FieldFault>& faults, bool lenient = false) const;

  [[nodiscard]] const Layout& layout() const noexcept { return layout_; }

 private:
  Layout layout_;
  std::vector<std::size_t> columns_;
  RecordOptions options_;
  GaijiMapping gaiji_;
};

}  // namespace quor
