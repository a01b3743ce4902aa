#pragma once
// Shared by the fuzz targets: how an input's bytes become the arguments of a call, and the check that
// stops the run when an invariant breaks.
//
// Layout of an input: byte 0 holds flags, then comes the length argument, then the text bytes.
//   flags bit 0: the text bytes are UTF-16LE units (any unit, lone surrogates included) instead of
//                code page 932 bytes (readable seeds and dictionary words);
//   flags bit 1: ConvertSign false;
//   flags bits 2-3: the length is a little-endian signed integer of 1, 2 or (3) 4 bytes.
// Targets that take several texts cut the decoded text at U+0000 into up to three parts.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/limits.hpp"
#include "text/cp932.hpp"
#include "quor/error.hpp"
#include "quor/layout.hpp"

namespace quor::fuzz {

// The JIS-derived pair of a code page 932 code, worked out the way the JEF encoder's arithmetic does,
// as the reference both JEF targets check against.
inline std::pair<int, int> jisPairOfCode(std::uint16_t code) {
  int j1 = code > 0xFF ? code >> 8 : code;
  int j2 = code > 0xFF ? code & 0xFF : 0;
  j1 = j1 <= 0x9F ? j1 - 0x71 : j1 - 0xB1;
  j1 = j1 * 2 + 1;
  if (j2 > 0x7F) --j2;
  if (j2 >= 0x9E) {
    j2 -= 0x7D;
    ++j1;
  } else {
    j2 -= 0x1F;
  }
  return {j1, j2};
}

// The pair of a character, from the code page 932 code it is written as.
inline std::pair<int, int> jisPairOf(char16_t c) {
  return jisPairOfCode(quor::text::cp932::encode(c));
}

[[noreturn]] inline void broken(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, condition);
  __builtin_trap();
}

#define QUOR_FUZZ_CHECK(condition) \
  ((condition) ? static_cast<void>(0) : ::quor::fuzz::broken(#condition, __FILE__, __LINE__))

// Reads the input front to back; a read past the end gives zeros.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  // The flags byte; read first.
  std::uint8_t flags() {
    flags_ = byte();
    return flags_;
  }
  [[nodiscard]] bool rawUtf16() const { return (flags_ & 1u) != 0; }
  [[nodiscard]] bool sign() const { return (flags_ & 2u) == 0; }

  // The length argument, 1, 2 or 4 bytes wide as the flags say, sign-extended.
  std::int32_t length() {
    const unsigned width = (flags_ >> 2) & 3u;
    if (width == 0) return static_cast<std::int8_t>(byte());
    if (width == 1) {
      const auto low = byte();
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (byte() << 8)));
    }
    std::uint32_t value = 0;
    for (unsigned shift = 0; shift < 32; shift += 8) value |= static_cast<std::uint32_t>(byte()) << shift;
    return static_cast<std::int32_t>(value);
  }

  // The next `count` bytes (fewer at the end).
  std::string_view bytes(std::size_t count) {
    const std::size_t n = count < size_ - pos_ ? count : size_ - pos_;
    const std::string_view out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }
  std::string_view rest() { return bytes(size_ - pos_); }

  // Bytes as a text, per the flags.
  [[nodiscard]] std::u16string text(std::string_view raw) const {
    if (!rawUtf16()) return text::cp932::decodeText(raw);
    std::u16string out;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2)
      out += static_cast<char16_t>(static_cast<std::uint8_t>(raw[i]) |
                                   (static_cast<std::uint8_t>(raw[i + 1]) << 8));
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::uint8_t flags_ = 0;
};

// The text (a UTF-16 string, or bytes in a view) cut at its zero units into exactly `count` parts (at
// least one); the last part keeps any further zero.
template <class Text>
std::vector<Text> parts(const Text& text, std::size_t count) {
  std::vector<Text> out;
  std::size_t start = 0;
  while (out.size() + 1 < count) {
    const std::size_t nul = text.find(typename Text::value_type{0}, start);
    if (nul == Text::npos) break;
    out.push_back(text.substr(start, nul - start));
    start = nul + 1;
  }
  out.push_back(start <= text.size() ? text.substr(start) : Text());
  while (out.size() < count) out.emplace_back();
  return out;
}

inline bool oneOf(int number, std::initializer_list<int> allowed) {
  for (int n : allowed)
    if (n == number) return true;
  return false;
}

