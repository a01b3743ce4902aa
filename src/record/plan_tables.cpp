// The plans' tables: every UTF-16 unit put to the record builder's formatter and encoders as a
// one-character value, every byte and pair to the decoders. A character is the plans' to write only
// where the builder writes it as it stands, one after the other, with no change.

#include "record/plan_tables.hpp"

#include "base/api_guard.hpp"
#include "base/utf.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/gaiji_index.hpp"
#include "character/jef.hpp"
#include "record/field_formatter.hpp"
#include "text/cp932.hpp"

namespace quor {

namespace {

constexpr std::size_t kUnits = 0x10000;

void fillWritten(PlanTables::Data& data) {
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
    data.text[u] = change.kind == Change::none && !bytes.empty() ? bytes[0] : PlanTables::Data::kLeftToBuilder;

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
    data.jef[u] = ok && pair != PlanTables::Data::kLeftToBuilder ? pair : PlanTables::Data::kLeftToBuilder;
  }
  data.blank = static_cast<std::uint8_t>(data.text[u' ']);
  bytes.clear();
  character::appendJef(text::PaddedText({}, 1, u'\u3000'), 1, gaiji, bytes);
  data.pad = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

void fillRead(PlanTables::Data& data) {
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
    data.jefUtf8[pair] = PlanTables::Data::pieceOf(c, OutputText::utf8, ',');
    data.jefCp932[pair] = PlanTables::Data::pieceOf(c, OutputText::cp932, ',');
  }
}

}  // namespace

PlanTables::Data::Piece PlanTables::Data::pieceOf(char16_t c, OutputText output, char delimiter) noexcept {
  Piece piece{};
  if (c == 0xFFFF || c == static_cast<unsigned char>(delimiter) || c == u'"' || c == u'\r' || c == u'\n')
    return piece;
  if (output == OutputText::cp932) {
    if (text::cp932::lacksExactForm(c)) return piece;
    const std::uint16_t code = text::cp932::encode(c);
    if (code > 0xFF) piece.bytes[piece.length++] = static_cast<std::uint8_t>(code >> 8);
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(code & 0xFF);
  } else if (c < 0x80) {
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(c);
  } else if (c < 0x800) {
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(0xC0 | (c >> 6));
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
  } else if (c < 0xD800 || c > 0xDFFF) {
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(0xE0 | (c >> 12));
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F));
    piece.bytes[piece.length++] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
  }
  return piece;
}


PlanTables::PlanTables(const GaijiMapping& gaiji, PlanUse use) {
  data_ = base::guarded([&] {
    auto data = std::make_shared<Data>();
    data->gaiji = use == PlanUse::encode ? gaiji : character::withJefOrder(gaiji);
    if (use != PlanUse::decode) fillWritten(*data);
    if (use != PlanUse::encode) fillRead(*data);
    return std::shared_ptr<const Data>(std::move(data));
  });
}

}  // namespace quor
