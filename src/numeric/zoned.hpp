#pragma once
// Number text to host zoned decimal: one byte per digit, zone 0xF, a negative value marked by zone 0xD
// in the last byte; and zoned fields read back. The kernels below are the one home of the zoned
// rules: the component's encoder, the record builder, the decoder and both record plans write and
// read zoned bytes through them.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "base/ascii.hpp"
#include "base/decode_fault.hpp"

#include "quor/byte_string.hpp"

namespace quor::numeric {

inline constexpr std::uint8_t kZonePlain = 0xF0;
inline constexpr std::uint8_t kZoneNegative = 0xD0;

// Writes `count` ASCII digits ("0".."9", checked by the caller) as zoned bytes at `out`: zone F over
// each digit, eight at a time, the last few in a word that overlaps the ones before.
inline void putZonedDigits(const char* digits, std::size_t count, std::uint8_t* out) noexcept {
  constexpr std::uint64_t kZones8 = 0x0101010101010101u * kZonePlain;
  constexpr std::uint32_t kZones4 = 0x01010101u * kZonePlain;
  const auto zoneWord = [&](std::size_t at, auto zones) {
    const auto word = static_cast<decltype(zones)>(base::loadWord<decltype(zones)>(digits + at) | zones);
    std::memcpy(out + at, &word, sizeof word);
  };
  if (count >= 8) {
    for (std::size_t i = 0; i + 8 <= count; i += 8) zoneWord(i, kZones8);
    zoneWord(count - 8, kZones8);
  } else if (count >= 4) {
    zoneWord(0, kZones4);
    zoneWord(count - 4, kZones4);
  } else {
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(kZonePlain | (digits[i] - '0'));
  }
}

// The same for UTF-16 units not yet checked: writes the digits up to the first unit that is no digit
// and returns how many it wrote.
inline std::size_t putZonedDigits(const char16_t* digits, std::size_t count, std::uint8_t* out) noexcept {
  std::size_t i = 0;
  for (; i < count && base::isDigit(digits[i]); ++i) out[i] = static_cast<std::uint8_t>(kZonePlain | (digits[i] - u'0'));
  return i;
}

// Marks a zoned value negative: zone D in its last byte.
inline void putZonedNegative(std::uint8_t& last) noexcept {
  last = static_cast<std::uint8_t>(kZoneNegative | (last & 0x0Fu));
}

// Writes a zoned field of field.size() bytes holding `digits` (ASCII "0".."9", checked by the caller,
// at most field.size(): the caller keeps those that fit), zeros in front, zone D in the last byte when
// `negative`.
inline void writeZoned(std::string_view digits, bool negative, std::span<std::uint8_t> field) noexcept {
  const std::size_t pad = field.size() - digits.size();
  if (pad > 0 && pad <= 8 && field.size() >= 8) {
    // A short run of zeros in a field of eight bytes or more: eight zeros at once, the digits over them.
    constexpr std::uint64_t kEightZeros = 0x0101010101010101u * kZonePlain;
    std::memcpy(field.data(), &kEightZeros, 8);
  } else if (pad > 0) {
    std::memset(field.data(), kZonePlain, pad);
  }
  putZonedDigits(digits.data(), digits.size(), field.data() + pad);
  if (negative && !field.empty()) putZonedNegative(field.back());
}

// Reads a zoned field: its digits (the low nibbles) as ASCII into `digits`, which has room for
// bytes.size(), and its sign (the last byte's zone: F and C positive, D negative where `isSigned`). A
// digit nibble above 9, a zone other than F before the last byte, or another zone in the last byte is
// invalid data: the fault names the byte. An empty field reads as zero (no digits).
inline std::optional<base::DecodeFault> readZoned(std::span<const std::uint8_t> bytes, bool isSigned, char* digits,
                                                  bool& negative) noexcept {
  negative = false;
  const std::size_t n = bytes.size();
  if (n == 0) return std::nullopt;
  // Every byte but the last: zone F over a digit. Eight bytes at a time (four for fewer), the last
  // few in a word that overlaps the ones before; a word that fails is looked at a byte at a time.
  const std::size_t body = n - 1;
  const auto digitWord = [&](std::size_t at, auto word) {
    using Word = decltype(word);
    constexpr auto kHigh = static_cast<Word>(0xF0F0F0F0F0F0F0F0ull);
    constexpr auto kLow = static_cast<Word>(0x0F0F0F0F0F0F0F0Full);
    word = base::loadWord<Word>(bytes.data() + at);
    if ((word & kHigh) != kHigh || (static_cast<Word>((word & kLow) + static_cast<Word>(0x0606060606060606ull)) & kHigh) != 0)
      return false;
    const auto ascii = static_cast<Word>((word & kLow) | static_cast<Word>(0x3030303030303030ull));
    std::memcpy(digits + at, &ascii, sizeof ascii);
    return true;
  };
  std::size_t i = 0;
  if (body >= 8) {
    while (i + 8 <= body && digitWord(i, std::uint64_t{})) i += 8;
    if (i + 8 > body && (i == body || digitWord(body - 8, std::uint64_t{}))) i = body;
  } else if (body >= 4 && digitWord(0, std::uint32_t{}) && digitWord(body - 4, std::uint32_t{})) {
    i = body;
  }
  for (; i < body; ++i) {
    if ((bytes[i] & 0x0Fu) > 9) return base::DecodeFault{i, 1, "digit nibble above 9"};
    if (bytes[i] >> 4 != 0xF) return base::DecodeFault{i, 1, "zone other than F before the last byte"};
    digits[i] = static_cast<char>('0' + (bytes[i] & 0x0Fu));
  }
  // The last byte: a digit and the sign zone.
  const unsigned zone = bytes[body] >> 4;
  const unsigned digit = bytes[body] & 0x0Fu;
  if (digit > 9) return base::DecodeFault{body, 1, "digit nibble above 9"};
  if (zone == 0xD) {
    if (!isSigned) return base::DecodeFault{body, 1, "negative sign zone D in a field without sign"};
    negative = true;
  } else if (zone != 0xF && zone != 0xC) {
    return base::DecodeFault{body, 1, "sign zone other than C, D or F"};
  }
  digits[body] = static_cast<char>('0' + digit);
  return std::nullopt;
}

// Where a typed zoned field keeps its sign: nowhere (unsigned), in the zone of its last or first digit
// (an overpunch), or in a byte of its own after or before the digits.
enum class ZonedSign : std::uint8_t { none, trailing, leading, trailingSeparate, leadingSeparate };

inline constexpr std::uint8_t kSeparatePlus = 0x4E;   // "+" in EBCDIC
inline constexpr std::uint8_t kSeparateMinus = 0x60;  // "-"

inline constexpr bool isSeparate(ZonedSign sign) noexcept {
  return sign == ZonedSign::trailingSeparate || sign == ZonedSign::leadingSeparate;
}

// True when a BLANK WHEN ZERO field's bytes are those written for zero: every byte an EBCDIC blank.
inline bool writtenAsBlanks(std::span<const std::uint8_t> bytes) noexcept {
  for (const std::uint8_t byte : bytes)
    if (byte != 0x40) return false;
  return true;
}

// Writes a typed zoned field of field.size() bytes (one of them the sign's when it is separate):
// `digits` (ASCII, checked by the caller, at most the digit bytes) with zeros in front, and the sign
// where `sign` says: an overpunch zone D for a negative value and `positiveZone` (0xC or 0xF) for any
// other, or a byte "+" (0x4E) or "-" (0x60).
inline void writeZonedSigned(std::string_view digits, bool negative, ZonedSign sign, std::uint8_t positiveZone,
                             std::span<std::uint8_t> field) noexcept {
  if (field.empty()) return;
  if (isSeparate(sign)) {
    const bool leading = sign == ZonedSign::leadingSeparate;
    writeZoned(digits, false, field.subspan(leading ? 1 : 0, field.size() - 1));
    (leading ? field.front() : field.back()) = negative ? kSeparateMinus : kSeparatePlus;
    return;
  }
  writeZoned(digits, false, field);
  if (sign == ZonedSign::none) return;
  std::uint8_t& signed_ = sign == ZonedSign::leading ? field.front() : field.back();
  const unsigned zone = negative ? unsigned{kZoneNegative} : unsigned{positiveZone} << 4;
  signed_ = static_cast<std::uint8_t>(zone | (signed_ & 0x0Fu));
}

// Reads a typed zoned field written by writeZonedSigned: its digits (field.size() less a separate sign
// byte) as ASCII into `digits` and its sign. The sign is read as the component's fields read it where
// it is the last zone (F, C positive, D negative); a leading overpunch takes the same zones in the
// first byte, every other byte then zone F; a separate sign is "+" or "-" and every digit has zone F.
inline std::optional<base::DecodeFault> readZonedSigned(std::span<const std::uint8_t> bytes, ZonedSign sign,
                                                        char* digits, bool& negative) noexcept {
  negative = false;
  if (sign == ZonedSign::none || sign == ZonedSign::trailing || bytes.empty())
    return readZoned(bytes, sign == ZonedSign::trailing, digits, negative);
  const bool leading = sign != ZonedSign::trailingSeparate;
  const std::size_t signAt = leading ? 0 : bytes.size() - 1;
  const std::uint8_t signByte = bytes[signAt];
  std::span<const std::uint8_t> body = bytes;
  if (isSeparate(sign)) {
    if (signByte != kSeparatePlus && signByte != kSeparateMinus)
      return base::DecodeFault{signAt, 1, "separate sign other than \"+\" (4E) or \"-\" (60)"};
    negative = signByte == kSeparateMinus;
    body = bytes.subspan(leading ? 1 : 0, bytes.size() - 1);
  } else {
    // The first byte as if its zone were F; its own zone is the sign.
    const unsigned zone = signByte >> 4;
    if ((signByte & 0x0Fu) > 9) return base::DecodeFault{0, 1, "digit nibble above 9"};
    if (zone != 0xF && zone != 0xC && zone != 0xD) return base::DecodeFault{0, 1, "sign zone other than C, D or F"};
    negative = zone == 0xD;
    digits[0] = static_cast<char>('0' + (signByte & 0x0Fu));
    body = bytes.subspan(1);
    ++digits;
  }
  const std::size_t shift = leading ? 1 : 0;
  bool bodyNegative = false;
  if (auto fault = readZoned(body, false, digits, bodyNegative)) {
    fault->offset += shift;
    return fault;
  }
  if (!body.empty() && body.back() >> 4 != 0xF)
    return base::DecodeFault{shift + body.size() - 1, 1, "zone other than F in a digit"};
  return std::nullopt;
}

// Appends exactly `width` bytes to `out`: the component's zoned encoder. The value is negative when the
// text holds a "-" anywhere and `sign` is set; every "-" then reads as the digit 0. The digits are
// right-aligned, padded with 0 on the left, and a longer text loses its leading characters. Throws
// quor::Error, leaving `out` as it was; the first that applies: 6 for a width outside -32768..32767 or
// a text of 32767 characters or more, 6 for the width 32767, 5 for a negative width, 9 for the width
// 0, 13 for a character in the field that is not "0".."9".
void appendZoned(std::u16string_view text, std::int32_t width, bool sign, ByteString& out);

// Appends a zoned field of `width` bytes holding `digits` (ASCII "0".."9"): their rightmost `width`,
// zeros in front, zone F in every byte but the last of a negative value, which has zone D.
void appendZonedDigits(std::string_view digits, bool negative, std::size_t width, ByteString& out);

}  // namespace quor::numeric
