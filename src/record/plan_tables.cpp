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

void fillWritten(PlanTableData& data) {
  const GaijiMapping& gaiji = data.gaiji;
  data.text.resize(kUnits);
  data.jef.resize(kUnits);
  std::u16string storage;
  ByteString bytes;
  for (std::size_t u = 0; u < kUnits; ++u) {
    const auto unit = static_cast<char16_t>(u);
    const std::u16string_view one(&unit, 1);
    ValueChange change;
    text::PaddedText formatted = record::formatField(one, 1, setCharacter, true, storage, &change);
    bytes.clear();
    if (!formatted.empty()) character::appendEbcdicKana(formatted, 1, bytes);
    data.text[u] = change.kind == Change::none && !bytes.empty() ? bytes[0] : PlanTableData::kLeftToBuilder;

    // A half-width katakana may join the sound mark after it, so values holding one are the builder's;
    // so is a user-defined character without a mapping file, which the builder finds no code for.
    const bool joins = unit >= 0xFF61 && unit <= 0xFF9F;
    const bool userDefined = base::isUserDefined(unit);
    formatted = record::formatField(one, 1, setNCharacter, true, storage, &change);
    bytes.clear();
    character::JefStray stray;
    character::appendJef(formatted, 1, gaiji, bytes, &stray);
    const bool ok = change.kind == Change::none && !stray.found && !joins && !(userDefined && !gaiji.opened()) &&
                    formatted.text.size() == 1;
    const auto pair = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    data.jef[u] = ok && pair != PlanTableData::kLeftToBuilder ? pair : PlanTableData::kLeftToBuilder;
  }
  data.blank = static_cast<std::uint8_t>(data.text[u' ']);
  bytes.clear();
  character::appendJef(text::PaddedText({}, 1, u'\u3000'), 1, gaiji, bytes);
  data.pad = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

void fillHostWritten(PlanTableData& data) {
  const GaijiMapping& gaiji = data.gaiji;
  RecordOptions options;
  options.host = data.host;
  data.hostText.resize(kUnits);
  LayoutField text;
  text.kind = FieldKind::text;
  text.length = 4;  // room for a pair between its shift codes
  LayoutField national;
  national.kind = FieldKind::national;
  const bool ibmNational = data.host != HostCodePage::fujitsu && hasDoubleByte(data.host);
  if (ibmNational) data.hostNational.resize(kUnits);
  const ShiftCodes shifts = shiftCodesOf(data.host);
  std::u16string storage;
  ByteString bytes;
  for (std::size_t u = 0; u < kUnits; ++u) {
    const auto unit = static_cast<char16_t>(u);
    const std::u16string_view one(&unit, 1);
    ValueChange change;
    bytes.clear();
    appendHostTextField(text, one, options, gaiji, bytes, &change);
    std::uint16_t form = PlanTableData::kLeftToBuilder;
    if (change.kind == Change::none && bytes[0] == shifts.shiftOut && bytes[3] == shifts.shiftIn) {
      form = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    } else if (change.kind == Change::none && bytes[1] == 0x40) {
      form = bytes[0];  // a single-byte code, then blanks
    }
    data.hostText[u] = form;
    if (!ibmNational) continue;
    // A half-width katakana may join the sound mark after it: values holding one are the builder's.
    bytes.clear();
    appendHostNationalField(national, one, options, gaiji, storage, bytes, &change);
    const bool joins = unit >= 0xFF61 && unit <= 0xFF9F;
    data.hostNational[u] = change.kind == Change::none && !joins ? static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1])
                                                                 : PlanTableData::kLeftToBuilder;
  }
  data.hostBlank = static_cast<std::uint8_t>(data.hostText[u' ']);
  if (ibmNational) {
    bytes.clear();
    appendHostNationalField(national, {}, options, gaiji, storage, bytes, nullptr);
    data.hostPad = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
  }
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
  data.hostPairUtf8.resize(kUnits);
  data.hostPairCp932.resize(kUnits);
  for (unsigned pair = 0; pair < kUnits; ++pair) {
    const std::uint8_t two[] = {static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair & 0xFF)};
    read.clear();
    if (character::readHostNational(host, two, true, false, read) || read.size() != 1 || read[0] < 0x80) continue;
    data.hostPairUtf8[pair] = pieceOf(read[0], TextEncoding::utf8, ',');
    data.hostPairCp932[pair] = pieceOf(read[0], TextEncoding::cp932, ',');
  }
}

void fillRead(PlanTableData& data) {
  data.ebcdicRead.assign(256, 0xFFFF);
  std::u16string read;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::uint8_t one[] = {static_cast<std::uint8_t>(byte)};
    read.clear();
    if (!character::readEbcdicKana(one, true, false, read) && read.size() == 1) data.ebcdicRead[byte] = read[0];
  }
  data.jefRead.assign(kUnits, 0xFFFF);
  for (unsigned pair = 0; pair < kUnits; ++pair) {
    const std::uint8_t two[] = {static_cast<std::uint8_t>(pair >> 8), static_cast<std::uint8_t>(pair & 0xFF)};
    read.clear();
    if (!character::readJef(two, data.gaiji, true, false, read) && read.size() == 1) data.jefRead[pair] = read[0];
  }
  data.jefUtf8.resize(kUnits);
  data.jefCp932.resize(kUnits);
  for (std::size_t pair = 0; pair < kUnits; ++pair) {
    const char16_t c = data.jefRead[pair];
    if (c == 0xFFFF || c < 0x80) continue;  // no piece: invalid, or maybe a plan's delimiter
    data.jefUtf8[pair] = pieceOf(c, TextEncoding::utf8, ',');
    data.jefCp932[pair] = pieceOf(c, TextEncoding::cp932, ',');
  }
}

}  // namespace

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
    if (use != PlanUse::decode) {
      record::fillWritten(*data);
      record::fillHostWritten(*data);
    }
    if (use != PlanUse::encode) {
      record::fillRead(*data);
      record::fillHostRead(*data);
    }
    return std::shared_ptr<const Data>(std::move(data));
  });
}

}  // namespace quor
