// DecodePlan: the common record read straight into its CSV line. The character tables are filled by
// asking the library's own decoders about every byte when the plan is made and about each pair when a
// record first holds it, numbers are read by the host encodings' kernels and written by the scaled
// decimal text's, and a record with invalid data, or a value the CSV writer would have to quote, is
// left to RecordDecoder and the writer.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include "base/api_guard.hpp"
#include "base/ascii.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/host_text.hpp"
#include "character/jef.hpp"
#include "number_text/scaled_decimal.hpp"
#include "numeric/binary.hpp"
#include "numeric/floating.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "quor/error.hpp"
#include "quor/record_plan.hpp"
#include "record/field_kind.hpp"
#include "record/plan_tables.hpp"
#include "record/table_counts.hpp"
#include "record/varying_places.hpp"

namespace quor {

namespace {

// `declined`: a field the plan leaves to the decoder (record::planTakes), so every record is the decoder's.
enum class Kernel : std::uint8_t { text, national, hostText, hostNational, zoned, packed, binary, floating, declined };

struct Step {
  Kernel kernel;
  bool isSigned;  // zoned: a D zone is a sign; binary: two's complement
  bool typed;     // zoned: a typed field, its sign where `zonedSign` says
  bool blankWhenZero;  // zoned: blanks are zero
  numeric::ZonedSign zonedSign;
  numeric::PackedSign packedSign;
  numeric::FloatEncoding floatEncoding;
  std::size_t offset;
  std::size_t bytes;
  std::size_t capacity;  // digits a number may have
  std::size_t digits;    // a typed zoned field's digits
  int scale;             // decimal places; below 0, decimal scaling
  std::size_t width;     // zeros kept: the digits the text is written with (0: none kept)
  std::size_t field;     // its index in the layout's fields
  std::size_t counter;   // a counter of varying tables: its place among the counters, 1 on; else 0
};

using Piece = record::PlanTableData::Piece;

// A piece as one word, its four bytes as they stand in memory: its bytes first, then its length.
[[gnu::always_inline]] inline std::uint32_t wordOf(const Piece& piece) noexcept {
  std::uint32_t word;
  std::memcpy(&word, &piece, 4);
  return word;
}
[[gnu::always_inline]] inline std::size_t lengthOf(std::uint32_t word) noexcept {
  return std::endian::native == std::endian::little ? word >> 24 : word & 0xFFu;
}
// Writes a piece of length 1 to 3 at `out`, four bytes at once (a line has room for that past its
// last piece), and moves `out` past it.
[[gnu::always_inline]] inline void put(char*& out, std::uint32_t word) noexcept {
  std::memcpy(out, &word, 4);
  out += lengthOf(word);
}

// A table of pairs' pieces as the hot loops read it: a pair not asked yet is asked of the decoder on
// the spot (PlanTableData::askPair), once for the run.
struct Pairs {
  const Piece* table = nullptr;
  const record::PlanTableData* data = nullptr;
  bool hostPage = false;
  TextEncoding encoding = TextEncoding::utf8;

