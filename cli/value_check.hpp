#pragma once
// Values the component accepts but writes differently from what they say: it builds the record, yet
// the host would read something else. The tool counts these per kind, and --strict refuses them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout.hpp"

namespace quor::cli {

enum class Change : std::uint8_t {
  none,
  doubleByteInSingleByteField,  // a character field holding a kanji: written as 0x00 bytes
  notANumber,                   // a numeric field whose value is no number: written as zeros
  longerThanField,              // cut to the field's length
  noCodePage932Form,            // a character code page 932 lacks: written as "?" or a look-alike
  emptyText,                    // an empty character value: written as 0x00 bytes, not blanks
};
inline constexpr std::size_t kChangeKinds = 6;

// Finds how the component would change a value. It holds what it needs of code page 932 for every
// UTF-16 unit (64 KiB, built once), so a check costs one lookup per character.
class ValueChecker {
 public:
  ValueChecker();

  // How the component would change `value` in `field`, the first kind found; Change::none when it
  // writes the value as it stands.
  [[nodiscard]] Change check(std::u16string_view value, const LayoutField& field) const;

 private:
  [[nodiscard]] bool isDoubleByte(char16_t c) const noexcept { return (classes_[c] & kDoubleByte) != 0; }
  [[nodiscard]] bool lacksForm(char16_t c) const noexcept { return (classes_[c] & kLacksForm) != 0; }

  static constexpr std::uint8_t kDoubleByte = 1;
  static constexpr std::uint8_t kLacksForm = 2;
  std::vector<std::uint8_t> classes_;
};

// A sentence for a message: "value longer than its field (23 characters, the field holds 20)".
std::string describeChange(Change change, std::u16string_view value, const LayoutField& field);

// The plural phrase for a summary count: "cut to their field".
std::string_view summaryPhrase(Change change);

// Counts of changed values per kind, indexed by Change.
using ChangeCounts = std::array<std::uint64_t, kChangeKinds>;

}  // namespace quor::cli
