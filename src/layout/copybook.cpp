// The record a COBOL copybook describes, laid out as the host compiler lays it out: elementary items
// one after the other, a table's elements in memory order, a REDEFINES over the bytes it redefines, a
// table of OCCURS DEPENDING ON at its most elements (the layout's VaryingTable says how a record's
// counter shortens it), slack bytes before SYNCHRONIZED binary and float items.
//
// Rules where COBOL leaves a choice to the compiler or the copybook does not say:
// - A copybook describes one record: an 01 entry with its items, or items without an 01 (77 items, and
//   items of the level the copybook starts with, as copied under a program's own 01), laid out one
//   after the other. A later 01 entry that REDEFINES the first is read as overlays of it. A copybook
//   of several 01 records (the record types of one file) is read one record at a time, by name, each
//   laid out on its own; items without an 01 and 01 records do not mix.
// - A record read by the name of an item of a REDEFINES has that item in place of the item it
//   redefines, and none of the others: the bytes it does not reach are a filler of blanks, as a host
//   program's record area cleared to spaces holds them.
// - A redefining item longer than the item it redefines is refused: the host compiler would lengthen
//   the group with bytes that no field of the first definition writes.
// - SIGN TRAILING without SEPARATE is the default; a SIGN clause on a group applies to the signed
//   numeric DISPLAY items under it, and on an item that is not one it is refused.
// - COMP-5 holds every value of its bytes; COMP, COMP-4 and BINARY the picture's digits unless the
//   site says otherwise (LayoutOptions::binaryRange, TRUNC(BIN)). COMP-1 and COMP-2 are floats in the
//   site's format, IBM hexadecimal unless it says IEEE.
// - A VALUE clause gives a FILLER's bytes (a group's VALUE those of the FILLERs under it); on a named
//   item it is the program's initial value, no default of the item's column, and is read past. Level
//   88 entries are read past.
// - SYNCHRONIZED aligns a binary or float item as IBM's host compilers do: two bytes on a halfword,
//   four and eight-byte binary on a fullword, COMP-1 on a fullword and COMP-2 on a doubleword, each relative to the start of the record; the bytes skipped are slack bytes
//   (0x00). In a table, the first element's items are aligned and every element is made a multiple of
//   the strictest alignment within it (slack at its end), so every element's items are aligned.
//   SYNCHRONIZED on items of other usages changes nothing. On a group it is accepted where it changes
//   nothing; where it would put slack bytes before an item under the group it is refused, since
//   compilers differ on whether it reaches those items.
// - OCCURS n TIMES DEPENDING ON (without m TO) holds 1 to n elements. The counter must be a whole
//   number item of the record, before the table and in no table; an item after a table of varying
//   length moves with its counter (IBM's complex OCCURS DEPENDING ON), as do tables nested in one.
// - A level 66 RENAMES is an overlay over the bytes it names: an elementary item's kind when it renames
//   one item, text over a group or a THRU range.

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>

#include "base/api_guard.hpp"
#include "layout/copybook_source.hpp"
#include "numeric/edited.hpp"
#include "layout/copybook_value.hpp"
#include "quor/error.hpp"
#include "quor/layout.hpp"
#include "quor/text.hpp"

namespace quor {

namespace {

using layout::CopybookText;
using layout::CopybookToken;
using layout::upperWord;


// The most fields a copybook may make once its tables are flattened. It also bounds every size the
// reader works out (a field is at most 65534 bytes, so an element of n fields at most n x 65534), so no
// product or sum of sizes can wrap; the record's length is held to its cap by finishLayout, as every
// layout's is.
constexpr std::uint64_t kMaxFields = 100000;
// The largest repetition or OCCURS count read; a larger one is beyond those limits anyway.
constexpr std::uint64_t kMaxCount = 99999999;

// native: COMP-5, binary of its bytes' full range; float4, float8: COMP-1 and COMP-2.
enum class Usage : std::uint8_t { none, display, packed, binary, native, national, float4, float8 };

std::optional<Usage> usageOf(std::string_view key) {
  static constexpr std::pair<std::string_view, Usage> kUsages[] = {
      {"DISPLAY", Usage::display},
      {"COMP-3", Usage::packed},
      {"COMPUTATIONAL-3", Usage::packed},
      {"PACKED-DECIMAL", Usage::packed},
      {"COMP", Usage::binary},
      {"COMPUTATIONAL", Usage::binary},
      {"COMP-4", Usage::binary},
      {"COMPUTATIONAL-4", Usage::binary},
      {"BINARY", Usage::binary},
      {"COMP-5", Usage::native},
      {"COMPUTATIONAL-5", Usage::native},
      {"NATIONAL", Usage::national},
      {"DISPLAY-1", Usage::national},
      {"COMP-1", Usage::float4},
      {"COMPUTATIONAL-1", Usage::float4},
      {"COMP-2", Usage::float8},
      {"COMPUTATIONAL-2", Usage::float8},
  };
  for (const auto& [word, usage] : kUsages)
    if (word == key) return usage;
  return std::nullopt;
}

// Words that start a clause (or belong to one), so they are never an item's name or a key's name.
bool isKeyword(std::string_view key) {
  static constexpr std::string_view kKeywords[] = {
      "PIC",   "PICTURE", "USAGE",    "OCCURS",    "VALUE",        "VALUES",    "REDEFINES",
      "SIGN",  "LEADING", "TRAILING", "SYNC",      "SYNCHRONIZED", "JUST",      "JUSTIFIED",
      "BLANK", "RENAMES", "INDEXED",  "ASCENDING", "DESCENDING",   "DEPENDING", "IS",
      "TO",    "TIMES",   "THRU",     "THROUGH",   "OF",           "IN",
  };
  return usageOf(key).has_value() ||
         std::find(std::begin(kKeywords), std::end(kKeywords), key) != std::end(kKeywords);
}

// A user-defined word: letters, digits, hyphens and underscores, or characters beyond ASCII (a kanji
// name), with a letter or such a character somewhere, and no hyphen at either end.
bool isDataName(std::string_view word) {
  if (word.empty() || word.front() == '-' || word.back() == '-') return false;
  bool named = false;
  for (const char c : word) {
    const bool letter =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || static_cast<unsigned char>(c) >= 0x80;
    if (!letter && !(c >= '0' && c <= '9') && c != '-' && c != '_') return false;
    named = named || letter || c == '_';
  }
  std::u16string units(word.size(), u'\0');
  return named && decodeUtf8(word, units.data()).ok;
}

// Parses a whole number of 1 (0 with `zero`) to kMaxCount.
std::optional<std::uint64_t> countOf(std::string_view digits, bool zero = false) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value == 0 && !zero) return std::nullopt;
  return value;
}

// The boundary IBM's host compilers align a synchronized item of this usage and size on: a halfword
// for two-byte binary, a fullword for four- and eight-byte binary and COMP-1, a doubleword for COMP-2;
// items of other usages are not aligned.
std::uint64_t alignmentOf(Usage usage, std::uint64_t size) {
  if (usage == Usage::binary || usage == Usage::native) return size == 2 ? 2 : 4;
  if (usage == Usage::float4) return 4;
  if (usage == Usage::float8) return 8;
  return 1;
}

struct Picture {
  enum class Class : std::uint8_t { alphanumeric, numeric, national, numericEdited, alphanumericEdited };
  Class type = Class::alphanumeric;
  std::uint64_t length = 0;  // characters, or digits; edited: characters
  std::int64_t scale = 0;    // below 0 or beyond the digits with P
  bool isSigned = false;
  std::string symbols;  // edited: the picture in upper case
};

