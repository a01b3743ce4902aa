#include "numeric/floating.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <algorithm>
#include <array>
#include <vector>

namespace quor::numeric {

namespace {

// The limbs of a Big: in the object up to kInline of them (every value a float field's text needs, so
// reading one allocates nothing), on the heap beyond (the long texts writing may be given).
class Limbs {
 public:
  Limbs() noexcept {}
  Limbs(const Limbs& other) { assign(other); }
  Limbs& operator=(const Limbs& other) {
    if (this != &other) assign(other);
    return *this;
  }
  ~Limbs() = default;

  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }
  std::uint32_t* begin() noexcept { return data(); }
  std::uint32_t* end() noexcept { return data() + size_; }
  std::uint32_t& operator[](std::size_t i) noexcept { return data()[i]; }
  std::uint32_t operator[](std::size_t i) const noexcept { return data()[i]; }
  [[nodiscard]] std::uint32_t back() const noexcept { return data()[size_ - 1]; }
  void pop_back() noexcept { --size_; }
  void push_back(std::uint32_t limb) {
    reserve(size_ + 1);
    data()[size_++] = limb;
  }
  // `count` zero limbs in front: times 2^(32 count).
  void prependZeros(std::size_t count) {
    reserve(size_ + count);
    std::uint32_t* const at = data();
    std::memmove(at + count, at, size_ * sizeof(std::uint32_t));
    std::memset(at, 0, count * sizeof(std::uint32_t));
    size_ += count;
  }

 private:
  static constexpr std::size_t kInline = 64;

  std::uint32_t* data() noexcept { return heap_.empty() ? inline_ : heap_.data(); }
  [[nodiscard]] const std::uint32_t* data() const noexcept { return heap_.empty() ? inline_ : heap_.data(); }
  void reserve(std::size_t count) {
    const std::size_t capacity = heap_.empty() ? kInline : heap_.size();
    if (count <= capacity) return;
    std::vector<std::uint32_t> larger(std::max(count, 2 * capacity));
    std::memcpy(larger.data(), data(), size_ * sizeof(std::uint32_t));
    heap_.swap(larger);
  }
  void assign(const Limbs& other) {
    reserve(other.size_);
    std::memcpy(data(), other.data(), other.size_ * sizeof(std::uint32_t));
    size_ = other.size_;
  }

  std::uint32_t inline_[kInline];
  std::vector<std::uint32_t> heap_;
  std::size_t size_ = 0;
};

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 U128;
#endif

// "00" to "99", each number's two digits.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t n = 0; n < 100; ++n) {
    pairs[2 * n] = static_cast<char>('0' + n / 10);
    pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
  }
  return pairs;
}();

// Writes the decimal digits of `value` to end at `at`, two at a time from the last, and moves `at` to
// the first: `count` of them with zeros in front (`value` below 10^count), or with `count` 0 as many as
// it has (none for 0).
inline void putDigits(std::uint64_t value, std::size_t count, char*& at) noexcept {
  char* const stop = at - count;
  for (; value >= 10 || at - stop > 1; value /= 100) {
    at -= 2;
    std::memcpy(at, kDigitPairs.data() + 2 * (value % 100), 2);
  }
  if (value != 0 || at > stop) *--at = static_cast<char>('0' + value);
}

// An unsigned integer of any size, as much of one as exact conversion needs: little-endian 32-bit limbs.
class Big {
 public:
  Big() = default;
  explicit Big(std::uint64_t value) {
    for (; value != 0; value >>= 32) limbs_.push_back(static_cast<std::uint32_t>(value));
  }

  static Big ofDigits(std::string_view digits) {
    Big big;
    for (std::size_t at = 0; at < digits.size();) {
      const std::size_t take = std::min<std::size_t>(9, digits.size() - at);
      std::uint32_t chunk = 0;
      std::uint32_t scale = 1;
      for (std::size_t i = 0; i < take; ++i) {
        chunk = chunk * 10 + static_cast<std::uint32_t>(digits[at + i] - '0');
        scale *= 10;
      }
      big.mulAdd(scale, chunk);
      at += take;
    }
    return big;
  }

