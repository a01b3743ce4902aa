#include "layout.hpp"

#include <array>
#include <charconv>
#include <set>

#include "io_error.hpp"

namespace quor::cli {

namespace {

constexpr std::array<std::string_view, 4> kFormatNames = {"setNumeric", "setCharacter", "setNCharacter",
                                                          "setPackNumeric"};

bool parseLength(std::string_view text, std::int32_t& length) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, length);
  return ec == std::errc() && ptr == end && length >= 1 && length <= kMaxFieldLength;
}

std::string lengthProblem(std::string_view text) {
  return "length '" + std::string(text) + "' is not a whole number from 1 to " +
         std::to_string(kMaxFieldLength);
}

// Zoned fields hold at most 32766 digits and packed fields 32766 nibbles: a longer numeric field could
// never be encoded, so the layout refuses it rather than every record.
std::string fitProblem(const LayoutField& field) {
  constexpr std::int32_t kMaxNumericLength = kMaxFieldLength - 1;
  const bool numeric = field.format == setNumeric || field.format == setPackNumeric;
  if (!numeric || field.length <= kMaxNumericLength) return {};
  return "length " + std::to_string(field.length) + " is too long for a " +
         (field.format == setNumeric ? "zoned" : "packed") + " field (at most " +
         std::to_string(kMaxNumericLength) + ")";
}

std::string formatProblem(std::string_view text) {
  return "format '" + std::string(text) +
         "' is not 0..3 or one of setNumeric, setCharacter, setNCharacter, setPackNumeric";
}

void appendAscii(std::u16string& out, std::string_view text) {
  for (const char c : text) out += static_cast<char16_t>(c);
}

// Joins the fields' lengths and formats into the component's two lists.
void joinLists(Layout& layout) {
  for (const LayoutField& field : layout.fields) {
    if (!layout.lengthList.empty()) {
      layout.lengthList += u',';
      layout.formatList += u',';
    }
    appendAscii(layout.lengthList, std::to_string(field.length));
    appendAscii(layout.formatList, std::to_string(static_cast<int>(field.format)));
  }
}

std::vector<std::string_view> splitWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

std::vector<std::string_view> splitCommas(std::string_view text) {
  std::vector<std::string_view> items;
  if (text.empty()) return items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    items.push_back(
        text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return items;
    start = comma + 1;
  }
}

}  // namespace

std::string Layout::describe(std::size_t index) const {
  std::string text = "field " + std::to_string(index + 1);
  if (index < fields.size() && !fields[index].name.empty()) text += " (" + fields[index].name + ")";
  return text;
}

bool parseFormat(std::string_view text, CFormatDirection& format) {
  for (std::size_t code = 0; code < kFormatNames.size(); ++code) {
    if (text == kFormatNames[code] || (text.size() == 1 && text[0] == static_cast<char>('0' + code))) {
      format = static_cast<CFormatDirection>(code);
      return true;
    }
  }
  return false;
}

Layout parseLayoutFile(std::string_view text, const std::string& fileName) {
  Layout layout;
  std::set<std::string, std::less<>> names;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find('\n', start);
    if (stop == std::string_view::npos) stop = text.size();
    std::string_view line = text.substr(start, stop - start);
    start = stop + 1;
    ++lineNumber;
    // A UTF-8 byte-order mark at the very start is not part of the first line.
    if (lineNumber == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);

    const std::vector<std::string_view> words = splitWords(line);
    if (words.empty()) continue;
    const std::string where = fileName + ":" + std::to_string(lineNumber) + ": ";
    if (words.size() != 3)
      throw UsageError(where + "expected 'name length format', found " + std::to_string(words.size()) +
                       (words.size() == 1 ? " item" : " items"));
    LayoutField field;
    field.name = std::string(words[0]);
    if (!parseLength(words[1], field.length)) throw UsageError(where + lengthProblem(words[1]));
    if (!parseFormat(words[2], field.format)) throw UsageError(where + formatProblem(words[2]));
    if (const std::string problem = fitProblem(field); !problem.empty()) throw UsageError(where + problem);
    if (!names.insert(field.name).second)
      throw UsageError(where + "field name '" + field.name + "' is used twice");
    layout.fields.push_back(std::move(field));
  }
  if (layout.fields.empty()) throw UsageError(fileName + ": the layout has no fields");
  joinLists(layout);
  return layout;
}

Layout layoutFromLists(std::string_view lengths, std::string_view formats) {
  const std::vector<std::string_view> lengthItems = splitCommas(lengths);
  const std::vector<std::string_view> formatItems = splitCommas(formats);
  if (lengthItems.empty()) throw UsageError("--lengths: the layout has no fields");
  if (lengthItems.size() != formatItems.size())
    throw UsageError("--lengths has " + std::to_string(lengthItems.size()) + " items, --formats has " +
                     std::to_string(formatItems.size()));
  Layout layout;
  for (std::size_t i = 0; i < lengthItems.size(); ++i) {
    LayoutField field;
    if (!parseLength(lengthItems[i], field.length))
      throw UsageError("--lengths item " + std::to_string(i + 1) + ": " + lengthProblem(lengthItems[i]));
    if (!parseFormat(formatItems[i], field.format))
      throw UsageError("--formats item " + std::to_string(i + 1) + ": " + formatProblem(formatItems[i]));
    if (const std::string problem = fitProblem(field); !problem.empty())
      throw UsageError("--lengths item " + std::to_string(i + 1) + ": " + problem);
    layout.fields.push_back(std::move(field));
  }
  joinLists(layout);
  return layout;
}

}  // namespace quor::cli
