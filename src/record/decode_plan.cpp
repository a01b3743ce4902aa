// DecodePlan: the common record read straight into its CSV line. The character tables are filled by
// asking the library's own decoders about every byte and byte pair when the plan is made; a record
// with invalid data, or a value the CSV writer would have to quote, is left to RecordDecoder and the
// writer.

#include <cstring>
#include <vector>

#include "base/api_guard.hpp"
#include "numeric/packed.hpp"
#include "quor/error.hpp"
#include "quor/record_plan.hpp"
#include "record/field_kind.hpp"
#include "record/plan_tables.hpp"
#include "text/cp932.hpp"

namespace quor {

namespace {

enum class Kernel : std::uint8_t { text, national, zoned, packed, binary };

struct Step {
  Kernel kernel;
  std::uint32_t offset;
  std::uint32_t bytes;
  std::uint32_t capacity;  // digits a number may have
  std::int32_t scale;
  bool isSigned;           // zoned: a D zone is a sign; binary: two's complement
  numeric::PackedSign packedSign;
};

using Piece = record::PlanTableData::Piece;

// The compiled plan.
struct Plan {
  std::vector<Step> steps;
  std::vector<Piece> ebcdic;  // 256 bytes
  const Piece* jef = nullptr;  // 65536 pairs, first byte high: the tables'
  PlanTables tables;           // kept for jef
  char delimiter = ',';
  bool crlf = false;
  bool keepPadding = false;
  std::size_t maxLine = 0;
};

using Steps = Plan;

// Writes the digits of a number field's text: "-" for a negative value that is not zero, the digits
// without leading zeros, the decimal point before the last `scale`. False when it has more digits
// than `capacity` (a pad nibble holding one).
bool writeDigits(const char* digits, std::size_t count, bool negative, const Step& step, char*& out) noexcept {
  std::size_t first = 0;
  while (first < count && digits[first] == '0') ++first;
  const std::size_t significant = count - first;
  if (significant > step.capacity) return false;
  if (negative && significant > 0) *out++ = '-';
  const auto places = static_cast<std::size_t>(step.scale);
  if (significant <= places) {
    *out++ = '0';
    if (places > 0) {
      *out++ = '.';
      for (std::size_t i = significant; i < places; ++i) *out++ = '0';
      std::memcpy(out, digits + first, significant);
      out += significant;
    }
    return true;
  }
  const std::size_t integer = significant - places;
  std::memcpy(out, digits + first, integer);
  out += integer;
  if (places > 0) {
    *out++ = '.';
    std::memcpy(out, digits + first + integer, places);
    out += places;
  }
  return true;
}

// The widest number fields the plan reads: more than any typed kind has; a component field wider
// still is left to RecordDecoder.
constexpr std::uint32_t kMostNumberBytes = 40;

bool readZoned(const std::uint8_t* bytes, const Step& step, char*& out) noexcept {
  char digits[kMostNumberBytes];
  if (step.bytes > kMostNumberBytes) return false;
  bool negative = false;
  for (std::uint32_t i = 0; i < step.bytes; ++i) {
    const unsigned zone = bytes[i] >> 4;
    const unsigned digit = bytes[i] & 0x0Fu;
    if (digit > 9) return false;
    if (i + 1 < step.bytes) {
      if (zone != 0xF) return false;
    } else if (zone == 0xD) {
      if (!step.isSigned) return false;
      negative = true;
    } else if (zone != 0xF && zone != 0xC) {
      return false;
    }
    digits[i] = static_cast<char>('0' + digit);
  }
  return writeDigits(digits, step.bytes, negative, step, out);
}

bool readPacked(const std::uint8_t* bytes, const Step& step, char*& out) noexcept {
  char digits[2 * kMostNumberBytes];
  if (step.bytes > kMostNumberBytes) return false;
  std::size_t count = 0;
  bool negative = false;
  const std::size_t nibbles = 2 * static_cast<std::size_t>(step.bytes);
  for (std::size_t k = 0; k < nibbles; ++k) {
    const unsigned nibble = k % 2 == 0 ? bytes[k / 2] >> 4 : bytes[k / 2] & 0x0Fu;
    if (k + 1 == nibbles && step.packedSign != numeric::PackedSign::none) {
      if (nibble == 0xD && step.packedSign == numeric::PackedSign::signedCD)
        negative = true;
      else if (nibble != 0xC && nibble != 0xF)
        return false;
      break;
    }
    if (nibble > 9) return false;
    digits[count++] = static_cast<char>('0' + nibble);
  }
  return writeDigits(digits, count, negative, step, out);
}

bool readBinary(const std::uint8_t* bytes, const Step& step, char*& out) noexcept {
  std::uint64_t value = 0;
  for (std::uint32_t i = 0; i < step.bytes; ++i) value = (value << 8) | bytes[i];
  const std::uint32_t bits = 8 * step.bytes;
  const bool negative = step.isSigned && (value >> (bits - 1)) != 0;
  std::uint64_t magnitude = value;
  if (negative) magnitude = bits == 64 ? ~value + 1 : (std::uint64_t{1} << bits) - value;
  char digits[24];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  for (std::size_t i = 0; i < count / 2; ++i) std::swap(digits[i], digits[count - 1 - i]);
  return writeDigits(digits, count, negative, step, out);
}

bool readText(const Steps& plan, const std::uint8_t* bytes, std::uint32_t size, char*& out) noexcept {
  std::uint32_t end = size;
  if (!plan.keepPadding)
    while (end > 0 && (bytes[end - 1] == 0x40 || bytes[end - 1] == 0x00)) --end;
  for (std::uint32_t i = 0; i < end; ++i) {
    const Piece& piece = plan.ebcdic[bytes[i]];
    if (piece.length == 0) return false;
    std::memcpy(out, piece.bytes, 3);
    out += piece.length;
  }
  return true;
}

bool readNational(const Steps& plan, const std::uint8_t* bytes, std::uint32_t size, char*& out) noexcept {
  std::uint32_t end = size;
  if (!plan.keepPadding)
    while (end >= 2 && ((bytes[end - 2] == 0xA1 && bytes[end - 1] == 0xA1) || (bytes[end - 2] == 0 && bytes[end - 1] == 0)))
    end -= 2;
  for (std::uint32_t i = 0; i < end; i += 2) {
    const Piece& piece = plan.jef[(static_cast<unsigned>(bytes[i]) << 8) | bytes[i + 1]];
    if (piece.length == 0) return false;
    std::memcpy(out, piece.bytes, 3);
    out += piece.length;
  }
  return true;
}

}  // namespace

struct DecodePlan::Steps : Plan {};

DecodePlan::DecodePlan(const Layout& layout, const RecordOptions& options, const PlanTables& tables,
                       const CsvWriteOptions& csv) {
  const bool convertSign = options.convertSign;
  if (tables.data().jefRead.empty()) throw Error(errors::kInvalidCall, "the plan tables were made for encode plans only");
  steps_ = base::guarded([&] {
    auto plan = std::make_unique<Steps>(Steps{Plan{{}, {}, nullptr, tables}});
    plan->delimiter = csv.delimiter;
    plan->crlf = csv.crlf;
    plan->keepPadding = options.keepPadding;
    // Each byte and pair as the decoders read it, and as the output writes it.
    const record::PlanTableData& forms = tables.data();
    plan->ebcdic.resize(256);
    for (unsigned byte = 0; byte < 256; ++byte)
      plan->ebcdic[byte] = record::pieceOf(forms.ebcdicRead[byte], csv.encoding, csv.delimiter);
    plan->jef = (csv.encoding == TextEncoding::utf8 ? forms.jefUtf8 : forms.jefCp932).data();
    std::size_t line = 8;  // the line end, and room for a piece written whole
    for (const LayoutField& field : layout.fields) {
      if (field.role != FieldRole::column) continue;
      const bool component = field.kind == FieldKind::component;
      Step step{Kernel::text, static_cast<std::uint32_t>(field.offset), static_cast<std::uint32_t>(field.size),
                static_cast<std::uint32_t>(record::digitCapacity(field, convertSign)), component ? 0 : field.scale,
                component ? convertSign : field.isSigned, numeric::PackedSign::none};
      switch (record::writtenKind(field)) {
        case FieldKind::national:
          step.kernel = Kernel::national;
          line += 3 * field.size / 2 + 1;
          break;
        case FieldKind::zoned:
          step.kernel = Kernel::zoned;
          line += field.size + 4;  // a digit a byte, a sign, "0." when every digit is a place, the delimiter
          break;
        case FieldKind::packed:
          step.kernel = Kernel::packed;
          step.packedSign = record::packedSignOf(field, convertSign);
          line += 2 * field.size + 4;
          break;
        case FieldKind::binary:
          step.kernel = Kernel::binary;
          line += 24;
          break;
        default:
          step.kernel = Kernel::text;
          line += 3 * field.size + 1;
          break;
      }
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

std::size_t DecodePlan::decode(std::span<const std::uint8_t> record, char* out) const noexcept {
  const Steps& plan = *steps_;
  char* const start = out;
  bool first = true;
  for (const Step& step : plan.steps) {
    if (!first) *out++ = plan.delimiter;
    first = false;
    const std::uint8_t* const bytes = record.data() + step.offset;
    bool ok = false;
    switch (step.kernel) {
      case Kernel::text:
        ok = readText(plan, bytes, step.bytes, out);
        break;
      case Kernel::national:
        ok = readNational(plan, bytes, step.bytes, out);
        break;
      case Kernel::zoned:
        ok = readZoned(bytes, step, out);
        break;
      case Kernel::packed:
        ok = readPacked(bytes, step, out);
        break;
      case Kernel::binary:
        ok = readBinary(bytes, step, out);
        break;
    }
    if (!ok) return 0;
  }
  if (plan.crlf) *out++ = '\r';
  *out++ = '\n';
  return static_cast<std::size_t>(out - start);
}

}  // namespace quor