  [[nodiscard]] bool zero() const noexcept { return limbs_.empty(); }

  void mulAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t product = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
  }

  // Times base^count, base 5 or 10.
  void mulPower(std::uint32_t base, std::uint64_t count) {
    const std::uint32_t big = base == 5 ? 1220703125u : 1000000000u;  // 5^13, 10^9
    const unsigned per = base == 5 ? 13 : 9;
    for (; count >= per; count -= per) mulAdd(big, 0);
    std::uint32_t rest = 1;
    for (; count > 0; --count) rest *= base;
    mulAdd(rest, 0);
  }

  void shiftLeft(std::uint64_t bits) {
    if (zero() || bits == 0) return;
    const std::size_t words = static_cast<std::size_t>(bits / 32);
    const unsigned rest = static_cast<unsigned>(bits % 32);
    if (rest != 0) {
      std::uint32_t carry = 0;
      for (std::uint32_t& limb : limbs_) {
        const std::uint32_t next = limb >> (32 - rest);
        limb = (limb << rest) | carry;
        carry = next;
      }
      if (carry != 0) limbs_.push_back(carry);
    }
    limbs_.prependZeros(words);
  }

  void shiftRightOne() noexcept {
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      const std::uint32_t high = i + 1 < limbs_.size() ? limbs_[i + 1] << 31 : 0u;
      limbs_[i] = (limbs_[i] >> 1) | high;
    }
    trim();
  }

#if defined(__SIZEOF_INT128__)
  // Its lowest 128 bits.
  [[nodiscard]] U128 low128() const noexcept {
    U128 value = 0;
    for (std::size_t i = std::min<std::size_t>(limbs_.size(), 4); i-- > 0;) value = value << 32 | limbs_[i];
    return value;
  }
#endif

  [[nodiscard]] std::uint64_t bitLength() const noexcept {
    if (zero()) return 0;
    return 32 * (limbs_.size() - 1) + static_cast<std::uint64_t>(std::bit_width(limbs_.back()));
  }

  // Divides by kDivisor and gives the remainder; the divisor a constant, so the compiler divides by
  // multiplying.
  template <std::uint32_t kDivisor>
  std::uint32_t divide() noexcept {
    std::uint64_t remainder = 0;
    for (std::size_t i = limbs_.size(); i-- > 0;) {
      const std::uint64_t current = (remainder << 32) | limbs_[i];
      const std::uint64_t quotient = current / kDivisor;
      limbs_[i] = static_cast<std::uint32_t>(quotient);
      remainder = current - quotient * kDivisor;
    }
    trim();
    return static_cast<std::uint32_t>(remainder);
  }

  // Subtracts `other`, which is not larger.
  void subtract(const Big& other) noexcept {
    std::int64_t borrow = 0;
    for (std::size_t i = 0; i < limbs_.size(); ++i) {
      std::int64_t value = std::int64_t{limbs_[i]} - borrow - (i < other.limbs_.size() ? std::int64_t{other.limbs_[i]} : 0);
      borrow = value < 0 ? 1 : 0;
      if (value < 0) value += std::int64_t{1} << 32;
      limbs_[i] = static_cast<std::uint32_t>(value);
    }
    trim();
  }

  friend int compare(const Big& a, const Big& b) noexcept {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (std::size_t i = a.limbs_.size(); i-- > 0;)
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    return 0;
  }

  // Its decimal digits, with leading zeros to `width` of them.
  [[nodiscard]] std::string decimal(std::size_t width) const {
    // Fewer than bits / 3 + 1 digits (log10(2) < 1/3), written nine at a time from the last.
    std::string digits(std::max<std::size_t>(width, static_cast<std::size_t>(bitLength() / 3) + 10), '0');
    Big rest = *this;
    for (char* at = digits.data() + digits.size(); !rest.zero();) putDigits(rest.divide<1000000000u>(), 9, at);
    const std::size_t first = digits.find_first_not_of('0');
    digits.erase(0, std::min(first, digits.size() - std::max<std::size_t>(width, 1)));
    return digits;
  }

 private:
  void trim() noexcept {
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }

  Limbs limbs_;
};