struct Item {
  int level = 0;
  // OCCURS ... DEPENDING ON: the counter's name as written ("N OF HEADER"), its line, and the fewest
  // elements; `counter` is the counter's item once names are resolved.
  std::string depending;
  std::size_t dependingLine = 0;
  std::uint64_t least = 0;
  std::size_t counter = 0;
  bool varies = false;        // it or an item under it has OCCURS DEPENDING ON
  bool sync = false;          // SYNCHRONIZED on the item itself
  bool groupSync = false;     // SYNCHRONIZED on a group above it
  layout::ValueClause value;  // its VALUE clause, when it has one (parts not empty)
  std::uint64_t slack = 0;    // slack bytes before its first element
  std::uint64_t tail = 0;     // slack bytes at the end of each element
  std::uint64_t align = 1;    // the strictest alignment of a synchronized item within an element
  std::uint64_t at = 0;       // its first element's offset from the start of the record
  std::string levelWord;  // as written: "05"
  std::string name;       // as written; empty for FILLER and an unnamed item
  std::size_t line = 0;
  std::string picture;        // as written; empty for a group
  Usage usage = Usage::none;  // its own, or its group's
  std::string usageWord;      // the word that gave the usage, as written
  std::uint64_t occurs = 1;
  bool table = false;
  std::size_t redefines = 0;  // the item it redefines (0: none; the record as a whole is never redefined)
  std::size_t parent = 0;
  std::vector<std::size_t> children;
  LayoutField field;         // an elementary item's field
  std::uint64_t size = 0;    // bytes of one element
  std::uint64_t fields = 0;  // fields of one element
  std::uint64_t offset = 0;  // from the start of its group's element
  std::string fieldName;     // its name, qualified where another item has the same one
  std::optional<SignPlacement> sign;  // its SIGN clause, or its group's
  bool ownSign = false;               // the SIGN clause is its own
  bool justified = false;             // JUSTIFIED RIGHT
  bool blankWhenZero = false;         // BLANK WHEN ZERO
};

class CopybookReader {
 public:
  CopybookReader(std::string_view text, const std::string& fileName, const LayoutOptions& options,
                 const CopyResolver& resolve)
      : fileName_(fileName), options_(options), text_(layout::readCopybookText(text, fileName, resolve)), items_(1) {}

  // The copybook's one record.
  Layout read() {
    parse();
    if (records_.size() > 1)
      refuse(items_[records_[1]].line,
             quoted(items_[records_[1]]) + " starts a second record; the copybook describes " +
                 std::to_string(records_.size()) + " records (" + recordList() + "), and one must be named");
    return layoutOf(0);
  }

  std::vector<std::string> recordNames() {
    parse();
    if (records_.empty()) return {std::string()};
    std::vector<std::string> names;
    for (const std::size_t record : records_) names.push_back(items_[record].name);
    return names;
  }

  // The 01 record of that name, or the record with the item of a REDEFINES of that name in place.
  NamedLayout read(std::string_view name) {
    parse();
    const std::string key = upperWord(name);
    for (const std::size_t record : records_)
      if (upperWord(items_[record].name) == key) return {items_[record].name, layoutOf(record)};
    for (std::size_t i = 1; i < items_.size(); ++i) {
      const Item& item = items_[i];
      if (item.name.empty() || upperWord(item.name) != key || !inRedefines(i)) continue;
      std::size_t top = i;
      for (std::size_t up = i; up != 0; up = items_[up].parent) {
        chosen_[up] = true;
        top = up;
      }
      // An item of a REDEFINES of 01 records is a record of its own; one inside a record is put in
      // that record.
      return {item.name, layoutOf(items_[top].level == 1 ? top : 0)};
    }
    throw Error(errors::kInvalidCall, fileName_ + ": no 01 record and no item of a REDEFINES is named '" +
                                          std::string(name) + "' (records: " + recordList() + ")");
  }

 private:
  // Reads every entry, and sizes and places every item.
  void parse() {
    while (at_ < text_.tokens.size()) readEntry();
    if (items_.size() == 1)
      throw Error(errors::kInvalidCall, fileName_ + ": the copybook has no data description entries");
    for (Item& item : items_) {
      if (!item.children.empty() && (item.justified || item.blankWhenZero))
        refuse(item.line, "JUSTIFIED and BLANK WHEN ZERO are for elementary items, not the group " + quoted(item));
      if (&item == &items_.front() || !item.picture.empty() || !item.children.empty()) continue;
      // COMP-1 and COMP-2 items have no PICTURE: a float without items under it is elementary.
      if (!isFloat(item.usage)) refuse(item.line, quoted(item) + " has no PICTURE and no items under it");
      item.field = floatField(item);
    }
    resolveCounters();
    measure(0, 0);
    chosen_.assign(items_.size(), false);
  }

  [[nodiscard]] std::string recordList() const {
    std::string names;
    for (const std::size_t record : records_) names += (names.empty() ? "" : ", ") + items_[record].name;
    return names.empty() ? "one, without an 01 entry" : names;
  }

  // True for the item redefined by others and for the items that redefine it.
  [[nodiscard]] bool inRedefines(std::size_t index) const {
    if (items_[index].redefines != 0) return true;
    const std::vector<std::size_t>& siblings = items_[items_[index].parent].children;
    const auto at = std::find(siblings.begin(), siblings.end(), index);
    return at + 1 != siblings.end() && items_[*(at + 1)].redefines == index;
  }

  // The item of a REDEFINES chosen in place of the others: none when no item of it is chosen.
  [[nodiscard]] std::size_t chosenOf(std::size_t index) const {
    const std::size_t base = items_[index].redefines != 0 ? items_[index].redefines : index;
    if (chosen_[base]) return base;
    const std::vector<std::size_t>& siblings = items_[items_[base].parent].children;
    for (auto at = std::find(siblings.begin(), siblings.end(), base) + 1;
         at != siblings.end() && items_[*at].redefines == base; ++at)
      if (chosen_[*at]) return *at;
    return 0;
  }

  // False for an item the choice of another item of its REDEFINES leaves out.
  [[nodiscard]] bool included(std::size_t index) const {
    const std::size_t chosen = chosenOf(index);
    return chosen == 0 || chosen == index;
  }

  // The bytes a chosen item of a REDEFINES leaves of the item it stands in for.
  [[nodiscard]] std::uint64_t slackAfter(std::size_t index) const {
    const Item& item = items_[index];
    if (item.redefines == 0 || !chosen_[index]) return 0;
    return items_[item.redefines].size - item.size * item.occurs;
  }

  // The layout of the record `root` (an 01 record, or 0 for the copybook's one record), with the items
  // chosen_ marks in place of the others of their REDEFINES.
  Layout layoutOf(std::size_t root) {
    marked_.assign(items_.size(), false);
    mark(root);
    nameFields();
    Layout layout;
    std::vector<std::uint64_t> subscripts;
    fieldOf_.assign(items_.size(), kNoField);
    emit(root, 0, subscripts, false, {nullptr, 0}, layout);
    for (const std::size_t top : root == 0 ? items_[0].children : std::vector<std::size_t>{root}) {
      if (!marked_[top]) continue;
      const bool overlay = items_[top].redefines != 0 && !chosen_[top];
      if (items_[top].level == 1 && !isElementary(items_[top])) {
        // A group record's items are the object's; a chosen record's slack follows them.
        for (const std::size_t child : items_[top].children)
          if (marked_[child]) appendChildNodes(child, layout.tree, overlay);
        std::vector<LayoutField> none;
        appendSlack(slackAfter(top), none, layout.tree);
      } else {
        appendChildNodes(top, layout.tree, false);
      }
    }
    std::vector<LayoutNode> none;
    appendSlack(slackAfter(root), layout.fields, none);
    const std::size_t fields = layout.fields.size();
    addRenames(layout);
    layout.tree.resize(layout.tree.size() + layout.fields.size() - fields);  // the aliases: overlays
    finishLayout(layout);
    return layout;
  }

