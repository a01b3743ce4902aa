#include "record_faults.hpp"

#include "text_convert.hpp"

namespace quor::cli {

std::string faultMessage(const std::string& where, std::uint64_t recordStart, const Layout& layout,
                         std::span<const std::uint8_t> record, const FieldFault& fault) {
  return where + " (byte offset " + std::to_string(recordStart + fault.offset) + "): " +
         faultWords(layout, record, fault);
}

std::string faultWords(const Layout& layout, std::span<const std::uint8_t> record, const FieldFault& fault) {
  const std::size_t field = layout.columns()[fault.column];
  const std::size_t length = std::min(fault.length, record.size() - fault.offset);
  return layout.describe(field) + ": bytes " + hexPairs(record.data() + fault.offset, length) + ": " +
         fault.reason + countedTables(layout, field);
}

std::string countedTables(const Layout& layout, std::size_t field) {
  std::string tables;
  for (const VaryingTable& table : layout.tables) {
    const std::string range = table.name + " holds " + std::to_string(table.least) + " to " + std::to_string(table.most);
    if (table.counter == field && tables.find(range) == std::string::npos)
      tables += (tables.empty() ? " (" : ", ") + range;
  }
  return tables.empty() ? tables : tables + ")";
}

}  // namespace quor::cli
