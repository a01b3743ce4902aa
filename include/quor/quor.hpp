#pragma once
// ConvertQuor: turns text prepared on a PC into the byte encodings of a Fujitsu host (zoned and packed
// decimal, EBCDIC with katakana, JEF kanji with site-defined gaiji) and builds whole fixed-layout
// records from three comma-separated lists.
//
// Every failing operation throws quor::Error with the runtime error number the automation interface
// reports; nothing else escapes. Texts are UTF-16: a text's length is its count of UTF-16 units.
//
// One Quor object is not for concurrent use: its gaiji settings and its record output file are its
// state, so one thread at a time calls it. Separate objects share nothing and may be used on separate
// threads at once.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quor/byte_string.hpp"
#include "quor/error.hpp"
#include "quor/format.hpp"
#include "quor/gaiji_mapping.hpp"
#include "quor/text.hpp"  // listItems, the list operations' rule

namespace quor {

class Quor {
 public:
  Quor();
  ~Quor();
  Quor(const Quor&) = delete;
  Quor& operator=(const Quor&) = delete;
  // A moved-from object may only be destroyed or assigned to; its operations fail with error 5.
  Quor(Quor&&) noexcept;
  Quor& operator=(Quor&&) noexcept;

  // "1.0.0".
  [[nodiscard]] std::u16string Version() const;

  // Builds a record as FujitsuHostQuor does and appends it to the object's output file. The first
  // successful call deletes NewFilePath, opens it empty and keeps it open until the object is
  // destroyed; later calls ignore their path. Returns false when the file had to be opened and opening
  // or writing failed, or when the lists differ in length (nothing is touched then).
  bool FujitsuHostQuorBinaryWrite(std::u16string_view NewCharacter, std::u16string_view NewLength,
                                  std::u16string_view NewFormat, std::u16string_view NewFilePath,
                                  bool ConvertSign = true);

  // One record from three comma-separated lists: values, lengths, format codes (CFormatDirection).
  // Lists of different lengths give the marker text "1" (bytes 31 00). A failing field's number is in
  // the error's field().
  [[nodiscard]] ByteString FujitsuHostQuor(std::u16string_view NewCharacter, std::u16string_view NewLength,
                                           std::u16string_view NewFormat, bool ConvertSign = true) const;

  // Single-byte text to EBCDIC with katakana, exactly ConvertLength bytes; 0x00 after the text.
  [[nodiscard]] ByteString SJIStoEBCDICK(std::u16string_view SJIS_Character,
                                         std::int32_t ConvertLength) const;

  // Double-byte text to JEF, 2 x ConvertLength bytes, gaiji from the mapping file. Characters beyond
  // the field are cut and a field that cannot be set up (a length below 1 or beyond 64 MiB) is the
  // empty result, with no error; the call fails only with 5 on a moved-from object and 7 when memory
  // runs out.
  [[nodiscard]] ByteString FujitsuJEF(std::u16string_view SJIS_Kanji, std::int32_t ConvertLength) const;

  // Number text to zoned decimal of ConvertLength bytes: "-123", 5 gives F0 F0 F1 F2 D3.
  [[nodiscard]] ByteString FujitsuZoneFD(std::u16string_view ConvertString, std::int32_t ConvertLength,
                                         bool ConvertSign = true) const;

  // Number text to packed decimal of ConvertLength nibbles rounded up to bytes: "12345", 5 gives 12 34 5C.
  [[nodiscard]] ByteString FujitsuPack(std::u16string_view ConvertString, std::int32_t ConvertLength,
                                       bool ConvertSign = true) const;

  // Comma-separated numbers and widths to consecutive zoned fields; different counts give "1".
  [[nodiscard]] ByteString FujitsuZoneFDArray(std::u16string_view ConvertStringArray,
                                              std::u16string_view ConvertLengthArray,
                                              bool ConvertSign = true) const;

  // The gaiji mapping file's path; default "C:\Program Files\Fujitsu\JEF\FMB1JEFM.TXT".
  [[nodiscard]] std::u16string JEFGaijiFilePath() const;
  void JEFGaijiFilePath(std::u16string_view vNewValue);

  // Batch use: FujitsuJEF (directly or through the record builder) uses this one reading instead of
  // reading JEFGaijiFilePath on every call, until UnpinGaijiMapping.
  void PinGaijiMapping(GaijiMapping mapping);
  void UnpinGaijiMapping() noexcept;

 private:
  struct Fields;
  // The fields, or error 5 for a moved-from object.
  [[nodiscard]] Fields& live();
  [[nodiscard]] const Fields& live() const;
  std::unique_ptr<Fields> fields_;
};

}  // namespace quor
