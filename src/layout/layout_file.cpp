#include <algorithm>
#include <array>
#include <optional>
#include <charconv>
#include <set>

#include "base/api_guard.hpp"
#include "base/ascii.hpp"
#include "base/comma_list.hpp"
#include "base/limits.hpp"
#include "layout/field_fit.hpp"
#include "numeric/edited.hpp"
#include "quor/error.hpp"
#include "quor/layout.hpp"

namespace quor {

namespace {

[[noreturn]] void refuse(const std::string& message) {
  throw Error(errors::kInvalidCall, message);
}

constexpr std::array<std::string_view, 4> kFormatNames = {"setNumeric", "setCharacter", "setNCharacter",
                                                          "setPackNumeric"};

bool parseLength(std::string_view text, std::int32_t& length) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, length);
  return ec == std::errc() && ptr == end && length >= 1 && length <= kMaxLayoutFieldLength;
}

std::string lengthProblem(std::string_view text) {
  return "length '" + std::string(text) + "' is not a whole number from 1 to " +
         std::to_string(kMaxLayoutFieldLength);
}

std::string formatProblem(std::string_view text) {
  return "format '" + std::string(text) +
         "' is not 0..3 or one of setNumeric, setCharacter, setNCharacter, setPackNumeric";
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

std::vector<NamedLayout> parseRecords(std::string_view text, const std::string& fileName,
                                      const LayoutOptions& options);
Layout fromLists(std::string_view lengths, std::string_view formats);

constexpr FieldKind kTypedKinds[] = {FieldKind::text,   FieldKind::national, FieldKind::zoned,  FieldKind::packed,
                                     FieldKind::binary, FieldKind::filler,   FieldKind::float4, FieldKind::float8,
                                     FieldKind::edited, FieldKind::editedText};

// The kind a new-style line names in its second word, or nothing: the line is then an old-style one.
std::optional<FieldKind> kindNamed(std::string_view word) {
  for (const FieldKind kind : kTypedKinds)
    if (word == nameOf(kind)) return kind;
  return std::nullopt;
}

// The value of enumeration `E` whose name is `word`, among its first `count` values.
template <class E>
std::optional<E> named(std::string_view word, unsigned count) {
  for (unsigned i = 0; i < count; ++i)
    if (word == nameOf(static_cast<E>(i))) return static_cast<E>(i);
  return std::nullopt;
}

// What a new-style line of `kind` looks like, for its messages.
std::string usageOf(FieldKind kind) {
  const std::string name(nameOf(kind));
  switch (kind) {
    case FieldKind::zoned:
      return "'name zoned DIGITS [scale=N] [signed] [sign=leading|trailing|leading-separate|trailing-separate] "
             "[positive-zone=C|F] [blank-when-zero]'";
    case FieldKind::packed:
      return "'name packed DIGITS [scale=N] [signed]'";
    case FieldKind::binary:
      return "'name binary DIGITS [scale=N] [signed] [range=digits|full]'";
    case FieldKind::filler:
      return "'name filler BYTES [xHH]'";
    case FieldKind::float4:
    case FieldKind::float8:
      return "'name " + name + " [hex|ieee]'";
    case FieldKind::edited:
      return "'name edited PICTURE [blank-when-zero]'";
    case FieldKind::editedText:
      return "'name edited-text PICTURE'";
    default:
      return "'name " + name + " LENGTH [justified]'";
  }
}

// A new-style line: "name kind length [attributes]", "name float4 [hex|ieee]", "name edited PICTURE".
LayoutField typedField(const std::vector<std::string_view>& words, const std::string& where, const LayoutOptions& options) {
  const FieldKind kind = *kindNamed(words[1]);
  const bool number = kind == FieldKind::zoned || kind == FieldKind::packed || kind == FieldKind::binary;
  const bool floating = kind == FieldKind::float4 || kind == FieldKind::float8;
  const bool edited = kind == FieldKind::edited || kind == FieldKind::editedText;
  const std::string usage = usageOf(kind);
  LayoutField field;
  field.name = std::string(words[0]);
  field.kind = kind;
  if (kind == FieldKind::zoned) field.positiveZone = options.positiveZone;
  if (kind == FieldKind::binary) field.range = options.binaryRange;
  if (floating) field.floatFormat = options.floatFormat;
  std::size_t next = 2;
  if (edited) {
    if (words.size() < 3) refuse(where + "expected " + usage);
    for (const char c : words[2]) field.picture += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    field.length = static_cast<std::int32_t>(std::min<std::size_t>(field.picture.size(), kMaxLayoutFieldLength + 1));
    // The gate checks the picture; its length is the picture's, repeats written out.
    std::string problem;
    if (const auto picture = numeric::readEditedPicture(field.picture, problem))
      field.length = static_cast<std::int32_t>(picture->positions.size());
    next = 3;
  } else if (!floating) {
    if (words.size() < 3) refuse(where + "expected " + usage);
    const auto [ptr, ec] = std::from_chars(words[2].data(), words[2].data() + words[2].size(), field.length);
    if (ec != std::errc() || ptr != words[2].data() + words[2].size() || field.length < 1)
      refuse(where + "'" + std::string(words[2]) + "' is not a whole number above 0 (expected " + usage + ")");
    next = 3;
  }
  if (kind == FieldKind::filler) field.role = FieldRole::constant;
  for (std::size_t i = next; i < words.size(); ++i) {
    const std::string_view word = words[i];
    const auto attribute = [&](std::string_view prefix) { return word.substr(0, prefix.size()) == prefix; };
    const std::string_view value = word.substr(word.find('=') == std::string_view::npos ? word.size() : word.find('=') + 1);
    if (number && word == "signed") {
      field.isSigned = true;
    } else if (number && word == "unsigned") {
      field.isSigned = false;
    } else if (number && attribute("scale=")) {
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), field.scale);
      if (error != std::errc() || end != value.data() + value.size() || value.empty())
        refuse(where + "'" + std::string(word) + "': the scale is a whole number (scale=2, or scale=-3 for PIC 9(3)PPP)");
    } else if (kind == FieldKind::zoned && attribute("sign=")) {
      const auto placement = named<SignPlacement>(value, 4);
      if (!placement)
        refuse(where + "'" + std::string(word) + "': the sign is leading, trailing, leading-separate or trailing-separate");
      field.sign = *placement;
      field.isSigned = true;
    } else if (kind == FieldKind::zoned && attribute("positive-zone=")) {
      if (value != "C" && value != "F" && value != "c" && value != "f")
        refuse(where + "'" + std::string(word) + "': the positive zone is C or F");
      field.positiveZone = value == "C" || value == "c" ? kPositiveZoneC : kPositiveZoneF;
    } else if ((kind == FieldKind::zoned || kind == FieldKind::edited) && word == "blank-when-zero") {
      field.blankWhenZero = true;
    } else if (kind == FieldKind::binary && attribute("range=")) {
      const auto range = named<BinaryRange>(value, 2);
      if (!range) refuse(where + "'" + std::string(word) + "': the range is digits or full");
      field.range = *range;
    } else if (floating && named<FloatFormat>(word, 2)) {
      field.floatFormat = *named<FloatFormat>(word, 2);
    } else if ((kind == FieldKind::text || kind == FieldKind::national) && word == "justified") {
      field.justifiedRight = true;
    } else if (kind == FieldKind::filler && word.size() == 3 && (word[0] == 'x' || word[0] == 'X') &&
               base::hexDigitValue(static_cast<unsigned char>(word[1])) >= 0 &&
               base::hexDigitValue(static_cast<unsigned char>(word[2])) >= 0) {
      field.fill = static_cast<std::uint8_t>(base::hexDigitValue(static_cast<unsigned char>(word[1])) * 16 +
                                             base::hexDigitValue(static_cast<unsigned char>(word[2])));
    } else {
      refuse(where + "'" + std::string(word) + "' is not an attribute of a " + std::string(nameOf(kind)) +
             " field (expected " + usage + ")");
    }
  }
  if (field.sign != SignPlacement::trailing && !field.isSigned)
    refuse(where + "a sign placement is for signed fields: 'unsigned' contradicts it");
  return field;
}

}  // namespace

