#include "quor/csv_writer.hpp"

#include <algorithm>

#include "base/api_guard.hpp"
#include "base/utf.hpp"
#include "quor/text.hpp"
#include "text/cp932.hpp"

namespace quor {

namespace {

// The ASCII character a unit is written as, which decides quoting: code page 932 writes some
// characters as an ASCII look-alike (U+00A6 as "|"), and such a "|" delimits like any other.
char16_t writtenUnit(char16_t c, TextEncoding encoding) noexcept {
  if (encoding != TextEncoding::cp932 || c < 0x80) return c;
  const std::uint16_t code = text::cp932::encode(c);
  return code < 0x80 ? static_cast<char16_t>(code) : c;
}

bool needsQuotes(std::u16string_view field, char16_t delimiter, TextEncoding encoding) {
  for (const char16_t unit : field) {
    const char16_t c = writtenUnit(unit, encoding);
    if (c == delimiter || c == u'"' || c == u'\r' || c == u'\n') return true;
  }
  return false;
}

}  // namespace

std::size_t appendCsvRecord(std::span<const std::u16string> fields, const CsvWriteOptions& options,
                            std::string& out) {
  return base::guarded([&] {
    std::size_t changed = 0;
    std::u16string windows;
    const auto append = [&](std::u16string_view text) {
      if (options.encoding == TextEncoding::cp932) {
        // Characters read in their JIS form go out in the form Windows writes for them.
        const auto jis = [](char16_t c) { return text::cp932::windowsForm(c) != c; };
        if (std::any_of(text.begin(), text.end(), jis)) {
          windows.assign(text);
          for (char16_t& c : windows) c = text::cp932::windowsForm(c);
          text = windows;
        }
        changed += appendCp932(text, out);
      } else
        base::appendUtf8(text, out);
    };
    const auto delimiter = static_cast<char16_t>(static_cast<unsigned char>(options.delimiter));
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += options.delimiter;
      const std::u16string_view field = fields[i];
      if (!needsQuotes(field, delimiter, options.encoding)) {
        append(field);
        continue;
      }
      // Quoted, each character written as a quote doubled.
      out += '"';
      std::size_t start = 0;
      for (std::size_t i = 0; i < field.size(); ++i) {
        if (writtenUnit(field[i], options.encoding) != u'"') continue;
        append(field.substr(start, i + 1 - start));
        out += '"';
        start = i + 1;
      }
      append(field.substr(start));
      out += '"';
    }
    out += options.crlf ? "\r\n" : "\n";
    return changed;
  });
}

}  // namespace quor
