// FujitsuZoneFD with any text and any 32-bit width. Checks the result against the rules of the zoned
// field: the error that the first failing check gives, exactly `width` bytes, zone F on every byte
// but a negative value's last (zone D), and the digits of the text's rightmost characters.

#include "fuzz_support.hpp"
#include "quor/quor.hpp"

using quor::fuzz::isDigit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  in.flags();
  const std::int32_t width = in.length();
  const std::u16string text = in.text(in.rest());
  const bool sign = in.sign();
  const bool negative = sign && text.find(u'-') != std::u16string::npos;

  // The error the first failing check must give, 0 when the text fits.
  int expected = 0;
  if (width > 32767 || width < -32768 || text.size() >= 32767 || width == 32767) {
    expected = 6;
  } else if (width < 0) {
    expected = 5;
  } else if (width == 0) {
    expected = 9;
  } else {
    const std::size_t shown = std::min(text.size(), static_cast<std::size_t>(width));
    for (std::size_t i = text.size() - shown; i < text.size(); ++i)
      if (!isDigit(text[i]) && !(negative && text[i] == u'-')) expected = 13;
  }

  const quor::Quor q;
  quor::ByteString out;
  try {
    out = q.FujitsuZoneFD(text, width, sign);
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(e.number() == expected);
    return 0;
  }
  QUOR_FUZZ_CHECK(expected == 0);
  const auto n = static_cast<std::size_t>(width);
  QUOR_FUZZ_CHECK(out.size() == n);
  const std::size_t pad = n > text.size() ? n - text.size() : 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t zone = out[i] & 0xF0u;
    const bool last = i + 1 == n;
    QUOR_FUZZ_CHECK(zone == 0xF0 || (last && negative && zone == 0xD0));
    QUOR_FUZZ_CHECK(!last || !negative || zone == 0xD0);
    QUOR_FUZZ_CHECK((out[i] & 0x0Fu) <= 9);
    const char16_t c = i < pad ? u'0' : text[text.size() - n + i];
    QUOR_FUZZ_CHECK((out[i] & 0x0Fu) == (c == u'-' ? 0 : c - u'0'));
  }
  return 0;
}
