// The digit kernels' fast loops (words of bytes at a time) against their plain forms, on random
// digits and field widths: the component's zoned and packed encoders read UTF-16 a unit at a time,
// the byte kernels eight bytes at a time, and both must write the same bytes; every field written
// reads back as its digits, and a damaged byte is found where a byte-by-byte reading finds it.

#include <random>
#include <string>

#include "base/ascii.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "support/test_support.hpp"

namespace quor::numeric {
namespace {

std::string randomDigits(std::mt19937& random, std::size_t count) {
  std::string digits;
  for (std::size_t i = 0; i < count; ++i) digits += static_cast<char>('0' + random() % 10);
  return digits;
}

TEST(DigitKernels, WordLoopsAgreeWithUnitLoops) {
  std::mt19937 random(23);
  for (int round = 0; round < 4000; ++round) {
    const std::size_t width = 1 + random() % 40;
    const std::string digits = randomDigits(random, random() % (width + 1));
    const std::u16string units(digits.begin(), digits.end());
    const bool negative = random() % 2 == 0;

    // Zoned: the byte kernel against the component's encoder, whose "-" marks the value negative.
    ByteString zoned(width, 0);
    writeZoned(digits, negative, {zoned.data(), width});
    ByteString component;
    appendZoned((negative ? u"-" : u"") + units, static_cast<std::int32_t>(width), true, component);
    ASSERT_EQ(test::hex(zoned), test::hex(component)) << digits;

    // Packed: bytes a word at a time against UTF-16 units one at a time.
    const PackedSign sign = static_cast<PackedSign>(random() % 3);
    const std::size_t bytes = packedBytes(digits.size() + random() % 3, sign);
    ByteString fromBytes(bytes, 0xEE);
    ByteString fromUnits(bytes, 0xEE);
    writePacked(digits.data(), digits.size(), negative, sign, {fromBytes.data(), bytes});
    writePacked(units.data(), units.size(), negative, sign, {fromUnits.data(), bytes});
    ASSERT_EQ(test::hex(fromBytes), test::hex(fromUnits)) << digits;

    // Both read back as their digits, the leading zeros the field adds in front.
    char read[2 * 40 + 2];
    bool readNegative = false;
    ASSERT_FALSE(readZoned({zoned.data(), width}, true, read, readNegative));
    EXPECT_EQ(std::string(read, width), std::string(width - digits.size(), '0') + digits);
    EXPECT_EQ(readNegative, negative);
    std::size_t count = 0;
    ASSERT_FALSE(readPacked({fromBytes.data(), bytes}, sign, read, count, readNegative));
    EXPECT_EQ(std::string(read, count), std::string(count - digits.size(), '0') + digits);

    // A damaged byte of the zoned field: found where the first bad byte is.
    const std::size_t at = random() % width;
    zoned[at] = static_cast<std::uint8_t>(random());
    std::size_t firstBad = width;
    for (std::size_t i = 0; i < width && firstBad == width; ++i) {
      const unsigned zone = zoned[i] >> 4;
      const bool last = i + 1 == width;
      if ((zoned[i] & 0x0Fu) > 9 || (!last && zone != 0xF) || (last && zone != 0xF && zone != 0xC && zone != 0xD))
        firstBad = i;
    }
    const auto fault = readZoned({zoned.data(), width}, true, read, readNegative);
    EXPECT_EQ(fault ? fault->offset : width, firstBad) << test::hex(zoned);

    // The run of digits found a word at a time is the one found a byte at a time.
    std::string text = randomDigits(random, random() % 24);
    if (!text.empty() && random() % 2 == 0) text[random() % text.size()] = static_cast<char>(random());
    const std::size_t from = text.empty() ? 0 : random() % (text.size() + 1);
    std::size_t end = from;
    while (end < text.size() && base::isDigit(static_cast<unsigned char>(text[end]))) ++end;
    EXPECT_EQ(base::digitRunEnd(text.data(), from, text.size()), end) << text;
  }
}

}  // namespace
}  // namespace quor::numeric
