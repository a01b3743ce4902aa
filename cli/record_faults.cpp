#include "record_faults.hpp"

#include "quor/record_problem.hpp"

namespace quor::cli {

std::string faultMessage(const std::string& where, std::uint64_t recordStart, const Layout& layout,
                         std::span<const std::uint8_t> record, const FieldFault& fault) {
  return where + " (byte offset " + std::to_string(recordStart + fault.offset) +
         "): " + faultProblem(layout, record, fault).text();
}

}  // namespace quor::cli
