// FujitsuHostQuor with three arbitrary lists. Lists of different lengths give the marker "1"; a
// record is each field's bytes in list order, sized as its format code says (zoned and EBCDIC: the
// length, JEF: twice the length or nothing, packed: half the length rounded up), zoned fields hold
// only zone F/D bytes and packed fields only digit nibbles and their sign. Failures are 5, 6, 7, 9 or
// 13. The same lists give the same outcome on a fresh object and again on the same object after a
// FujitsuZoneFDArray call has reused its lists.
//
// Input: the flags byte (no length), then the text, cut at U+0000 into values, lengths and formats.

#include <algorithm>
#include <optional>

#include "fuzz_support.hpp"
#include "number_text/number_reading.hpp"
#include "quor/quor.hpp"

namespace {

struct Outcome {
  std::optional<quor::ByteString> record;
  int error = 0;
  friend bool operator==(const Outcome&, const Outcome&) = default;
};

Outcome build(quor::Quor& q, const std::vector<std::u16string>& lists, bool sign) {
  Outcome outcome;
  try {
    outcome.record = q.FujitsuHostQuor(lists[0], lists[1], lists[2], sign);
  } catch (const quor::Error& e) {
    outcome.error = e.number();
  }
  return outcome;
}

std::vector<std::u16string> items(const std::u16string& list) {
  std::vector<std::u16string> out;
  if (list.empty()) return out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = list.find(u',', start);
    out.push_back(list.substr(start, comma == std::u16string::npos ? std::u16string::npos : comma - start));
    if (comma == std::u16string::npos) return out;
    start = comma + 1;
  }
}

void checkZoned(const std::uint8_t* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    QUOR_FUZZ_CHECK((bytes[i] & 0x0Fu) <= 9);
    QUOR_FUZZ_CHECK((bytes[i] & 0xF0u) == 0xF0 || (i + 1 == n && (bytes[i] & 0xF0u) == 0xD0));
  }
}

void checkPacked(const std::uint8_t* bytes, std::size_t n, bool sign) {
  for (std::size_t k = 0; k < 2 * n; ++k) {
    const unsigned nibble = k % 2 == 0 ? bytes[k / 2] >> 4 : bytes[k / 2] & 0x0Fu;
    if (sign && k + 1 == 2 * n)
      QUOR_FUZZ_CHECK(nibble == 0xC || nibble == 0xD);
    else
      QUOR_FUZZ_CHECK(nibble <= 9);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const auto lists = quor::fuzz::parts(in.text(in.rest()), 3);
  const bool sign = in.sign();

  quor::Quor q;
  q.JEFGaijiFilePath(u"");
  const Outcome first = build(q, lists, sign);
  if (!first.record) QUOR_FUZZ_CHECK(quor::fuzz::oneOf(first.error, {5, 6, 7, 9, 13}));

  // The lists a FujitsuZoneFDArray call leaves behind must not stand in for this call's lists. Records
  // beyond a megabyte skip these repeats: under the fuzzer's instrumentation each such build takes
  // seconds, and three of them could pass the run's time limit for one input.
  if (!first.record || first.record->size() <= quor::fuzz::kAlwaysAllocatable) {
    try {
      (void)q.FujitsuZoneFDArray(lists[0], lists[1], sign);
    } catch (const quor::Error&) {
    }
    QUOR_FUZZ_CHECK(build(q, lists, sign) == first);
    quor::Quor fresh;
    fresh.JEFGaijiFilePath(u"");
    QUOR_FUZZ_CHECK(build(fresh, lists, sign) == first);
  }

  const auto values = items(lists[0]);
  const auto lengths = items(lists[1]);
  const auto formats = items(lists[2]);
  if (values.size() != lengths.size() || values.size() != formats.size()) {
    QUOR_FUZZ_CHECK(first.record && *first.record == quor::ByteString({0x31, 0x00}));
    return 0;
  }
  if (!first.record) return 0;

  // Walk the record field by field.
  std::size_t at = 0;
  const quor::ByteString& record = *first.record;
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::int32_t length = quor::number_text::integerValue(lengths[i]);
    if (length == 0) length = 1;
    const std::int32_t format = quor::number_text::integerValue(formats[i]);
    QUOR_FUZZ_CHECK(format >= 0 && format <= 3);
    std::size_t n = 0;
    switch (format) {
      case quor::setNumeric:
      case quor::setCharacter:
        QUOR_FUZZ_CHECK(length > 0);
        n = static_cast<std::size_t>(length);
        break;
      case quor::setNCharacter:
        if (length < 1) break;
        if (2 * std::int64_t{length} > quor::fuzz::kAlwaysAllocatable) return 0;  // empty or full
        n = 2 * static_cast<std::size_t>(length);
        break;
      default:
        QUOR_FUZZ_CHECK(length > 0);
        n = (static_cast<std::size_t>(length) + 1) / 2;
        break;
    }
    QUOR_FUZZ_CHECK(at + n <= record.size());
    if (format == quor::setNumeric) checkZoned(record.data() + at, n);
    if (format == quor::setPackNumeric) checkPacked(record.data() + at, n, sign);
    at += n;
  }
  QUOR_FUZZ_CHECK(at == record.size());
  return 0;
}
