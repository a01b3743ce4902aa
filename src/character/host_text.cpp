#include "character/host_text.hpp"

#include <algorithm>
#include <cstring>

#include "base/appended.hpp"
#include "base/limits.hpp"
#include "base/utf.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/ebcdic_kana_table.hpp"
#include "character/gaiji_index.hpp"
#include "character/host_page.hpp"
#include "character/jef.hpp"
#include "quor/error.hpp"
#include "text/cp932.hpp"

namespace quor::character {

namespace {

constexpr std::uint8_t kBlank = 0x40;

HostForm single(std::uint8_t byte) noexcept {
  HostForm form;
  form.bytes[0] = byte;
  form.size = 1;
  return form;
}

HostForm pair(std::uint16_t code) noexcept {
  HostForm form;
  form.bytes[0] = static_cast<std::uint8_t>(code >> 8);
  form.bytes[1] = static_cast<std::uint8_t>(code & 0xFF);
  form.size = 2;
  return form;
}

// A double-byte code of an IBM page: both bytes 0x41..0xFE, or the blank 40 40.
constexpr bool isIbmPair(std::uint8_t first, std::uint8_t second) noexcept {
  return (first == 0x40 && second == 0x40) || (first >= 0x41 && first <= 0xFE && second >= 0x41 && second <= 0xFE);
}

// True when a code read back as `back` is the character `unit`: itself, or its JIS form where `unit` is
// the form Windows writes (U+FF5E for U+301C): the host has one code for both.
bool readsAs(char16_t unit, char16_t back) noexcept {
  return back == unit || text::cp932::windowsForm(back) == unit;
}

// The entry the gaiji mapping has for `unit`, looked up by the key of its double-byte code page 932
// code, as JEF fields look characters up; null for a unit without one.
const GaijiIndex::Entry* gaijiEntry(const GaijiIndex& index, char16_t unit) noexcept {
  const std::uint16_t code = text::cp932::encode(unit);
  if (code <= 0xFF || index.entries.empty()) return nullptr;
  return index.find(keyOf(jisCode(code)));
}

// A Fujitsu pair: the JEF pair, with its issue.
HostForm jefForm(char16_t unit, const GaijiIndex& index) noexcept {
  HostForm form;
  form.size = 2;
  JefStray stray;
  putJefPair(unit, index, form.bytes, &stray);
  if (text::cp932::lacksExactForm(unit)) {
    form.issue = FormIssue::writtenAsAnother;
    form.writtenAs = text::cp932::writtenAs(unit);
  } else if (stray.found) {
    form.issue = base::isUserDefined(unit) && !index.opened ? FormIssue::noGaijiMapping : FormIssue::notAHostCode;
  }
  return form;
}

// An IBM pair: the gaiji mapping's code, or the table's.
std::optional<HostForm> ibmPair(HostCodePage page, char16_t unit, const GaijiIndex& index) noexcept {
  if (const auto* entry = gaijiEntry(index, unit)) {
    HostForm form = pair(static_cast<std::uint16_t>(entry->first << 8 | entry->second));
    if (!isIbmPair(entry->first, entry->second)) form.issue = FormIssue::notAHostCode;
    return form;
  }
  const std::uint16_t code = ibmEncode(page, unit);
  if (code == kNoHostCode || code <= 0xFF) return std::nullopt;
  HostForm form = pair(code);
  const char16_t back = ibmDecodeDouble(page, form.bytes[0], form.bytes[1]);
  if (!readsAs(unit, back)) {
    form.issue = FormIssue::writtenAsAnother;
    form.writtenAs = back;
  }
  return form;
}

}  // namespace

HostForm HostText::textForm(char16_t unit) const noexcept {
  if (page_ == HostCodePage::fujitsu) {
    const std::uint16_t code = text::cp932::encode(unit);
    if (code > 0xFF) {
      // A pair holding a shift code (a gaiji line may give any code) would be read as one.
      HostForm form = jefForm(unit, *index_);
      const auto isShift = [&](std::uint8_t byte) { return byte == 0x28 || byte == 0x29 || byte == 0x38; };
      if (form.issue == FormIssue::none && (isShift(form.bytes[0]) || isShift(form.bytes[1])))
        form.issue = FormIssue::notAHostCode;
      return form;
    }
    HostForm form = single(kEbcdicKana[code]);
    if (text::cp932::lacksExactForm(unit)) {
      form.issue = FormIssue::writtenAsAnother;
      form.writtenAs = text::cp932::writtenAs(unit);
    }
    return form;
  }
  const std::uint16_t code = ibmEncode(page_, unit);
  if (code <= 0xFF) {
    HostForm form = single(static_cast<std::uint8_t>(code));
    const char16_t back = ibmDecodeSingle(page_, form.bytes[0]);
    if (!readsAs(unit, back)) {
      form.issue = FormIssue::writtenAsAnother;
      form.writtenAs = back;
    }
    return form;
  }
  if (hasDoubleByte(page_)) {
    if (auto form = ibmPair(page_, unit, *index_)) return *form;
  }
  HostForm form = single(static_cast<std::uint8_t>(ibmEncode(page_, u'?')));
  form.issue = FormIssue::writtenAsAnother;
  form.writtenAs = u'?';
  return form;
}

HostForm HostText::nationalForm(char16_t unit) const noexcept {
  if (page_ == HostCodePage::fujitsu) return jefForm(unit, *index_);
  if (auto form = ibmPair(page_, unit, *index_)) return *form;
  // A JIS form with only a single-byte code (U+00A2 on 930) is its full-width Windows form here, as a
  // national field writes every character in full width.
  const char16_t wide = text::cp932::windowsForm(unit);
  if (wide != unit) {
    if (auto form = ibmPair(page_, wide, *index_)) return *form;
  }
  HostForm form = pair(ibmEncode(page_, u'\uFF1F'));
  form.issue = FormIssue::writtenAsAnother;
  form.writtenAs = u'\uFF1F';
  return form;
}

char16_t HostText::readSingle(std::uint8_t byte) const noexcept {
  if (page_ == HostCodePage::fujitsu) return text::cp932::decodeSingle(kEbcdicKanaInverse[byte]);
  return ibmDecodeSingle(page_, byte);
}

char16_t HostText::readPair(std::uint8_t first, std::uint8_t second, const char*& reason) const noexcept {
  if (page_ == HostCodePage::fujitsu) return readJefPair(first, second, *index_, reason);
  reason = nullptr;
  char16_t c = 0xFFFF;
  if (const auto* entry = index_->findJef(first, second)) {
    c = characterOfKey(entry->key);
    if (c == 0xFFFF) {
      reason = "gaiji mapping line whose key is no character";
    } else {
      const HostForm form = nationalForm(c);
      if (form.bytes[0] != first || form.bytes[1] != second)
        reason = "double-byte code of a character that is written as another code";
    }
    return c;
  }
  c = ibmDecodeDouble(page_, first, second);
  if (c == 0xFFFF) reason = "double-byte code of no character";
  return c;
}

TextWrite appendHostText(const HostText& host, std::u16string_view value, std::size_t length, bool shifts,
                         ByteString& out) {
  if (length > base::kMaxResultBytes) throw Error(errors::kOutOfMemory);
  TextWrite report;
  for (const char16_t unit : value) {
    const HostForm form = host.textForm(unit);
    if (form.size == 2 && !shifts) {
      report = {TextWrite::Kind::doubleByte, unit, form};
      break;
    }
    if (form.issue != FormIssue::none && report.kind == TextWrite::Kind::none) report = {TextWrite::Kind::form, unit, form};
  }
  base::Appended field(out, length, kBlank);
  if (report.kind == TextWrite::Kind::doubleByte) {
    field.done();
    return report;
  }
  const ShiftCodes codes = host.shifts();
  std::uint8_t* const bytes = field.data();
  std::size_t used = 0;
  bool inRun = false;
  for (const char16_t unit : value) {
    const HostForm form = host.textForm(unit);
    // The bytes this character takes, counting the shift-in a run open after it will need.
    const std::size_t need = form.size == 1 ? (inRun ? 2 : 1) : (inRun ? 3 : 4);
    if (used + need > length) {
      if (report.kind == TextWrite::Kind::none) report = {TextWrite::Kind::cut, unit, form};
      break;
    }
    if (form.size == 1) {
      if (inRun) bytes[used++] = codes.shiftIn;
      inRun = false;
      bytes[used++] = form.bytes[0];
    } else {
      if (!inRun) bytes[used++] = codes.shiftOut;
      inRun = true;
      bytes[used++] = form.bytes[0];
      bytes[used++] = form.bytes[1];
    }
  }
  if (inRun) bytes[used++] = codes.shiftIn;
  field.done();
  return report;
}

std::optional<base::DecodeFault> readHostText(const HostText& host, std::span<const std::uint8_t> bytes, bool shifts,
                                              bool keepPadding, bool lenient, std::u16string& out) {
  const std::size_t start = out.size();
  std::size_t kept = start;  // the text before the trailing padding
  std::optional<base::DecodeFault> fault;
  // Notes a fault; false when the reading stops there.
  const auto bad = [&](std::size_t offset, std::size_t length, const char* reason) {
    if (!fault) fault = base::DecodeFault{offset, length, reason};
    if (!lenient) return false;
    out += u'\uFFFD';
    kept = out.size();
    return true;
  };
  const ShiftCodes codes = host.shifts();
  bool inRun = false;
  std::size_t runStart = 0;
  bool runEmpty = true;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t byte = bytes[i];
    if (!shifts || !inRun) {
      if (shifts && host.opensRun(byte)) {
        inRun = true;
        runStart = i;
        runEmpty = true;
        ++i;
        continue;
      }
      if (shifts && byte == codes.shiftIn) {
        if (!bad(i, 1, "shift-in with no double-byte run open")) return fault;
        ++i;
        continue;
      }
      const char16_t c = host.readSingle(byte);
      if (c == 0xFFFF) {
        if (!bad(i, 1, "byte of no single-byte character")) return fault;
      } else {
        out += c;
        if (byte != 0x40 && byte != 0x00) kept = out.size();
      }
      ++i;
      continue;
    }
    if (byte == codes.shiftIn) {
      inRun = false;
      if (runEmpty && !bad(runStart, i + 1 - runStart, "double-byte run with no character")) return fault;
      ++i;
      continue;
    }
    if (host.opensRun(byte)) {
      if (!bad(i, 1, "shift-out inside a double-byte run")) return fault;
      ++i;
      continue;
    }
    if (i + 1 == bytes.size() || bytes[i + 1] == codes.shiftIn) {
      if (!bad(i, 1, "odd byte in a double-byte run")) return fault;
      ++i;
      continue;
    }
    runEmpty = false;
    const char* reason = nullptr;
    const char16_t c = host.readPair(byte, bytes[i + 1], reason);
    if (reason != nullptr) {
      if (!fault) fault = base::DecodeFault{i, 2, reason};
      if (!lenient) return fault;
      out += c != 0xFFFF ? c : u'\uFFFD';
    } else {
      out += c;
    }
    kept = out.size();
    i += 2;
  }
  if (inRun) {
    if (!fault) fault = base::DecodeFault{runStart, bytes.size() - runStart, "double-byte run not closed by the field's end"};
    if (!lenient) return fault;
  }
  if (!keepPadding) out.resize(kept);
  return fault;
}

