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
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "quor/byte_string.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/host_code_page.hpp"
#include "quor/layout.hpp"

namespace quor {

namespace record {
class VaryingPlaces;
}

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
  // Records of a layout with varying tables (OCCURS DEPENDING ON) stand in slots of the longest
  // record's length: the builder pads each record with blanks (0x40) to Layout::recordLength, and the
  // decoder reads a slot of that length as the record its counters give and passes over the rest.
  // Without it a record is as long as its counters make it. Layouts without varying tables are alike
  // either way.
  bool padVarying = false;
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
  pastTableCount,               // a value in an element past its table's count (OCCURS DEPENDING ON): not written
};
inline constexpr std::size_t kChangeKinds = 12;

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
  // `gaiji`. A constant's own text (LayoutField::constantText) is written as a value of its field is,
  // on the host page of `options`; one written other than it reads refuses the layout with error 5,
  // naming the field.
  explicit RecordBuilder(Layout layout, const RecordOptions& options = {}, GaijiMapping gaiji = GaijiMapping());

  // Appends the record of `values`, one a column of the layout (Layout::columns()), to `out`. When
  // `changes` is not empty it has one entry a column and receives each value's change. Throws
  // quor::Error, leaving `out` as it was: the error of the first failing field with its column number
  // (counted from 1) in field(), 5 when the number of values is not the layout's, 7 when memory runs out
  // or the record would pass 64 MiB.
  //
  // A layout with varying tables: a table holds as many elements as its counter's field is written
  // with, and the record is as long as that makes it (padded to the longest with padVarying). A count
  // outside the table's range fails with error 9, the counter's column in field() and a message saying
  // the count and the range; a value in an element past the count is not written, and is the change
  // pastTableCount (an empty value there is none).
  void append(std::span<const std::u16string_view> values, ByteString& out, std::span<ValueChange> changes = {});

  // Appends the record of the first columns only, as a variable-length file holds a record whose last
  // fields are absent: `values` gives the first of the layout's columns (at least one), and the record
  // ends where the field of the first column not given starts, its fields before that as append()
  // writes them. `changes`, when not empty, has one entry a value given. With every column given it is
  // append(). With varying tables, a counter not given holds its table's fewest elements, and the
  // columns of elements the counts leave out take no bytes: the record ends where the first column not
  // given that the counts keep starts (and is whole when they keep none). Throws as append() does, and
  // quor::Error 5 for no value or more values than columns.
  void appendFirstColumns(std::span<const std::u16string_view> values, ByteString& out,
                          std::span<ValueChange> changes = {});

  [[nodiscard]] const Layout& layout() const noexcept { return layout_; }

 private:
  // The tables' counts from their counters' values, and the fields' places for them (offsets_).
  void placeByCounters(std::span<const std::u16string_view> values);

  Layout layout_;
  std::size_t columns_ = 0;
  std::vector<std::size_t> columnFields_;  // the field of each column
  RecordOptions options_;
  GaijiMapping gaiji_;
  std::u16string formatted_;  // working storage of the field formatter, kept from record to record
  std::u16string exact_;
  std::vector<std::size_t> counterColumns_;  // each varying table's counter column
  std::vector<std::size_t> counts_;
  std::vector<std::size_t> offsets_;
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

// The length of the record at the start of some bytes, as RecordDecoder::extent finds it.
struct RecordExtent {
  // The record's bytes; when more than were given, the record (or its counters) runs on beyond them:
  // give at least this many and ask again.
  std::size_t length = 0;
  // A counter that holds no count of its table's range: the record's length cannot be known.
  std::optional<FieldFault> fault;
};

// Reads records of a layout back into one text a column, each the inverse of its encoder: numbers with
// their decimal point and sign ("-12.50", leading zeros dropped), text and national values without
// their trailing padding (blanks, ideographic spaces, 0x00), national values in full width as written.
// Fillers, constants and overlays give no text. One decoder is used by one thread at a time.
class RecordDecoder {
 public:
  // A decoder for records of `layout` written with `options` (component packed fields carry a sign
  // nibble when written with a sign), keeping text and national values' padding where they say so.
  explicit RecordDecoder(Layout layout, const RecordOptions& options = {}, GaijiMapping gaiji = GaijiMapping());