 private:
  static constexpr std::size_t kNoField = static_cast<std::size_t>(-1);

  // A group's VALUE while the items under it are laid out: its bytes or text and the group's offset.
  struct GroupValue {
    const layout::ConstantValue* value;
    std::uint64_t start;
  };

  // A level 66 entry: its name and the items it renames, as written.
  struct Renames {
    std::string name;
    std::string from;
    std::string thru;
    std::size_t line;
  };

  // Marks the items of the layout made from `index`.
  void mark(std::size_t index) {
    marked_[index] = true;
    for (const std::size_t child : items_[index].children)
      if (included(child)) mark(child);
  }

  // The node of an item and its slack, if chosen.
  // The nodes of a group's item `child` (its slack bytes first), the group in an overlay or not.
  void appendChildNodes(std::size_t child, std::vector<LayoutNode>& nodes, bool overlay) const {
    const bool underOverlay = overlay || (items_[child].redefines != 0 && !chosen_[child]);
    if (items_[child].slack > 0 && !underOverlay) nodes.emplace_back();
    appendNodes(child, nodes, underOverlay);
  }

  // Slack bytes of SYNCHRONIZED items (which overlays have none of) are nodes without a name, as they
  // are fields of their own.
  void appendNodes(std::size_t index, std::vector<LayoutNode>& nodes, bool overlay = false) const {
    const Item& item = items_[index];
    LayoutNode node;
    node.name = item.name;
    node.occurs = item.table ? static_cast<std::uint32_t>(item.occurs) : 0;
    for (const std::size_t child : item.children)
      if (marked_[child]) appendChildNodes(child, node.children, overlay);
    if (item.tail > 0 && !overlay) node.children.emplace_back();
    nodes.push_back(std::move(node));
    std::vector<LayoutField> none;
    appendSlack(slackAfter(index), none, nodes);
  }

  // A filler of blanks for `bytes` bytes, as fields (where `fields` is given) and nodes, in pieces no
  // longer than a field may be.
  static void appendSlack(std::uint64_t bytes, std::vector<LayoutField>& fields,
                          std::vector<LayoutNode>& nodes) {
    while (bytes > 0) {
      const auto piece = static_cast<std::int32_t>(std::min<std::uint64_t>(bytes, kMaxLayoutFieldLength));
      LayoutField filler;
      filler.name = "FILLER";
      filler.kind = FieldKind::filler;
      filler.role = FieldRole::constant;
      filler.length = piece;
      filler.fill = 0x40;
      fields.push_back(std::move(filler));
      nodes.emplace_back();
      bytes -= static_cast<std::uint64_t>(piece);
    }
  }

  [[noreturn]] void refuse(std::size_t line, const std::string& what) const {
    throw Error(errors::kInvalidCall, text_.where(line) + ": " + what);
  }

  // What a clause this reader cannot handle keeps from happening, in the words of the run.
  [[nodiscard]] const char* cannot() const {
    switch (options_.use) {
      case LayoutUse::encode:
        return "cannot be written";
      case LayoutUse::decode:
        return "cannot be read";
      default:
        return "cannot be written or read";
    }
  }

  static bool isFloat(Usage usage) { return usage == Usage::float4 || usage == Usage::float8; }

  // An item with a PICTURE, or a COMP-1 or COMP-2 item without items under it.
  static bool isElementary(const Item& item) {
    return !item.picture.empty() || (isFloat(item.usage) && item.children.empty());
  }

  static std::string quoted(const Item& item) {
    return "'" + (item.name.empty() ? "FILLER" : item.name) + "'";
  }

  [[nodiscard]] std::string_view textOf(const CopybookToken& token) const { return text_.text(token); }

  const CopybookToken* peek() const { return at_ < text_.tokens.size() ? &text_.tokens[at_] : nullptr; }

  bool peekWord(std::string_view key) const {
    const CopybookToken* token = peek();
    return token != nullptr && token->kind == CopybookToken::Kind::word && upperWord(textOf(*token)) == key;
  }

  bool skipWord(std::string_view key) {
    if (!peekWord(key)) return false;
    ++at_;
    return true;
  }

  // The word or literal after a clause's keyword.
  const CopybookToken& operand(const CopybookToken& clause, const std::string& what) {
    const CopybookToken* token = peek();
    if (token == nullptr || token->kind == CopybookToken::Kind::period)
      refuse(clause.line, upperWord(textOf(clause)) + " needs " + what);
    ++at_;
    return *token;
  }

  void readEntry() {
    const CopybookToken& first = text_.tokens[at_++];
    const std::string_view word = textOf(first);
    const bool digits = first.kind == CopybookToken::Kind::word && !word.empty() && word.size() <= 2 &&
                        word.find_first_not_of("0123456789") == std::string_view::npos;
    if (!digits) refuse(first.line, "expected a level number, found '" + std::string(word) + "'");
    const int level = std::stoi(std::string(word));
    if (level == 88) {
      skipEntry(first.line);
      return;
    }
    if (level == 66) {
      readRenames(first);
      return;
    }
    if (level < 1 || (level > 49 && level != 77))
      refuse(first.line, "level number " + std::string(word) + " is not 01 to 49, 66, 77 or 88");

    Item item;
    item.level = level;
    item.levelWord = word;
    item.line = first.line;
    if (const CopybookToken* name = peek();
        name != nullptr && name->kind == CopybookToken::Kind::word && !isKeyword(upperWord(textOf(*name)))) {
      ++at_;
      const std::string_view written = textOf(*name);
      if (upperWord(written) != "FILLER") {
        if (!isDataName(written))
          refuse(first.line, "'" + std::string(written) + "' is not a valid data name");
        item.name = written;
      }
    }
    std::string redefined;
    if (peekWord("REDEFINES")) {
      const CopybookToken& clause = text_.tokens[at_++];
      redefined = textOf(operand(clause, "the name of the item it redefines"));
    }
    for (;;) {
      const CopybookToken* token = peek();
      if (token == nullptr)
        refuse(first.line, "the entry of " + quoted(item) + " does not end with a period");
      ++at_;
      if (token->kind == CopybookToken::Kind::period) break;
      readClause(item, *token);
    }
    place(std::move(item), redefined);
  }

  // A data name, qualified by the groups after OF or IN: "N OF HEADER".
  std::string qualifiedName(const CopybookToken& clause, const std::string& what) {
    const auto nameOf = [this](const CopybookToken& before, const std::string& named) {
      const CopybookToken& name = operand(before, named);
      std::string text(textOf(name));
      if (name.kind != CopybookToken::Kind::word || !isDataName(text) || isKeyword(upperWord(text)))
        refuse(name.line, upperWord(textOf(before)) + " needs " + named + ", found '" + text + "'");
      return text;
    };
    std::string text = nameOf(clause, what);
    while (peekWord("OF") || peekWord("IN")) {
      const CopybookToken& of = text_.tokens[at_++];
      text += " OF " + nameOf(of, "the name of a group");
    }
    return text;
  }