  // The piece of the pair `first`, `second` as a word (wordOf).
  [[gnu::always_inline]] std::uint32_t operator()(std::uint8_t first, std::uint8_t second) const noexcept {
    const unsigned pair = static_cast<unsigned>(first) << 8 | second;
    const Piece piece = record::PlanTableData::loaded(table[pair]);
    if (piece.length == record::PlanTableData::kPieceNotAsked) [[unlikely]]
      return wordOf(data->askPair(hostPage, encoding, pair));
    return wordOf(piece);
  }
};

// The compiled plan.
struct Plan {
  std::vector<Step> steps;
  std::vector<Piece> ebcdic;  // 256 bytes
  // The output byte of each byte whose piece is one byte (not 0x00), else 0: most text runs whole
  // through this.
  std::vector<char> single;  // 256 bytes
  Pairs jef{};        // 65536 pairs, first byte high: the tables'
  PlanTables tables;  // kept for jef and hostPairs
  char delimiter = ',';
  bool crlf = false;
  bool keepPadding = false;
  std::size_t maxLine = 0;
  std::vector<Piece> hostSingle{};      // 256 bytes of a typed text field on the host page
  std::vector<char> hostSingleByte{};   // as `single`, 0 for the shift codes too where runs are read
  Pairs hostPairs{};                    // 65536 pairs of the host page: the tables'
  bool shifts = false;                  // typed text fields hold double-byte runs
  ShiftCodes shiftCodes{};
  bool fujitsu = true;                  // 0x38 opens a run too
  std::size_t recordLength = 0;
  // The lengths a shorter record may have, each where a field other than an overlay ends, ascending,
  // with the columns wholly within it; a record of any other length is left to RecordDecoder.
  std::vector<std::size_t> shortEnds{};
  std::vector<std::size_t> shortColumns{};
  // A layout whose records vary in length (OCCURS DEPENDING ON): its fields' places by the counts, the
  // steps before every table (the counters among them), each table's counter (Step::counter - 1), and
  // whether a record may stand padded in a slot of the longest record's length.
  bool varies = false;
  record::VaryingPlaces places{};
  std::size_t fixedSteps = 0;
  std::vector<std::size_t> tableCounters{};
  bool padVarying = false;
  // A delimiter numbers hold, or more tables than the plan places: every record is RecordDecoder's.
  bool declined = false;
};

// The widest number fields the plan reads: more than any typed kind has; a component field wider
// still is left to RecordDecoder.
constexpr std::size_t kMostNumberBytes = 40;

// A number field's digits as its text, when they fit its digits: "-" for a negative value that is not
// zero, the digits without leading zeros, the decimal point before the last `scale`.
bool writeNumber(std::string_view digits, bool negative, const Step& step, char*& out) noexcept {
  if (record::exceedsDigitCapacity(digits, step.capacity)) return false;
  char* const start = out;
  out = number_text::writeScaledText(digits, negative, step.scale, out);
  // Zeros kept: an unsigned whole number, all digits, written with the picture's width.
  const auto written = static_cast<std::size_t>(out - start);
  if (written < step.width) {
    std::memmove(start + (step.width - written), start, written);
    std::memset(start, '0', step.width - written);
    out = start + step.width;
  }
  return true;
}

bool readZoned(const Step& step, const std::uint8_t* bytes, char*& out) noexcept {
  char digits[kMostNumberBytes];
  bool negative = false;
  if (step.bytes > kMostNumberBytes) return false;
  if (!step.typed) {
    if (numeric::readZoned({bytes, step.bytes}, step.isSigned, digits, negative)) return false;
    return writeNumber({digits, step.bytes}, negative, step, out);
  }
  if (step.blankWhenZero && numeric::writtenAsBlanks({bytes, step.bytes})) return writeNumber({}, false, step, out);
  if (numeric::readZonedSigned({bytes, step.bytes}, step.zonedSign, digits, negative)) return false;
  return writeNumber({digits, step.digits}, negative, step, out);
}

bool readPacked(const Step& step, const std::uint8_t* bytes, char*& out) noexcept {
  char digits[2 * kMostNumberBytes];
  std::size_t count = 0;
  bool negative = false;
  if (step.bytes > kMostNumberBytes ||
      numeric::readPacked({bytes, step.bytes}, step.packedSign, digits, count, negative))
    return false;
  return writeNumber({digits, count}, negative, step, out);
}

bool readBinary(const Step& step, const std::uint8_t* bytes, char*& out) noexcept {
  char digits[numeric::kBinaryDigitsRoom];
  std::size_t count = 0;
  bool negative = false;
  if (numeric::readBinary({bytes, step.bytes}, step.isSigned, step.capacity, digits, count, negative)) return false;
  return writeNumber({digits, count}, negative, step, out);
}

// A float: the shortest decimal text that reads back to its bytes; a value with no such text (an IEEE
// infinity or NaN, an unnormalized hexadecimal value below the smallest) is the decoder's to report.
bool readFloatNumber(const Step& step, const std::uint8_t* bytes, char*& out) noexcept {
  try {
    std::string text;
    if (numeric::readFloat({bytes, step.bytes}, step.floatEncoding, text)) return false;
    std::memcpy(out, text.data(), text.size());
    out += text.size();
    return true;
  } catch (...) {
    return false;  // out of memory for the text: the decoder's to report
  }
}

// True when one of the eight bytes of `word` is 0x00.
inline bool hasZeroByte(std::uint64_t word) noexcept {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  return ((word - kOnes) & ~word & (kOnes << 7)) != 0;
}

// Copies the bytes from `i` on, eight at a time, while each of the eight is one output byte by `single`
// (0: another piece, or none), and returns where it stopped: the rest are read piece by piece.
inline std::size_t copySingles(const char* single, const std::uint8_t* bytes, std::size_t i, std::size_t end,
                               char*& out) noexcept {
  for (; i + 8 <= end; i += 8) {
    char chunk[8];
    for (std::size_t k = 0; k < 8; ++k) chunk[k] = single[bytes[i + k]];
    std::uint64_t word = 0;
    std::memcpy(&word, chunk, 8);
    if (hasZeroByte(word)) break;
    std::memcpy(out, chunk, 8);
    out += 8;
  }
  return i;
}

bool readText(const Plan& plan, const std::uint8_t* bytes, std::size_t size, char*& out) noexcept {
  const std::size_t end = plan.keepPadding ? size : character::ebcdicTextEnd({bytes, size});
  std::size_t i = copySingles(plan.single.data(), bytes, 0, end, out);
  for (; i < end; ++i) {
    const std::uint32_t piece = wordOf(plan.ebcdic[bytes[i]]);
    if (lengthOf(piece) == 0) return false;
    put(out, piece);
  }
  return true;
}

// A typed text field on the host page, as readHostText reads it; a shift out of place, a run left
// open and any other invalid data are left to the decoder.
bool readHostText(const Plan& plan, const std::uint8_t* bytes, std::size_t size, char*& out) noexcept {
  const std::size_t end = plan.keepPadding ? size : character::ebcdicTextEnd({bytes, size});
  const ShiftCodes codes = plan.shiftCodes;
  const auto opens = [&](std::uint8_t byte) { return byte == codes.shiftOut || (plan.fujitsu && byte == 0x38); };
  bool inRun = false;
  // A value's first single-byte codes eight at a time, as readText's; the rest one by one.
  std::size_t i = copySingles(plan.hostSingleByte.data(), bytes, 0, end, out);
  while (i < end) {
    const std::uint8_t byte = bytes[i];
    std::uint32_t piece;
    if (!inRun) {
      if (plan.shifts && opens(byte)) {
        // A run with nothing in it is the decoder's to report.
        if (i + 1 < end && bytes[i + 1] == codes.shiftIn) return false;
        inRun = true;
        ++i;
        continue;
      }
      if (plan.shifts && byte == codes.shiftIn) return false;
      piece = wordOf(plan.hostSingle[byte]);
      ++i;
    } else {
      if (byte == codes.shiftIn) {
        inRun = false;
        ++i;
        continue;
      }
      if (opens(byte) || i + 1 >= end || bytes[i + 1] == codes.shiftIn) return false;
      piece = plan.hostPairs(byte, bytes[i + 1]);
      i += 2;
    }
    if (lengthOf(piece) == 0) return false;
    put(out, piece);
  }
  return !inRun;
}

bool readHostNational(const Plan& plan, const std::uint8_t* bytes, std::size_t size, char*& out) noexcept {
  const std::size_t end = plan.keepPadding ? size - size % 2 : character::hostNationalTextEnd({bytes, size});
  for (std::size_t i = 0; i < end; i += 2) {
    const std::uint32_t piece = plan.hostPairs(bytes[i], bytes[i + 1]);
    if (lengthOf(piece) == 0) return false;
    put(out, piece);
  }
  return size % 2 == 0;
}

bool readNational(const Plan& plan, const std::uint8_t* bytes, std::size_t size, char*& out) noexcept {
  const std::size_t end = plan.keepPadding ? size - size % 2 : character::jefTextEnd({bytes, size});
  for (std::size_t i = 0; i < end; i += 2) {
    const std::uint32_t piece = plan.jef(bytes[i], bytes[i + 1]);
    if (lengthOf(piece) == 0) return false;
    put(out, piece);
  }
  return true;
}

}  // namespace

struct DecodePlan::Steps : Plan {};

DecodePlan::DecodePlan(const Layout& layout, const RecordOptions& options, const PlanTables& tables,
                       const CsvWriteOptions& csv) {
  if (!tables.data().forDecoding) throw Error(errors::kInvalidCall, "the plan tables were made for encode plans only");
  if (tables.data().host != options.host)
    throw Error(errors::kInvalidCall, "the plan tables were made for another host code page");
  base::guarded([&] { checkLayoutForHost(layout, options.host); });
  steps_ = base::guarded([&] {
    auto plan = std::make_unique<Steps>(Steps{Plan{{}, {}, {}, {}, tables}});
    plan->delimiter = csv.delimiter;
    plan->crlf = csv.crlf;
    plan->keepPadding = options.keepPadding;
    plan->recordLength = layout.recordLength;
    // A delimiter that number texts hold ("-12.5" with "-", "." or a digit as the delimiter) would have
    // the writer quote numbers the plan writes bare: such a run is the decoder's and the writer's.
    const bool numbersHoldDelimiter = base::isDigit(static_cast<unsigned char>(csv.delimiter)) ||
                                      std::string_view("-.+E").find(csv.delimiter) != std::string_view::npos;
    plan->varies = layout.varies();
    plan->places = record::VaryingPlaces(layout);
    plan->padVarying = options.padVarying;
    plan->declined = numbersHoldDelimiter || !plan->places.taken();
    // Each byte and pair as the decoders read it, and as the output writes it.
    const record::PlanTableData& forms = tables.data();
    plan->ebcdic.resize(256);
    for (unsigned byte = 0; byte < 256; ++byte)
      plan->ebcdic[byte] = record::pieceOf(forms.ebcdicRead[byte], csv.encoding, csv.delimiter);
    plan->single.resize(256);
    for (unsigned byte = 0; byte < 256; ++byte)
      if (plan->ebcdic[byte].length == 1) plan->single[byte] = static_cast<char>(plan->ebcdic[byte].bytes[0]);
    plan->jef = {forms.jefPieces(csv.encoding), &forms, false, csv.encoding};
    plan->hostSingle.resize(256);
    for (unsigned byte = 0; byte < 256; ++byte)
      plan->hostSingle[byte] = record::pieceOf(forms.hostSingleRead[byte], csv.encoding, csv.delimiter);
    plan->hostPairs = {forms.hostPairs(csv.encoding), &forms, true, csv.encoding};
    plan->shifts = options.shiftCodes && hasDoubleByte(options.host);
    plan->shiftCodes = shiftCodesOf(options.host);
    plan->fujitsu = options.host == HostCodePage::fujitsu;
    plan->hostSingleByte.resize(256);
    for (unsigned byte = 0; byte < 256; ++byte) {
      const bool opensOrCloses = byte == plan->shiftCodes.shiftOut || byte == plan->shiftCodes.shiftIn ||
                                 (plan->fujitsu && byte == 0x38);
      if (plan->hostSingle[byte].length == 1 && !(plan->shifts && opensOrCloses))
        plan->hostSingleByte[byte] = static_cast<char>(plan->hostSingle[byte].bytes[0]);
    }
    const bool onHost = options.host != HostCodePage::fujitsu || options.shiftCodes;
    std::size_t line = 8;  // the line end, and room for a piece written whole (four bytes, one past its room)
    std::size_t columns = 0;
    std::vector<std::size_t> counters;  // the fields that count tables, in order
    for (const VaryingTable& table : layout.tables) counters.push_back(table.counter);
    std::sort(counters.begin(), counters.end());
    counters.erase(std::unique(counters.begin(), counters.end()), counters.end());
    for (const VaryingTable& table : layout.tables)
      plan->tableCounters.push_back(static_cast<std::size_t>(
          std::lower_bound(counters.begin(), counters.end(), table.counter) - counters.begin()));
    for (std::size_t index = 0; index < layout.fields.size(); ++index) {
      const LayoutField& field = layout.fields[index];
      if (field.role == FieldRole::overlay) continue;
      const std::size_t end = field.offset + field.size;
      columns += field.role == FieldRole::column ? 1 : 0;
      if (end < layout.recordLength && columns > 0) {
        if (!plan->shortEnds.empty() && plan->shortEnds.back() == end) {
          plan->shortColumns.back() = columns;
        } else {
          plan->shortEnds.push_back(end);
          plan->shortColumns.push_back(columns);
        }
      }
      if (field.role != FieldRole::column) continue;
      const bool component = field.kind == FieldKind::component;
      Step step{Kernel::text,
                component ? options.convertSign : field.isSigned,
                !component,
                field.blankWhenZero,
                record::zonedSignOf(field),
                numeric::PackedSign::none,
                record::floatEncodingOf(field),
                field.offset,
                field.size,
                record::digitCapacity(field, options.convertSign),
                static_cast<std::size_t>(field.length),
                component ? 0 : field.scale,
                record::keptZerosWidth(field, options),
                index,
                0};
      const auto counter = std::lower_bound(counters.begin(), counters.end(), index);
      if (counter != counters.end() && *counter == index)
        step.counter = static_cast<std::size_t>(counter - counters.begin()) + 1;
      if (index < plan->places.firstTableField()) plan->fixedSteps = plan->steps.size() + 1;
      // The widest text of a number: its digits and places (scaledTextRoom) or its width, a delimiter.
      const std::size_t numberRoom =
          std::max(number_text::scaledTextRoom(2 * field.size, step.scale), step.width) + 1;
      switch (record::writtenKind(field)) {
        case FieldKind::national:
          step.kernel = !component && options.host != HostCodePage::fujitsu ? Kernel::hostNational : Kernel::national;
          line += 3 * field.size / 2 + 1;
          break;
        case FieldKind::zoned:
          step.kernel = Kernel::zoned;
          line += numberRoom;
          break;
        case FieldKind::packed:
          step.kernel = Kernel::packed;
          step.packedSign = record::packedSignOf(field, options.convertSign);
          line += numberRoom;
          break;
        case FieldKind::binary:
          step.kernel = Kernel::binary;
          line += std::max(number_text::scaledTextRoom(numeric::kBinaryDigitsRoom, step.scale), step.width) + 1;
          break;
        case FieldKind::float4:
        case FieldKind::float8:
          step.kernel = Kernel::floating;
          line += numeric::kFloatTextRoom + 1;
          break;
        default:
          step.kernel = !component && onHost ? Kernel::hostText : Kernel::text;
          line += 3 * field.size + 1;
          break;
      }
      if (!record::planTakes(field)) step.kernel = Kernel::declined;
      plan->steps.push_back(step);
    }
    plan->maxLine = line;
    return std::unique_ptr<const Steps>(std::move(plan));
  });
}

DecodePlan::~DecodePlan() = default;
DecodePlan::DecodePlan(DecodePlan&&) noexcept = default;
DecodePlan& DecodePlan::operator=(DecodePlan&&) noexcept = default;

std::size_t DecodePlan::maxLineBytes() const noexcept {
  return steps_->maxLine;
}

namespace {

// Reads the steps [first, last) of the plan from `record`, each field at its offset, appending their
// texts at `out`, a delimiter before each but the plan's first. The one call of each kernel: so the
// compiler inlines the common ones here, as the speed of the common record needs.
bool readSteps(const Plan& plan, const Step* first, const Step* last, const std::uint8_t* record,
               char*& out) noexcept {
  for (const Step* at = first; at != last; ++at) {
    const Step& step = *at;
    if (at != plan.steps.data()) *out++ = plan.delimiter;
    const std::uint8_t* const bytes = record + step.offset;
    bool ok = false;
    switch (step.kernel) {
      case Kernel::text:
        ok = readText(plan, bytes, step.bytes, out);
        break;
      case Kernel::national:
        ok = readNational(plan, bytes, step.bytes, out);
        break;
      case Kernel::hostText:
        ok = readHostText(plan, bytes, step.bytes, out);
        break;
      case Kernel::hostNational:
        ok = readHostNational(plan, bytes, step.bytes, out);
        break;
      case Kernel::zoned:
        ok = readZoned(step, bytes, out);
        break;
      case Kernel::packed:
        ok = readPacked(step, bytes, out);
        break;
      case Kernel::binary:
        ok = readBinary(step, bytes, out);
        break;
      case Kernel::floating:
        ok = readFloatNumber(step, bytes, out);
        break;
      case Kernel::declined:
        return false;
    }
    if (!ok) return false;
  }
  return true;
}

// A record of varying tables: the columns before every table, then the counts their counters' texts
// give (as the decoder reads them from the same texts), then each column where they place it, those of
// absent elements empty. False where the decoder is to read it.
bool decodeVarying(const Plan& plan, std::span<const std::uint8_t> record, char*& out) noexcept {
  const record::VaryingPlaces& places = plan.places;
  if (record.size() < places.bytesBefore(places.firstTableField())) return false;
  const Step* const steps = plan.steps.data();
  const Step* const end = steps + plan.steps.size();
  const Step* const fixedEnd = steps + plan.fixedSteps;
  // The columns before every table, each counter's text kept (where it starts in the line, and its
  // length: every counter is among these columns, so each is set before the counts are read).
  struct Text {
    std::size_t start;
    std::size_t length;
  };
  std::array<Text, record::VaryingPlaces::kMostTables> counterTexts;
  char* const line = out;
  const Step* from = steps;
  for (const Step* at = steps; at != fixedEnd; ++at) {
    if (at->counter == 0) continue;
    if (!readSteps(plan, from, at, record.data(), out)) return false;
    const std::size_t delimiter = at != steps ? 1 : 0;
    char* const before = out;
    if (!readSteps(plan, at, at + 1, record.data(), out)) return false;
    counterTexts[at->counter - 1] = {static_cast<std::size_t>(before - line) + delimiter,
                                     static_cast<std::size_t>(out - before) - delimiter};
    from = at + 1;
  }
  if (!readSteps(plan, from, fixedEnd, record.data(), out)) return false;
  const std::vector<VaryingTable>& tables = places.tables();
  record::VaryingPlaces::Counts counts;
  for (std::size_t t = 0; t < tables.size(); ++t) {
    const Text& counter = counterTexts[plan.tableCounters[t]];
    std::string_view text(line + counter.start, counter.length);
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    if (record::countProblem(text, negative, tables[t], counts[t]) != nullptr) return false;
  }
  record::VaryingPlaces::AbsentList absent;
  const std::size_t ranges = places.absentFields(counts, absent);
  const std::size_t length = places.lengthWithout(absent, ranges);
  if (record.size() != length && !(plan.padVarying && record.size() == places.recordLength())) return false;
  // The rest in stretches of present fields that moved up alike, an absent field's column empty, each
  // stretch that moved up copied to where the longest record has its bytes and read there: so the
  // kernels have one call, readSteps'. A record of up to 4 KiB is copied on the stack.
  constexpr std::size_t kOnStack = 4096;
  std::array<std::uint8_t, kOnStack> stack;
  std::vector<std::uint8_t> heap;
  std::uint8_t* longest = stack.data();
  if (places.recordLength() > kOnStack) {
    try {
      heap.resize(places.recordLength());
    } catch (...) {
      return false;  // out of memory: the decoder's to report
    }
    longest = heap.data();
  }
  record::VaryingPlaces::Walk walk(absent, ranges);
  from = fixedEnd;
  std::size_t shift = 0;
  const auto readStretch = [&](const Step* to) {
    if (from == to) return true;
    if (shift == 0) return readSteps(plan, from, to, record.data(), out);
    const std::size_t begin = from->offset;
    std::memcpy(longest + begin, record.data() + begin - shift, (to - 1)->offset + (to - 1)->bytes - begin);
    return readSteps(plan, from, to, longest, out);
  };
  for (const Step* at = fixedEnd; at != end; ++at) {
    std::size_t offset = at->offset;
    const bool present = walk.place(at->field, offset);
    if (!present || at->offset - offset != shift) {
      if (!readStretch(at)) return false;
      from = at + (present ? 0 : 1);
      shift = at->offset - offset;
    }
    if (!present) *out++ = plan.delimiter;
  }
  return readStretch(end);
}

}  // namespace

std::size_t DecodePlan::decode(std::span<const std::uint8_t> record, char* out) const noexcept {
  const Plan& plan = *steps_;
  if (plan.declined) return 0;
  char* const start = out;
  if (plan.varies) {
    if (!decodeVarying(plan, record, out)) return 0;
  } else {
    std::size_t columns = plan.steps.size();
    if (record.size() != plan.recordLength) {
      // A shorter record of a variable-length file: the columns within it, where it ends between fields.
      const auto end = std::lower_bound(plan.shortEnds.begin(), plan.shortEnds.end(), record.size());
      if (end == plan.shortEnds.end() || *end != record.size()) return 0;
      columns = plan.shortColumns[static_cast<std::size_t>(end - plan.shortEnds.begin())];
    }
    if (!readSteps(plan, plan.steps.data(), plan.steps.data() + columns, record.data(), out)) return 0;
  }
  if (plan.crlf) *out++ = '\r';
  *out++ = '\n';
  return static_cast<std::size_t>(out - start);
}

}  // namespace quor