// The most significant digits rounding looks at: more than any midpoint of two neighbouring values of
// these formats has, so a longer text is cut to them and a digit 1 that keeps it above the cut.
constexpr std::size_t kMostDigits = 800;

// Decimal exponents beyond which no value of any format lies, whatever the digits: the value is too
// large or too small without any arithmetic.
constexpr std::int64_t kBeyondLargest = 400;
constexpr std::int64_t kBeyondSmallest = -400;

struct Format {
  unsigned bits;  // of the fraction
  unsigned bytes;
};

Format formatOf(FloatEncoding encoding, std::size_t bytes) {
  if (encoding == FloatEncoding::hexadecimal) return {bytes == 4 ? 24u : 56u, static_cast<unsigned>(bytes)};
  return {bytes == 4 ? 24u : 53u, static_cast<unsigned>(bytes)};
}

std::int64_t floorDivide(std::int64_t a, std::int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

void putBigEndian(std::uint64_t value, std::span<std::uint8_t> field) {
  for (std::size_t i = 0; i < field.size(); ++i)
    field[i] = static_cast<std::uint8_t>(value >> (8 * (field.size() - 1 - i)));
}

std::uint64_t getBigEndian(std::span<const std::uint8_t> field) {
  std::uint64_t value = 0;
  for (const std::uint8_t byte : field) value = (value << 8) | byte;
  return value;
}

// The text of digits x 10^exponent (digits without leading zeros, empty for zero).
void appendDecimalText(bool negative, std::string_view digits, std::int64_t exponent, std::string& out) {
  if (negative) out += '-';
  if (digits.empty()) {
    out += '0';
    return;
  }
  while (digits.size() > 1 && digits.back() == '0') {
    digits.remove_suffix(1);
    ++exponent;
  }
  const auto n = static_cast<std::int64_t>(digits.size());
  const std::int64_t lead = exponent + n - 1;  // the power of ten of the first digit
  if (lead >= -7 && lead < 21) {
    if (exponent >= 0) {
      out += digits;
      out.append(static_cast<std::size_t>(exponent), '0');
    } else if (lead >= 0) {
      out += digits.substr(0, static_cast<std::size_t>(lead + 1));
      out += '.';
      out += digits.substr(static_cast<std::size_t>(lead + 1));
    } else {
      out += "0.";
      out.append(static_cast<std::size_t>(-lead - 1), '0');
      out += digits;
    }
    return;
  }
  out += digits[0];
  if (n > 1) {
    out += '.';
    out += digits.substr(1);
  }
  out += lead < 0 ? "E-" : "E+";
  out += std::to_string(lead < 0 ? -lead : lead);
}

// `lead` is the power of ten of the number's first digit.
FloatFit writeIeee(const DecimalNumber& number, std::int64_t lead, std::span<std::uint8_t> field) {
  std::string text(number.digits);
  text += 'e';
  text += std::to_string(number.exponent);
  const char* const end = text.data() + text.size();
  std::uint64_t bits = 0;
  std::errc error{};
  if (field.size() == 4) {
    float value = 0;
    error = std::from_chars(text.data(), end, value).ec;
    bits = std::bit_cast<std::uint32_t>(value);
  } else {
    double value = 0;
    error = std::from_chars(text.data(), end, value).ec;
    bits = std::bit_cast<std::uint64_t>(value);
  }
  if (error != std::errc()) return lead > 0 ? FloatFit::tooLarge : FloatFit::tooSmall;
  if (number.negative) bits |= std::uint64_t{1} << (8 * field.size() - 1);
  putBigEndian(bits, field);
  return FloatFit::fits;
}

// A value and the ends of the texts that write back to its bytes, as decimal digits of one width (the
// upper end's, the others with leading zeros) whose last is of the power of ten `scale`, and for each
// whether anything nonzero is left below that power (a tail). Exact when no tail is left.
struct Expansion {
  std::string_view value;
  std::string_view low;
  std::string_view high;
  bool valueTail = false;
  bool lowTail = false;
  bool highTail = false;
  std::int64_t scale = 0;
};

// Appends the shortest text within the ends of `e` (`ends`: the ends themselves write back), the
// nearer of two of the same length, at a tie the one with the even last digit. False, nothing
// appended, when the digits given are too few to tell: the text needs digits past them, or the choice
// between two depends on the tail.
bool appendShortest(bool negative, bool ends, const Expansion& e, std::string& out) {
  const std::string_view v = e.value;
  const std::string_view lo = e.low;
  const std::string_view hi = e.high;
  const std::size_t width = hi.size();
  // Where the value's digits first differ from each end's (width where they do not), and after which
  // digit each end has only zeros (0 for none but zeros).
  const auto mismatch = [&](std::string_view end) {
    return static_cast<std::size_t>(std::mismatch(v.begin(), v.end(), end.begin()).first - v.begin());
  };
  const auto zerosAfter = [](std::string_view digits) {
    const std::size_t last = digits.find_last_not_of('0');
    return last == std::string_view::npos ? 0 : last + 1;
  };
  const std::size_t lowDiffers = mismatch(lo);
  const std::size_t highDiffers = mismatch(hi);
  const std::size_t lowZeros = zerosAfter(lo);
  const std::size_t highZeros = zerosAfter(hi);
  // The candidates cut after digit k: the value's first k digits (followed by zeros), which writes back
  // when above the lower end, and that plus one in the last place, when below the upper end.
  const auto downWrites = [&](std::size_t k) {
    return k > lowDiffers || (ends && !e.lowTail && lowZeros <= k);
  };
  // The last digit of the first k that is not a 9, which the candidate above raises; k when all are.
  const auto raised = [&](std::size_t k) {
    std::size_t i = k;
    while (i > 0 && v[i - 1] == '9') --i;
    return i == 0 ? k : i - 1;
  };
  const auto upWrites = [&](std::size_t k) {
    const std::size_t i = raised(k);
    if (i == k) return false;  // 10^width, beyond the upper end
    // The candidate is v[0, i), v[i] + 1, then zeros: compared with the upper end's first k digits (the
    // value's first i are below the end's when they differ at all).
    int order = i > highDiffers ? -1 : 0;
    if (order == 0 && v[i] + 1 != hi[i]) order = v[i] + 1 < hi[i] ? -1 : 1;
    if (order == 0 && hi.substr(i + 1, k - i - 1).find_first_not_of('0') != std::string_view::npos) order = -1;
    return order < 0 || (order == 0 && (ends || e.highTail || highZeros > k));
  };
  // Some text of k digits writes back exactly when one of the two does (the texts that write back lie
  // around the value, without gaps), and then one of k + 1 digits too: the shortest is found by halving,
  // from the value's first digit to all of them. All of them write back when nothing is left below
  // them (the value itself); with a tail they must be tried.
  const bool exact = !e.valueTail && !e.lowTail && !e.highTail;
  if (!exact && !downWrites(width) && !upWrites(width)) return false;
  const std::size_t first = v.find_first_not_of('0');
  std::size_t shortest = width;
  for (std::size_t lowest = first + 1; lowest < shortest;) {
    const std::size_t k = lowest + (shortest - lowest) / 2;
    if (downWrites(k) || upWrites(k))
      shortest = k;
    else
      lowest = k + 1;
  }
  const bool down = downWrites(shortest);
  bool pickUp = (shortest < width || e.valueTail) && upWrites(shortest);
  if (down && pickUp) {
    // Both write back: the nearer, and at a tie the one with the even last digit.
    if (shortest == width) return false;  // the distance is in the tail
    const std::string_view rest = v.substr(shortest);
    const bool restZeros = !e.valueTail && rest.find_first_not_of('0', 1) == std::string_view::npos;
    const int half = rest[0] != '5' ? (rest[0] > '5' ? 1 : -1) : (restZeros ? 0 : 1);
    pickUp = half > 0 || (half == 0 && (v[shortest - 1] - '0') % 2 == 1);
  }
  std::string raisedDigits;
  std::string_view digits = v.substr(0, shortest);
  if (pickUp) {
    const std::size_t i = raised(shortest);
    raisedDigits.assign(v.substr(0, i));
    raisedDigits += static_cast<char>(v[i] + 1);  // the zeros after it are the exponent's
    digits = raisedDigits;
  }
  const std::size_t lead = std::min(digits.find_first_not_of('0'), digits.size());
  appendDecimalText(negative, digits.substr(lead),
                    e.scale + static_cast<std::int64_t>(width - digits.size()), out);
  return true;
}

#if defined(__SIZEOF_INT128__)

// The decimal digits of `value`, below 10^38, written to end at `end` (38 chars of room before it),
// two at a time from the last, in 64-bit halves of 19 digits; their count.
std::size_t decimalDigits(U128 value, char* const end) {
  constexpr std::uint64_t kTen19 = 10000000000000000000u;
  char* at = end;
  if (value >> 64 == 0) {
    putDigits(static_cast<std::uint64_t>(value), 0, at);
  } else {
    const U128 high = value / kTen19;
    putDigits(static_cast<std::uint64_t>(value - high * kTen19), 19, at);
    putDigits(static_cast<std::uint64_t>(high), 0, at);
  }
  return static_cast<std::size_t>(end - at);
}

// 5^k for k up to 55, the last below 2^128.
constexpr std::array<U128, 56> kFives = [] {
  std::array<U128, 56> fives{};
  fives[0] = 1;
  for (std::size_t k = 1; k < fives.size(); ++k) fives[k] = fives[k - 1] * 5;
  return fives;
}();

// The bits `value` takes.
int bitWidth(U128 value) {
  const auto high = static_cast<std::uint64_t>(value >> 64);
  return static_cast<int>(high != 0 ? 64 + std::bit_width(high) : std::bit_width(static_cast<std::uint64_t>(value)));
}

// The short way of appendShortestHexadecimal, for values whose first 22 or so digits (12 of a 4-byte
// field) are within 128 bits of arithmetic (of either length, every value from about 5E-7 to 1E+38):
// the value and its ends cut there, what is cut off kept as a tail. False when it cannot tell; the
// caller then expands them whole.
bool appendShortestShort(bool negative, std::uint64_t units, std::uint64_t lowUnits, std::uint64_t highUnits,
                         std::int64_t unit, unsigned bits, bool ends, std::string& out) {
  // Each of the three as a quotient and a tail: units x 2^unit / 10^cut, or with unit below 0,
  // units x 5^-unit / 10^cut = units x 5^(-unit - cut) / 2^cut, the last digit of 10^(scale + cut).
  // Digits kept: a few past the 9 a text of 24 bits needs (in 64 bits then), or the 17 or 18 of 56.
  const std::int64_t kept = bits == 24 ? 12 : 22;
  U128 quotients[3];
  bool tails[3];
  const std::uint64_t all[3] = {units, lowUnits, highUnits};
  std::int64_t scale = 0;
  const auto highBits = static_cast<std::int64_t>(std::bit_width(highUnits));
  if (unit >= 0) {
    if (unit > 127 - highBits) return false;
    U128 divisor = 1;
    // Digits of the upper end, about its bits x log10(2); cut to `kept` of them.
    const std::int64_t digits = (highBits + unit) * 30103 / 100000 + 1;
    const std::int64_t cut = std::max<std::int64_t>(0, digits - kept);
    for (std::int64_t k = 0; k < cut; ++k) divisor *= 10;
    for (int k = 0; k < 3; ++k) {
      const U128 whole = static_cast<U128>(all[k]) << unit;
      quotients[k] = whole / divisor;
      tails[k] = whole % divisor != 0;
    }
    scale = cut;
  } else {
    const std::int64_t fives = -unit;
    // Digits of the upper end: units x 5^fives, about (its bits + 2.32 fives) x log10(2).
    const std::int64_t digits = highBits * 30103 / 100000 + fives * 69897 / 100000 + 1;
    const std::int64_t cut = std::clamp<std::int64_t>(digits - kept, 0, fives);
    if (fives - cut >= static_cast<std::int64_t>(kFives.size()) || cut >= 127) return false;
    const U128 power = kFives[static_cast<std::size_t>(fives - cut)];
    if (bitWidth(power) + highBits > 128) return false;
    for (int k = 0; k < 3; ++k) {
      const U128 whole = power * all[k];
      quotients[k] = whole >> cut;
      tails[k] = (whole & ((U128{1} << cut) - 1)) != 0;
    }
    scale = unit + cut;
  }
  constexpr U128 kTen38 = U128{10000000000000000000u} * 10000000000000000000u;
  if (quotients[2] >= kTen38) return false;
  // Each one's digits at the end of its 38, the value's and the lower end's with zeros in front to the
  // upper end's width.
  char digits[3][38];
  std::size_t counts[3];
  for (int k = 0; k < 3; ++k) counts[k] = decimalDigits(quotients[k], digits[k] + 38);
  const std::size_t width = counts[2];
  if (width + 4 < static_cast<std::size_t>(kept)) return false;
  for (int k = 0; k < 2; ++k)
    for (std::size_t at = 38 - width; at < 38 - counts[k]; ++at) digits[k][at] = '0';
  const auto view = [&](int k) { return std::string_view(digits[k] + 38 - width, width); };
  const Expansion e{view(0), view(1), view(2), tails[0], tails[1], tails[2], scale};
  return appendShortest(negative, ends, e, out);
}

#endif

}  // namespace

