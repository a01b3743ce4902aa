#include "quor/csv_writer.hpp"

#include "base/api_guard.hpp"
#include "base/utf.hpp"
#include "quor/text.hpp"

namespace quor {

namespace {

bool needsQuotes(std::u16string_view field, char16_t delimiter) {
  for (const char16_t c : field)
    if (c == delimiter || c == u'"' || c == u'\r' || c == u'\n') return true;
  return false;
}

}  // namespace

std::size_t appendCsvRecord(std::span<const std::u16string> fields, const CsvWriteOptions& options,
                            std::string& out) {
  return base::guarded([&] {
    std::size_t changed = 0;
    const auto append = [&](std::u16string_view text) {
      if (options.codePage932)
        changed += appendCp932(text, out);
      else
        base::appendUtf8(text, out);
    };
    const auto delimiter = static_cast<char16_t>(static_cast<unsigned char>(options.delimiter));
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += options.delimiter;
      const std::u16string_view field = fields[i];
      if (!needsQuotes(field, delimiter)) {
        append(field);
        continue;
      }
      out += '"';
      std::size_t start = 0;
      for (std::size_t quote = field.find(u'"'); quote != std::u16string_view::npos; quote = field.find(u'"', start)) {
        append(field.substr(start, quote + 1 - start));
        out += '"';
        start = quote + 1;
      }
      append(field.substr(start));
      out += '"';
    }
    out += options.crlf ? "\r\n" : "\n";
    return changed;
  });
}

}  // namespace quor
