// finishLayout as the one gate of every layout: what it refuses in a layout made in code, and the record
// cap held alike for layout files, the lists and copybooks.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "quor/error.hpp"
#include "quor/layout.hpp"
#include "support/test_support.hpp"

namespace quor::test {
namespace {

LayoutField typed(std::string name, FieldKind kind, std::int32_t length, FieldRole role = FieldRole::column,
                  std::size_t offset = 0) {
  LayoutField field;
  field.name = std::move(name);
  field.kind = kind;
  field.length = length;
  field.role = role;
  field.offset = offset;
  return field;
}

TEST(LayoutGate, RefusesFieldsThatNoPathWritesAlike) {
  const auto text = [](std::string name, std::int32_t length) {
    return typed(name, FieldKind::text, length);
  };
  const auto overlay = [](std::int32_t length, std::size_t offset) {
    return typed("o", FieldKind::text, length, FieldRole::overlay, offset);
  };
  LayoutField constantPacked = componentField("p", 3, setPackNumeric);
  constantPacked.role = FieldRole::constant;
  const struct {
    std::vector<LayoutField> fields;
    std::string message;
  } cases[] = {
      {{text("a", 2), typed("pad", FieldKind::filler, 4)},
       "field 2 (pad): a filler takes no value and redefines nothing: its role must be constant, not column"},
      {{text("a", 4), typed("pad", FieldKind::filler, 4, FieldRole::overlay)},
       "field 2 (pad): a filler takes no value and redefines nothing: its role must be constant, not "
       "overlay"},
      {{constantPacked},
       "field 1 (p): a component field is written from a value: its role must be column or overlay, not "
       "constant"},
      {{componentField("f", 3, static_cast<CFormatDirection>(4))}, "field 1 (f): format code 4 is not 0..3"},
      {{typed("k", static_cast<FieldKind>(200), 1)}, "field 1 (k): kind 200 is no field kind"},
      {{typed("r", FieldKind::text, 1, static_cast<FieldRole>(3))}, "field 1 (r): role 3 is no field role"},
      {{overlay(1, 0), text("a", 4)},
       "field 1 (o): an overlay before any field: there are no bytes to redefine"},
      {{text("a", 4), overlay(3, 2), text("b", 8)},
       "field 2 (o): an overlay of 3 bytes at offset 2 lies beyond the 4 bytes of the fields before it"},
      {{text("a", 4), overlay(1, 4)},
       "field 2 (o): an overlay of 1 byte at offset 4 lies beyond the 4 bytes of the fields before it"},
      // An offset whose sum with the size wraps around.
      {{text("a", 4), overlay(3, SIZE_MAX - 1)},
       ("field 2 (o): an overlay of 3 bytes at offset " + std::to_string(SIZE_MAX - 1) +
        " lies beyond the 4 bytes of the fields before it")},
      {{text("a", 4), overlay(2, 2), text("b", 1)}, "accepted"},
      {{text("a", 4), typed("pad", FieldKind::filler, 4, FieldRole::constant), overlay(8, 0)}, "accepted"},
  };
  for (const auto& c : cases) EXPECT_EQ(layoutRefusal(Layout{c.fields}), c.message);
}

// 1,024 national fields of 32767 characters take 67,106,816 bytes: 2,048 more reach the cap exactly.
TEST(LayoutGate, OneRecordCapForEverySource) {
  std::string lines, lengths, formats, copybook = "01 R.\n 05 N PIC N(32767) OCCURS 1024.\n";
  for (int i = 1; i <= 1024; ++i) {
    lines += "n" + std::to_string(i) + " national 32767\n";
    lengths += "32767,";
    formats += "2,";
  }
  Layout atCap;
  for (int i = 0; i < 1024; ++i) atCap.fields.push_back(typed("", FieldKind::national, 32767));
  atCap.fields.push_back(typed("t", FieldKind::text, 2048));
  finishLayout(atCap);
  EXPECT_EQ(atCap.recordLength, std::size_t{1} << 26);

  const std::string beyond = "the record would be longer than 67108864 bytes (64 MiB)";
  atCap.fields.back().length = 2049;
  EXPECT_EQ(layoutRefusal(atCap), "field 1025 (t): " + beyond);
  const auto refused = [](auto&& make) {
    try {
      make();
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errors::kInvalidCall);
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refused([&] { (void)parseLayoutFile(lines + "t text 2049\n", "big.layout"); }),
            "big.layout:1025: field 1025 (t): " + beyond);
  EXPECT_EQ(refused([&] { (void)layoutFromLists(lengths + "2049", formats + "1"); }),
            "--lengths: field 1025: " + beyond);
  EXPECT_EQ(refused([&] { (void)parseCopybook(copybook + " 05 T PIC X(2049).\n", "big.cpy"); }),
            "big.cpy:3: field 1025 (T): " + beyond);
  EXPECT_EQ(parseLayoutFile(lines + "t text 2048\n", "big.layout").recordLength, std::size_t{1} << 26);
  EXPECT_EQ(layoutFromLists(lengths + "2048", formats + "1").recordLength, std::size_t{1} << 26);
  EXPECT_EQ(parseCopybook(copybook + " 05 T PIC X(2048).\n", "big.cpy").recordLength, std::size_t{1} << 26);
}

}  // namespace
}  // namespace quor::test