// Lengths up to this many bytes are always within the memory one call may take; beyond it error 7
// (or JEF's empty result) is an allowed answer.
inline constexpr std::int64_t kAlwaysAllocatable = std::int64_t{1} << 20;

// A length whose result (`bytesPerUnit` bytes a unit) lies between kAlwaysAllocatable and just below
// the per-call ceiling behaves like a small one but costs an allocation of many megabytes on every run;
// such lengths are folded down so the fuzzer's time goes to new behaviour. Lengths at the ceiling, just
// below it and beyond it are kept as they are.
inline std::int32_t foldLength(std::int32_t length, std::int64_t bytesPerUnit) {
  const std::int64_t bytes = std::int64_t{length} * bytesPerUnit;
  const auto ceiling = static_cast<std::int64_t>(quor::base::kMaxResultBytes);
  if (bytes <= kAlwaysAllocatable || bytes > ceiling - 8 * bytesPerUnit) return length;
  return static_cast<std::int32_t>(length % (kAlwaysAllocatable / bytesPerUnit));
}

// A field of a clause that shapes its bytes, one of 16: floats, sign placements, decimal scaling, a
// binary field's full range, edited pictures, JUSTIFIED RIGHT, BLANK WHEN ZERO.
inline quor::LayoutField clauseFieldOf(unsigned variant) {
  quor::LayoutField field;
  field.name = "c";
  const auto number = [&](quor::FieldKind kind, std::int32_t digits, std::int32_t scale, bool isSigned) {
    field.kind = kind;
    field.length = digits;
    field.scale = scale;
    field.isSigned = isSigned;
  };
  const auto edited = [&](quor::FieldKind kind, const char* picture, std::int32_t length) {
    field.kind = kind;
    field.picture = picture;
    field.length = length;
  };
  switch (variant & 0x0Fu) {
    case 0: field.kind = quor::FieldKind::float4; break;
    case 1: field.kind = quor::FieldKind::float8; break;
    case 2: field.kind = quor::FieldKind::float4; field.floatFormat = quor::FloatFormat::ieee; break;
    case 3: field.kind = quor::FieldKind::float8; field.floatFormat = quor::FloatFormat::ieee; break;
    case 4: number(quor::FieldKind::zoned, 3, 0, true); field.sign = quor::SignPlacement::leading; break;
    case 5: number(quor::FieldKind::zoned, 3, 1, true); field.sign = quor::SignPlacement::trailingSeparate; break;
    case 6: number(quor::FieldKind::zoned, 2, 2, true); field.sign = quor::SignPlacement::leadingSeparate; break;
    case 7: number(quor::FieldKind::zoned, 3, 1, true); field.blankWhenZero = true; field.positiveZone = quor::kPositiveZoneF; break;
    case 8: number(quor::FieldKind::zoned, 3, -2, false); break;
    case 9: number(quor::FieldKind::packed, 3, 5, true); break;
    case 10: field.kind = quor::FieldKind::text; field.length = 4; field.justifiedRight = true; break;
    case 11: number(quor::FieldKind::binary, 18, -1, true); field.range = quor::BinaryRange::full; break;
    case 12: edited(quor::FieldKind::edited, "ZZ,ZZ9.99-", 10); break;
    case 13: edited(quor::FieldKind::edited, "$$$9.99CR", 9); field.blankWhenZero = true; break;
    case 14: edited(quor::FieldKind::editedText, "XXBX/X", 6); break;
    default: field.kind = quor::FieldKind::national; field.length = 3; field.justifiedRight = true; break;
  }
  return field;
}

