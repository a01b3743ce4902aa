// FujitsuHostQuor: one host record from three comma-separated lists (values, lengths, format codes).
// Each field is formatted, then encoded by the object's own public encoder for its format code, and
// the fields' bytes are joined in list order.

#include <algorithm>

#include "object/api_guard.hpp"
#include "object/fields.hpp"
#include "object/limits.hpp"
#include "platform/number_reading.hpp"

namespace quor {

namespace {
// Records of a batch are alike, so the last one's size is reserved for the next; a rare huge record
// is not taken as the size of all that follow.
constexpr std::size_t kReserveLimit = std::size_t{1} << 16;
}  // namespace

ByteString Quor::FujitsuHostQuor(std::u16string_view NewCharacter, std::u16string_view NewLength,
                                 std::u16string_view NewFormat, bool ConvertSign) {
  return detail::guarded([&] {
    Fields& f = live();
    f.characterList.assign(NewCharacter);
    f.lengthList.assign(NewLength);
    f.formatList.assign(NewFormat);
    const std::size_t count = f.characterList.size();
    if (count != f.formatList.size() || count != f.lengthList.size()) return ByteString::fromText(u"1");

    ByteString record;
    record.reserve(std::min(f.lastRecordSize, kReserveLimit));
    for (std::size_t i = 0; i < count; ++i) {
      f.fieldLength = f.lengthList.integerAt(i);
      if (f.fieldLength == 0) f.fieldLength = 1;
      f.fieldValue.assign(f.characterList[i]);
      f.fieldFormat = f.formatList.integerAt(i);
      // A code without an encoder has no bytes to give: the record cannot be built.
      if (f.fieldFormat < setNumeric || f.fieldFormat > setPackNumeric) throw Error(errors::kInvalidCall);
      f.formatField();
      f.fieldValue.swap(f.formattedValue);  // the formatted value; the working copy is of no further use

      ByteString field;
      switch (f.fieldFormat) {
        case setNumeric:
          // The zoned encoder takes the value's exact decimal text ("00123" gives "123"), never a
          // rounded 15-digit form that would lose digits.
          field =
              FujitsuZoneFD(platform::exactNumberText(f.fieldValue, f.scratch), f.fieldLength, ConvertSign);
          break;
        case setCharacter:
          field = SJIStoEBCDICK(f.fieldValue, f.fieldLength);
          break;
        case setNCharacter:
          field = FujitsuJEF(f.fieldValue, f.fieldLength);
          break;
        default:
          field = FujitsuPack(f.fieldValue, f.fieldLength, ConvertSign);
          break;
      }
      if (record.size() + field.size() > detail::kMaxResultBytes) throw Error(errors::kOutOfMemory);
      record.append(field);
    }
    f.lastRecordSize = record.size();
    return record;
  });
}

}  // namespace quor
