// The layout reader with an arbitrary layout file and arbitrary --lengths/--formats lists.
// A layout it accepts has fields of length 1 to its maximum and format 0 to 3, unique non-empty names
// (from a file), and lists that spell exactly those fields; a record built with that layout from a
// zero in every field has the size the formats give. Anything else is error 5 with a message.
//
// Input: the flags byte (bit 1 set: the bytes are the two lists cut at the first 0x00; clear: the
// bytes are a layout file).

#include <set>
#include <string>

#include "fuzz_support.hpp"
#include "quor/layout.hpp"
#include "quor/quor.hpp"

namespace {

std::u16string joined(const quor::Layout& layout, bool lengths) {
  std::u16string out;
  for (const auto& field : layout.fields) {
    if (!out.empty()) out += u',';
    const std::string number = std::to_string(lengths ? field.length : static_cast<int>(field.format));
    out.append(number.begin(), number.end());
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  const bool fromLists = (in.flags() & 2u) != 0;
  const std::string_view bytes = in.rest();

  quor::Layout layout;
  try {
    if (fromLists) {
      const std::size_t nul = bytes.find('\0');
      const std::string_view lengths = bytes.substr(0, nul);
      const std::string_view formats =
          nul == std::string_view::npos ? std::string_view() : bytes.substr(nul + 1);
      layout = quor::layoutFromLists(lengths, formats);
    } else {
      layout = quor::parseLayoutFile(bytes, "fuzz.layout");
    }
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(e.number() == quor::errors::kInvalidCall && e.what()[0] != '\0');
    return 0;
  }

  QUOR_FUZZ_CHECK(!layout.fields.empty());
  std::set<std::string> names;
  std::size_t expected = 0;
  std::u16string values;
  for (const auto& field : layout.fields) {
    QUOR_FUZZ_CHECK(field.length >= 1 && field.length <= quor::kMaxLayoutFieldLength);
    QUOR_FUZZ_CHECK(field.format >= quor::setNumeric && field.format <= quor::setPackNumeric);
    QUOR_FUZZ_CHECK(fromLists ? field.name.empty() : !field.name.empty() && names.insert(field.name).second);
    (void)layout.describe(names.size());
    const auto length = static_cast<std::size_t>(field.length);
    expected += field.format == quor::setNCharacter    ? 2 * length
                : field.format == quor::setPackNumeric ? (length + 1) / 2
                                                       : length;
    if (!values.empty() || &field != &layout.fields.front()) values += u',';
    values += u'0';
  }
  QUOR_FUZZ_CHECK(layout.lengthList() == joined(layout, true));
  QUOR_FUZZ_CHECK(layout.formatList() == joined(layout, false));

  quor::Quor q;
  q.JEFGaijiFilePath(u"");
  const quor::ByteString record = q.FujitsuHostQuor(values, layout.lengthList(), layout.formatList());
  QUOR_FUZZ_CHECK(record.size() == expected);
  return 0;
}
