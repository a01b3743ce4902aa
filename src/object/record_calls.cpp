// The list operations: FujitsuHostQuor builds one record from three comma-separated lists,
// FujitsuHostQuorBinaryWrite appends it to the object's output file, FujitsuZoneFDArray encodes a list
// of numbers as consecutive zoned fields. Each cuts its lists afresh; nothing of a call stays behind.

#include <optional>

#include "base/api_guard.hpp"
#include "base/comma_list.hpp"
#include "number_text/number_reading.hpp"
#include "numeric/zoned.hpp"
#include "object/fields.hpp"
#include "record/record_assembly.hpp"

namespace quor {

namespace {

using ListItems = std::vector<std::u16string_view>;

// The record of three lists, or nothing when their item counts differ (the caller's marker case).
std::optional<ByteString> buildRecord(std::u16string_view values, std::u16string_view lengths,
                                      std::u16string_view formats, bool sign, record::GaijiSupply& gaiji) {
  const ListItems valueItems = base::commaListItems(values);
  const ListItems lengthItems = base::commaListItems(lengths);
  const ListItems formatItems = base::commaListItems(formats);
  const std::size_t count = valueItems.size();
  if (count != formatItems.size() || count != lengthItems.size()) return std::nullopt;

  // A length of zero means one; a negative length is passed on, and its encoder decides.
  const auto fieldAt = [&](std::size_t i) {
    std::int32_t length = number_text::integerValue(lengthItems[i]);
    if (length == 0) length = 1;
    return record::FieldInput{valueItems[i], length, number_text::integerValue(formatItems[i])};
  };
  std::u16string formatted;
  std::u16string exact;
  record::FieldStorage storage{formatted, exact};
  ByteString record;
  record::appendRecord(count, fieldAt, sign, gaiji, storage, record);
  return record;
}

// The pinned reading, or the mapping file read when a field first needs it.
record::GaijiSupply gaijiOf(const std::optional<GaijiMapping>& pinned, std::u16string_view path) {
  return pinned ? record::GaijiSupply(*pinned) : record::GaijiSupply(path);
}

}  // namespace

ByteString Quor::FujitsuHostQuor(std::u16string_view NewCharacter, std::u16string_view NewLength,
                                 std::u16string_view NewFormat, bool ConvertSign) const {
  return base::guarded([&] {
    const Fields& f = live();
    record::GaijiSupply gaiji = gaijiOf(f.pinnedGaiji, f.gaijiFilePath);
    std::optional<ByteString> record = buildRecord(NewCharacter, NewLength, NewFormat, ConvertSign, gaiji);
    return record ? std::move(*record) : ByteString::fromText(u"1");
  });
}

bool Quor::FujitsuHostQuorBinaryWrite(std::u16string_view NewCharacter, std::u16string_view NewLength,
                                      std::u16string_view NewFormat, std::u16string_view NewFilePath,
                                      bool ConvertSign) {
  return base::guarded([&] {
    Fields& f = live();
    // Nothing touches the file before the record is built; a build failure fails this call.
    record::GaijiSupply gaiji = gaijiOf(f.pinnedGaiji, f.gaijiFilePath);
    const std::optional<ByteString> record = buildRecord(NewCharacter, NewLength, NewFormat, ConvertSign, gaiji);
    // Lists of different lengths built no record, only the marker: nothing is written.
    if (!record) return false;

    if (!f.output.isOpen()) {
      // Failures while the file is being opened are reported by the result, not raised. A failed first
      // write leaves no file open, so the next call starts afresh.
      if (f.output.open(NewFilePath) != 0) return false;
      if (f.output.write(record->data(), record->size()) == 0) return true;
      f.output.close();
      return false;
    }
    if (const int error = f.output.write(record->data(), record->size()); error != 0) throw Error(error);
    return true;
  });
}

ByteString Quor::FujitsuZoneFDArray(std::u16string_view ConvertStringArray, std::u16string_view ConvertLengthArray,
                                    bool ConvertSign) const {
  return base::guarded([&] {
    (void)live();
    const ListItems values = base::commaListItems(ConvertStringArray);
    const ListItems widths = base::commaListItems(ConvertLengthArray);
    if (values.size() != widths.size()) return ByteString::fromText(u"1");

    ByteString result;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!number_text::isNumeric(widths[i])) throw Error(errors::kTypeMismatch);
      // A width of zero means one digit.
      const std::int32_t width = number_text::isZeroNumber(widths[i]) ? 1 : number_text::integerValue(widths[i]);
      numeric::appendZoned(values[i], width, ConvertSign, result);
      if (result.size() > base::kMaxResultBytes) throw Error(errors::kOutOfMemory);
    }
    return result;
  });
}

}  // namespace quor
