#include "change_messages.hpp"

#include <gtest/gtest.h>

namespace quor::cli {
namespace {

TEST(ValueCheck, MessagesNameTheCharacterAndTheSizes) {
  const LayoutField single = componentField("f", 5, setCharacter);
  EXPECT_EQ(describeChange({Change::doubleByteInSingleByteField, 2, 0}, u"AB山", single),
            "double-byte character U+5C71 in a single-byte field (the field would be written as 0x00 bytes)");
  EXPECT_EQ(describeChange({Change::longerThanField, 0, 0}, u"ABCDEFG", single),
            "value longer than its field (7 characters, the field holds 5; it would be cut)");
}

}  // namespace
}  // namespace quor::cli