  // 66 name RENAMES item [THRU item].
  void readRenames(const CopybookToken& level) {
    const CopybookToken* name = peek();
    if (name == nullptr || name->kind != CopybookToken::Kind::word || !isDataName(textOf(*name)) ||
        isKeyword(upperWord(textOf(*name))))
      refuse(level.line, "level 66 needs a name, then RENAMES");
    ++at_;
    const CopybookToken* clause = peek();
    if (clause == nullptr || !peekWord("RENAMES")) refuse(level.line, "level 66 needs RENAMES after its name");
    ++at_;
    Renames renames{std::string(textOf(*name)), qualifiedName(*clause, "the name of the item it renames"), {}, level.line};
    if (peekWord("THRU") || peekWord("THROUGH")) {
      const CopybookToken& thru = text_.tokens[at_++];
      renames.thru = qualifiedName(thru, "the name of the last item it renames");
    }
    const CopybookToken* end = peek();
    if (end == nullptr || end->kind != CopybookToken::Kind::period)
      refuse(level.line, "the RENAMES entry of '" + renames.name + "' does not end with a period");
    ++at_;
    renames_.push_back(std::move(renames));
  }

  void skipEntry(std::size_t line) {
    while (at_ < text_.tokens.size())
      if (text_.tokens[at_++].kind == CopybookToken::Kind::period) return;
    refuse(line, "the entry does not end with a period");
  }

  void once(bool given, const CopybookToken& clause, std::string_view name) const {
    if (given) refuse(clause.line, std::string(name) + " is given twice");
  }

  void readClause(Item& item, const CopybookToken& clause) {
    const std::string key = upperWord(textOf(clause));
    if (clause.kind == CopybookToken::Kind::literal)
      refuse(clause.line, "unexpected literal " + std::string(textOf(clause)));
    if (key == "PIC" || key == "PICTURE") {
      once(!item.picture.empty(), clause, "PICTURE");
      skipWord("IS");
      const CopybookToken& picture = operand(clause, "a picture string");
      item.picture = textOf(picture);
    } else if (key == "USAGE" || usageOf(key)) {
      once(!item.usageWord.empty(), clause, "USAGE");
      if (key == "USAGE") skipWord("IS");
      const CopybookToken& word = key == "USAGE" ? operand(clause, "a usage") : clause;
      const std::optional<Usage> usage = usageOf(upperWord(textOf(word)));
      if (!usage)
        refuse(word.line, "USAGE " + std::string(textOf(word)) + " is not a usage this reader knows");
      item.usage = *usage;
      item.usageWord = textOf(word);
    } else if (key == "OCCURS") {
      once(item.table, clause, "OCCURS");
      readOccurs(item, clause);
    } else if (key == "VALUE" || key == "VALUES") {
      once(!item.value.parts.empty(), clause, "VALUE");
      if (!skipWord("IS")) skipWord("ARE");
      item.value.line = clause.line;
      item.value.all = skipWord("ALL");
      item.value.parts.emplace_back(textOf(operand(clause, "a value")));
      while (skipWord("&")) item.value.parts.emplace_back(textOf(operand(clause, "a value after '&'")));
    } else if (key == "SIGN" || key == "LEADING" || key == "TRAILING") {
      once(item.ownSign, clause, "SIGN");
      if (key == "SIGN") skipWord("IS");
      const bool leading = key == "LEADING" || (key == "SIGN" && skipWord("LEADING"));
      if (key == "SIGN" && !leading && !skipWord("TRAILING"))
        refuse(clause.line, "SIGN needs LEADING or TRAILING");
      const bool separate = skipWord("SEPARATE");
      if (separate) skipWord("CHARACTER");
      item.sign = leading ? (separate ? SignPlacement::leadingSeparate : SignPlacement::leading)
                          : (separate ? SignPlacement::trailingSeparate : SignPlacement::trailing);
      item.ownSign = true;
    } else if (key == "SYNC" || key == "SYNCHRONIZED") {
      once(item.sync, clause, "SYNCHRONIZED");
      item.sync = true;
      if (!skipWord("LEFT")) skipWord("RIGHT");
    } else if (key == "JUST" || key == "JUSTIFIED") {
      once(item.justified, clause, "JUSTIFIED");
      skipWord("RIGHT");
      item.justified = true;
    } else if (key == "BLANK") {
      once(item.blankWhenZero, clause, "BLANK WHEN ZERO");
      skipWord("WHEN");
      if (!skipWord("ZERO") && !skipWord("ZEROS") && !skipWord("ZEROES"))
        refuse(clause.line, "BLANK needs WHEN ZERO");
      item.blankWhenZero = true;
    } else if (key == "REDEFINES") {
      refuse(clause.line, "REDEFINES must come right after the item's name");
    } else {
      refuse(clause.line, "unexpected word '" + std::string(textOf(clause)) + "'");
    }
  }

  void readOccurs(Item& item, const CopybookToken& clause) {
    const CopybookToken& times = operand(clause, "a number of times");
    const auto countNeeded = [&](const CopybookToken& token, bool zero) {
      const std::optional<std::uint64_t> count = countOf(textOf(token), zero);
      if (!count)
        refuse(token.line, "OCCURS needs a whole number of times from " + std::string(zero ? "0" : "1") + " to " +
                               std::to_string(kMaxCount) + ", found '" + std::string(textOf(token)) + "'");
      return *count;
    };
    std::uint64_t count = countNeeded(times, peekWord("TO"));
    bool ranged = false;
    if (skipWord("TO")) {
      ranged = true;
      item.least = count;
      count = countNeeded(operand(clause, "the most number of times after TO"), false);
      if (count < item.least)
        refuse(clause.line, "OCCURS " + std::to_string(item.least) + " TO " + std::to_string(count) +
                                ": the most is less than the fewest");
    }
    skipWord("TIMES");
    if (peekWord("DEPENDING")) {
      const CopybookToken& depending = text_.tokens[at_++];
      skipWord("ON");
      item.depending = qualifiedName(depending, "the name of the item holding the number of elements");
      item.dependingLine = depending.line;
      if (!ranged) item.least = 1;
    } else if (ranged) {
      refuse(clause.line, "OCCURS " + std::to_string(item.least) + " TO " + std::to_string(count) +
                              " needs DEPENDING ON the item holding the number of elements");
    }
    for (;;) {
      if (skipWord("ASCENDING") || skipWord("DESCENDING")) {
        skipWord("KEY");
        skipWord("IS");
      } else if (skipWord("INDEXED")) {
        skipWord("BY");
      } else {
        break;
      }
      // The key or index names, keys qualified with OF or IN: they do not change the layout.
      while (const CopybookToken* name = peek()) {
        if (skipWord("OF") || skipWord("IN")) continue;
        if (name->kind != CopybookToken::Kind::word || isKeyword(upperWord(textOf(*name)))) break;
        ++at_;
      }
    }
    if (peekWord("DEPENDING")) refuse(clause.line, "DEPENDING ON must come before ASCENDING, DESCENDING and INDEXED");
    item.occurs = count;
    item.table = true;
  }