// A small layout field from one byte: a component format (low nibble 0-3) or a typed kind, its size or
// digits, scale and sign from the other bits; low nibble 13, a field of a clause (clauseFieldOf).
inline quor::LayoutField layoutFieldOf(std::uint8_t code) {
  const std::int32_t size = 1 + (code >> 4) % 6;
  if ((code & 0x0Fu) == 13) return clauseFieldOf(code >> 4);
  quor::LayoutField field;
  field.name = "f";
  switch (code & 0x0Fu) {
    case 0: case 1: case 2: case 3:
      field.format = static_cast<quor::CFormatDirection>(code & 3u);
      field.length = size;
      break;
    case 4: field.kind = quor::FieldKind::text; field.length = size; break;
    case 5: field.kind = quor::FieldKind::national; field.length = size; break;
    case 6: case 7: field.kind = quor::FieldKind::zoned; break;
    case 8: case 9: field.kind = quor::FieldKind::packed; break;
    case 10: case 11: field.kind = quor::FieldKind::binary; break;
    default: field.kind = quor::FieldKind::filler; field.length = size; field.role = quor::FieldRole::constant; break;
  }
  if (field.kind == quor::FieldKind::zoned || field.kind == quor::FieldKind::packed ||
      field.kind == quor::FieldKind::binary) {
    field.length = 1 + (code >> 4) % 12;
    field.scale = (code >> 6) % 3 > field.length ? 0 : (code >> 6) % 3;
    field.isSigned = (code & 1u) != 0;
  }
  return field;
}

// The byte that starts a field given in full (layoutOf); 0xFF ends the fields.
inline constexpr std::uint8_t kFullField = 0xFE;

// Bytes of a field given in full that take the next two bytes for a large value: a length byte from
// kWideLength on, the repeat byte kManyTimes. Most fields stay small and few, so most runs are fast; a
// record at the cap takes 1,025 fields.
inline constexpr std::uint8_t kWideLength = 0xFC;
inline constexpr std::uint8_t kManyTimes = 0xFF;

// A field given in full, after kFullField, any of whose parts may be out of range:
//   byte 0: bits 0-2 the kind (0 component, 1 text, 2 national, 3 zoned, 4 packed, 5 binary, 6 filler,
//           7 a value beyond the kinds), bits 3-4 the role (0 column, 1 constant, 2 overlay, 3 a value
//           beyond the roles), bits 5-7 the format code of a component field (4-7 none);
//   the length plus one: a byte below kWideLength, or such a byte and 2 bytes little-endian (-1 to
//   65534);
//   the scale, a signed byte; the fill byte, its bit 0 also the sign of a number;
//   the times the field repeats: a byte other than kManyTimes gives 1 to 8, kManyTimes and 2 bytes
//   little-endian 1 to 4096;
//   an overlay's offset: a byte with bit 7 set, then 8 bytes little-endian taken as they are; clear,
//   then 2 bytes little-endian taken modulo one more than the bytes of the fields before it.
inline quor::LayoutField fullLayoutField(Input& in, std::size_t laid, std::size_t& times) {
  const auto twoBytes = [&] {
    const unsigned low = in.byte();
    return low | (unsigned{in.byte()} << 8);
  };
  const std::uint8_t code = in.byte();
  quor::LayoutField field;
  field.name = "g";
  // 7 stands for a value beyond the kinds, as it did before the kinds grew.
  field.kind = static_cast<quor::FieldKind>((code & 7u) == 7 ? 200u : code & 7u);
  field.role = static_cast<quor::FieldRole>((code >> 3) & 3u);
  field.format = static_cast<quor::CFormatDirection>(code >> 5);
  const std::uint8_t length = in.byte();
  field.length = static_cast<std::int32_t>(length < kWideLength ? length : twoBytes()) - 1;
  field.scale = static_cast<std::int8_t>(in.byte());
  field.fill = in.byte();
  field.isSigned = (field.fill & 1u) != 0;
  const std::uint8_t repeat = in.byte();
  times = 1 + (repeat != kManyTimes ? repeat % 8u : twoBytes() & 0x0FFFu);
  if (field.role == quor::FieldRole::overlay) {
    if ((in.byte() & 0x80u) != 0) {
      for (unsigned shift = 0; shift < 64; shift += 8)
        field.offset |= static_cast<std::size_t>(in.byte()) << shift;
    } else {
      field.offset = twoBytes() % (laid + 1);
    }
  }
  return field;
}

// The byte that starts a varying table (OCCURS DEPENDING ON) over the fields before it, among the
// entries of layoutOf: then its counter's field, its first field (each modulo the fields so far), the
// fields an element (1 to 8), its most and its fewest elements (0 to 7 each), any of them out of range.
inline constexpr std::uint8_t kVaryingTable = 0xFD;

inline quor::VaryingTable varyingTable(Input& in, std::size_t fields) {
  quor::VaryingTable table;
  table.name = "v";
  table.counter = fields == 0 ? 0 : in.byte() % fields;
  table.first = fields == 0 ? 0 : in.byte() % fields;
  table.width = 1 + in.byte() % 8u;
  table.most = in.byte() % 8u;
  table.least = in.byte() % 8u;
  return table;
}

