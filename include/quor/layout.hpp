#pragma once
// A record layout: the fields of every record, in order, each with its kind, size and place. It comes
// from a layout file, from the two comma-separated lists the component itself takes, or from a COBOL
// copybook; either way it is checked once, before any record is built.
//
// Two kinds of fields live in a layout:
// - component fields (old-style layout lines "name length format", the --lengths/--formats lists): one
//   of the component's four format codes, built with exactly the record builder's rules and bytes;
// - typed fields (new-style layout lines, copybooks): text, national, zoned, packed, binary, floating
//   point, edited or filler, with digits, a decimal scale and a sign, written as a host program would
//   write them.
//
// A malformed layout throws quor::Error 5 whose message names the place and the mistake:
// "orders.layout:3: format 'setKanji' is not 0..3 or one of setNumeric, ...".

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quor/format.hpp"

namespace quor {

// Field lengths a layout accepts: the component would turn 0 into 1 and fail or drop a field of a
// negative length, and no host record field is longer than this.
inline constexpr std::int32_t kMaxLayoutFieldLength = 32767;

// The most digits a typed zoned or packed number holds, and a binary one (8 bytes hold 18).
inline constexpr std::int32_t kMaxDecimalDigits = 31;
inline constexpr std::int32_t kMaxBinaryDigits = 18;

// What a field holds and how its bytes are written.
enum class FieldKind : std::uint8_t {
  component,  // the component's format code `format`, with the record builder's rules
  text,       // EBCDIC with katakana: `length` characters, a byte each, padded with blanks (0x40)
  national,   // JEF: `length` characters, two bytes each, padded with ideographic spaces (A1 A1)
  zoned,      // zoned decimal: `length` digits, a byte each; a negative value has zone D in its last byte
  packed,     // packed decimal: `length` digits and a sign nibble (C/D signed, F unsigned), length / 2 + 1 bytes
  binary,     // big-endian binary, two's complement when signed: 2, 4 or 8 bytes for 1-4, 5-9, 10-18 digits
  filler,     // `length` bytes of `fill`
  float4,     // floating point in 4 bytes (COMP-1), as `floatFormat` says; `length` is not used
  float8,     // floating point in 8 bytes (COMP-2)
  edited,     // numeric-edited (`picture` "ZZZ,ZZ9.99-"): the edited text, `length` bytes of EBCDIC
  editedText,  // alphanumeric-edited (`picture` "XXBXX"): the value's characters with the insertions
};

// Where a signed zoned number keeps its sign (SIGN IS ... in a copybook).
enum class SignPlacement : std::uint8_t {
  trailing,          // the zone of the last digit: D negative, the field's positive zone otherwise
  leading,           // the zone of the first digit
  trailingSeparate,  // a byte of its own after the digits: "+" 0x4E or "-" 0x60
  leadingSeparate,   // a byte of its own before the digits
};

// How floating-point fields are written.
enum class FloatFormat : std::uint8_t {
  hexadecimal,  // IBM hexadecimal floating point, the host's own: sign, 7-bit exponent of 16, 6 or 14 hex digits
  ieee,         // IEEE 754 binary32 or binary64, big-endian
};

// The values a binary field holds.
enum class BinaryRange : std::uint8_t {
  digits,  // those of its picture's digits: PIC S9(4) COMP holds -9999 to 9999
  full,    // every value of its bytes, as COMP-5 and TRUNC(BIN) compilers read it: -32768 to 32767
};

// The sign zones a signed zoned field writes for a positive value.
inline constexpr std::uint8_t kPositiveZoneC = 0xC;  // as host compilers write it
inline constexpr std::uint8_t kPositiveZoneF = 0xF;  // as an unsigned field's digits

// What a field takes from a record's values. A filler is always a constant; a component field is a
// column or an overlay (finishLayout refuses the others).
enum class FieldRole : std::uint8_t {
  column,    // one value of the record (one input column)
  constant,  // no value; written as blanks (text, national), zeros (numbers) or its fill bytes (filler)
  overlay,   // no value and no bytes of its own: an item that redefines bytes of earlier fields, listed only
};

struct LayoutField {
  std::string name;  // empty when the layout came from the lists; "item(2)" for an element of a table
  // Component fields: the component's length. Text and national: characters. Zoned, packed and binary:
  // digits. Filler: bytes.
  std::int32_t length = 1;
  CFormatDirection format = setCharacter;  // component fields only
  FieldKind kind = FieldKind::component;
  // Typed numbers: the value is the digits times 10^-scale. From 0 to `length`, digits after the decimal
  // point; beyond `length` or below 0, decimal scaling (P in a picture): PIC SVPP9(3) is 3 digits of
  // scale 5 (0.00123 held as 123), PIC 9(3)PPP 3 digits of scale -3 (123000 held as 123).
  std::int32_t scale = 0;
  bool isSigned = false;     // typed numbers; component numbers follow the run's sign flag
  std::uint8_t fill = 0x40;  // filler
  SignPlacement sign = SignPlacement::trailing;  // signed zoned
  std::uint8_t positiveZone = kPositiveZoneC;    // signed zoned: kPositiveZoneC or kPositiveZoneF
  BinaryRange range = BinaryRange::digits;       // binary
  FloatFormat floatFormat = FloatFormat::hexadecimal;  // float4, float8
  bool justifiedRight = false;  // text, national: a short value right-aligned, blanks in front
  bool blankWhenZero = false;   // zoned, edited: zero written as blanks, blanks read as zero
  std::string picture;          // edited, editedText: the picture, upper case ("ZZZ,ZZ9.99-", "X(3)BX(2)")
  FieldRole role = FieldRole::column;
  std::size_t offset = 0;  // byte offset in the record (set by finishLayout)
  std::size_t size = 0;    // bytes (set by finishLayout)
  std::string origin;      // where it was defined, for messages: "orders.cpy:12"; may be empty
  // A constant's own bytes, as a copybook's FILLER ... VALUE gives them (PIC S9(3) COMP-3 VALUE -5:
  // 00 5D; PIC X(2) VALUE X'0D25'); empty: the constant is blanks, zeros or its fill bytes, or its text.
  // finishLayout holds them to the field's size.
  std::vector<std::uint8_t> constantBytes{};
  // A text or national constant's own text (PIC X(3) VALUE 'AB': "AB"), written as a value of the
  // field is, on the run's host page: the record builder refuses a layout whose constant text it would
  // write other than it reads.
  std::u16string constantText{};
  // An overlay that renames bytes of other fields (a copybook's level 66 RENAMES) rather than
  // redefining them; it is read and shown as any overlay is.
  bool alias = false;
};

// A table whose number of elements a field of the record holds (COBOL's OCCURS m TO n TIMES DEPENDING
// ON counter). Its elements are the fields first .. first + most x width - 1, `width` fields each, in
// order; a record holds the first `count` of them, `count` being the counter's value, and every field
// after an absent element moves up by the absent bytes, as the host compiler places them. A table
// inside an element of another is listed once for each element that holds it, all with one counter.
struct VaryingTable {
  std::string name;         // for messages: "ITEMS"
  std::size_t counter = 0;  // the field whose value is the count: a whole number column before every table
  std::size_t least = 0;    // the fewest elements a record holds
  std::size_t most = 1;     // the most; the layout's fields hold this many
  std::size_t first = 0;    // the field that starts its first element
  std::size_t width = 1;    // fields an element
};

// A component field: `name`, the component's length and format code.
inline LayoutField componentField(std::string name, std::int32_t length, CFormatDirection format) {
  LayoutField field;
  field.name = std::move(name);
  field.length = length;
  field.format = format;
  return field;
}

// An item of a record as its copybook writes it, for the forms that nest a record's values as the
// record does (JSON Lines): a group of items, a table (OCCURS) of elements, or an elementary item.
// Walked in order, each elementary item stands for the next field of Layout::fields, one an element of
// every table it is in; overlays, fillers and constants included.
struct LayoutNode {
  std::string name;                  // as written; empty for FILLER and unnamed items
  std::uint32_t occurs = 0;          // a table's elements; 0 for an item that is no table
  std::vector<LayoutNode> children;  // a group's items; none for an elementary item
};

struct Layout {
  std::vector<LayoutField> fields;
  std::size_t recordLength = 0;  // bytes of a record; with varying tables, of the longest (set by finishLayout)
  // Tables whose length varies, in the order of their first fields (an enclosing table before those it
  // holds); none: every record is recordLength bytes, its fields where their offsets say.
  std::vector<VaryingTable> tables{};
  // Bytes of the shortest record, every table at its fewest, tables of one counter at the fewest they
  // all hold (set by finishLayout).
  std::size_t shortestLength = 0;
  // The record's items, outermost first, from a copybook; empty for a flat layout (a layout file, the
  // lists, a layout made in code), whose fields each stand for themselves.
  std::vector<LayoutNode> tree{};