  // Puts the item under the group its level places it in.
  void place(Item item, const std::string& redefined) {
    const std::size_t index = items_.size();
    std::size_t parent = 0;
    if (item.level == 77) {
      open_.clear();
    } else {
      int closed = 0;
      while (!open_.empty() && items_[open_.back()].level >= item.level) {
        closed = items_[open_.back()].level;
        open_.pop_back();
      }
      if (closed != 0 && closed != item.level)
        refuse(item.line, "level " + item.levelWord + " of " + quoted(item) +
                              " does not line up with the level of any group above it");
      if (!open_.empty()) parent = open_.back();
    }
    if (parent == 0) placeOnTop(item, index, !redefined.empty());
    Item& group = items_[parent];
    if (!group.picture.empty())
      refuse(item.line, quoted(group) + " has a PICTURE, so no item can be under it");
    if (item.table && (item.level == 1 || item.level == 77))
      refuse(item.line, "OCCURS is not allowed on a level " + item.levelWord + " item");
    if (!redefined.empty()) item.redefines = redefinedItem(group, item, redefined);

    // The usage of a group applies to its items, which may repeat it but not change it.
    if (group.usage != Usage::none && item.usage != Usage::none && item.usage != group.usage)
      refuse(item.line, "USAGE " + item.usageWord + " of " + quoted(item) + " conflicts with USAGE " +
                            group.usageWord + " of its group " + quoted(group));
    if (item.usage == Usage::none) {
      item.usage = group.usage;
      item.usageWord = group.usageWord;
    }
    // A group's SIGN clause applies to the signed numeric items under it.
    if (!item.sign) item.sign = group.sign;
    if (!item.picture.empty()) item.field = fieldOf(item);
    item.groupSync = group.sync || group.groupSync;

    item.parent = parent;
    group.children.push_back(index);
    const bool isGroupable = item.level != 77;
    items_.push_back(std::move(item));
    if (isGroupable) open_.push_back(index);
  }

  // The rules of a copybook's records (see the top of this file).
  void placeOnTop(const Item& item, std::size_t index, bool redefines) {
    const bool secondRecord = item.level == 1 ? loose_ : record_ != 0;
    if (secondRecord)
      refuse(item.line, quoted(item) +
                            " starts a second record; a copybook describes one record (an 01 record "
                            "after the first can be read as REDEFINES of it)");
    if (item.level == 1) {
      if (record_ == 0) record_ = index;
      if (!redefines) records_.push_back(index);
      return;
    }
    loose_ = true;
    if (item.level == 77) return;
    if (firstLevel_ == 0) firstLevel_ = item.level;
    if (item.level != firstLevel_)
      refuse(item.line, "level " + item.levelWord + " of " + quoted(item) +
                            " does not line up with the level of any group above it");
  }

  // The item that `item` redefines: the one just before it at its level, or another redefinition of
  // that one.
  std::size_t redefinedItem(const Item& group, const Item& item, const std::string& name) const {
    const std::string key = upperWord(name);
    for (auto it = group.children.rbegin(); it != group.children.rend(); ++it) {
      const Item& before = items_[*it];
      if (before.level == item.level && !before.name.empty() && upperWord(before.name) == key) {
        if (before.table)
          refuse(item.line, "REDEFINES " + name + ": an item with OCCURS cannot be redefined");
        return *it;
      }
      if (before.redefines == 0) break;
    }
    refuse(item.line, "REDEFINES " + name + ": the item redefined must come just before, at the same level");
  }

  [[noreturn]] void invalidPicture(const Item& item) const {
    refuse(item.line, "PICTURE " + item.picture + " is not a valid picture");
  }

  // The picture of an edited item, read by the editing rules; nothing for a picture without editing
  // symbols (outside its repeat counts).
  std::optional<Picture> editedPictureOf(const Item& item, const std::string& symbols) const {
    std::string outside;  // the symbols without their repeat counts
    for (std::size_t at = 0; at < symbols.size(); ++at) {
      if (symbols[at] == '(') {
        const std::size_t close = symbols.find(')', at);
        if (close == std::string::npos) invalidPicture(item);
        at = close;
      } else {
        outside += symbols[at];
      }
    }
    if (outside.find_first_of("BZ*+-CRD0/.,$E") == std::string::npos) return std::nullopt;
    std::string problem;
    const std::optional<numeric::EditedPicture> edited = numeric::readEditedPicture(symbols, problem);
    if (!edited) {
      if (problem.empty()) invalidPicture(item);
      refuse(item.line, "PICTURE " + item.picture + ": " + problem + ", so the item " + cannot());
    }
    Picture picture;
    picture.type = edited->numeric ? Picture::Class::numericEdited : Picture::Class::alphanumericEdited;
    picture.length = edited->positions.size();
    picture.scale = static_cast<std::int64_t>(edited->fractionDigits);
    picture.symbols = symbols;
    return picture;
  }

  Picture pictureOf(const Item& item) const {
    const std::string written = "PICTURE " + item.picture;
    const std::string symbols = upperWord(item.picture);
    if (std::optional<Picture> edited = editedPictureOf(item, symbols)) return *edited;
    Picture picture;
    std::uint64_t characters = 0;
    std::uint64_t nines = 0;
    std::uint64_t national = 0;
    std::uint64_t leadingP = 0;   // P before the digits: the point before them (PIC SVPP9(3))
    std::uint64_t trailingP = 0;  // P after the digits: the point after them (PIC 9(3)PPP)
    bool afterPoint = false;
    for (std::size_t at = 0; at < symbols.size();) {
      const std::size_t position = at;
      const char symbol = symbols[at++];
      std::uint64_t count = 1;
      const bool repeated = at < symbols.size() && symbols[at] == '(';
      if (repeated) {
        const std::size_t close = symbols.find(')', at);
        const std::optional<std::uint64_t> inside =
            close == std::string::npos ? std::nullopt
                                       : countOf(std::string_view(symbols).substr(at + 1, close - at - 1));
        if (!inside) invalidPicture(item);
        count = *inside;
        at = close + 1;
      }
      switch (symbol) {
        case 'X':
        case 'A':
          characters += count;
          break;
        case '9':
          if (trailingP > 0) invalidPicture(item);
          nines += count;
          if (afterPoint) picture.scale += static_cast<std::int64_t>(count);
          break;
        case 'P':
          // Decimal scaling: a run of P at one end of the digits.
          if (nines == 0) {
            leadingP += count;
          } else {
            if (afterPoint || (leadingP > 0)) invalidPicture(item);
            trailingP += count;
          }
          break;
        case 'N':
        case 'G':
          national += count;
          break;
        case 'S':
          if (position != 0 || repeated) invalidPicture(item);
          picture.isSigned = true;
          break;
        case 'V':
          // With P in front the point stands before them.
          if (afterPoint || repeated || leadingP > 0) invalidPicture(item);
          afterPoint = true;
          break;
        default:
          invalidPicture(item);
      }
    }
    const std::uint64_t scaling = leadingP + trailingP;
    if (national > 0) {
      if (characters > 0 || nines > 0 || picture.isSigned || afterPoint || scaling > 0) invalidPicture(item);
      picture.type = Picture::Class::national;
      picture.length = national;
    } else if (characters > 0) {
      if (picture.isSigned || afterPoint || scaling > 0) invalidPicture(item);
      picture.length = characters + nines;
    } else if (nines > 0) {
      picture.type = Picture::Class::numeric;
      picture.length = nines;
      if (scaling > static_cast<std::uint64_t>(kMaxDecimalDigits))
        refuse(item.line, "PICTURE " + item.picture + " has " + std::to_string(scaling) + " P; at most " +
                              std::to_string(kMaxDecimalDigits));
      if (leadingP > 0) picture.scale = static_cast<std::int64_t>(leadingP + nines);
      if (trailingP > 0) picture.scale = -static_cast<std::int64_t>(trailingP);
    } else {
      invalidPicture(item);
    }
    return picture;
  }

