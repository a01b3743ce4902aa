// Typed text fields on every host code page, written and read:
// - a value written always fills its field exactly and never leaves a double-byte run open (the bytes
//   parse as single bytes and whole runs between the page's shift codes);
// - a value written with no change reads back as itself (trailing blanks aside; a Windows form reads
//   back in the JIS form the host has one code for);
// - any bytes read: the reading ends, strict and lenient find the same first fault, and a text read
//   without fault and written with no change reads back the same.
//
// Input: the page byte (low nibble: HostCodePage, above 8 the Fujitsu page; bit 4: no shift codes;
// bit 5: padding kept on reading), the field's length byte (1..64), then the value as UTF-16LE units
// up to a 0x0000 unit, then the rest as the bytes of a field to read.

#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "quor/layout.hpp"
#include "quor/record.hpp"
#include "text/cp932.hpp"

namespace {

using quor::ByteString;

// True when `bytes` parse as single bytes and whole double-byte runs, none left open.
bool runsClosed(const ByteString& bytes, quor::ShiftCodes codes) {
  bool inRun = false;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t b = bytes[i];
    if (!inRun) {
      inRun = b == codes.shiftOut;
      if (b == codes.shiftIn) return false;
      ++i;
    } else if (b == codes.shiftIn) {
      inRun = false;
      ++i;
    } else {
      if (b == codes.shiftOut || i + 1 >= bytes.size()) return false;
      i += 2;
    }
  }
  return !inRun;
}

// `read` is `value`, unit by unit, where a unit may come back in its JIS form.
bool readsAsWritten(std::u16string_view read, std::u16string_view value) {
  while (!value.empty() && (value.back() == u' ' || value.back() == u'\0')) value.remove_suffix(1);
  if (read.size() != value.size()) return false;
  for (std::size_t i = 0; i < read.size(); ++i)
    if (read[i] != value[i] && quor::text::cp932::windowsForm(read[i]) != value[i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quor::fuzz::Input in(data, size);
  const std::uint8_t flags = in.byte();
  const unsigned pageBits = flags & 0x0Fu;
  quor::RecordOptions options;
  options.host = static_cast<quor::HostCodePage>(pageBits <= 8 ? pageBits : 0);
  options.shiftCodes = (flags & 0x10u) == 0;
  options.keepPadding = (flags & 0x20u) != 0;
  const auto length = static_cast<std::int32_t>(in.byte() % 64 + 1);
  std::u16string value;
  while (value.size() < 200) {
    const auto unit = static_cast<char16_t>(in.byte() | in.byte() << 8);
    if (unit == 0) break;
    value += unit;
  }
  quor::Layout layout;
  quor::LayoutField field;
  field.name = "f";
  field.kind = quor::FieldKind::text;
  field.length = length;
  layout.fields.push_back(field);
  quor::finishLayout(layout);
  const quor::GaijiMapping mapping;
  const quor::ShiftCodes codes = quor::shiftCodesOf(options.host);
  const bool shifts = options.shiftCodes && quor::hasDoubleByte(options.host);

  // Written.
  quor::RecordBuilder builder(layout, options, mapping);
  const quor::RecordDecoder decoder(layout, options, mapping);
  std::vector<quor::ValueChange> changes(1);
  ByteString written;
  const std::u16string_view values[] = {value};
  builder.append(values, written, changes);
  QUOR_FUZZ_CHECK(written.size() == static_cast<std::size_t>(length));
  if (shifts) QUOR_FUZZ_CHECK(runsClosed(written, codes));
  std::vector<std::u16string> read;
  std::vector<quor::FieldFault> faults;
  if (changes[0].kind == quor::Change::none && !options.keepPadding) {
    decoder.decode(written, read, faults);
    QUOR_FUZZ_CHECK(faults.empty());
    QUOR_FUZZ_CHECK(readsAsWritten(read[0], value));
  }

  // Read.
  const std::string_view rest = in.rest();
  ByteString bytes(reinterpret_cast<const std::uint8_t*>(rest.data()), std::min<std::size_t>(rest.size(), 64));
  bytes.resize(static_cast<std::size_t>(length), 0x40);
  std::vector<std::u16string> lenientRead;
  std::vector<quor::FieldFault> lenientFaults;
  decoder.decode(bytes, lenientRead, lenientFaults, true);
  decoder.decode(bytes, read, faults);
  QUOR_FUZZ_CHECK(faults.size() == lenientFaults.size());
  if (!faults.empty()) {
    QUOR_FUZZ_CHECK(faults[0].offset == lenientFaults[0].offset && faults[0].length == lenientFaults[0].length);
    QUOR_FUZZ_CHECK(read[0].empty());
    return 0;
  }
  QUOR_FUZZ_CHECK(read[0] == lenientRead[0]);
  const std::u16string text = read[0];
  const std::u16string_view again[] = {text};
  ByteString rewritten;
  builder.append(again, rewritten, changes);
  if (changes[0].kind != quor::Change::none) return 0;
  std::vector<std::u16string> reread;
  decoder.decode(rewritten, reread, faults);
  QUOR_FUZZ_CHECK(faults.empty());
  if (!options.keepPadding) QUOR_FUZZ_CHECK(readsAsWritten(reread[0], text));
  return 0;
}
