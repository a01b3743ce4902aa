#pragma once
// The field format codes of the component's records.

#include <cstdint>

namespace quor {

// Field format codes of the record builder's format list.
enum CFormatDirection : std::int32_t {
  setNumeric = 0,      // zoned decimal (FujitsuZoneFD)
  setCharacter = 1,    // single-byte text as EBCDIC with katakana (SJIStoEBCDICK)
  setNCharacter = 2,   // double-byte text as JEF (FujitsuJEF)
  setPackNumeric = 3,  // packed decimal (FujitsuPack)
};

}  // namespace quor