  // Reads `record` into `values`, one text a column. Invalid data is reported in `faults` (emptied
  // first; at most one a column, in column order). A column with a fault has no text unless `lenient`:
  // then an undecodable character reads as U+FFFD and a bad number as its raw digit nibbles, in
  // hexadecimal.
  //
  // The record is Layout::recordLength bytes, or for a layout with varying tables as long as its
  // counters make it (recordLength with padVarying). A shorter record ends early, as records of varying
  // length do: a field wholly past its end is absent and gives the empty text, a field it cuts is
  // invalid (columnsWithin counts the columns within a record of fixed fields). The fields of an element
  // past its table's count give the empty text. A counter outside its table's range is invalid; the
  // columns after it then give the empty text, their places being unknown. Throws quor::Error 5 for a
  // record longer than that, 7 when memory runs out.
  void decode(std::span<const std::uint8_t> record, std::vector<std::u16string>& values,
              std::vector<FieldFault>& faults, bool lenient = false) const;

  // The overlays of the layout (items of a REDEFINES, names of a RENAMES) read from `record` as decode
  // reads columns, one text an overlay in layout order, in their places in this record; invalid data
  // in `faults`, whose column is the overlay's index among the overlays.
  void decodeOverlays(std::span<const std::uint8_t> record, std::vector<std::u16string>& values,
                      std::vector<FieldFault>& faults, bool lenient = false) const;

  // How long the record starting `bytes` is: Layout::recordLength, or for a layout with varying tables
  // what its counters make it (recordLength with padVarying). Fewer bytes than its counters take give
  // the length the counters end at, to ask again with more.
  [[nodiscard]] RecordExtent extent(std::span<const std::uint8_t> bytes) const;

  // The columns given by `record`, a record shorter than its layout as a variable-length file holds:
  // those before the first whose field lies past its end or is cut by it (its columns then are absent,
  // not empty); all of them for a whole record. With varying tables, fields are where the record's
  // counters put them, and the columns of an element past its table's count are no end of the record
  // (they give the empty text). Throws quor::Error 7 when memory runs out.
  [[nodiscard]] std::size_t columnsWithin(std::span<const std::uint8_t> record) const;

  // The offset of every field in `record` (kAbsentField for one its counters leave out or that lies
  // past the record's end), as decode places them; false when a counter holds no count of its table's
  // range. Throws quor::Error 7 when memory runs out.
  bool placeFields(std::span<const std::uint8_t> record, std::vector<std::size_t>& offsets) const;

  [[nodiscard]] const Layout& layout() const noexcept { return layout_; }

 private:
  // Reads `field` from its bytes at `offset` in `record` into `text`, a fault (named `column`) into
  // `faults`; the second form reads column `column` at the field's own offset into values[column].
  void readColumn(std::span<const std::uint8_t> record, const LayoutField& field, std::size_t column,
                  std::size_t offset, std::u16string& text, std::vector<FieldFault>& faults, bool lenient,
                  std::string& digits) const;
  void readColumn(std::span<const std::uint8_t> record, std::size_t column, std::vector<std::u16string>& values,
                  std::vector<FieldFault>& faults, bool lenient) const;
  // The tables' counts, from their counters' texts in `values`; false, a fault added, when one is none.
  bool countsOf(const std::vector<std::u16string>& values, std::vector<FieldFault>& faults) const;
  // The tables' counts read from `record`'s counters alone, into counts_, their texts and faults into
  // the scratch values and faults; false when one is none.
  bool readCounts(std::span<const std::uint8_t> record) const;

  Layout layout_;
  std::vector<std::size_t> columns_;
  RecordOptions options_;
  GaijiMapping gaiji_;
  // A layout with varying tables: the columns before the first table (the counters among them), each
  // table's counter column, the counter columns once each in order, and where the counters end.
  std::size_t prefixColumns_ = 0;
  std::vector<std::size_t> counterColumns_;
  std::vector<std::size_t> counterReads_;
  std::shared_ptr<const record::VaryingPlaces> places_;  // a record's length from its counts
  std::size_t countersEnd_ = 0;
  // Working storage kept from record to record (a decoder serves one thread at a time).
  mutable std::vector<std::size_t> counts_;
  mutable std::vector<std::size_t> offsets_;
  mutable std::vector<std::u16string> scratchValues_;
  mutable std::vector<FieldFault> scratchFaults_;
  mutable std::string digits_;
};

}  // namespace quor