bool parseFormat(std::string_view text, CFormatDirection& format) {
  for (std::size_t code = 0; code < kFormatNames.size(); ++code) {
    if (text == kFormatNames[code] || (text.size() == 1 && text[0] == static_cast<char>('0' + code))) {
      format = static_cast<CFormatDirection>(code);
      return true;
    }
  }
  return false;
}

Layout parseLayoutFile(std::string_view text, const std::string& fileName, const LayoutOptions& options) {
  return base::guarded([&] {
    std::vector<NamedLayout> records = parseRecords(text, fileName, options);
    if (records.size() > 1) {
      std::string names;
      for (const NamedLayout& record : records) names += (names.empty() ? "" : ", ") + record.name;
      refuse(fileName + ": the file describes " + std::to_string(records.size()) + " records (" + names +
             "), and one must be named");
    }
    return std::move(records.front().layout);
  });
}

std::vector<NamedLayout> parseLayoutFileRecords(std::string_view text, const std::string& fileName,
                                                const LayoutOptions& options) {
  return base::guarded([&] { return parseRecords(text, fileName, options); });
}

std::string_view nameOf(SignPlacement placement) noexcept {
  switch (placement) {
    case SignPlacement::trailing:
      return "trailing";
    case SignPlacement::leading:
      return "leading";
    case SignPlacement::trailingSeparate:
      return "trailing-separate";
    case SignPlacement::leadingSeparate:
      return "leading-separate";
  }
  return "";
}

std::string_view nameOf(FloatFormat format) noexcept {
  switch (format) {
    case FloatFormat::hexadecimal:
      return "hex";
    case FloatFormat::ieee:
      return "ieee";
  }
  return "";
}