NationalWrite appendHostNational(const HostText& host, const text::PaddedText& text, ByteString& out) {
  NationalWrite report;
  base::Appended field(out, 2 * text.size());
  std::uint8_t* bytes = field.data();
  for (const char16_t unit : text.text) {
    const HostForm form = host.nationalForm(unit);
    if (form.issue != FormIssue::none && !report.found) report = {true, unit, form};
    *bytes++ = form.bytes[0];
    *bytes++ = form.bytes[1];
  }
  const HostForm pad = host.nationalForm(text.pad);
  for (std::size_t i = 0; i < text.padCount; ++i) {
    *bytes++ = pad.bytes[0];
    *bytes++ = pad.bytes[1];
  }
  field.done();
  return report;
}

std::optional<base::DecodeFault> readHostNational(const HostText& host, std::span<const std::uint8_t> bytes,
                                                  bool keepPadding, bool lenient, std::u16string& out) {
  const std::size_t end = keepPadding ? bytes.size() - bytes.size() % 2 : hostNationalTextEnd(bytes);
  std::optional<base::DecodeFault> fault;
  for (std::size_t i = 0; i < end; i += 2) {
    const char* reason = nullptr;
    const char16_t c = host.readPair(bytes[i], bytes[i + 1], reason);
    if (reason == nullptr) {
      out += c;
      continue;
    }
    if (!fault) fault = base::DecodeFault{i, 2, reason};
    if (!lenient) return fault;
    out += c != 0xFFFF ? c : u'\uFFFD';
  }
  if (bytes.size() % 2 != 0 && !fault) fault = base::DecodeFault{bytes.size() - 1, 1, "odd byte of a national field"};
  return fault;
}

}  // namespace quor::character
