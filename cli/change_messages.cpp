#include "change_messages.hpp"

#include <cstdio>

namespace quor::cli {

std::string counted(std::uint64_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

bool reportBadRecord(const std::string& message, const char* skipped, bool skipBad,
                     std::optional<std::uint64_t> maxErrors, std::uint64_t& bad) {
  ++bad;
  const bool tooMany = maxErrors && bad > *maxErrors;
  if (skipBad && !tooMany) {
    std::fprintf(stderr, "%s %s\n", message.c_str(), skipped);
    return true;
  }
  std::fprintf(stderr, "%s\n", message.c_str());
  if (tooMany)
    std::fprintf(stderr, "quor: the bad records exceed --max-errors %llu\n", static_cast<unsigned long long>(*maxErrors));
  return false;
}

std::size_t tallyKind(const ValueChange& change, const LayoutField& field) {
  if (change.kind == Change::doubleByteInSingleByteField && field.kind != FieldKind::component)
    return kChangeKinds;
  return static_cast<std::size_t>(change.kind);
}

std::string_view summaryPhrase(std::size_t tallyKind) {
  if (tallyKind == kChangeKinds) return "double-byte text in a single-byte field (written as blanks)";
  switch (static_cast<Change>(tallyKind)) {
    case Change::none:
      break;
    case Change::doubleByteInSingleByteField:
      return "double-byte text in a single-byte field (written as 0x00 bytes)";
    case Change::notANumber:
      return "not a number (written as zeros)";
    case Change::longerThanField:
      return "cut to the field";
    case Change::noCodePage932Form:
      return "characters without a code page 932 form (written as another character)";
    case Change::emptyText:
      return "empty in a character field (written as 0x00 bytes)";
    case Change::notAJefCode:
      return "characters without a JEF code";
    case Change::noGaijiMapping:
      return "user-defined characters without a gaiji mapping";
    case Change::negativeInUnsignedField:
      return "negative numbers written without sign";
    case Change::moreDecimalsThanScale:
      return "numbers with decimal places cut";
    case Change::noHostCodePageForm:
      return "characters without a code of their own on the host code page (written as another character)";
    case Change::pastTableCount:
      return "values past their table's count (not written)";
  }
  return {};
}

}  // namespace quor::cli