// What finishLayout promises of a layout it accepts: sizes as fieldSize() gives them, the fields that
// are no overlays laid one after the other from byte 0 to the record's length of at most 64 MiB, each
// overlay within the bytes of the fields before it, fillers constant and component fields never.
inline void checkFinished(const quor::Layout& layout) {
  std::size_t laid = 0;
  for (const quor::LayoutField& field : layout.fields) {
    QUOR_FUZZ_CHECK(field.size == quor::fieldSize(field) && field.size >= 1);
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::filler || field.role == quor::FieldRole::constant);
    QUOR_FUZZ_CHECK(field.kind != quor::FieldKind::component || field.role != quor::FieldRole::constant);
    if (field.role == quor::FieldRole::overlay) {
      QUOR_FUZZ_CHECK(field.offset < laid && field.size <= laid - field.offset);
    } else {
      QUOR_FUZZ_CHECK(field.offset == laid);
      laid += field.size;
    }
  }
  QUOR_FUZZ_CHECK(laid == layout.recordLength && laid <= quor::base::kMaxResultBytes);
  // A varying layout: every table's counts within range place its fields, from the shortest record
  // (every table at its fewest) to the longest (every table at its most, the fields' own offsets).
  QUOR_FUZZ_CHECK(layout.shortestLength <= layout.recordLength);
  if (!layout.varies()) {
    QUOR_FUZZ_CHECK(layout.shortestLength == layout.recordLength);
    return;
  }
  std::vector<std::size_t> most;
  for (const quor::VaryingTable& table : layout.tables) most.push_back(table.most);
  std::vector<std::size_t> offsets;
  QUOR_FUZZ_CHECK(quor::placeFields(layout, most, offsets) == layout.recordLength);
  for (std::size_t i = 0; i < layout.fields.size(); ++i) QUOR_FUZZ_CHECK(offsets[i] == layout.fields[i].offset);
  const quor::LayoutField& counter = layout.fields[layout.tables.front().counter];
  QUOR_FUZZ_CHECK(counter.role == quor::FieldRole::column && counter.scale == 0);
}

// A layout of up to eight entries up to a 0xFF byte, finished by finishLayout: an entry is one byte
// (layoutFieldOf), kVaryingTable and a table, or kFullField and a field given in full, repeated, up to
// `mostFields` fields in all
// (a record at the cap takes 1,025; the default keeps the layouts of the record targets quick to
// make, their records being skipped beyond 64 KiB anyway). A layout finishLayout refuses
// must be refused with error 5 naming a field; it gives the empty layout, as does an input without
// fields. So does an accepted layout whose record lies between 64 KiB and the last 64 KiB below the
// cap: such records behave as smaller ones do, at a cost of milliseconds to seconds a run under the
// fuzzer.
inline quor::Layout layoutOf(Input& in, std::size_t mostFields = 64) {
  quor::Layout layout;
  std::size_t laid = 0;  // the bytes of the fields so far, as far as their sizes go
  for (int entries = 0; entries < 8 && layout.fields.size() < mostFields; ++entries) {
    const std::uint8_t code = in.byte();
    if (code == 0xFF) break;
    if (code == kVaryingTable) {
      layout.tables.push_back(varyingTable(in, layout.fields.size()));
      continue;
    }
    std::size_t times = 1;
    const quor::LayoutField field =
        code == kFullField ? fullLayoutField(in, laid, times) : layoutFieldOf(code);
    times = std::min(times, mostFields - layout.fields.size());
    layout.fields.insert(layout.fields.end(), times, field);
    if (field.role != quor::FieldRole::overlay) laid += times * quor::fieldSize(field);
  }
  if (layout.fields.empty()) return {};
  try {
    quor::finishLayout(layout);
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall &&
                    std::string_view(e.what()).substr(0, 6) == "field ");
    return {};
  }
  checkFinished(layout);
  constexpr std::size_t kLarge = std::size_t{1} << 16;
  if (layout.recordLength > kLarge && layout.recordLength < quor::base::kMaxResultBytes - kLarge) return {};
  return layout;
}

inline bool isDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

}  // namespace quor::fuzz