  LayoutField fieldOf(const Item& item) const {
    const std::string usage = item.usageWord.empty() ? "DISPLAY" : upperWord(item.usageWord);
    if (isFloat(item.usage)) refuse(item.line, "a USAGE " + usage + " item takes no PICTURE");
    const Picture picture = pictureOf(item);
    const auto wrongUsage = [&] {
      refuse(item.line, "PICTURE " + item.picture + " cannot be USAGE " + usage);
    };
    const bool display = item.usage == Usage::none || item.usage == Usage::display;
    LayoutField field;
    std::uint64_t most = static_cast<std::uint64_t>(kMaxLayoutFieldLength);
    std::string unit = "characters";
    switch (picture.type) {
      case Picture::Class::alphanumeric:
        if (!display) wrongUsage();
        field.kind = FieldKind::text;
        break;
      case Picture::Class::national:
        if (item.usage != Usage::none && item.usage != Usage::national) wrongUsage();
        field.kind = FieldKind::national;
        break;
      case Picture::Class::numericEdited:
      case Picture::Class::alphanumericEdited:
        if (!display) wrongUsage();
        field.kind = picture.type == Picture::Class::numericEdited ? FieldKind::edited : FieldKind::editedText;
        field.picture = picture.symbols;
        break;
      case Picture::Class::numeric:
        if (item.usage == Usage::national) wrongUsage();
        field.kind = item.usage == Usage::packed                                   ? FieldKind::packed
                     : item.usage == Usage::binary || item.usage == Usage::native ? FieldKind::binary
                                                                                    : FieldKind::zoned;
        if (field.kind == FieldKind::binary)
          field.range = item.usage == Usage::native ? BinaryRange::full : options_.binaryRange;
        most = static_cast<std::uint64_t>(field.kind == FieldKind::binary ? kMaxBinaryDigits
                                                                          : kMaxDecimalDigits);
        unit = "digits";
        break;
    }
    const bool isEdited = field.kind == FieldKind::edited || field.kind == FieldKind::editedText;
    if (picture.length > most)
      refuse(item.line, "PICTURE " + item.picture + " holds " + std::to_string(picture.length) + " " + unit +
                            "; a USAGE " + usage + " item holds at most " + std::to_string(most));
    field.length = static_cast<std::int32_t>(picture.length);
    // An edited field's picture gives its scale.
    if (!isEdited) field.scale = static_cast<std::int32_t>(picture.scale);
    field.isSigned = picture.isSigned;
    // SIGN: its own on a signed numeric DISPLAY item; a group's on those of them under it.
    const bool signedZoned = field.kind == FieldKind::zoned && field.isSigned;
    if (item.ownSign && !signedZoned)
      refuse(item.line, "SIGN is for signed numeric DISPLAY items (PICTURE S9...), not " + quoted(item));
    if (signedZoned && item.sign) field.sign = *item.sign;
    if (signedZoned) field.positiveZone = options_.positiveZone;
    if (item.justified && field.kind != FieldKind::text && field.kind != FieldKind::national)
      refuse(item.line, "JUSTIFIED is for alphanumeric and national items, not " + quoted(item));
    field.justifiedRight = item.justified;
    if (item.blankWhenZero && field.kind != FieldKind::zoned && field.kind != FieldKind::edited)
      refuse(item.line, "BLANK WHEN ZERO is for numeric DISPLAY and numeric-edited items, not " + quoted(item));
    field.blankWhenZero = item.blankWhenZero;
    return field;
  }

  // A COMP-1 or COMP-2 item: 4 or 8 bytes of floating point.
  LayoutField floatField(const Item& item) const {
    if (item.ownSign || item.justified || item.blankWhenZero)
      refuse(item.line, "SIGN, JUSTIFIED and BLANK WHEN ZERO are not for a USAGE " + upperWord(item.usageWord) +
                            " item like " + quoted(item));
    LayoutField field;
    field.kind = item.usage == Usage::float4 ? FieldKind::float4 : FieldKind::float8;
    field.floatFormat = options_.floatFormat;
    return field;
  }

  // The item a name refers to: "N", or "N OF G IN R" with the groups above it, nearest first.
  std::size_t findItem(const std::string& qualified, std::size_t line) const {
    std::vector<std::string> words;
    for (std::size_t at = 0; at < qualified.size();) {
      const std::size_t space = std::min(qualified.find(' ', at), qualified.size());
      const std::string word = upperWord(std::string_view(qualified).substr(at, space - at));
      if (word != "OF" && word != "IN" && !word.empty()) words.push_back(word);
      at = space + 1;
    }
    std::vector<std::size_t> found;
    for (std::size_t i = 1; i < items_.size(); ++i) {
      if (items_[i].name.empty() || upperWord(items_[i].name) != words.front()) continue;
      std::size_t next = 1;
      for (std::size_t up = items_[i].parent; up != 0 && next < words.size(); up = items_[up].parent)
        if (!items_[up].name.empty() && upperWord(items_[up].name) == words[next]) ++next;
      if (next == words.size()) found.push_back(i);
    }
    if (found.empty()) refuse(line, "no item '" + qualified + "' in the copybook");
    if (found.size() > 1) refuse(line, "'" + qualified + "' names more than one item: qualify it with OF");
    return found.front();
  }

  // True when the item or a group above it has OCCURS, or REDEFINES.
  bool inTable(std::size_t index) const {
    for (std::size_t up = index; up != 0; up = items_[up].parent)
      if (items_[up].table) return true;
    return false;
  }
  bool inRedefinition(std::size_t index) const {
    for (std::size_t up = index; up != 0; up = items_[up].parent)
      if (items_[up].redefines != 0) return true;
    return false;
  }

  // The counters of the tables of OCCURS DEPENDING ON: whole number items of the record, read before
  // the table from its fixed place.
  void resolveCounters() {
    for (Item& item : items_) {
      if (item.depending.empty()) continue;
      const std::string counted = "OCCURS DEPENDING ON " + item.depending + ": ";
      item.counter = findItem(item.depending, item.dependingLine);
      const Item& counter = items_[item.counter];
      const FieldKind kind = counter.field.kind;
      if (counter.picture.empty() || counter.field.scale != 0 ||
          (kind != FieldKind::zoned && kind != FieldKind::packed && kind != FieldKind::binary))
        refuse(item.dependingLine, counted + "the counter must be an elementary item of whole numbers");
      if (inTable(item.counter))
        refuse(item.dependingLine, counted + "the counter must not be in a table, so each record has one count");
      if (inRedefinition(item.counter))
        refuse(item.dependingLine, counted + "the counter must not be an item of a REDEFINES");
    }
  }

