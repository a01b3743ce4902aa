#pragma once
// The words for invalid data in a host record, for decode's and dump's messages.

#include <cstdint>
#include <span>
#include <string>

#include "quor/layout.hpp"
#include "quor/record.hpp"

namespace quor::cli {

// "`where` (byte offset 4711): field 3 (amount): bytes F1 FA: digit nibble above 9": `recordStart` is the
// record's offset in its file, `record` its bytes.
std::string faultMessage(const std::string& where, std::uint64_t recordStart, const Layout& layout,
                         std::span<const std::uint8_t> record, const FieldFault& fault);


}  // namespace quor::cli
