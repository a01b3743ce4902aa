// FujitsuJEF with an arbitrary mapping file. The file's bytes go to a temporary file; the reading of
// GaijiMapping::read pinned on one object must give the same bytes as another object that reads the
// file by its path on the call, the result keeps its size rules, and a character the file never
// names by one of its keys (four upper-case hexadecimal digits: the key of the code it is written as,
// and for a character written in the IBM extension rows that of its NEC-selected code) gets its
// not-found bytes. What the JEF decoder reads from the result without a fault encodes to the same bytes.
//
// Input: flags and length as in fuzz_support.hpp, one byte with the count of text bytes, the text
// bytes, then the file's bytes.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "character/jef.hpp"
#include "fuzz_support.hpp"
#include "quor/quor.hpp"

namespace {

// A file of this process's own, removed when the process ends.
struct TempFile {
  std::string path = "/tmp/quor_gaiji_fuzz_" + std::to_string(::getpid()) + ".txt";
  ~TempFile() { std::remove(path.c_str()); }
};

std::u16string widened(const std::string& s) {
  return {s.begin(), s.end()};
}

// The four upper-case hexadecimal digits of a code page 932 code's search key.
std::string keyOf(std::uint16_t code) {
  const auto [j1, j2] = quor::fuzz::jisPairOfCode(code);
  char key[5];
  std::snprintf(key, sizeof key, "%02X%02X", static_cast<unsigned>(j1) & 0xFFu,
                static_cast<unsigned>(j2) & 0xFFu);
  return key;
}

// The keys a file may map a character by: that of the code it is written as, and for a character
// written in the IBM extension rows (FA40-FC4B) that of its NEC-selected code (ED40-EEFC), found by
// reading the NEC-selected rows.
std::vector<std::string> keysOf(char16_t c) {
  static const std::vector<std::uint16_t> necSelected = [] {
    std::vector<std::uint16_t> codes(0x10000, 0);
    for (unsigned lead = 0xED; lead <= 0xEE; ++lead)
      for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
        const char16_t read = quor::text::cp932::decodeDouble(static_cast<std::uint8_t>(lead),
                                                              static_cast<std::uint8_t>(trail));
        if (read != 0xFFFF) codes[read] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    return codes;
  }();
  const std::uint16_t written = quor::text::cp932::encode(c);
  std::vector<std::string> keys{keyOf(written)};
  if (written >= 0xFA40 && written <= 0xFC4B && necSelected[c] != 0) keys.push_back(keyOf(necSelected[c]));
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TempFile file;
  quor::fuzz::Input in(data, size);
  in.flags();
  std::int32_t length = in.length();
  const std::u16string text = in.text(in.bytes(in.byte()));
  const std::string_view content = in.rest();
  // Lengths beyond the text only add 0x00 bytes, which the JEF target checks; keep the calls small.
  if (length > 4096) length = 4096;

  std::FILE* f = std::fopen(file.path.c_str(), "wb");
  QUOR_FUZZ_CHECK(f != nullptr);
  QUOR_FUZZ_CHECK(std::fwrite(content.data(), 1, content.size(), f) == content.size());
  QUOR_FUZZ_CHECK(std::fclose(f) == 0);

  const quor::GaijiMapping mapping = quor::GaijiMapping::read(widened(file.path));
  QUOR_FUZZ_CHECK(mapping.opened());

  quor::Quor pinned;
  pinned.PinGaijiMapping(mapping);
  quor::Quor byPath;
  byPath.JEFGaijiFilePath(widened(file.path));
  const quor::ByteString a = pinned.FujitsuJEF(text, length);
  const quor::ByteString b = byPath.FujitsuJEF(text, length);
  QUOR_FUZZ_CHECK(a == b);
  QUOR_FUZZ_CHECK(length < 1 ? a.empty() : a.size() == 2 * static_cast<std::size_t>(length));

  // What the decoder reads from the bytes without a fault, the encoder writes back as they are.
  std::u16string read;
  if (!quor::character::readJef(a, mapping, true, false, read))
    QUOR_FUZZ_CHECK(pinned.FujitsuJEF(read, length) == a);

  // A character whose key the file does not hold is encoded as without a file.
  quor::Quor noFile;
  noFile.JEFGaijiFilePath(u"");
  const std::string_view fileText = content;
  for (std::size_t p = 0; length > 0 && p < std::min(text.size(), static_cast<std::size_t>(length)); ++p) {
    const std::vector<std::string> keys = keysOf(text[p]);
    if (std::any_of(keys.begin(), keys.end(),
                    [&](const std::string& key) { return fileText.find(key) != std::string_view::npos; }))
      continue;
    const quor::ByteString alone = noFile.FujitsuJEF(std::u16string_view(&text[p], 1), 1);
    QUOR_FUZZ_CHECK(a[2 * p] == alone[0] && a[2 * p + 1] == alone[1]);
  }
  return 0;
}
