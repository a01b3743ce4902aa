#include "field_command.hpp"

#include <charconv>
#include <cstdio>
#include <vector>

#include "change_messages.hpp"
#include "gaiji_file.hpp"
#include "io_error.hpp"
#include "quor/layout.hpp"
#include "quor/quor.hpp"
#include "quor/record.hpp"
#include "quor/record_problem.hpp"
#include "text_convert.hpp"

namespace quor::cli {

namespace {

std::int32_t parseLength(const std::string& text) {
  std::int32_t length = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, length);
  if (ec != std::errc() || ptr != end) throw UsageError("length '" + text + "' is not a whole number");
  return length;
}

CFormatDirection formatOf(const std::string& kind) {
  if (kind == "zoned") return setNumeric;
  if (kind == "packed") return setPackNumeric;
  if (kind == "ebcdic") return setCharacter;
  if (kind == "jef") return setNCharacter;
  if (kind == "text" || kind == "national") return setCharacter;
  throw UsageError("unknown field kind '" + kind + "'");
}

// Why the component's own encoder refuses a value or length, in words.
std::string bareFailure(const std::string& kind, int number) {
  switch (number) {
    case errors::kInvalidCall:
      return "a negative length";
    case errors::kOverflow:
      return kind == "packed" ? "a length above 32766 nibbles (16383 bytes)"
                              : "a length above 32766, or a value of 32767 characters or more";
    case errors::kOutOfMemory:
      return "a length beyond what one field may take";
    case errors::kSubscript:
      return kind == "ebcdic" ? "a length below 1, or more characters than the length" : "a length below 1";
    case errors::kTypeMismatch:
      return kind == "packed" ? "too few characters for the field, or one that is not a digit"
                              : "a character in the field that is not a digit";
    default:
      return Error::textOf(number);
  }
}

// The component's own call on the value as it stands.
ByteString encodeBare(Quor& quor, const FieldOptions& options, const std::u16string& value) {
  const std::string& kind = options.kind;
  if (kind == "zoned") return quor.FujitsuZoneFD(value, parseLength(options.length), options.convertSign);
  if (kind == "packed") return quor.FujitsuPack(value, parseLength(options.length), options.convertSign);
  if (kind == "ebcdic") return quor.SJIStoEBCDICK(value, parseLength(options.length));
  return quor.FujitsuJEF(value, parseLength(options.length));
}

ByteString encodeZonedList(Quor& quor, const FieldOptions& options, const std::u16string& values) {
  const std::u16string lengths = toUtf16(options.length, "the lengths");
  const std::size_t valueCount = listItems(values).size();
  const std::size_t lengthCount = listItems(lengths).size();
  // The component answers lists of different lengths with the marker "1", which is no field.
  if (valueCount != lengthCount)
    throw UsageError("the values list has " + std::to_string(valueCount) + " items, the lengths list " +
                     std::to_string(lengthCount));
  return quor.FujitsuZoneFDArray(values, lengths, options.convertSign);
}

void print(const ByteString& bytes, bool raw) {
  if (raw) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
      throw IoError("cannot write standard output");
  } else {
    std::printf("%s\n", hexPairs(bytes).c_str());
  }
}

}  // namespace

int runField(const FieldOptions& options) {
  const std::u16string value = toUtf16(options.value, "the value");
  Quor quor;
  const GaijiMapping mapping = loadGaijiMapping(options.gaijiPath);
  quor.PinGaijiMapping(mapping);
  const std::string shown = shownValue(value);
  if (options.bare || options.kind == "zoned-list") {
    try {
      print(options.kind == "zoned-list" ? encodeZonedList(quor, options, value) : encodeBare(quor, options, value),
            options.raw);
    } catch (const Error& error) {
      std::fprintf(stderr, "quor: %s: %s (error %d: %s)\n", shown.c_str(),
                   bareFailure(options.kind, error.number()).c_str(), error.number(), Error::textOf(error.number()));
      return kExitBadData;
    }
    return kExitSuccess;
  }

  // One field of a record, as quor encode writes it.
  Layout layout;
  layout.fields.push_back(componentField("", parseLength(options.length), formatOf(options.kind)));
  if (options.kind == "text" || options.kind == "national")
    layout.fields[0].kind = options.kind == "text" ? FieldKind::text : FieldKind::national;
  else if (options.host != HostCodePage::fujitsu && (options.kind == "ebcdic" || options.kind == "jef"))
    throw UsageError(options.kind + " is the component's Fujitsu encoding; on --host " +
                     std::string(hostCodePageName(options.host)) + " use text or national");
  try {
    finishLayout(layout);
  } catch (const Error& error) {
    throw UsageError(error.what());
  }
  RecordBuilder builder(layout, RecordOptions{options.convertSign, false, options.host, options.shiftCodes}, mapping);
  const std::u16string_view values[] = {value};
  std::vector<ValueChange> changes(1);
  ByteString bytes;
  try {
    builder.append(values, bytes, changes);
  } catch (const Error& error) {
    const std::string words = changes[0].kind != Change::none
                                  ? describeChange(changes[0], value, layout.fields[0])
                                  : describeFailure(error.number(), value, layout.fields[0]);
    std::fprintf(stderr, "quor: %s: %s (error %d: %s)\n", shown.c_str(), words.c_str(), error.number(),
                 Error::textOf(error.number()));
    return kExitBadData;
  }
  if (changes[0].kind != Change::none) {
    const std::string words = describeChange(changes[0], value, layout.fields[0]);
    if (!options.lenient) {
      std::fprintf(stderr, "quor: %s: %s (--lenient prints the bytes written so)\n", shown.c_str(), words.c_str());
      return kExitBadData;
    }
    std::fprintf(stderr, "quor: %s: %s\n", shown.c_str(), words.c_str());
  }
  print(bytes, options.raw);
  return kExitSuccess;
}

}  // namespace quor::cli
