// The layout reader with an arbitrary layout file (old-style and typed lines) and arbitrary
// --lengths/--formats lists, and finishLayout with a layout made in code of any kinds, roles, overlays
// and sizes. A layout file or lists it accepts have fields of length 1 to its maximum, unique non-empty
// names (from a file), fields placed one after the other with the sizes their kinds give, and for
// component layouts lists that spell exactly those fields; any accepted layout keeps finishLayout's
// promises (fuzz_support.hpp checkFinished), and a record built from a zero in every column has the
// record length (with varying tables, the length its counts of zero make, or a refusal of such a
// count), the same bytes as FujitsuHostQuor where it can build it. Anything else is error 5 with
// a message.
//
// Input: the flags byte (bit 2 set: the bytes are a layout made in code, fuzz_support.hpp layoutOf;
// else bit 1 set: the bytes are the two lists cut at the first 0x00; clear: the bytes are a layout
// file).

#include <set>
#include <string>

#include "fuzz_support.hpp"
#include "quor/layout.hpp"
#include "quor/quor.hpp"
#include "quor/record.hpp"

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

// The record of a zero in every column: the builder writes it whole, the record's length; with varying
// tables, as long as the counts of zero make it (found so from its bytes), or refused when zero is no
// count of a table.
quor::ByteString checkZeroRecord(const quor::Layout& layout) {
  const std::vector<std::u16string_view> zeros(layout.columns().size(), u"0");
  quor::RecordBuilder builder(layout);
  quor::ByteString built;
  try {
    builder.append(zeros, built);
  } catch (const quor::Error& e) {
    QUOR_FUZZ_CHECK(layout.varies() && e.number() == quor::errors::kSubscript);
    return built;
  }
  if (!layout.varies()) {
    QUOR_FUZZ_CHECK(built.size() == layout.recordLength);
    return built;
  }
  QUOR_FUZZ_CHECK(built.size() >= layout.shortestLength && built.size() <= layout.recordLength);
  const quor::RecordExtent extent = quor::RecordDecoder(layout).extent({built.data(), built.size()});
  QUOR_FUZZ_CHECK(!extent.fault && extent.length == built.size());
  return built;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  const std::uint8_t flags = in.flags();
  const bool fromLists = (flags & 2u) != 0;
  if ((flags & 4u) != 0) {
    const quor::Layout made = quor::fuzz::layoutOf(in, 2048);
    if (!made.fields.empty()) checkZeroRecord(made);
    return 0;
  }
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
  std::size_t offset = 0;
  for (const auto& field : layout.fields) {
    QUOR_FUZZ_CHECK(field.length >= 1 && field.length <= quor::kMaxLayoutFieldLength);
    QUOR_FUZZ_CHECK(field.format >= quor::setNumeric && field.format <= quor::setPackNumeric);
    QUOR_FUZZ_CHECK(fromLists ? field.name.empty() : !field.name.empty() && names.insert(field.name).second);
    QUOR_FUZZ_CHECK(field.offset == offset && field.size == quor::fieldSize(field));
    // Decimal scaling (a picture's P) puts the scale below 0 or beyond the digits, by 31 places at most.
    QUOR_FUZZ_CHECK(field.scale >= -quor::kMaxDecimalDigits && field.scale <= field.length + quor::kMaxDecimalDigits);
    (void)layout.describe(names.size());
    offset += field.size;
  }
  QUOR_FUZZ_CHECK(offset == layout.recordLength);
  quor::fuzz::checkFinished(layout);

  // A record of zeros (or empty values) has the layout's length, built either way where both can.
  const std::vector<std::size_t> columns = layout.columns();
  const quor::ByteString built = checkZeroRecord(layout);
  if (!layout.componentOnly()) return 0;
  QUOR_FUZZ_CHECK(layout.lengthList() == joined(layout, true));
  QUOR_FUZZ_CHECK(layout.formatList() == joined(layout, false));
  std::u16string values;
  for (std::size_t i = 0; i < columns.size(); ++i) values += i == 0 ? u"0" : u",0";
  quor::Quor q;
  q.JEFGaijiFilePath(u"");
  QUOR_FUZZ_CHECK(q.FujitsuHostQuor(values, layout.lengthList(), layout.formatList()) == built);
  return 0;
}
