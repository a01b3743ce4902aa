#include "field_command.hpp"

#include <charconv>
#include <cstdio>

#include "io_error.hpp"
#include "quor/quor.hpp"
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

ByteString encode(Quor& quor, const FieldOptions& options) {
  const std::u16string value = toUtf16(options.value, "the value");
  const std::string& kind = options.kind;
  if (kind == "zoned") return quor.FujitsuZoneFD(value, parseLength(options.length), options.convertSign);
  if (kind == "packed") return quor.FujitsuPack(value, parseLength(options.length), options.convertSign);
  if (kind == "ebcdic") return quor.SJIStoEBCDICK(value, parseLength(options.length));
  if (kind == "jef") return quor.FujitsuJEF(value, parseLength(options.length));
  if (kind == "zoned-list") {
    const std::u16string lengths = toUtf16(options.length, "the lengths");
    const auto count = [](std::u16string_view list) { return listItems(list).size(); };
    // The component answers lists of different lengths with the marker "1", which is no field.
    if (count(value) != count(lengths))
      throw UsageError("the values list has " + std::to_string(count(value)) + " items, the lengths list " +
                       std::to_string(count(lengths)));
    return quor.FujitsuZoneFDArray(value, lengths, options.convertSign);
  }
  throw UsageError("unknown field kind '" + kind + "'");
}

}  // namespace

int runField(const FieldOptions& options) {
  Quor quor;
  if (options.gaijiPath) {
    GaijiMapping mapping = GaijiMapping::read(toUtf16(*options.gaijiPath, "the --gaiji file name"));
    if (!mapping.opened()) throw IoError("cannot read the gaiji mapping file " + *options.gaijiPath);
    quor.PinGaijiMapping(std::move(mapping));
  }
  ByteString bytes;
  try {
    bytes = encode(quor, options);
  } catch (const Error& error) {
    std::fprintf(stderr, "error %d: %s\n", error.number(), error.what());
    return kExitBadData;
  }
  if (options.raw) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
      throw IoError("cannot write standard output");
  } else {
    std::printf("%s\n", hexPairs(bytes.data(), bytes.size()).c_str());
  }
  return kExitSuccess;
}

}  // namespace quor::cli
