#pragma once
// The host code pages records are written in: which single-byte page a text field's bytes are, which
// double-byte code a national field's pairs are, and which shift codes open and close a double-byte run
// in a text field.

#include <cstdint>
#include <string_view>

namespace quor {

enum class HostCodePage : std::uint8_t {
  fujitsu,  // EBCDIC with katakana and JEF, KI 0x28 (0x38 read too) / KO 0x29: the component's own
  ibm930,   // Japanese katakana (single-byte 290, double-byte 300), SO 0x0E / SI 0x0F
  ibm939,   // Japanese Latin (single-byte 1027, double-byte 300)
  ibm1390,  // 930 with more kanji and the euro
  ibm1399,  // 939 with more kanji and the euro
  ibm037,   // single-byte: USA, Canada
  ibm1140,  // 037 with the euro
  ibm1047,  // single-byte: Latin-1 as z/OS Unix writes it
  ibm500,   // single-byte: international
};

// The page of a name: "fujitsu", "ibm-930", "ibm930", "cp930", "IBM-930", in any case (likewise for
// each IBM page; "ibm-37" and "cp37" are 037). False for a name of no page.
bool parseHostCodePage(std::string_view name, HostCodePage& page) noexcept;

// The page's name as parseHostCodePage reads it and messages show it: "fujitsu", "ibm-930".
std::string_view hostCodePageName(HostCodePage page) noexcept;

// True for the pages with double-byte characters: national fields and mixed text.
constexpr bool hasDoubleByte(HostCodePage page) noexcept {
  return page == HostCodePage::fujitsu || page == HostCodePage::ibm930 || page == HostCodePage::ibm939 ||
         page == HostCodePage::ibm1390 || page == HostCodePage::ibm1399;
}

// The shift codes of a page with double-byte characters: the byte before a double-byte run in a text
// field and the byte after it.
struct ShiftCodes {
  std::uint8_t shiftOut;
  std::uint8_t shiftIn;
};
constexpr ShiftCodes shiftCodesOf(HostCodePage page) noexcept {
  return page == HostCodePage::fujitsu ? ShiftCodes{0x28, 0x29} : ShiftCodes{0x0E, 0x0F};
}

}  // namespace quor
