#pragma once
// Text on a host code page: each character's bytes in a text field (a single-byte code, or a double-byte
// pair written in a run between the page's shift codes) and in a national field (a pair), and the way
// back. The Fujitsu page writes EBCDIC with katakana and JEF (user-defined characters from the gaiji
// mapping); the IBM pages their tables, with the gaiji mapping's codes for the characters it lists.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/decode_fault.hpp"
#include "quor/byte_string.hpp"
#include "quor/host_code_page.hpp"
#include "text/padded_text.hpp"

namespace quor::character {

struct GaijiIndex;

// Why a character's bytes are not the character as it stands.
enum class FormIssue : std::uint8_t {
  none,
  writtenAsAnother,  // the bytes read back as `writtenAs`: the page has no code of its own for it
  notAHostCode,      // a pair that is no double-byte code of the page (a JEF pair outside A1..FE)
  noGaijiMapping,    // a user-defined character without a JEF code, and no mapping file read
};

struct HostForm {
  std::uint8_t bytes[2]{};
  std::uint8_t size = 0;  // 1: a single-byte code; 2: a double-byte pair
  FormIssue issue = FormIssue::none;
  char16_t writtenAs = 0;  // writtenAsAnother: the character read back
};

// The characters of one page with one gaiji reading (`index`, made with its JEF order where pairs are
// read). A view: the index must outlive it.
class HostText {
 public:
  HostText(HostCodePage page, const GaijiIndex& index) noexcept : page_(page), index_(&index) {}

  [[nodiscard]] HostCodePage page() const noexcept { return page_; }
  [[nodiscard]] ShiftCodes shifts() const noexcept { return shiftCodesOf(page_); }
  // True for a byte that opens a double-byte run: the page's shift-out, and on the Fujitsu page 0x38.
  [[nodiscard]] bool opensRun(std::uint8_t byte) const noexcept {
    return byte == shifts().shiftOut || (page_ == HostCodePage::fujitsu && byte == 0x38);
  }

  // `unit` in a text field: its single-byte code where it has one, otherwise its pair. A unit without
  // any form is written as "?".
  [[nodiscard]] HostForm textForm(char16_t unit) const noexcept;
  // `unit` in a national field (full width already): its pair. A unit without one is written as "？".
  [[nodiscard]] HostForm nationalForm(char16_t unit) const noexcept;
  // The pair national fields are padded with: the ideographic space (JEF A1 A1, IBM 40 40).
  [[nodiscard]] std::uint16_t nationalPad() const noexcept { return page_ == HostCodePage::fujitsu ? 0xA1A1 : 0x4040; }

  // The character of a single-byte code, 0xFFFF for none.
  [[nodiscard]] char16_t readSingle(std::uint8_t byte) const noexcept;
  // The character of a pair; `reason` is set when the pair is invalid data (no code of the page, a code
  // of no character, a gaiji code whose character is written as another code), the character or
  // 0xFFFF still returned for a lenient reading.
  char16_t readPair(std::uint8_t first, std::uint8_t second, const char*& reason) const noexcept;

 private:
  HostCodePage page_;
  const GaijiIndex* index_;
};

// What writing a text field found first, in the order that decides what is written: a double-byte
// character where no run may be written (the field is then blanks), a character written other than it
// is, a value cut at the field's end.
struct TextWrite {
  enum class Kind : std::uint8_t { none, doubleByte, form, cut };
  Kind kind = Kind::none;
  char16_t character = 0;
  HostForm form;
};

// Appends a text field of `length` bytes (1..64 MiB): each character of `value` as textForm gives it,
// double-byte characters between the shift codes when `shifts` (never a run left open at the field's
// end: a character that cannot fit with the shift-in after it ends the value there), then blanks. Without
// `shifts` a double-byte character makes the whole field blanks. Throws quor::Error 7 when memory runs
// out, leaving `out` as it was.
TextWrite appendHostText(const HostText& host, std::u16string_view value, std::size_t length, bool shifts,
                         ByteString& out);

// Reads a text field: single-byte codes and, when `shifts`, double-byte runs between shift codes,
// checked (a shift-out inside a run, a shift-in outside one, a run with nothing in it or an odd byte in
// it, a run left open at the field's end are invalid data) and the shifts taken out. Trailing blanks
// (0x40) and 0x00 bytes outside a run are padding, dropped unless `keepPadding`. The fault names the
// first invalid byte or pair; with `lenient` it reads as U+FFFD and the reading goes on. One pass: the
// reading of any bytes ends.
std::optional<base::DecodeFault> readHostText(const HostText& host, std::span<const std::uint8_t> bytes, bool shifts,
                                              bool keepPadding, bool lenient, std::u16string& out);

// Appends a national field of `text.size()` characters on an IBM page: each pair as nationalForm gives
// it. Returns the first character whose form has an issue (found false when none).
struct NationalWrite {
  bool found = false;
  char16_t character = 0;
  HostForm form;
};
NationalWrite appendHostNational(const HostText& host, const text::PaddedText& text, ByteString& out);

// The bytes of an IBM national field before its trailing padding pairs, 40 40 and 00 00: an even count.
inline std::size_t hostNationalTextEnd(std::span<const std::uint8_t> bytes) noexcept {
  std::size_t end = bytes.size() - bytes.size() % 2;
  while (end >= 2 && bytes[end - 2] == bytes[end - 1] && (bytes[end - 1] == 0x40 || bytes[end - 1] == 0x00)) end -= 2;
  return end;
}

// Reads a national field of an IBM page: pairs, trailing 40 40 and 00 00 pairs dropped unless
// `keepPadding`; an odd last byte is invalid data.
std::optional<base::DecodeFault> readHostNational(const HostText& host, std::span<const std::uint8_t> bytes,
                                                  bool keepPadding, bool lenient, std::u16string& out);

}  // namespace quor::character
