// FujitsuZoneFDArray with an arbitrary value list and width list. Lists of different lengths give the
// marker "1"; otherwise the result is each item's FujitsuZoneFD field in list order (a width of value
// zero meaning one digit), and a failure carries the number of the first item that fails.
//
// Input: the flags byte (no length), then the text, cut at U+0000 into the two lists.

#include <algorithm>
#include <optional>

#include "fuzz_support.hpp"
#include "number_text/number_reading.hpp"
#include "quor/quor.hpp"

namespace {

std::size_t itemCount(const std::u16string& list) {
  if (list.empty()) return 0;
  return static_cast<std::size_t>(std::count(list.begin(), list.end(), u',')) + 1;
}

std::u16string itemAt(const std::u16string& list, std::size_t i) {
  std::size_t start = 0;
  for (; i > 0; --i) start = list.find(u',', start) + 1;
  const std::size_t end = list.find(u',', start);
  return list.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const auto lists = quor::fuzz::parts(in.text(in.rest()), 2);
  const std::u16string& values = lists[0];
  const std::u16string& widths = lists[1];
  const bool sign = in.sign();

  quor::Quor q;
  std::optional<quor::ByteString> out;
  int error = 0;
  try {
    out = q.FujitsuZoneFDArray(values, widths, sign);
  } catch (const quor::Error& e) {
    error = e.number();
    QUOR_FUZZ_CHECK(quor::fuzz::oneOf(error, {5, 6, 7, 9, 13}));
  }

  const std::size_t count = itemCount(values);
  if (count != itemCount(widths)) {
    QUOR_FUZZ_CHECK(out && *out == quor::ByteString({0x31, 0x00}));
    return 0;
  }

  // Item by item, as the list call must have gone.
  quor::ByteString expected;
  for (std::size_t i = 0; i < count; ++i) {
    const std::u16string width = itemAt(widths, i);
    const std::u16string value = itemAt(values, i);
    int itemError = 0;
    bool zeroWidth = false;
    try {
      std::int32_t w = quor::number_text::integerValue(width);
      zeroWidth = w == 0;
      if (zeroWidth) w = 1;  // unless the width merely rounds to zero; see below
      expected.append(q.FujitsuZoneFD(value, w, sign));
    } catch (const quor::Error& e) {
      itemError = e.number();
    }
    // A width such as "0.4" rounds to zero without being zero and fails with 9 rather than standing
    // for one digit; which of the two a failed call met cannot be told from here.
    if (zeroWidth && !out && error == 9) return 0;
    if (itemError != 0) {
      QUOR_FUZZ_CHECK(!out && error == itemError);
      return 0;
    }
  }
  QUOR_FUZZ_CHECK(out && *out == expected);
  for (std::uint8_t b : *out) QUOR_FUZZ_CHECK(b >= 0xD0 && b <= 0xF9);
  return 0;
}
