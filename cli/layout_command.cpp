#include "layout_command.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "io_error.hpp"
#include "quor/text.hpp"

namespace quor::cli {

namespace {

std::string kindName(const LayoutField& field) {
  if (field.kind != FieldKind::component) return std::string(nameOf(field.kind));
  switch (field.format) {
    case setNumeric:
      return "setNumeric";
    case setCharacter:
      return "setCharacter";
    case setNCharacter:
      return "setNCharacter";
    case setPackNumeric:
      return "setPackNumeric";
  }
  return "component";
}

const char* roleName(FieldRole role) {
  switch (role) {
    case FieldRole::column:
      return "column";
    case FieldRole::constant:
      return "constant";
    case FieldRole::overlay:
      return "overlay";
  }
  return "";
}

bool isNumber(const LayoutField& field) {
  return field.kind == FieldKind::zoned || field.kind == FieldKind::packed || field.kind == FieldKind::binary;
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (const std::uint8_t byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(byte));
    out += pair;
  }
  return out;
}

// The varying tables once each: a table nested in another's elements is listed for each of them.
std::vector<const VaryingTable*> distinctTables(const Layout& layout) {
  std::vector<const VaryingTable*> out;
  for (const VaryingTable& table : layout.tables) {
    const bool seen = std::any_of(out.begin(), out.end(), [&](const VaryingTable* other) {
      return other->name == table.name && other->counter == table.counter && other->least == table.least &&
             other->most == table.most && other->width == table.width;
    });
    if (!seen) out.push_back(&table);
  }
  return out;
}

void printJson(const Layout& layout, const std::string* name) {
  std::string out = "{\n";
  if (name != nullptr) out += "  \"record\": " + jsonString(*name) + ",\n";
  out += "  \"recordLength\": " + std::to_string(layout.recordLength) + ",";
  if (layout.varies()) {
    out += "\n  \"shortestLength\": " + std::to_string(layout.shortestLength) + ",\n  \"tables\": [";
    bool first = true;
    for (const VaryingTable* table : distinctTables(layout)) {
      out += first ? "\n    {" : ",\n    {";
      first = false;
      out += "\"name\": " + jsonString(table->name) + ", \"counter\": " + jsonString(layout.fields[table->counter].name) +
             ", \"least\": " + std::to_string(table->least) + ", \"most\": " + std::to_string(table->most) +
             ", \"fieldsAnElement\": " + std::to_string(table->width) + "}";
    }
    out += "\n  ],";
  }
  out += "\n  \"fields\": [";
  std::size_t column = 0;
  for (std::size_t i = 0; i < layout.fields.size(); ++i) {
    const LayoutField& f = layout.fields[i];
    const bool isColumn = f.role == FieldRole::column;
    if (isColumn) ++column;
    out += i == 0 ? "\n    {" : ",\n    {";
    out += "\"column\": " + (isColumn ? std::to_string(column) : std::string("null"));
    out += ", \"name\": " + jsonString(f.name) + ", \"offset\": " + std::to_string(f.offset) +
           ", \"bytes\": " + std::to_string(f.size) + ", \"kind\": " + jsonString(kindName(f)) +
           ", \"role\": " + jsonString(roleName(f.role)) + ", \"length\": " + std::to_string(f.length);
    if (isNumber(f))
      out += ", \"digits\": " + std::to_string(f.length) + ", \"scale\": " + std::to_string(f.scale) +
             ", \"signed\": " + (f.isSigned ? "true" : "false");
    if (f.kind == FieldKind::filler) out += ", \"fill\": " + std::to_string(f.fill);
    if (f.kind == FieldKind::zoned && f.isSigned)
      out += ", \"sign\": " + jsonString(std::string(nameOf(f.sign))) + ", \"positiveZone\": " +
             jsonString(f.positiveZone == kPositiveZoneF ? "F" : "C");
    if (f.kind == FieldKind::zoned || f.kind == FieldKind::edited)
      out += std::string(", \"blankWhenZero\": ") + (f.blankWhenZero ? "true" : "false");
    if (isNumber(f)) out += std::string(", \"decimalScaling\": ") + (f.scale < 0 || f.scale > f.length ? "true" : "false");
    if (f.kind == FieldKind::binary) out += ", \"range\": " + jsonString(std::string(nameOf(f.range)));
    if (f.kind == FieldKind::float4 || f.kind == FieldKind::float8)
      out += ", \"floatFormat\": " + jsonString(std::string(nameOf(f.floatFormat)));
    if (f.kind == FieldKind::text || f.kind == FieldKind::national)
      out += std::string(", \"justified\": ") + (f.justifiedRight ? "\"right\"" : "\"left\"");
    if (!f.picture.empty()) out += ", \"picture\": " + jsonString(f.picture);
    if (!f.constantBytes.empty()) out += ", \"value\": " + jsonString(hexOf(f.constantBytes));
    if (!f.constantText.empty()) out += ", \"valueText\": " + jsonString(toUtf8(f.constantText));
    if (f.alias) out += ", \"alias\": true";
    if (!f.origin.empty()) out += ", \"origin\": " + jsonString(f.origin);
    out += "}";
  }
  out += "\n  ]\n}";
  std::fputs(out.c_str(), stdout);
}

// One line of the table, without trailing blanks.
template <class... Values>
void printRow(const char* format, Values... values) {
  char line[512];
  std::snprintf(line, sizeof line, format, values...);
  std::string text(line);
  text.erase(text.find_last_not_of(' ') + 1);
  std::puts(text.c_str());
}

// The attributes the other columns do not show, in layout-file words: "sign=leading-separate
// positive-zone=F", "range=full", "ieee", "justified", "blank-when-zero", a picture.
std::string attributesOf(const LayoutField& f) {
  std::vector<std::string> words;
  if (f.kind == FieldKind::zoned && f.isSigned) {
    if (f.sign != SignPlacement::trailing) words.push_back("sign=" + std::string(nameOf(f.sign)));
    words.push_back(std::string("positive-zone=") + (f.positiveZone == kPositiveZoneF ? "F" : "C"));
  }
  if (isNumber(f) && (f.scale < 0 || f.scale > f.length)) words.emplace_back("decimal-scaling");
  if (f.kind == FieldKind::binary && f.range == BinaryRange::full) words.push_back("range=full");
  if (f.kind == FieldKind::float4 || f.kind == FieldKind::float8) words.emplace_back(nameOf(f.floatFormat));
  if (f.justifiedRight) words.emplace_back("justified");
  if (f.blankWhenZero) words.emplace_back("blank-when-zero");
  if (!f.picture.empty()) words.push_back("picture=" + f.picture);
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// "zoned (overlay)", "filler x40", "text (constant)".
std::string kindColumn(const LayoutField& f) {
  std::string kind = kindName(f);
  if (f.role == FieldRole::overlay) kind += f.alias ? " (renames)" : " (overlay)";
  if (f.kind == FieldKind::filler && (!f.constantBytes.empty() || !f.constantText.empty())) {
    kind += " (VALUE)";
  } else if (f.kind == FieldKind::filler) {
    char fill[8];
    std::snprintf(fill, sizeof fill, " x%02X", static_cast<unsigned>(f.fill));
    kind += fill;
  } else if (f.role == FieldRole::constant) {
    kind += f.constantBytes.empty() && f.constantText.empty() ? " (constant)" : " (VALUE)";
  }
  return kind;
}

void printTable(const Layout& layout) {
  std::size_t nameWidth = 4;
  std::size_t kindWidth = 14;
  for (const LayoutField& f : layout.fields) {
    nameWidth = std::max(nameWidth, f.name.size());
    kindWidth = std::max(kindWidth, kindColumn(f).size());
  }
  printRow("%6s  %-*s  %6s  %5s  %-*s  %6s  %5s  %-8s  %s", "column", static_cast<int>(nameWidth), "name", "offset",
           "bytes", static_cast<int>(kindWidth), "kind", "digits", "scale", "sign", "attributes");
  std::size_t column = 0;
  for (const LayoutField& f : layout.fields) {
    std::string number = "";
    if (f.role == FieldRole::column) number = std::to_string(++column);
    const std::string kind = kindColumn(f);
    const bool numeric = isNumber(f);
    const std::string digits = numeric ? std::to_string(f.length) : "";
    const std::string scale = numeric ? std::to_string(f.scale) : "";
    printRow("%6s  %-*s  %6zu  %5zu  %-*s  %6s  %5s  %-8s  %s", number.c_str(), static_cast<int>(nameWidth),
             f.name.c_str(), f.offset, f.size, static_cast<int>(kindWidth), kind.c_str(), digits.c_str(), scale.c_str(),
             numeric ? (f.isSigned ? "signed" : "unsigned") : "", attributesOf(f).c_str());
  }
  for (const LayoutField& f : layout.fields)
    if (!f.constantBytes.empty())
      std::printf("VALUE of %s at offset %zu: bytes %s\n", f.name.c_str(), f.offset, hexOf(f.constantBytes).c_str());
    else if (!f.constantText.empty())
      std::printf("VALUE of %s at offset %zu: \"%s\"\n", f.name.c_str(), f.offset, toUtf8(f.constantText).c_str());
  for (const VaryingTable* table : distinctTables(layout))
    std::printf("varying table %s: %zu to %zu elements, as %s says (%zu fields an element)\n", table->name.c_str(),
                table->least, table->most, layout.fields[table->counter].name.c_str(), table->width);
  if (layout.varies())
    std::printf("record length %zu to %zu (offsets above are those of the longest record: a field after a table "
                "moves up by the elements its counter leaves out)\n",
                layout.shortestLength, layout.recordLength);
  else
    std::printf("record length %zu\n", layout.recordLength);
}

}  // namespace

int runLayout(const std::vector<NamedLayout>& layouts, bool json) {
  const bool several = layouts.size() > 1;
  if (json && several) std::fputs("[\n", stdout);
  for (std::size_t i = 0; i < layouts.size(); ++i) {
    if (json) {
      printJson(layouts[i].layout, several ? &layouts[i].name : nullptr);
      std::fputs(several && i + 1 < layouts.size() ? ",\n" : "\n", stdout);
      continue;
    }
    if (several) std::printf("%srecord %s\n", i == 0 ? "" : "\n", layouts[i].name.c_str());
    printTable(layouts[i].layout);
  }
  if (json && several) std::fputs("]\n", stdout);
  if (std::fflush(stdout) != 0) throw IoError("cannot write standard output");
  return kExitSuccess;
}

}  // namespace quor::cli