namespace detail {

void appendShortestHexadecimal(bool negative, std::uint64_t fraction, std::int64_t power, unsigned bits,
                               std::string& out, bool shortWay) {
  // The texts that write back to these bytes are those within half the gap to each neighbouring value,
  // the ends too when the fraction is even (ties go to it): the same rounding as roundDecimal's. In
  // units of 2^unit, unit = power - 5, the value is 32 fraction and the ends 16 below and above, but 1
  // below the smallest fraction of an exponent, its neighbour below being of the exponent below with a
  // gap a sixteenth of the others. All three are written exactly as decimal integers times 10^scale
  // (x 2^unit, or x 5^-unit x 10^unit), of the same number of digits with leading zeros: the shortest
  // text is then found by comparing digits, without arithmetic.
  const std::uint64_t smallest = std::uint64_t{1} << (bits - 4);
  const std::int64_t unit = power - 5;
  const std::uint64_t units = 32 * fraction;
  const std::uint64_t lowUnits = units - (fraction == smallest ? 1 : 16);
  const std::uint64_t highUnits = units + 16;
  const bool ends = fraction % 2 == 0;
#if defined(__SIZEOF_INT128__)
  if (shortWay && appendShortestShort(negative, units, lowUnits, highUnits, unit, bits, ends, out)) return;
#else
  (void)shortWay;
#endif
  const auto exactly = [&](std::uint64_t count, std::size_t width) {
    Big big(count);
    if (unit >= 0)
      big.shiftLeft(static_cast<std::uint64_t>(unit));
    else
      big.mulPower(5, static_cast<std::uint64_t>(-unit));
    return big.decimal(width);
  };
  const std::string high = exactly(highUnits, 0);
  const std::string value = exactly(units, high.size());
  const std::string low = exactly(lowUnits, high.size());
  appendShortest(negative, ends, {value, low, high, false, false, false, std::min<std::int64_t>(unit, 0)}, out);
}

Rounded roundDecimal(std::string_view digits, std::int64_t exponent, unsigned bits, unsigned step, std::int64_t lowest) {
  Big numerator = Big::ofDigits(digits);
  Big denominator(1);
  if (exponent >= 0)
    numerator.mulPower(10, static_cast<std::uint64_t>(exponent));
  else
    denominator.mulPower(10, static_cast<std::uint64_t>(-exponent));
  // The power of two of the value's first bit: numerator / denominator lies in [2^(b-1), 2^(b+1)).
  std::int64_t b = static_cast<std::int64_t>(numerator.bitLength()) - static_cast<std::int64_t>(denominator.bitLength());
  {
    Big n = numerator;
    Big d = denominator;
    if (b >= 0)
      d.shiftLeft(static_cast<std::uint64_t>(b));
    else
      n.shiftLeft(static_cast<std::uint64_t>(-b));
    if (compare(n, d) < 0) --b;
  }
  std::int64_t power = step == 1 ? b - static_cast<std::int64_t>(bits - 1)
                                 : step * floorDivide(b, step) + step - static_cast<std::int64_t>(bits);
  if (power < lowest) power = lowest;
  if (power < 0)
    numerator.shiftLeft(static_cast<std::uint64_t>(-power));
  else
    denominator.shiftLeft(static_cast<std::uint64_t>(power));
#if defined(__SIZEOF_INT128__)
  // Both within 126 bits, as for the short texts of most fields: the same quotient and remainder from
  // the processor's own division.
  if (numerator.bitLength() <= 126 && denominator.bitLength() <= 126) {
    const U128 n = numerator.low128();
    const U128 d = denominator.low128();
    const U128 quotient = n / d;
    const U128 twiceRest = 2 * (n - quotient * d);
    auto fraction = static_cast<std::uint64_t>(quotient);
    if (twiceRest > d || (twiceRest == d && (fraction & 1u) != 0)) ++fraction;
    if (fraction == std::uint64_t{1} << bits) {
      fraction >>= step;
      power += step;
    }
    return {fraction, power};
  }
#endif
  // The quotient, below 2^(bits+1), a bit at a time; then the remainder against half the divisor.
  Big shifted = denominator;
  shifted.shiftLeft(bits);
  std::uint64_t fraction = 0;
  for (int bit = static_cast<int>(bits); bit >= 0; --bit) {
    if (compare(numerator, shifted) >= 0) {
      numerator.subtract(shifted);
      fraction |= std::uint64_t{1} << bit;
    }
    shifted.shiftRightOne();
  }
  numerator.shiftLeft(1);
  const int half = compare(numerator, denominator);
  if (half > 0 || (half == 0 && (fraction & 1u) != 0)) ++fraction;
  if (fraction == std::uint64_t{1} << bits) {
    fraction >>= step;
    power += step;
  }
  return {fraction, power};
}

}  // namespace detail

