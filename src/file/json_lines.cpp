// JSON Lines both ways. A layout is compiled once into the shape of its objects: each member a value
// (a column), an object of members or an array of elements, walked in the order of the layout's fields;
// the writer fills the shape from a record's values and the reader matches a parsed object to it.

#include "quor/json_lines.hpp"

#include <algorithm>
#include <optional>

#include "base/api_guard.hpp"
#include "base/utf.hpp"
#include "quor/error.hpp"
#include "quor/text.hpp"
#include "record/field_kind.hpp"

namespace quor {

struct JsonLinesWriter::Shape {
  enum class Kind : std::uint8_t { value, object, array };
  Kind kind = Kind::value;
  std::string key;           // the member's name, UTF-8; empty for an array's element
  std::string quotedKey;     // "\"key\":", as written
  std::size_t column = 0;    // value: the column
  bool number = false;       // value: a decimal number field, whose values are JSON numbers
  bool takesNumber = false;  // value: a field that takes a JSON number (a decimal or a float)
  // array of a table of varying length (OCCURS DEPENDING ON): its counter's column and its fewest
  // elements; a record holds as many elements as the counter's value says.
  std::size_t counterColumn = static_cast<std::size_t>(-1);
  std::size_t least = 0;
  std::vector<Shape> items;  // object: its members; array: its elements
};

namespace {

using Shape = JsonLinesWriter::Shape;

// The deepest nesting the reader takes: more than any record's groups and tables.
constexpr std::size_t kDeepest = 200;

[[noreturn]] void refuse(const std::string& message) {
  throw Error(errors::kInvalidCall, message);
}

void appendQuoted(std::string_view utf8, std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

// True for a JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool isJsonNumber(std::u16string_view text) {
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t from = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') ++i;
    return i - from;
  };
  if (i < text.size() && text[i] == u'-') ++i;
  if (i < text.size() && text[i] == u'0') {
    ++i;
  } else if (digits() == 0) {
    return false;
  }
  if (i < text.size() && text[i] == u'.') {
    ++i;
    if (digits() == 0) return false;
  }
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
    if (digits() == 0) return false;
  }
  return i == text.size();
}

// Compiles the nodes of a layout's tree into the members of an object, taking fields from `next` on.
class ShapeBuilder {
 public:
  explicit ShapeBuilder(const Layout& layout) : layout_(layout) {
    for (std::size_t i = 0, column = 0; i < layout.fields.size(); ++i)
      columnOf_.push_back(layout.fields[i].role == FieldRole::column ? column++ : kNoColumn);
  }

  std::vector<Shape> build() {
    std::vector<Shape> members;
    if (layout_.tree.empty()) {
      // A flat layout: each field its own member.
      for (std::size_t i = 0; i < layout_.fields.size(); ++i) {
        if (columnOf_[i] == kNoColumn) continue;
        const std::string& name = layout_.fields[i].name;
        add(members, valueShape(name.empty() ? "field " + std::to_string(columnOf_[i] + 1) : name, i));
      }
    } else {
      for (const LayoutNode& node : layout_.tree) member(node, members);
    }
    if (next_ != (layout_.tree.empty() ? 0 : layout_.fields.size()))
      refuse("the layout's items do not match its fields");
    return members;
  }

 private:
  static constexpr std::size_t kNoColumn = static_cast<std::size_t>(-1);

  Shape valueShape(std::string key, std::size_t field) const {
    Shape shape;
    shape.key = std::move(key);
    shape.column = columnOf_[field];
    const FieldKind kind = record::writtenKind(layout_.fields[field]);
    // A decimal field's text is its value exactly; a float's shortest text is not (0.1 stands for the
    // nearest value the bytes hold), and a JSON number would be taken as a binary double, which an IBM
    // hexadecimal float's 56 bits do not fit: a float's value is a string, read back to the same bytes.
    shape.number = record::isNumberKind(kind) || kind == FieldKind::edited;
    shape.takesNumber = shape.number || kind == FieldKind::float4 || kind == FieldKind::float8;
    return shape;
  }

  // The next field, or none past the last.
  std::size_t take() {
    if (next_ >= layout_.fields.size()) refuse("the layout's items do not match its fields");
    return next_++;
  }