  [[nodiscard]] bool varies() const noexcept { return !tables.empty(); }

  // The fields that take a value, in order: the input's columns.
  [[nodiscard]] std::vector<std::size_t> columns() const;
  // True when every field is a component field: the layout can be given to FujitsuHostQuor.
  [[nodiscard]] bool componentOnly() const;
  // The length and format lists as FujitsuHostQuor takes them: "8,20,10" and "1,1,2" (component
  // fields only).
  [[nodiscard]] std::u16string lengthList() const;
  [[nodiscard]] std::u16string formatList() const;
  // "field 3 (amount)" or "field 3" for the field at `index`, numbered as a column (counted from 1
  // among the fields that take a value; the same as among all fields in a component layout).
  [[nodiscard]] std::string describe(std::size_t index) const;
  // The names of the columns, as a header line gives them: each field's name, or "field 3" for a field
  // without one (a layout from the lists).
  [[nodiscard]] std::vector<std::string> columnNames() const;
};

// The bytes a field takes: component fields as the record builder writes them (zoned and EBCDIC: the
// length; JEF: twice the length; packed: half the length rounded up), typed fields as their kind says
// (overlays included: the bytes they redefine).
std::size_t fieldSize(const LayoutField& field);

// The one gate of every layout (layout files, the lists, copybooks and layouts made in code): sets each
// field's size and offset (an overlay's offset must be set by its maker and is kept) and the record
// length. What it accepts, the record builder, the decoder and both plans handle alike. Throws
// quor::Error 5 naming the field when
// - no encoder can write the field: a length out of range, too many digits for its kind, a scale above
//   the digits, a format code other than 0..3, a kind or role outside the enumerations;
// - the field cannot take its role: a filler whose role is not constant, a component field whose role
//   is constant. Both are refused rather than given another role, since either role changes which
//   input column every later value comes from: the maker meant something the layout does not say, and
//   only the maker can tell what (a filler meant as a text column, or a constant meant as a filler);
// - an overlay does not lie within the bytes of the fields listed before it (an overlay before any
//   field has nothing to redefine);
// - a constant's own bytes (constantBytes) are not exactly its size, or are given to a field that is
//   no constant; its own text (constantText) is given to a field that is no text or national constant,
//   or beside bytes of its own;
// - a varying table cannot be read from its record: its counter is no whole-number typed column
//   (zoned, packed or binary of scale 0) listed before every table, its range or its fields lie outside
//   the layout, its elements differ in their fields' sizes and roles, it overlaps another table other
//   than by lying within one element of it, the tables are not listed in order, or tables counted by
//   one field have no count in common;
// - an overlay lies on bytes that a table's count can leave out while the overlay stays, or the other
//   way round: its bytes must be those of fields in the same element as itself (or in no table);
// - the record would be longer than 64 MiB (67,108,864 bytes), the most one call builds.
// It also sets the shortest record's length, every table at its fewest elements (tables counted by one
// field at the fewest all of them hold).
void finishLayout(Layout& layout);

// Marks a field that a record of a varying layout leaves out: one of an element past its table's count.
inline constexpr std::size_t kAbsentField = static_cast<std::size_t>(-1);

// Where every field of a record of `layout` lies when its tables hold `counts` elements, one count a
// table of Layout::tables, each from the table's fewest to its most: `offsets` receives one offset a
// field (kAbsentField for the fields of an absent element), and the function returns the record's
// length. Every field after an absent element moves up by the absent bytes; with every table at its
// most the offsets are the fields' own. Throws quor::Error 9 for a count out of its table's range or a
// number of counts other than the tables', 7 when memory runs out.
std::size_t placeFields(const Layout& layout, std::span<const std::size_t> counts, std::vector<std::size_t>& offsets);

// A member that a copybook's COPY statement names, as a CopyResolver finds it.
struct CopyMember {
  std::string name;  // what messages and the chain of copies call it: "copy/ADDRESS.cpy"
  std::string text;  // its text, UTF-8 or ASCII
};

// Finds the member `name` (the COPY statement's word, or its literal's text) of `library` (empty when
// the statement names none). When there is no such member it throws quor::Error 5 whose message says
// where it looked; any other error passes through the copybook reader unchanged.
using CopyResolver = std::function<CopyMember(const std::string& name, const std::string& library)>;

// A resolver that looks in each of `folders` in turn for the file `name`, then `name.cpy`, then
// `name.CPY` (inside the folder `library` of each, when a library is named); the first found is the
// member. A file that is found but cannot be read fails with error 75.
CopyResolver copyFolders(std::vector<std::string> folders);

// The fields of a record shorter than its layout, which a variable-length file may hold: the columns
// wholly within its first `bytes` bytes (those after are absent), and the field, overlays aside, that
// a record of that length ends inside (none when it ends between fields or after the last).
std::size_t columnsWithin(const Layout& layout, std::size_t bytes);
std::optional<std::size_t> fieldCutBy(const Layout& layout, std::size_t bytes);

// A record layout with its name, one of the several a file of several record types holds.
struct NamedLayout {
  std::string name;
  Layout layout;
};

// What a layout is read for: a clause the reader cannot handle is refused in the words of the run,
// "cannot be written" when encoding, "cannot be read" when decoding.
enum class LayoutUse : std::uint8_t { any, encode, decode };

// The choices a layout file or copybook leaves to the site, the same for every field that does not make
// its own.
struct LayoutOptions {
  FloatFormat floatFormat = FloatFormat::hexadecimal;  // COMP-1, COMP-2 and float fields
  BinaryRange binaryRange = BinaryRange::digits;       // COMP, COMP-4, BINARY and binary fields (COMP-5: full)
  std::uint8_t positiveZone = kPositiveZoneC;          // signed zoned fields
  LayoutUse use = LayoutUse::any;
};

// Parses a layout file's text (UTF-8); `fileName` goes into the messages. A file of several records
// (below) is refused, naming them.
Layout parseLayoutFile(std::string_view text, const std::string& fileName, const LayoutOptions& options = {});

// The records a layout file describes: a line "record NAME" starts a record of that name, whose fields
// are the lines after it; a file without such lines describes one record, named "". Record names are
// unique, and each record has fields.
std::vector<NamedLayout> parseLayoutFileRecords(std::string_view text, const std::string& fileName,
                                                const LayoutOptions& options = {});

// The record a COBOL copybook describes (text in UTF-8 or ASCII): its elementary items as typed fields,
// with the offsets and record length the host compiler gives. Tables (OCCURS) become one field an
// element, "item(1)", "item(2)"; FILLER items are constants (their VALUE, when given, as their bytes);
// items of a REDEFINES are overlays, and so are the names of a level 66 RENAMES (alias set). A table of
// OCCURS ... DEPENDING ON becomes a VaryingTable; SYNCHRONIZED binary and float items get the slack
// bytes before them that the host compiler inserts, as fillers of 0x00 named "(slack bytes)". SIGN
// clauses, COMP-1 and COMP-2, COMP-5, P in a picture, JUSTIFIED RIGHT, BLANK WHEN ZERO and edited
// pictures give the fields' attributes; `options` gives the site's choices. COPY statements take their
// members' text from `resolve` (with REPLACING applied); without one, a COPY is refused. A name used
// twice is qualified by its groups, "AMOUNT OF TOTALS". Clauses it cannot handle (pictures the editing
// rules do not write) throw quor::Error 5 naming the clause, file and line, saying the item "cannot be
// written" or "cannot be read" as options.use says. The copybook describes one record: an 01 entry
// (later 01 entries only as REDEFINES of it), or 77 items and items of one level without an 01, laid
// out one after the other; a copybook of several 01 records is refused here, naming them
// (parseCopybookRecord reads one). A redefining item longer than what it redefines is refused, as are
// more than 100,000 fields and records over 64 MiB. The layout keeps the copybook's groups and tables
// (Layout::tree).
Layout parseCopybook(std::string_view text, const std::string& fileName, const LayoutOptions& options = {},
                     const CopyResolver& resolve = {});

// The names of the 01 records of a copybook, in order (one empty name for items without an 01). A
// file of several record types is often described so, each 01 entry its own record with its own
// length; an 01 entry that REDEFINES another is no record of its own. A copybook the reader cannot
// take is refused as parseCopybook refuses it, in the words `options.use` gives.
std::vector<std::string> copybookRecordNames(std::string_view text, const std::string& fileName,
                                             const LayoutOptions& options = {}, const CopyResolver& resolve = {});

// One record of a copybook, named in any letter case: an 01 record, laid out on its own (its names
// qualified within it alone), or an item of a REDEFINES (the item redefined, or one that redefines
// it), which then stands in place of the item it redefines, its record otherwise as written: the other
// items of that REDEFINES are left out, and bytes the chosen item does not reach are a filler of
// blanks. The layout comes with the name as the copybook writes it. Throws quor::Error 5 when no 01
// record and no item of a REDEFINES has the name, and as parseCopybook does.
NamedLayout parseCopybookRecord(std::string_view text, const std::string& fileName, std::string_view name,
                                const LayoutOptions& options = {}, const CopyResolver& resolve = {});

// A layout from the --lengths and --formats lists ("8,20,10" and "1,1,2"); messages name the list and
// its item ("--lengths item 2: ...").
Layout layoutFromLists(std::string_view lengths, std::string_view formats);

// The words layout files and `quor layout` use for a field's attributes: "trailing", "leading",
// "trailing-separate", "leading-separate"; "hex", "ieee"; "digits", "full"; and for the kinds "text",
// "national", "zoned", "packed", "binary", "filler", "float4", "float8", "edited", "edited-text" (a
// component field: "component").
std::string_view nameOf(SignPlacement placement) noexcept;
std::string_view nameOf(FloatFormat format) noexcept;
std::string_view nameOf(BinaryRange range) noexcept;
std::string_view nameOf(FieldKind kind) noexcept;

// The format code of "0".."3" or a format name; false for anything else.
bool parseFormat(std::string_view text, CFormatDirection& format);

}  // namespace quor
