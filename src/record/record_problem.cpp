// A bad record in words: the parts of a message about a refused value, a failing field or invalid
// bytes, and the message they make.

#include "quor/record_problem.hpp"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/api_guard.hpp"
#include "quor/text.hpp"

namespace quor {

namespace {

// The field of column `column` in messages: "field 5 (amount)".
std::string columnWords(const Layout& layout, std::size_t column) {
  const std::vector<std::size_t> columns = layout.columns();
  return column < columns.size() ? layout.describe(columns[column]) : "field " + std::to_string(column + 1);
}

std::string counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

std::string RecordProblem::text() const {
  return base::guarded([&] {
    const std::string numbered = number != 0 ? "error " + std::to_string(number) : std::string();
    if (field.empty()) return numbered.empty() ? reason : numbered + ": " + reason;
    return field + ": " + shown + ": " + reason + (numbered.empty() ? "" : " (" + numbered + ")");
  });
}

std::string shownValue(std::u16string_view value, std::size_t most) {
  return base::guarded([&] {
    const bool shortened = value.size() > most;
    if (shortened) value = value.substr(0, most == 0 ? 0 : most - 1);
    std::string out = "\"";
    std::size_t plainFrom = 0;
    const auto flush = [&](std::size_t to) {
      out += toUtf8(value.substr(plainFrom, to - plainFrom));
      plainFrom = to + 1;
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
      const char16_t c = value[i];
      if (c >= 0x20 && c != 0x7F && c != u'"' && c != u'\\') continue;
      flush(i);
      switch (c) {
        case u'"':
          out += "\\\"";
          break;
        case u'\\':
          out += "\\\\";
          break;
        case u'\t':
          out += "\\t";
          break;
        case u'\n':
          out += "\\n";
          break;
        case u'\r':
          out += "\\r";
          break;
        default: {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
          out += escaped;
        }
      }
    }
    flush(value.size());
    return out + (shortened ? "\xE2\x80\xA6\"" : "\"");
  });
}

std::string hexPairs(std::span<const std::uint8_t> bytes) {
  return base::guarded([&] {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (i > 0) out += ' ';
      out += kDigits[bytes[i] >> 4];
      out += kDigits[bytes[i] & 0x0F];
    }
    return out;
  });
}

RecordProblem changeProblem(const Layout& layout, std::size_t column, std::u16string_view value,
                            const ValueChange& change) {
  return base::guarded([&] {
    const std::vector<std::size_t> columns = layout.columns();
    const std::size_t field = columns.at(column);
    return RecordProblem{column, layout.describe(field), shownValue(value),
                         describeChange(change, value, layout.fields[field]), 0};
  });
}

RecordProblem failureProblem(const Layout& layout, const Error& error, std::span<const std::u16string_view> values,
                             std::span<const ValueChange> changes) {
  return base::guarded([&] {
    if (error.field() == 0 || error.field() > values.size())
      return RecordProblem{0, {}, {}, error.what(), error.number()};
    const std::size_t column = error.field() - 1;
    const std::u16string_view value = values[column];
    if (column < changes.size() && changes[column].kind != Change::none)
      return changeProblem(layout, column, value, changes[column]);
    const std::size_t field = layout.columns().at(column);
    // An error with words of its own (a count outside its table's range) says them.
    return RecordProblem{column, layout.describe(field), shownValue(value),
                         error.hasMessage() ? std::string(error.what())
                                            : describeFailure(error.number(), value, layout.fields[field]),
                         error.number()};
  });
}

RecordProblem faultProblem(const Layout& layout, std::span<const std::uint8_t> record, const FieldFault& fault) {
  return base::guarded([&] {
    const std::size_t offset = std::min(fault.offset, record.size());
    const std::size_t length = std::min(fault.length, record.size() - offset);
    // A counter of a varying table says the range its tables hold: " (ITEMS holds 1 to 5)".
    std::string tables;
    const std::vector<std::size_t> columns = layout.columns();
    for (const VaryingTable& table : layout.tables) {
      const std::string range =
          table.name + " holds " + std::to_string(table.least) + " to " + std::to_string(table.most);
      if (fault.column < columns.size() && table.counter == columns[fault.column] &&
          tables.find(range) == std::string::npos)
        tables += (tables.empty() ? " (" : ", ") + range;
    }
    return RecordProblem{fault.column, columnWords(layout, fault.column),
                         "bytes " + hexPairs(record.subspan(offset, length)),
                         fault.reason + (tables.empty() ? tables : tables + ")"), 0};
  });
}

std::string recordLengthProblem(const Layout& layout, std::string_view name, std::size_t size) {
  return base::guarded([&]() -> std::string {
    if (size == layout.recordLength) return {};
    const std::string layoutName = name.empty() ? "the layout" : "its layout " + std::string(name);
    if (size > layout.recordLength)
      return "a record of " + counted(size, "byte") + ", and " + layoutName + " has " +
             std::to_string(layout.recordLength) + ": " + counted(size - layout.recordLength, "leftover byte");
    if (size == 0) return "an empty record: " + layoutName + " has " + counted(layout.recordLength, "byte");
    const std::optional<std::size_t> cut = fieldCutBy(layout, size);
    if (!cut || layout.fields[*cut].role == FieldRole::column) return {};  // a column cut is invalid data
    const LayoutField& field = layout.fields[*cut];
    return "a record of " + counted(size, "byte") + ", which ends inside " + layout.describe(*cut) + " (bytes " +
           std::to_string(field.offset + 1) + " to " + std::to_string(field.offset + field.size) + " of " +
           layoutName + ")";
  });
}

std::string recordLengthProblem(const RecordDecoder& decoder, std::string_view name,
                                std::span<const std::uint8_t> record) {
  return base::guarded([&]() -> std::string {
    const Layout& layout = decoder.layout();
    const std::size_t size = record.size();
    if (!layout.varies() || size == 0 || size > layout.recordLength) return recordLengthProblem(layout, name, size);
    const RecordExtent extent = decoder.extent(record);
    if (extent.fault || size <= extent.length) return {};
    return "a record of " + counted(size, "byte") + ", and its counters make it " + std::to_string(extent.length) +
           ": " + counted(size - extent.length, "leftover byte");
  });
}

}  // namespace quor