  static void add(std::vector<Shape>& members, Shape shape) {
    for (const Shape& other : members)
      if (other.key == shape.key) refuse("the name '" + shape.key + "' is used twice in one object");
    shape.quotedKey.clear();
    appendQuoted(shape.key, shape.quotedKey);
    shape.quotedKey += ':';
    members.push_back(std::move(shape));
  }

  // One element of a node: a value, or an object of the group's members; false when it takes no value.
  bool element(const LayoutNode& node, Shape& shape) {
    if (node.children.empty()) {
      const std::size_t field = take();
      if (columnOf_[field] == kNoColumn) return false;
      shape = valueShape(shape.key, field);
      return true;
    }
    shape.kind = Shape::Kind::object;
    for (const LayoutNode& child : node.children) member(child, shape.items);
    return !shape.items.empty();
  }

  void member(const LayoutNode& node, std::vector<Shape>& members) {
    Shape shape;
    shape.key = node.name.empty() ? "FILLER" : node.name;
    if (node.occurs == 0) {
      if (!element(node, shape)) return;
      if (node.name.empty() && shape.kind == Shape::Kind::object) {
        // An unnamed group's items stand in the object around it.
        for (Shape& item : shape.items) add(members, std::move(item));
        return;
      }
      add(members, std::move(shape));
      return;
    }
    shape.kind = Shape::Kind::array;
    for (const VaryingTable& table : layout_.tables)
      if (table.first == next_) {
        shape.counterColumn = columnOf_[table.counter];
        shape.least = table.least;
      }
    bool any = false;
    for (std::uint32_t i = 0; i < node.occurs; ++i) {
      Shape item;
      any = element(node, item) || any;
      shape.items.push_back(std::move(item));
    }
    if (any) add(members, std::move(shape));
  }

  const Layout& layout_;
  std::vector<std::size_t> columnOf_;
  std::size_t next_ = 0;
};

std::vector<Shape> shapeOf(const Layout& layout, bool named) {
  std::vector<Shape> shape = ShapeBuilder(layout).build();
  if (named)
    for (const Shape& member : shape)
      if (member.key == "record") refuse("the name 'record' of an item is the key of the record's layout");
  return shape;
}

// The count a table's counter holds, if its text is a whole number.
std::optional<std::size_t> countOf(const std::u16string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::size_t count = 0;
  for (const char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    count = count * 10 + static_cast<std::size_t>(c - u'0');
  }
  return count;
}

// The elements of an array a record holds: a table of varying length's as many as its counter says
// (every element when the counter is absent or no count, as read leniently), any other table's all.
std::size_t elementsOf(const Shape& array, std::span<const std::u16string> values, std::size_t present) {
  if (array.counterColumn == static_cast<std::size_t>(-1) || array.counterColumn >= present)
    return array.items.size();
  const std::optional<std::size_t> count = countOf(values[array.counterColumn]);
  return count && *count <= array.items.size() ? *count : array.items.size();
}

void appendValues(const std::vector<Shape>& members, std::span<const std::u16string> values,
                  std::size_t present, bool first, std::string& out) {
  for (const Shape& member : members) {
    if (!first) out += ',';
    first = false;
    out += member.quotedKey;
    switch (member.kind) {
      case Shape::Kind::value: {
        if (member.column >= present) {
          out += "null";
          break;
        }
        const std::u16string& value = values[member.column];
        if (member.number && isJsonNumber(value)) {
          for (const char16_t c : value) out += static_cast<char>(c);
        } else {
          appendQuoted(toUtf8(value), out);
        }
        break;
      }
      case Shape::Kind::object:
        out += '{';
        appendValues(member.items, values, present, true, out);
        out += '}';
        break;
      case Shape::Kind::array:
        out += '[';
        for (std::size_t i = 0; i < elementsOf(member, values, present); ++i) {
          if (i > 0) out += ',';
          const Shape& item = member.items[i];
          if (item.kind == Shape::Kind::object) {
            out += '{';
            appendValues(item.items, values, present, true, out);
            out += '}';
          } else if (item.column >= present) {
            out += "null";
          } else if (item.number && isJsonNumber(values[item.column])) {
            for (const char16_t c : values[item.column]) out += static_cast<char>(c);
          } else {
            appendQuoted(toUtf8(values[item.column]), out);
          }
        }
        out += ']';
        break;
    }
  }
}

