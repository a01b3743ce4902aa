// FujitsuHostQuorBinaryWrite: builds one record and appends it to the object's output file. The first
// successful call opens the file fresh and the object holds it until it is destroyed; later calls
// ignore their path.

#include "object/api_guard.hpp"
#include "object/fields.hpp"

namespace quor {

bool Quor::FujitsuHostQuorBinaryWrite(std::u16string_view NewCharacter, std::u16string_view NewLength,
                                      std::u16string_view NewFormat, std::u16string_view NewFilePath,
                                      bool ConvertSign) {
  return detail::guarded([&] {
    Fields& f = live();
    // Nothing touches the file before the record is built; a build failure fails this call.
    const ByteString record = FujitsuHostQuor(NewCharacter, NewLength, NewFormat, ConvertSign);
    // Lists of different lengths built no record, only the marker: nothing is written.
    const std::size_t count = f.characterList.size();
    if (count != f.lengthList.size() || count != f.formatList.size()) return false;

    if (!f.output.isOpen()) {
      // Failures while the file is being opened are reported by the result, not raised.
      if (f.output.open(NewFilePath) != 0) return false;
      return f.output.write(record.data(), record.size()) == 0;
    }
    if (const int error = f.output.write(record.data(), record.size()); error != 0) throw Error(error);
    return true;
  });
}

}  // namespace quor