FloatFit writeFloat(const DecimalNumber& number, FloatEncoding encoding, std::span<std::uint8_t> field) {
  const Format format = formatOf(encoding, field.size());
  if (number.digits.empty()) {
    putBigEndian(number.negative ? std::uint64_t{1} << (8 * field.size() - 1) : 0, field);
    return FloatFit::fits;
  }
  const std::int64_t lead = number.exponent + static_cast<std::int64_t>(number.digits.size()) - 1;
  if (lead > kBeyondLargest) return FloatFit::tooLarge;
  if (lead < kBeyondSmallest) return FloatFit::tooSmall;
  // Trailing zeros add nothing; digits beyond those rounding needs are cut, a 1 keeping their weight.
  std::string_view digits = number.digits;
  std::int64_t exponent = number.exponent;
  while (digits.back() == '0') {
    digits.remove_suffix(1);
    ++exponent;
  }
  std::string cut;
  if (digits.size() > kMostDigits) {
    cut.assign(digits.substr(0, kMostDigits));
    cut += '1';
    exponent += static_cast<std::int64_t>(digits.size() - kMostDigits - 1);
    digits = cut;
  }
  if (encoding == FloatEncoding::ieee) return writeIeee({digits, exponent, number.negative}, lead, field);

  const detail::Rounded r = detail::roundDecimal(digits, exponent, format.bits, 4, std::numeric_limits<std::int64_t>::min());
  // fraction x 2^power = 0.fraction x 16^(power / 4 + bits / 4): the exponent biased by 64.
  const std::int64_t biased = r.power / 4 + format.bits / 4 + 64;
  if (biased > 127) return FloatFit::tooLarge;
  if (biased < 0) return FloatFit::tooSmall;
  const std::uint64_t sign = number.negative ? 0x80u : 0u;
  putBigEndian(((sign | static_cast<std::uint64_t>(biased)) << format.bits) | r.fraction, field);
  return FloatFit::fits;
}

