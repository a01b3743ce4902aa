#include "quor/record.hpp"
#include "quor/layout.hpp"
#include "quor/error.hpp"

#include <gtest/gtest.h>

#include "text/cp932.hpp"

namespace quor {
namespace {

TEST(ValueCheck, FindsTheValuesTheComponentWouldChange) {
  struct Case {
    std::u16string value;
    std::int32_t length;
    CFormatDirection format;
    Change change;
  };
  const Case cases[] = {
      // Numbers.
      {u"123", 5, setNumeric, Change::none},
      {u"-12345", 5, setPackNumeric, Change::none},  // the sign takes no digit
      {u" 12", 5, setNumeric, Change::none},
      {u"12.5", 5, setNumeric, Change::none},
      {u"000123", 3, setNumeric, Change::none},  // only zeros are dropped
      {u"123456", 5, setNumeric, Change::longerThanField},
      {u"-123456", 5, setPackNumeric, Change::longerThanField},
      {u"12A", 5, setNumeric, Change::notANumber},
      {u"", 5, setNumeric, Change::notANumber},
      {u"  ", 5, setPackNumeric, Change::notANumber},
      {u"&H1F", 2, setNumeric, Change::none},  // "31"
      {u"&H1F", 1, setNumeric, Change::longerThanField},
      // A literal beyond 64 bits has no value: zeros, however wide the field.
      {u"&h8E30808FF655352FF348", 30, setNumeric, Change::notANumber},
      {u"&HFFFFFFFFFFFFFFFFF", 20, setNumeric, Change::notANumber},
      {u"&HFFFFFFFFFFFFFFFF", 20, setNumeric, Change::none},  // 18446744073709551615
      {u"5E4", 5, setNumeric, Change::none},             // 50000
      {u"5E5", 5, setNumeric, Change::longerThanField},  // 500000: the text fits, its value does not
      // Single-byte text.
      {u"ABC", 5, setCharacter, Change::none},
      {u"ｱｲｳ", 3, setCharacter, Change::none},
      {u"ABCDEF", 5, setCharacter, Change::longerThanField},
      {u"AB山", 5, setCharacter, Change::doubleByteInSingleByteField},
      {u"ABCDEFG山", 5, setCharacter, Change::doubleByteInSingleByteField},  // outranks the cut
      {u"A\u00E9", 5, setCharacter, Change::noCodePage932Form},
      {u"?", 1, setCharacter, Change::none},
      {u"\U0001F600", 2, setCharacter, Change::noCodePage932Form},  // written as "??"
      {u"", 5, setCharacter, Change::emptyText},
      // Double-byte text.
      {u"山田", 2, setNCharacter, Change::none},
      {u"山田太", 2, setNCharacter, Change::longerThanField},
      {u"ｶﾞ", 1, setNCharacter, Change::none},  // joins to one full-width kana
      {u"\u00E9", 2, setNCharacter, Change::noCodePage932Form},
      {u"", 2, setNCharacter, Change::emptyText},
      {u"\u301C", 1, setNCharacter, Change::noCodePage932Form},  // the wave dash of other systems
      {u"\uFF5E", 1, setNCharacter, Change::none},               // the one Windows writes
  };
  for (const Case& c : cases) {
    const LayoutField field = componentField("f", c.length, c.format);
    EXPECT_EQ(valueChange(c.value, field).kind, c.change)
        << "value of " << c.value.size() << " units, length " << c.length << ", format " << c.format;
  }
}

TEST(ValueCheck, TypedFieldsByTheirKindAsTheBuilderWritesThem) {
  const struct {
    const char* layout;
    std::u16string value;
    Change change;
  } cases[] = {
      {"z zoned 5 scale=2", u"123.45", Change::none},
      {"z zoned 5 scale=2", u"abc", Change::notANumber},
      {"z zoned 5 scale=2", u"1234", Change::longerThanField},
      {"z zoned 5 scale=2", u"1.255", Change::moreDecimalsThanScale},
      {"p packed 5", u"-1", Change::negativeInUnsignedField},
      {"t text 2", u"ABC", Change::longerThanField},
      {"t text 2", u"", Change::none},  // blanks, as a typed text is meant to be
  };
  for (const auto& c : cases) {
    const Layout layout = parseLayoutFile(c.layout, "t.layout");
    EXPECT_EQ(valueChange(c.value, layout.fields[0]).kind, c.change) << c.layout;
    std::u16string_view value = c.value;
    ValueChange built;
    ByteString record;
    RecordBuilder(layout).append({&value, 1}, record, {&built, 1});
    EXPECT_EQ(built.kind, c.change) << c.layout;
  }
}

// The words of a change or failure say what the clause made of the value.
TEST(ValueCheck, WordsForTheClauses) {
  const struct {
    const char* layout;
    std::u16string value;
    const char* words;
  } cases[] = {
      {"a zoned 3 scale=-3", u"123456", "digits below the field's lowest place (it holds multiples of 1000): they are cut"},
      {"a packed 3 scale=5", u"0.01",
       "beyond the largest value 0.00999 of the field (3 digits, decimal scaling): the leading digits are cut"},
      {"b binary 4 signed range=full", u"40000",
       "beyond the range -32768 to 32767 of a 2-byte binary field: its low-order bytes are kept"},
      {"b binary 18 range=full", u"18446744073709551616",
       "beyond the range 0 to 18446744073709551615 of a 8-byte binary field: its low-order bytes are kept"},
      {"t text 3 justified", u"ABCD", "4 characters, the field holds 3: the first characters are cut (JUSTIFIED RIGHT)"},
      {"e edited ZZ9.99", u"1234", "more than the 3 digits before the point of picture ZZ9.99: the leading digits are cut"},
      {"e edited ZZ9.99", u"1.234", "more decimal places than the 2 of picture ZZ9.99: the rest are cut"},
      {"e edited-text XXBX", u"ABCD", "4 characters, picture XXBX holds 3: the rest is cut"},
  };
  for (const auto& c : cases) {
    const LayoutField field = parseLayoutFile(c.layout, "t.layout").fields[0];
    EXPECT_EQ(describeChange(valueChange(c.value, field), c.value, field), c.words) << c.layout;
  }
  const LayoutField hex = parseLayoutFile("f float4", "t.layout").fields[0];
  const LayoutField ieee = parseLayoutFile("f float8 ieee", "t.layout").fields[0];
  EXPECT_EQ(describeFailure(quor::errors::kOverflow, u"7.3E75", hex), "beyond the largest value of a 4-byte hexadecimal float");
  EXPECT_EQ(describeFailure(quor::errors::kOverflow, u"-1E-400", ieee),
            "nearer to zero than the smallest value of a 8-byte IEEE float (not zero)");
}

TEST(ValueCheck, EveryUnitIsClassedAsTheCodePageClassesIt) {
  const LayoutField single = componentField("f", 1, setCharacter);
  for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
    const auto c = static_cast<char16_t>(unit);
    const std::uint16_t code = text::cp932::encode(c);
    Change expected = Change::none;
    if (code > 0xFF)
      expected = Change::doubleByteInSingleByteField;
    else if (text::cp932::decodeSingle(static_cast<std::uint8_t>(code)) != c)
      expected = Change::noCodePage932Form;
    ASSERT_EQ(valueChange(std::u16string_view(&c, 1), single).kind, expected) << std::hex << unit;
  }
}

}  // namespace
}  // namespace quor
