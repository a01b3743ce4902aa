#include "character/host_page.hpp"

#include <array>
#include <cstddef>
#include <string_view>

namespace quor::character {

namespace {

#include "character/host_tables.inc"

// The tables' page number of an IBM page: the pages in the order the generator writes them.
constexpr unsigned tableOf(HostCodePage page) noexcept {
  return static_cast<unsigned>(page) - 1;
}
static_assert(tableOf(HostCodePage::ibm500) + 1 == kHostPages);

struct Name {
  std::string_view digits;
  HostCodePage page;
};
constexpr std::array<Name, 8> kIbmNames{{{"930", HostCodePage::ibm930},
                                         {"939", HostCodePage::ibm939},
                                         {"1390", HostCodePage::ibm1390},
                                         {"1399", HostCodePage::ibm1399},
                                         {"037", HostCodePage::ibm037},
                                         {"1140", HostCodePage::ibm1140},
                                         {"1047", HostCodePage::ibm1047},
                                         {"500", HostCodePage::ibm500}}};

bool startsWithFolded(std::string_view text, std::string_view lower) noexcept {
  if (text.size() < lower.size()) return false;
  for (std::size_t i = 0; i < lower.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::uint16_t ibmEncode(HostCodePage page, char16_t unit) noexcept {
  const unsigned t = tableOf(page);
  return kHostEncodeBlocks[kHostEncodeBlockOf[t][unit / kHostEncodeBlockSize]][unit % kHostEncodeBlockSize];
}

char16_t ibmDecodeSingle(HostCodePage page, std::uint8_t code) noexcept {
  return kHostDecodeSingle[tableOf(page)][code];
}

char16_t ibmDecodeDouble(HostCodePage page, std::uint8_t first, std::uint8_t second) noexcept {
  if (second < kHostTrailFirst || second > kHostTrailLast) return 0xFFFF;
  return kHostDecodeRows[kHostDecodeRowOf[tableOf(page)][first]][second - kHostTrailFirst];
}

}  // namespace quor::character

namespace quor {

bool parseHostCodePage(std::string_view name, HostCodePage& page) noexcept {
  if (name.size() == 7 && character::startsWithFolded(name, "fujitsu")) {
    page = HostCodePage::fujitsu;
    return true;
  }
  if (character::startsWithFolded(name, "ibm-"))
    name.remove_prefix(4);
  else if (character::startsWithFolded(name, "ibm") || character::startsWithFolded(name, "cp"))
    name.remove_prefix(name[0] == 'c' || name[0] == 'C' ? 2 : 3);
  else
    return false;
  if (name == "37") name = "037";
  for (const auto& entry : character::kIbmNames) {
    if (entry.digits == name) {
      page = entry.page;
      return true;
    }
  }
  return false;
}

std::string_view hostCodePageName(HostCodePage page) noexcept {
  switch (page) {
    case HostCodePage::fujitsu:
      return "fujitsu";
    case HostCodePage::ibm930:
      return "ibm-930";
    case HostCodePage::ibm939:
      return "ibm-939";
    case HostCodePage::ibm1390:
      return "ibm-1390";
    case HostCodePage::ibm1399:
      return "ibm-1399";
    case HostCodePage::ibm037:
      return "ibm-037";
    case HostCodePage::ibm1140:
      return "ibm-1140";
    case HostCodePage::ibm1047:
      return "ibm-1047";
    case HostCodePage::ibm500:
      return "ibm-500";
  }
  return "";
}

}  // namespace quor