// A parsed JSON value.
struct Json {
  enum class Type : std::uint8_t { null, boolean, number, string, array, object };
  Type type = Type::null;
  std::size_t offset = 0;          // of its first byte in the line
  std::string text;                // number: as written; string: unescaped, UTF-8
  std::vector<Json> items;         // array: its elements; object: its members' values
  std::vector<std::string> names;  // object: its members' names, UTF-8
};

const char* typeName(Json::Type type) {
  switch (type) {
    case Json::Type::null:
      return "null";
    case Json::Type::boolean:
      return "a boolean";
    case Json::Type::number:
      return "a number";
    case Json::Type::string:
      return "a string";
    case Json::Type::array:
      return "an array";
    case Json::Type::object:
      return "an object";
  }
  return "a value";
}

// RFC 8259, strictly: no comments, no trailing commas, no bytes that are no UTF-8.
class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  Json parseLine() {
    skipBlanks();
    Json value = parseValue(0);
    skipBlanks();
    if (at_ != text_.size()) fail("text after the object");
    if (value.type != Json::Type::object) {
      at_ = value.offset;
      fail(std::string("a record is a JSON object, not ") + typeName(value.type));
    }
    return value;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    refuse("byte " + std::to_string(at_ + 1) + ": " + what);
  }

  void skipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  bool take(char c) {
    skipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  Json parseValue(std::size_t depth) {
    if (depth > kDeepest) fail("nested more deeply than " + std::to_string(kDeepest) + " levels");
    skipBlanks();
    Json value;
    value.offset = at_;
    if (at_ == text_.size()) fail("a value is missing");
    const char c = text_[at_];
    if (c == '{') {
      ++at_;
      value.type = Json::Type::object;
      if (take('}')) return value;
      do {
        skipBlanks();
        if (at_ == text_.size() || text_[at_] != '"') fail("expected a name in quotes");
        std::string name = parseString();
        for (const std::string& earlier : value.names)
          if (earlier == name) fail("the name \"" + name + "\" is given twice");
        if (!take(':')) fail("expected ':' after a name");
        Json item = parseValue(depth + 1);
        value.names.push_back(std::move(name));
        value.items.push_back(std::move(item));
      } while (take(','));
      if (!take('}')) fail("expected ',' or '}'");
      return value;
    }
    if (c == '[') {
      ++at_;
      value.type = Json::Type::array;
      if (take(']')) return value;
      do value.items.push_back(parseValue(depth + 1));
      while (take(','));
      if (!take(']')) fail("expected ',' or ']'");
      return value;
    }
    if (c == '"') {
      value.type = Json::Type::string;
      value.text = parseString();
      return value;
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      value.type = Json::Type::number;
      value.text = parseNumber();
      return value;
    }
    for (const auto& [word, type] : {std::pair<std::string_view, Json::Type>{"true", Json::Type::boolean},
                                     {"false", Json::Type::boolean},
                                     {"null", Json::Type::null}}) {
      if (text_.substr(at_, word.size()) == word) {
        at_ += word.size();
        value.type = type;
        return value;
      }
    }
    fail("expected a value");
  }

  std::string parseNumber() {
    const std::size_t start = at_;
    const auto digits = [&] {
      const std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ - from;
    };
    if (text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (digits() == 0) {
      fail("a number without digits");
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (digits() == 0) fail("no digits after a decimal point");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (digits() == 0) fail("no digits in an exponent");
    }
    return std::string(text_.substr(start, at_ - start));
  }

  unsigned hex4() {
    if (text_.size() - at_ < 4) fail("\\u needs four hexadecimal digits");
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      const int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
      if (digit < 0) {
        --at_;
        fail("\\u needs four hexadecimal digits");
      }
      value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
  }

  std::string parseString() {
    ++at_;  // the opening quote
    std::string out;
    for (;;) {
      if (at_ == text_.size()) fail("a string is not closed");
      const auto byte = static_cast<unsigned char>(text_[at_]);
      if (byte == '"') {
        ++at_;
        return out;
      }
      if (byte < 0x20)
        fail("a control character in a string (write it as \\u00" +
             std::string(1, "0123456789abcdef"[byte >> 4]) + std::string(1, "0123456789abcdef"[byte & 0xF]) +
             ")");
      if (byte >= 0x80) {
        const auto* p = reinterpret_cast<const unsigned char*>(text_.data() + at_);
        const auto* const begin = p;
        char32_t c = 0;
        if (!base::takeUtf8(p, reinterpret_cast<const unsigned char*>(text_.data() + text_.size()), c))
          fail("not valid UTF-8 text");
        out.append(text_.substr(at_, static_cast<std::size_t>(p - begin)));
        at_ += static_cast<std::size_t>(p - begin);
        continue;
      }
      ++at_;
      if (byte != '\\') {
        out += static_cast<char>(byte);
        continue;
      }
      if (at_ == text_.size()) fail("a string is not closed");
      const char escape = text_[at_++];
      char32_t c = 0;
      switch (escape) {
        case '"':
          c = '"';
          break;
        case '\\':
          c = '\\';
          break;
        case '/':
          c = '/';
          break;
        case 'b':
          c = '\b';
          break;
        case 'f':
          c = '\f';
          break;
        case 'n':
          c = '\n';
          break;
        case 'r':
          c = '\r';
          break;
        case 't':
          c = '\t';
          break;
        case 'u': {
          c = hex4();
          if (base::isHighSurrogate(c) && text_.substr(at_, 2) == "\\u") {
            at_ += 2;
            const char32_t low = hex4();
            if (!base::isLowSurrogate(low))
              fail("\\u" + std::string("escape of a high surrogate without its low one"));
            c = base::scalarOfPair(c, low);
          } else if (base::isHighSurrogate(c) || base::isLowSurrogate(c)) {
            fail("a surrogate without its pair");
          }
          break;
        }
        default:
          --at_;
          fail(std::string("\\") + escape + " is no escape");
      }
      unsigned char bytes[4];
      out.append(reinterpret_cast<const char*>(bytes), base::putUtf8(c, bytes));
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

std::string quotedName(const std::string& name) {
  std::string out;
  appendQuoted(name, out);
  return out;
}

// Matches the members of a parsed object to a shape, filling each value's column.
class Matcher {
 public:
  Matcher(std::vector<std::u16string>& values, std::vector<bool>& absent)
      : values_(values), absent_(absent) {}

  void object(const std::vector<Shape>& members, const Json& json, const std::string& where, bool top) {
    std::vector<bool> used(json.names.size(), false);
    for (const Shape& member : members) {
      std::size_t found = json.names.size();
      for (std::size_t i = 0; i < json.names.size(); ++i)
        if (json.names[i] == member.key) found = i;
      const std::string place = quotedName(member.key) + where;
      if (found == json.names.size()) refuse(place + " is missing");
      used[found] = true;
      value(member, json.items[found], place);
    }
    for (std::size_t i = 0; i < json.names.size(); ++i)
      if (!used[i] && !(top && json.names[i] == "record"))
        refuse(quotedName(json.names[i]) + where + " is no field of the record");
  }

 private:
  void value(const Shape& shape, const Json& json, const std::string& place) {
    switch (shape.kind) {
      case Shape::Kind::object:
        if (json.type != Json::Type::object)
          refuse(place + " is " + typeName(json.type) + ", where a group (an object) is expected");
        object(shape.items, json, " in " + place, false);
        return;
      case Shape::Kind::array:
        if (json.type != Json::Type::array)
          refuse(place + " is " + typeName(json.type) + ", where a table (an array) is expected");
        if (shape.counterColumn != static_cast<std::size_t>(-1)) {
          // A table of varying length holds as many elements as its counter (read before it) says; the
          // columns of the others stay empty.
          const std::optional<std::size_t> count = countOf(values_[shape.counterColumn]);
          if (json.items.size() > shape.items.size() || (count && json.items.size() != *count)) {
            std::string why = count ? "its counter says " + std::to_string(*count) : std::string();
            if (!count || *count < shape.least || *count > shape.items.size()) {
              const std::string range = "the table holds " + std::to_string(shape.least) + " to " +
                                        std::to_string(shape.items.size());
              why = count ? why + " (" + range + ")" : range;
            }
            refuse(place + " has " + std::to_string(json.items.size()) +
                   (json.items.size() == 1 ? " element" : " elements") + "; " + why);
          }
        } else if (json.items.size() != shape.items.size()) {
          refuse(place + " has " + std::to_string(json.items.size()) +
                 (json.items.size() == 1 ? " element" : " elements") + "; the table has " +
                 std::to_string(shape.items.size()));
        }
        for (std::size_t i = 0; i < json.items.size(); ++i) {
          const std::string element = "element " + std::to_string(i + 1) + " of " + place;
          const Shape& item = shape.items[i];
          if (item.kind == Shape::Kind::object) {
            if (json.items[i].type != Json::Type::object)
              refuse(element + " is " + typeName(json.items[i].type) +
                     ", where a group (an object) is expected");
            object(item.items, json.items[i], " in " + element, false);
          } else {
            value(item, json.items[i], element);
          }
        }
        return;
      case Shape::Kind::value:
        break;
    }
    switch (json.type) {
      case Json::Type::null:
        absent_[shape.column] = true;
        return;
      case Json::Type::number:
        if (!shape.takesNumber) refuse(place + " is a number, where a text field takes a string");
        [[fallthrough]];
      case Json::Type::string: {
        std::u16string& out = values_[shape.column];
        out.resize(json.text.size());
        const TextDecodeResult read = decodeUtf8(json.text, out.data());
        out.resize(read.length);
        return;
      }
      default:
        refuse(place + " is " + typeName(json.type) + ", where " + (shape.takesNumber ? "a number" : "a string") +
               " is expected");
    }
  }

  std::vector<std::u16string>& values_;
  std::vector<bool>& absent_;
};

}  // namespace

JsonLinesWriter::JsonLinesWriter(const Layout& layout, std::string recordName, bool named) {
  base::guarded([&] {
    shape_ = shapeOf(layout, named);
    head_ = "{";
    if (named) {
      head_ += "\"record\":";
      appendQuoted(recordName, head_);
    }
  });
}

JsonLinesWriter::~JsonLinesWriter() = default;
JsonLinesWriter::JsonLinesWriter(JsonLinesWriter&&) noexcept = default;
JsonLinesWriter& JsonLinesWriter::operator=(JsonLinesWriter&&) noexcept = default;

void JsonLinesWriter::append(std::span<const std::u16string> values, std::size_t present,
                             std::string& out) const {
  base::guarded([&] {
    out += head_;
    appendValues(shape_, values, present, head_.size() == 1, out);
    out += "}\n";
  });
}

JsonLinesReader::JsonLinesReader(std::span<const NamedLayout> layouts) {
  base::guarded([&] {
    layouts_.assign(layouts.begin(), layouts.end());
    for (const NamedLayout& layout : layouts_) shapes_.push_back(shapeOf(layout.layout, layouts_.size() > 1));
  });
}

JsonLinesReader::~JsonLinesReader() = default;
JsonLinesReader::JsonLinesReader(JsonLinesReader&&) noexcept = default;
JsonLinesReader& JsonLinesReader::operator=(JsonLinesReader&&) noexcept = default;

JsonLinesReader::Read JsonLinesReader::read(std::string_view line,
                                            std::vector<std::u16string>& values) const {
  return base::guarded([&] {
    const Json json = JsonParser(line).parseLine();
    Read read;
    const auto named = std::find(json.names.begin(), json.names.end(), "record");
    if (named == json.names.end()) {
      if (layouts_.size() > 1) refuse("\"record\" is missing: it names the record's layout");
    } else {
      const Json& name = json.items[static_cast<std::size_t>(named - json.names.begin())];
      if (name.type != Json::Type::string)
        refuse(std::string("\"record\" is ") + typeName(name.type) +
               ", where the name of a layout is expected");
      const auto it = std::find_if(layouts_.begin(), layouts_.end(),
                                   [&](const NamedLayout& layout) { return layout.name == name.text; });
      if (it == layouts_.end()) {
        std::string names;
        for (const NamedLayout& layout : layouts_) names += (names.empty() ? "" : ", ") + layout.name;
        refuse("\"record\" is \"" + name.text + "\", which is no layout of the file (" + names + ")");
      }
      read.layout = static_cast<std::size_t>(it - layouts_.begin());
    }
    const Layout& layout = layouts_[read.layout].layout;
    const std::size_t columns = layout.columns().size();
    values.assign(columns, std::u16string());
    std::vector<bool> absent(columns, false);
    Matcher(values, absent).object(shapes_[read.layout], json, "", true);
    read.present = static_cast<std::size_t>(std::find(absent.begin(), absent.end(), true) - absent.begin());
    for (std::size_t column = read.present; column < columns; ++column) {
      if (absent[column]) continue;
      const std::size_t field = layout.columns()[read.present];
      refuse(quotedName(layout.fields[field].name) + " is null, while a field after it is given: only the " +
             "fields at the end of a record can be absent");
    }
    return read;
  });
}

}  // namespace quor