std::optional<base::DecodeFault> readFloat(std::span<const std::uint8_t> bytes, FloatEncoding encoding,
                                           std::string& text) {
  const std::uint64_t raw = getBigEndian(bytes);
  const unsigned width = static_cast<unsigned>(8 * bytes.size());
  const bool negative = (raw >> (width - 1)) != 0;
  if (encoding == FloatEncoding::ieee) {
    char buffer[64];
    std::to_chars_result written{};
    if (bytes.size() == 4) {
      const float value = std::bit_cast<float>(static_cast<std::uint32_t>(raw));
      if (!std::isfinite(value)) return base::DecodeFault{0, bytes.size(), "infinity or NaN, which is no number"};
      written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    } else {
      const double value = std::bit_cast<double>(raw);
      if (!std::isfinite(value)) return base::DecodeFault{0, bytes.size(), "infinity or NaN, which is no number"};
      written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    }
    // "d.ddde+XX": the shortest digits that read back to the same value, and the first one's power.
    const std::string_view shown(buffer, static_cast<std::size_t>(written.ptr - buffer));
    const std::size_t e = shown.find('e');
    std::string digits;
    for (const char c : shown.substr(0, e))
      if (c != '.') digits += c;
    std::int64_t lead = 0;
    std::from_chars(shown.data() + e + (shown[e + 1] == '+' ? 2 : 1), shown.data() + shown.size(), lead);
    if (digits == "0") digits.clear();
    appendDecimalText(negative, digits, lead - static_cast<std::int64_t>(digits.size()) + 1, text);
    return std::nullopt;
  }
  const Format format = formatOf(encoding, bytes.size());
  std::uint64_t fraction = raw & ((std::uint64_t{1} << format.bits) - 1);
  std::int64_t power = (static_cast<std::int64_t>((raw >> format.bits) & 0x7Fu) - 64 - format.bits / 4) * 4;
  if (fraction == 0) {
    appendDecimalText(negative, {}, 0, text);
    return std::nullopt;
  }
  // Not normalized: the same value with its leading zero digits shifted out, unless that takes it below
  // the smallest normalized value, which no field holds written as the host writes floats.
  while ((fraction >> (format.bits - 4)) == 0) {
    fraction <<= 4;
    power -= 4;
  }
  if (power / 4 + format.bits / 4 + 64 < 0)
    return base::DecodeFault{0, bytes.size(), "a fraction not normalized, below the smallest normalized value"};
  detail::appendShortestHexadecimal(negative, fraction, power, format.bits, text, true);
  return std::nullopt;
}

}  // namespace quor::numeric