  // Lays out item `index` with its first element `start` bytes from the start of the record: the size
  // of one element, its items' offsets in it, and the slack bytes before them.
  void measure(std::size_t index, std::uint64_t start) {
    items_[index].at = start;
    if (isElementary(items_[index])) {
      Item& item = items_[index];
      item.size = fieldSize(item.field);
      item.fields = 1;
      item.align = item.sync || item.groupSync ? alignmentOf(item.usage, item.size) : 1;
      item.varies = !item.depending.empty();
      return;
    }
    std::uint64_t at = start;
    std::uint64_t fields = 0;
    std::uint64_t align = 1;
    bool varies = !items_[index].depending.empty();
    const auto count = [&](const Item& item, std::uint64_t more) {
      fields += more;
      if (fields > kMaxFields)
        refuse(item.line, "the record would have more than " + std::to_string(kMaxFields) + " fields");
    };
    for (const std::size_t child : items_[index].children) {
      if (index == 0 && items_[child].level == 1 && items_[child].redefines == 0) {
        // Each 01 record is laid out on its own, from its own start.
        at = start;
        fields = 0;
        varyingStep_ = 0;
      }
      if (items_[child].redefines != 0) {
        measure(child, items_[items_[child].redefines].at);
        Item& item = items_[child];
        const Item& redefined = items_[item.redefines];
        const std::uint64_t bytes = item.size * item.occurs;
        if (bytes > redefined.size)
          refuse(item.line, quoted(item) + " (" + std::to_string(bytes) + " bytes) is longer than " +
                                quoted(redefined) + " (" + std::to_string(redefined.size) +
                                " bytes), which it redefines");
        if (item.varies || redefined.varies)
          refuse(item.line, "REDEFINES " + redefined.name +
                                ": an item holding OCCURS DEPENDING ON can neither redefine nor be redefined");
        item.offset = redefined.offset;
        count(item, item.fields * item.occurs);
        continue;
      }
      Item& item = items_[child];
      if (isElementary(item) && (item.sync || item.groupSync)) {
        const std::uint64_t boundary = alignmentOf(item.usage, fieldSize(item.field));
        item.slack = (boundary - at % boundary) % boundary;
        if (item.slack > 0 && !item.sync)
          refuse(item.line, "SYNCHRONIZED on a group would put " + std::to_string(item.slack) +
                                " slack bytes before " + quoted(item) +
                                ", and compilers differ on whether it reaches the items under the group: "
                                "write SYNCHRONIZED on the item itself");
        if (varyingStep_ % boundary != 0)
          refuse(item.line, "SYNCHRONIZED " + quoted(item) +
                                " comes after a table of OCCURS DEPENDING ON whose elements would move it off its "
                                "boundary");
        at += item.slack;
        count(item, item.slack > 0 ? 1 : 0);
      }
      item.offset = at - start;
      measure(child, at);
      Item& measured = items_[child];
      if (measured.table && !isElementary(measured) && measured.size % measured.align != 0) {
        measured.tail = measured.align - measured.size % measured.align;
        measured.size += measured.tail;
        ++measured.fields;
      }
      if (!measured.depending.empty()) varyingStep_ = std::gcd(varyingStep_, measured.size);
      count(measured, measured.fields * measured.occurs);
      at += measured.size * measured.occurs;
      align = std::max(align, measured.align);
      varies = varies || measured.varies;
    }
    Item& self = items_[index];
    self.size = at - start;
    self.fields = fields;
    self.align = align;
    self.varies = varies;
  }

  // Names each named elementary item: its own name where no other has it, else qualified with the
  // names of its groups, nearest first ("AMOUNT OF TOTALS"), until it differs from the others.
  void nameFields() {
    std::map<std::string, std::vector<std::size_t>> byName;
    for (std::size_t i = 1; i < items_.size(); ++i)
      if (marked_[i] && isElementary(items_[i]) && !items_[i].name.empty())
        byName[upperWord(items_[i].name)].push_back(i);
    for (auto& [key, same] : byName) {
      std::vector<std::vector<std::size_t>> chains;  // the item, then its named groups
      for (const std::size_t i : same) {
        std::vector<std::size_t> chain{i};
        for (std::size_t up = items_[i].parent; up != 0; up = items_[up].parent)
          if (!items_[up].name.empty()) chain.push_back(up);
        chains.push_back(std::move(chain));
      }
      std::vector<std::size_t> depth(same.size(), 0);
      const auto qualified = [&](std::size_t k) {
        std::string name = items_[chains[k][0]].name;
        for (std::size_t d = 1; d <= depth[k]; ++d) name += " OF " + items_[chains[k][d]].name;
        return name;
      };
      for (bool clash = same.size() > 1; clash;) {
        std::map<std::string, std::vector<std::size_t>> byQualified;
        for (std::size_t k = 0; k < same.size(); ++k) byQualified[upperWord(qualified(k))].push_back(k);
        clash = false;
        bool moved = false;
        for (const auto& [name, members] : byQualified) {
          if (members.size() < 2) continue;
          clash = true;
          for (const std::size_t k : members)
            if (depth[k] + 1 < chains[k].size()) {
              ++depth[k];
              moved = true;
            }
          if (!moved)
            refuse(items_[same[members[1]]].line,
                   "'" + qualified(members[1]) + "' is used twice, and no group name tells the two apart");
        }
      }
      for (std::size_t k = 0; k < same.size(); ++k) items_[same[k]].fieldName = qualified(k);
    }
  }

  // "(1,2)" for the subscripts 1 and 2 (outermost first), "" for none.
  static std::string subscriptsOf(const std::vector<std::uint64_t>& subscripts) {
    std::string text;
    for (const std::uint64_t subscript : subscripts)
      text += (text.empty() ? "(" : ",") + std::to_string(subscript);
    return text.empty() ? text : text + ")";
  }

  // Gives the constant `field` at `offset` its part of a group's VALUE: bytes as they are, characters
  // as text to a text field, blanks (0x40 on every page) to any other.
  void takeGroupValue(LayoutField& field, std::uint64_t offset, GroupValue group, const Item& item) const {
    if (group.value == nullptr) return;
    const auto from = static_cast<std::size_t>(offset - group.start);
    if (!group.value->bytes.empty()) {
      const auto begin = group.value->bytes.begin() + static_cast<std::ptrdiff_t>(from);
      field.constantBytes.assign(begin, begin + static_cast<std::ptrdiff_t>(field.size));
      return;
    }
    const std::u16string part = group.value->text.substr(from, field.size);
    if (field.kind == FieldKind::text) {
      field.constantText = part;
    } else if (part.find_first_not_of(u' ') == std::u16string::npos) {
      field.constantBytes.assign(field.size, 0x40);
    } else {
      refuse(item.line, "a group's VALUE puts characters on " +
                            (field.kind == FieldKind::filler ? std::string("slack bytes") : quoted(item)) +
                            ", which hold no characters: give the FILLER items VALUEs of their own");
    }
  }

  // The slack bytes before `item`: a constant filler of 0x00 (or of its group's VALUE).
  void emitSlack(const Item& item, std::uint64_t offset, std::uint64_t bytes, GroupValue value, Layout& layout) const {
    LayoutField field;
    field.kind = FieldKind::filler;
    field.length = static_cast<std::int32_t>(bytes);
    field.fill = 0x00;
    field.role = FieldRole::constant;
    field.name = "(slack bytes)";
    field.offset = static_cast<std::size_t>(offset);
    field.size = static_cast<std::size_t>(bytes);
    field.origin = text_.where(item.line);
    takeGroupValue(field, offset, value, item);
    layout.fields.push_back(std::move(field));
  }

