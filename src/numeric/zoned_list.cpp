// FujitsuZoneFDArray: a list of number texts and a list of widths to consecutive zoned fields, each
// item encoded by the object's own FujitsuZoneFD.

#include "object/api_guard.hpp"
#include "object/fields.hpp"
#include "object/limits.hpp"
#include "platform/number_reading.hpp"

namespace quor {

namespace {

// True when a text that passed the numeric test has the value zero: no digit other than 0 in its
// significand (the part before an exponent), or a radix literal of zeros.
bool isZeroNumber(std::u16string_view text) {
  const std::size_t amp = text.find(u'&');
  if (amp != std::u16string_view::npos) {
    for (char16_t c : text.substr(amp + 2))
      if ((c >= u'1' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f')) return false;
    return true;
  }
  for (char16_t c : text) {
    if (c == u'E' || c == u'e' || c == u'D' || c == u'd') break;
    if (c >= u'1' && c <= u'9') return false;
  }
  return true;
}

}  // namespace

ByteString Quor::FujitsuZoneFDArray(std::u16string_view ConvertStringArray,
                                    std::u16string_view ConvertLengthArray, bool ConvertSign) {
  return detail::guarded([&] {
    Fields& f = live();
    f.characterList.assign(ConvertStringArray);
    f.lengthList.assign(ConvertLengthArray);
    if (f.characterList.size() != f.lengthList.size()) return ByteString::fromText(u"1");

    ByteString result;
    const std::size_t count = f.characterList.size();
    for (std::size_t i = 0; i < count; ++i) {
      if (!platform::isNumeric(f.lengthList[i])) throw Error(errors::kTypeMismatch);
      // A width of zero means one digit; the list keeps the "1" written for it.
      if (isZeroNumber(f.lengthList[i])) f.lengthList.replace(i, u"1");
      const std::int32_t width = f.lengthList.integerAt(i);
      const ByteString field = FujitsuZoneFD(f.characterList[i], width, ConvertSign);
      if (result.size() + field.size() > detail::kMaxResultBytes) throw Error(errors::kOutOfMemory);
      result.append(field);
    }
    return result;
  });
}

}  // namespace quor
