// The plans' tables: every UTF-16 unit put to the record builder's formatter and encoders as a
// one-character value, every byte and pair to the decoders. A character is the plans' to write only
// where the builder writes it as it stands, one after the other, with no change.

#include "record/plan_tables.hpp"

#include "base/api_guard.hpp"
#include "base/utf.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/gaiji_index.hpp"
#include "character/host_text.hpp"
#include "character/jef.hpp"
#include "record/record_assembly.hpp"
#include "record/field_formatter.hpp"
#include "text/cp932.hpp"

namespace quor {
namespace record {

namespace {

constexpr std::size_t kUnits = 0x10000;

// What asking about one unit takes.
struct Scratch {
  std::u16string storage;
  ByteString bytes;
};

// A text field's EBCDIC byte of `unit`.
std::uint16_t textForm(char16_t unit, Scratch& scratch) {
  const std::u16string_view one(&unit, 1);
  ValueChange change;
  const text::PaddedText formatted = record::formatField(one, 1, setCharacter, true, scratch.storage, &change);
  scratch.bytes.clear();
  if (!formatted.empty()) character::appendEbcdicKana(formatted, 1, scratch.bytes);
  return change.kind == Change::none && !scratch.bytes.empty() ? scratch.bytes[0] : PlanTableData::kLeftToBuilder;
}

// A national field's JEF pair of `unit`.
std::uint16_t jefForm(const PlanTableData& data, char16_t unit, Scratch& scratch) {
  const GaijiMapping& gaiji = data.gaiji;
  const std::u16string_view one(&unit, 1);
  ValueChange change;
  // A half-width katakana may join the sound mark after it, so values holding one are the builder's;
  // so is a user-defined character without a mapping file, which the builder finds no code for.
  const bool joins = unit >= 0xFF61 && unit <= 0xFF9F;
  const bool userDefined = base::isUserDefined(unit);
  const text::PaddedText formatted = record::formatField(one, 1, setNCharacter, true, scratch.storage, &change);
  scratch.bytes.clear();
  character::JefStray stray;
  character::appendJef(formatted, 1, gaiji, scratch.bytes, &stray);
  const bool ok = change.kind == Change::none && !stray.found && !joins && !(userDefined && !gaiji.opened()) &&
                  formatted.text.size() == 1;
  return ok ? static_cast<std::uint16_t>(scratch.bytes[0] << 8 | scratch.bytes[1]) : PlanTableData::kLeftToBuilder;
}

// A typed text field's single-byte code or double-byte pair of `unit` on the host page.
std::uint16_t hostTextForm(const PlanTableData& data, char16_t unit, Scratch& scratch) {
  RecordOptions options;
  options.host = data.host;
  LayoutField text;
  text.kind = FieldKind::text;
  text.length = 4;  // room for a pair between its shift codes
  const ShiftCodes shifts = shiftCodesOf(data.host);
  const std::u16string_view one(&unit, 1);
  ValueChange change;
  ByteString& bytes = scratch.bytes;
  bytes.clear();
  appendHostTextField(text, one, options, data.gaiji, bytes, &change);
  if (change.kind == Change::none && bytes[0] == shifts.shiftOut && bytes[3] == shifts.shiftIn)
    return static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
  if (change.kind == Change::none && bytes[1] == 0x40) return bytes[0];  // a single-byte code, then blanks
  return PlanTableData::kLeftToBuilder;
}

// A typed national field's pair of `unit` on an IBM page with double-byte characters.
std::uint16_t hostNationalForm(const PlanTableData& data, char16_t unit, Scratch& scratch) {
  RecordOptions options;
  options.host = data.host;
  LayoutField national;
  national.kind = FieldKind::national;
  const std::u16string_view one(&unit, 1);
  ValueChange change;
  scratch.bytes.clear();
  appendHostNationalField(national, one, options, data.gaiji, scratch.storage, scratch.bytes, &change);
  // A half-width katakana may join the sound mark after it: values holding one are the builder's.
  const bool joins = unit >= 0xFF61 && unit <= 0xFF9F;
  return change.kind == Change::none && !joins ? static_cast<std::uint16_t>(scratch.bytes[0] << 8 | scratch.bytes[1])
                                               : PlanTableData::kLeftToBuilder;
}

// A table of characters written, every entry not asked yet, and the padding its fields take.
void fillText(PlanTableData& data) {
  data.text.assign(kUnits, PlanTableData::kNotAsked);
  data.blank = static_cast<std::uint8_t>(data.ask(PlanTableData::Written::text, u' '));
}

void fillJef(PlanTableData& data) {
  data.jef.assign(kUnits, PlanTableData::kNotAsked);
  ByteString bytes;
  character::appendJef(text::PaddedText({}, 1, u'\u3000'), 1, data.gaiji, bytes);
  data.pad = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

void fillHostText(PlanTableData& data) {
  data.hostText.assign(kUnits, PlanTableData::kNotAsked);
  data.hostBlank = static_cast<std::uint8_t>(data.ask(PlanTableData::Written::hostText, u' '));
}

void fillHostNational(PlanTableData& data) {
  if (data.host == HostCodePage::fujitsu || !hasDoubleByte(data.host)) return;
  data.hostNational.assign(kUnits, PlanTableData::kNotAsked);
  RecordOptions options;
  options.host = data.host;
  LayoutField national;
  national.kind = FieldKind::national;
  std::u16string storage;
  ByteString bytes;
  appendHostNationalField(national, {}, options, data.gaiji, storage, bytes, nullptr);
  data.hostPad = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

// The pieces of a table of pairs, every one not asked yet.
void fillNotAsked(std::vector<PlanTableData::Piece>& pieces) {
  pieces.assign(kUnits, PlanTableData::Piece{{0, 0, 0}, PlanTableData::kPieceNotAsked});
}

void fillHostRead(PlanTableData& data) {
  const character::HostText host(data.host, character::indexOf(data.gaiji));
  data.hostSingleRead.assign(256, 0xFFFF);
  std::u16string read;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::uint8_t one[] = {static_cast<std::uint8_t>(byte)};
    read.clear();
    if (!character::readHostText(host, one, false, true, false, read) && read.size() == 1)
      data.hostSingleRead[byte] = read[0];
  }
  if (data.host == HostCodePage::fujitsu || !hasDoubleByte(data.host)) return;
  fillNotAsked(data.hostPairUtf8);
  fillNotAsked(data.hostPairCp932);
}

void fillRead(PlanTableData& data) {
  data.ebcdicRead.assign(256, 0xFFFF);
  std::u16string read;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::uint8_t one[] = {static_cast<std::uint8_t>(byte)};
    read.clear();
    if (!character::readEbcdicKana(one, true, false, read) && read.size() == 1) data.ebcdicRead[byte] = read[0];
  }
  fillNotAsked(data.jefUtf8);
  fillNotAsked(data.jefCp932);
}

// What `pair` reads as, a JEF pair or a pair of the host page: its one character, or 0xFFFF where it is
// invalid data or reads as more or less than one.
char16_t pairRead(const PlanTableData& data, bool hostPage, unsigned pair) {
  const std::uint8_t two[] = {static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair & 0xFF)};
  std::u16string read;
  const auto fault = hostPage ? character::readHostNational(
                                    character::HostText(data.host, character::indexOf(data.gaiji)), two, true, false, read)
                              : character::readJef(two, data.gaiji, true, false, read);
  return !fault && read.size() == 1 ? read[0] : char16_t{0xFFFF};
}

}  // namespace

void PlanTableData::need(Written which) const {
  const auto index = static_cast<std::size_t>(which);
  base::guarded([&] {
    // Made once, by the first plan that needs it; the data was made writable (PlanTables makes it).
    std::call_once(made[index], [&] {
      auto& data = const_cast<PlanTableData&>(*this);
      switch (which) {
        case Written::text:
          fillText(data);
          break;
        case Written::jef:
          fillJef(data);
          break;
        case Written::hostText:
          fillHostText(data);
          break;
        case Written::hostNational:
          fillHostNational(data);
          break;
      }
    });
  });
}

std::uint16_t PlanTableData::ask(Written which, char16_t unit) const noexcept {
  try {
    Scratch scratch;
    std::uint16_t form = kLeftToBuilder;
    switch (which) {
      case Written::text:
        form = textForm(unit, scratch);
        break;
      case Written::jef:
        form = jefForm(*this, unit, scratch);
        break;
      case Written::hostText:
        form = hostTextForm(*this, unit, scratch);
        break;
      case Written::hostNational:
        form = hostNationalForm(*this, unit, scratch);
        break;
    }
    if (form == kNotAsked) form = kLeftToBuilder;  // kept as it reads: never taken for "not asked"
    std::atomic_ref<std::uint16_t>(const_cast<std::uint16_t&>(tableOf(which)[unit])).store(form, std::memory_order_relaxed);
    return form;
  } catch (...) {
    return kLeftToBuilder;  // out of memory: the builder's to report, the unit asked again next time
  }
}

PlanTableData::Piece PlanTableData::askPair(bool hostPage, TextEncoding encoding, unsigned pair) const noexcept {
  Piece piece{};
  try {
    const char16_t c = pairRead(*this, hostPage && host != HostCodePage::fujitsu, pair);
    if (c != 0xFFFF && c >= 0x80) piece = pieceOf(c, encoding, ',');  // none for ASCII: maybe a delimiter
  } catch (...) {
    return piece;  // out of memory: the decoder's to report, the pair asked again next time
  }
  const Piece* table = hostPage ? hostPairs(encoding) : jefPieces(encoding);
  std::atomic_ref<Piece>(const_cast<Piece&>(table[pair])).store(piece, std::memory_order_relaxed);
  return piece;
}

PlanTableData::Piece pieceOf(char16_t c, TextEncoding encoding, char delimiter) noexcept {
  PlanTableData::Piece piece{};
  if (c == 0xFFFF || c == static_cast<unsigned char>(delimiter) || c == u'"' || c == u'\r' || c == u'\n')
    return piece;
  if (encoding == TextEncoding::cp932) {
    c = text::cp932::windowsForm(c);
    if (text::cp932::lacksExactForm(c)) return piece;
    const std::uint16_t code = text::cp932::encode(c);
    if (code > 0xFF) piece.bytes[piece.length++] = static_cast<std::uint8_t>(code >> 8);
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(code & 0xFF);
  } else if (!base::isHighSurrogate(c) && !base::isLowSurrogate(c)) {
    piece.length = static_cast<std::uint8_t>(base::putUtf8(c, piece.bytes));  // at most three bytes
  }
  return piece;
}

}  // namespace record

PlanTables::PlanTables(const GaijiMapping& gaiji, PlanUse use, HostCodePage host) {
  data_ = base::guarded([&] {
    auto data = std::make_shared<Data>();
    data->gaiji = use == PlanUse::encode ? gaiji : character::withJefOrder(gaiji);
    data->host = host;
    data->forEncoding = use != PlanUse::decode;  // the tables of characters written: on each's first need
    data->forDecoding = use != PlanUse::encode;
    if (use != PlanUse::encode) {
      record::fillRead(*data);
      record::fillHostRead(*data);
    }
    return std::shared_ptr<const Data>(std::move(data));
  });
}

}  // namespace quor