  void emit(std::size_t index, std::uint64_t offset, std::vector<std::uint64_t>& subscripts, bool overlay,
            GroupValue value, Layout& layout) {
    const Item& item = items_[index];
    layout::ConstantValue groupValue;
    if (!isElementary(item) && !item.value.parts.empty() && !overlay) {
      if (item.table || item.varies)
        refuse(item.value.line, "VALUE on a group with OCCURS or holding OCCURS DEPENDING ON: give the VALUE to "
                                "the FILLER items under it");
      std::string problem;
      groupValue = layout::groupValueOf(static_cast<std::size_t>(item.size), item.value, problem);
      if (!problem.empty()) refuse(item.value.line, "VALUE of " + quoted(item) + ": " + problem);
      value = {&groupValue, offset};
    }
    std::size_t table = kNoField;
    if (!item.depending.empty()) {
      const std::size_t counter = fieldOf_[item.counter];
      if (counter == kNoField)
        refuse(item.dependingLine, "OCCURS DEPENDING ON " + item.depending +
                                       ": the counter must come before the table, so a record's length can be read "
                                       "from its start");
      table = layout.tables.size();
      layout.tables.push_back({item.name.empty() ? "FILLER" : item.name, counter, static_cast<std::size_t>(item.least),
                               static_cast<std::size_t>(item.occurs), layout.fields.size(), 0});
    }
    for (std::uint64_t element = 0; element < item.occurs; ++element) {
      if (item.table) subscripts.push_back(element + 1);
      const std::uint64_t at = offset + element * item.size;
      if (!isElementary(item)) {
        for (const std::size_t child : item.children) {
          if (!marked_[child]) continue;  // left out for another item of its REDEFINES
          const Item& under = items_[child];
          const bool underOverlay = overlay || (under.redefines != 0 && !chosen_[child]);
          if (under.slack > 0 && !underOverlay) emitSlack(under, at + under.offset - under.slack, under.slack, value, layout);
          emit(child, at + under.offset, subscripts, underOverlay, value, layout);
          std::vector<LayoutNode> none;
          appendSlack(slackAfter(child), layout.fields, none);
        }
        if (item.tail > 0 && !overlay) emitSlack(item, at + item.size - item.tail, item.tail, value, layout);
      } else {
        LayoutField field = item.field;
        field.role = overlay             ? FieldRole::overlay
                     : item.name.empty() ? FieldRole::constant
                                         : FieldRole::column;
        field.name = item.name.empty() ? "FILLER" : item.fieldName + subscriptsOf(subscripts);
        field.offset = static_cast<std::size_t>(at);
        field.origin = text_.where(item.line);
        if (field.role == FieldRole::constant) {
          field.size = fieldSize(field);
          if (!item.value.parts.empty()) {
            std::string problem;
            layout::ConstantValue own = layout::valueOf(field, item.value, problem);
            if (!problem.empty()) refuse(item.value.line, "VALUE of FILLER: " + problem);
            field.constantBytes = std::move(own.bytes);
            field.constantText = std::move(own.text);
          } else {
            takeGroupValue(field, at, value, item);
          }
        }
        if (subscripts.empty() && !overlay) fieldOf_[index] = layout.fields.size();
        layout.fields.push_back(std::move(field));
      }
      if (item.table) subscripts.pop_back();
      if (table != kNoField && element == 0) layout.tables[table].width = layout.fields.size() - layout.tables[table].first;
    }
  }

  // The level 66 entries, as overlays after every field.
  void addRenames(Layout& layout) const {
    for (const Renames& renames : renames_) {
      const std::string what = "RENAMES of '" + renames.name + "': ";
      for (const Item& item : items_)
        if (!item.name.empty() && upperWord(item.name) == upperWord(renames.name))
          refuse(renames.line, what + "'" + renames.name + "' is the name of an item too");
      for (const Renames& other : renames_)
        if (&other != &renames && upperWord(other.name) == upperWord(renames.name))
          refuse(renames.line, what + "'" + renames.name + "' is given twice");
      const std::size_t from = findItem(renames.from, renames.line);
      const std::size_t thru = renames.thru.empty() ? from : findItem(renames.thru, renames.line);
      // A RENAMES of another record of the copybook, or of items left out for another of their REDEFINES.
      if (!marked_[from] || !marked_[thru]) continue;
      for (const std::size_t named : {from, thru}) {
        const Item& item = items_[named];
        if (item.level == 1 || item.level == 77)
          refuse(renames.line, what + "it cannot rename the level " + item.levelWord + " item " + quoted(item));
        if (inTable(named)) refuse(renames.line, what + quoted(item) + " has OCCURS or is in a table");
      }
      for (std::size_t up = items_[thru].parent; up != 0; up = items_[up].parent)
        if (up == from) refuse(renames.line, what + "the THRU item lies within the first item");
      for (std::size_t up = items_[from].parent; up != 0; up = items_[up].parent)
        if (up == thru) refuse(renames.line, what + "the first item lies within the THRU item");
      const Item& first = items_[from];
      const Item& last = items_[thru];
      const std::uint64_t begin = first.at;
      const std::uint64_t end = last.at + last.size;
      if (end <= begin) refuse(renames.line, what + "the THRU item ends before the first item starts");
      for (const Item& item : items_)
        if (!item.depending.empty() && item.at < end && begin < item.at + item.size * item.occurs)
          refuse(renames.line, what + "its bytes hold a table of OCCURS DEPENDING ON");
      LayoutField field;
      if (renames.thru.empty() && isElementary(first)) {
        field = first.field;
      } else {
        if (end - begin > static_cast<std::uint64_t>(kMaxLayoutFieldLength))
          refuse(renames.line, what + "it renames " + std::to_string(end - begin) + " bytes; an alias of a group "
                                       "holds at most " + std::to_string(kMaxLayoutFieldLength));
        field.kind = FieldKind::text;
        field.length = static_cast<std::int32_t>(end - begin);
      }
      field.name = renames.name;
      field.role = FieldRole::overlay;
      field.alias = true;
      field.offset = static_cast<std::size_t>(begin);
      field.origin = text_.where(renames.line);
      layout.fields.push_back(std::move(field));
    }
  }

  const std::string& fileName_;
  const LayoutOptions& options_;
  CopybookText text_;
  std::size_t at_ = 0;             // the next token
  std::vector<Item> items_;        // the entries in order, after the record as a whole (item 0)
  std::vector<std::size_t> open_;  // the items that a following entry may belong to, outermost first
  std::size_t record_ = 0;         // the first 01 entry, once read
  std::vector<std::size_t> records_;  // the 01 entries that redefine none: the copybook's records
  std::vector<bool> chosen_;          // items chosen in place of the others of their REDEFINES
  std::vector<bool> marked_;          // the items of the layout being made
  bool loose_ = false;             // items without an 01 have been read
  int firstLevel_ = 0;             // the level of those items
  std::vector<Renames> renames_;   // the level 66 entries, in order
  // The greatest common divisor of the element sizes of the tables of OCCURS DEPENDING ON laid out so
  // far: every item after them moves by a multiple of it.
  std::uint64_t varyingStep_ = 0;
  std::vector<std::size_t> fieldOf_;  // the field of each item outside tables and overlays, once emitted
};

}  // namespace

Layout parseCopybook(std::string_view text, const std::string& fileName, const LayoutOptions& options,
                     const CopyResolver& resolve) {
  return base::guarded([&] { return CopybookReader(text, fileName, options, resolve).read(); });
}

std::vector<std::string> copybookRecordNames(std::string_view text, const std::string& fileName,
                                             const LayoutOptions& options, const CopyResolver& resolve) {
  return base::guarded([&] { return CopybookReader(text, fileName, options, resolve).recordNames(); });
}

NamedLayout parseCopybookRecord(std::string_view text, const std::string& fileName, std::string_view name,
                                const LayoutOptions& options, const CopyResolver& resolve) {
  return base::guarded([&] { return CopybookReader(text, fileName, options, resolve).read(name); });
}

}  // namespace quor
