#include "record/record_assembly.hpp"

#include "base/utf.hpp"
#include "character/ebcdic_kana.hpp"
#include "character/jef.hpp"
#include "number_text/number_reading.hpp"
#include "numeric/packed.hpp"
#include "numeric/zoned.hpp"
#include "quor/format.hpp"
#include "record/field_formatter.hpp"

namespace quor::record {

void appendJefField(const text::PaddedText& formatted, std::int32_t length, const GaijiMapping& mapping,
                    ByteString& out, ValueChange* change) {
  character::JefStray stray;
  character::appendJef(formatted, length, mapping, out, change != nullptr ? &stray : nullptr);
  if (!stray.found || (change->kind != Change::none && change->kind != Change::longerThanField)) return;
  const Change kind = base::isUserDefined(stray.character) && !mapping.opened() ? Change::noGaijiMapping : Change::notAJefCode;
  *change = {kind, stray.character, 0, {stray.first, stray.second}};
}

void appendField(const FieldInput& field, bool sign, GaijiSupply& gaiji, FieldStorage& storage, ByteString& out,
                 ValueChange* change) {
  // A code without an encoder has no bytes to give: the record cannot be built.
  if (field.format < setNumeric || field.format > setPackNumeric) throw Error(errors::kInvalidCall);
  const text::PaddedText formatted =
      formatField(field.value, field.length, field.format, sign, storage.formatted, change);
  switch (field.format) {
    case setNumeric:
      // The zoned encoder takes the value's exact decimal text ("00123" gives "123"), never a rounded
      // 15-digit form that would lose digits.
      numeric::appendZoned(number_text::exactNumberText(formatted.text, storage.exact), field.length, sign, out);
      break;
    case setCharacter:
      character::appendEbcdicKana(formatted, field.length, out);
      break;
    case setNCharacter:
      // The mapping is read only when there is a character to look up in a field that has room.
      if (formatted.empty() || character::jefFieldBytes(field.length) == 0)
        character::appendJef(formatted, field.length, GaijiMapping(), out);
      else
        appendJefField(formatted, field.length, gaiji.get(), out, change);
      break;
    default:
      numeric::appendPacked(formatted.text, field.length, sign, out);
      break;
  }
}

}  // namespace quor::record