std::string_view nameOf(BinaryRange range) noexcept {
  switch (range) {
    case BinaryRange::digits:
      return "digits";
    case BinaryRange::full:
      return "full";
  }
  return "";
}

std::string_view nameOf(FieldKind kind) noexcept {
  switch (kind) {
    case FieldKind::component:
      return "component";
    case FieldKind::text:
      return "text";
    case FieldKind::national:
      return "national";
    case FieldKind::zoned:
      return "zoned";
    case FieldKind::packed:
      return "packed";
    case FieldKind::binary:
      return "binary";
    case FieldKind::filler:
      return "filler";
    case FieldKind::float4:
      return "float4";
    case FieldKind::float8:
      return "float8";
    case FieldKind::edited:
      return "edited";
    case FieldKind::editedText:
      return "edited-text";
  }
  return "";
}

Layout layoutFromLists(std::string_view lengths, std::string_view formats) {
  return base::guarded([&] { return fromLists(lengths, formats); });
}

namespace {

std::vector<NamedLayout> parseRecords(std::string_view text, const std::string& fileName,
                                      const LayoutOptions& options) {
  std::vector<NamedLayout> records(1);
  std::set<std::string, std::less<>> names;  // of the fields of the record at hand
  std::set<std::string, std::less<>> recordNames;
  std::string recordWhere;  // where the record at hand starts: "f.layout:3: "
  // A record is done: it must have fields, and its layout passes the gate.
  const auto finish = [&] {
    Layout& layout = records.back().layout;
    if (layout.fields.empty())
      refuse(recordWhere.empty() ? fileName + ": the layout has no fields"
                                 : recordWhere + "the record '" + records.back().name + "' has no fields");
    finishLayout(layout);
  };
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
    const std::string origin = fileName + ":" + std::to_string(lineNumber);
    const std::string where = origin + ": ";
    if (words.size() == 2 && words[0] == "record" && !kindNamed(words[1])) {
      // "record NAME": the fields after it are a record of their own.
      if (!records.back().layout.fields.empty() && recordWhere.empty())
        refuse(where +
               "a 'record' line after fields that belong to no record: every field of a file of "
               "several records comes after the 'record' line of its record");
      if (!recordWhere.empty()) {
        finish();
        records.emplace_back();
      }
      if (!recordNames.insert(std::string(words[1])).second)
        refuse(where + "record name '" + std::string(words[1]) + "' is used twice");
      records.back().name = std::string(words[1]);
      recordWhere = where;
      names.clear();
      continue;
    }
    Layout& layout = records.back().layout;
    LayoutField field;
    if (words.size() >= 2 && kindNamed(words[1])) {
      field = typedField(words, where, options);
    } else {
      if (words.size() != 3)
        refuse(where + "expected 'name length format', found " + std::to_string(words.size()) +
               (words.size() == 1 ? " item" : " items"));
      field.name = std::string(words[0]);
      if (!parseLength(words[1], field.length)) refuse(where + lengthProblem(words[1]));
      if (!parseFormat(words[2], field.format)) refuse(where + formatProblem(words[2]));
      if (const std::string problem = layout::fitProblem(field); !problem.empty()) refuse(where + problem);
    }
    field.origin = origin;
    if (!names.insert(field.name).second)
      refuse(where + "field name '" + field.name + "' is used twice");
    layout.fields.push_back(std::move(field));
  }
  finish();
  return records;
}

Layout fromLists(std::string_view lengths, std::string_view formats) {
  const std::vector<std::string_view> lengthItems = base::commaListItems(lengths);
  const std::vector<std::string_view> formatItems = base::commaListItems(formats);
  if (lengthItems.empty()) refuse("--lengths: the layout has no fields");
  if (lengthItems.size() != formatItems.size())
    refuse("--lengths has " + std::to_string(lengthItems.size()) + " items, --formats has " +
                     std::to_string(formatItems.size()));
  Layout layout;
  for (std::size_t i = 0; i < lengthItems.size(); ++i) {
    LayoutField field;
    if (!parseLength(lengthItems[i], field.length))
      refuse("--lengths item " + std::to_string(i + 1) + ": " + lengthProblem(lengthItems[i]));
    if (!parseFormat(formatItems[i], field.format))
      refuse("--formats item " + std::to_string(i + 1) + ": " + formatProblem(formatItems[i]));
    if (const std::string problem = layout::fitProblem(field); !problem.empty())
      refuse("--lengths item " + std::to_string(i + 1) + ": " + problem);
    layout.fields.push_back(std::move(field));
  }
  try {
    finishLayout(layout);
  } catch (const Error& e) {
    // The lists' fields have no origin of their own: say which list the field came from.
    if (e.number() != errors::kInvalidCall) throw;
    refuse("--lengths: " + std::string(e.what()));
  }
  return layout;
}

}  // namespace
}  // namespace quor
