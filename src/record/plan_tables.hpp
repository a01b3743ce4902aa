#pragma once
// The tables record plans work from: each character as the library's encoders write it and each byte
// and pair as its decoders read it, asked once.

#include <cstdint>
#include <vector>

#include "quor/gaiji_mapping.hpp"
#include "quor/record_plan.hpp"

namespace quor {

struct PlanTables::Data {
  GaijiMapping gaiji;  // the mapping the tables were asked with

  // A UTF-16 unit in a text field (its EBCDIC byte) and in a national field (its JEF pair); `ok` when
  // the record builder writes it as it stands, one character after the other, with no change.
  struct TextForm {
    std::uint8_t byte;
    bool ok;
  };
  struct JefForm {
    std::uint8_t first;
    std::uint8_t second;
    bool ok;
  };
  std::vector<TextForm> text;  // 65536 units
  std::vector<JefForm> jef;    // 65536 units
  std::uint8_t blank = 0x40;   // a blank in a text field
  JefForm pad{};               // an ideographic space in a national field

  // What a byte of a text field and a pair of a national field read back as; 0xFFFF when it is invalid
  // data (a padding byte or pair reads as its character here: the plans drop trailing padding first).
  std::vector<char16_t> ebcdicRead;  // 256 bytes
  std::vector<char16_t> jefRead;     // 65536 pairs, the first byte high
};

}  // namespace quor
