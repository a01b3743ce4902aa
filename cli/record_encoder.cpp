#include "record_encoder.hpp"

#include <algorithm>

#include "change_messages.hpp"
#include "quor/quor.hpp"
#include "quor/record_problem.hpp"
#include "quor/text.hpp"
#include "record_reader.hpp"
#include "text_convert.hpp"

namespace quor::cli {

namespace {

// The bytes of records an encoder keeps its storage for from batch to batch.
constexpr std::size_t kKeptStorage = std::size_t{1} << 20;

}  // namespace

RecordEncoder::RecordEncoder(const RecordRules& rules, const GaijiMapping& mapping,
                             const std::vector<EncodePlan>& plans)
    : rules_(rules) {
  ways_.reserve(rules.layouts.size());
  for (std::size_t i = 0; i < rules.layouts.size(); ++i) {
    const NamedLayout& layout = rules.layouts[i];
    Way way{&layout,
            RecordBuilder(layout.layout, rules.recordOptions(), mapping),
            &plans[i],
            layout.layout.columns(),
            {}};
    // A line names its layout in the input's encoding.
    if (rules.encoding == TextEncoding::cp932)
      appendCp932(toUtf16(layout.name, "a record name"), way.name);
    else
      way.name = layout.name;
    mostColumns_ = std::max(mostColumns_, way.columns.size());
    ways_.push_back(std::move(way));
  }
  if (rules.csv) splitter_.emplace(*rules.csv);
  values_.reserve(mostColumns_);
  items_.reserve(mostColumns_);
  changes_.resize(mostColumns_);
}

void RecordEncoder::encode(Batch& batch) noexcept {
  batch.records.clear();
  batch.recordEnds.clear();
  batch.badLines.clear();
  batch.changes = {};
  batch.changed.clear();
  batch.failure = nullptr;
  if (batch.lineTooLong) {
    // The reader sends such a line alone, without its text: it is bad as it stands.
    try {
      batch.badLines.push_back({0, RecordReader::kTooLong});
    } catch (...) {
      batch.failure = std::current_exception();
      batch.failedLine = 0;
    }
    return;
  }
  std::size_t longest = 0;
  for (std::size_t i = 0; i < batch.lineCount(); ++i) {
    const std::string_view record(batch.text.data() + batch.starts[i], batch.ends[i] - batch.starts[i]);
    longest = std::max(longest, record.size());
    try {
      if (!encodeRecord(record, i, batch)) batch.badLines.push_back({i, std::move(problem_)});
    } catch (...) {
      batch.failure = std::current_exception();
      batch.failedLine = i;
      break;
    }
  }
  // Storage grown for a long record is given back, so a few long lines leave no encoder holding
  // their size for the rest of the run.
  if (longest > kKeptStorage) {
    std::u16string().swap(text_);
    if (rules_.csv) splitter_.emplace(*rules_.csv);
  }
}

bool RecordEncoder::cut(std::string_view record) {
  // At most the most values a layout takes (and the layout's name) are kept, the others only counted,
  // so a line of millions of delimiters takes no memory for them.
  const std::size_t most = mostColumns_ + (rules_.named() ? 1 : 0);
  if (splitter_) {
    try {
      cutValues_ = splitter_->texts(record, most);
    } catch (const Error& error) {
      if (error.number() != errors::kInvalidCall) throw;
      problem_ = std::string("not a CSV record: ") + error.what();
      return false;
    }
    valueCount_ = splitter_->fieldCount();
    return true;
  }
  listed_.clear();
  valueCount_ = listItems(record, listed_, most);
  cutValues_ = listed_;
  return true;
}

bool RecordEncoder::layoutNamed(std::string_view name, std::size_t& way) {
  for (way = 0; way < ways_.size(); ++way)
    if (ways_[way].name == name) return true;
  std::string names;
  for (const Way& each : ways_) names += (names.empty() ? "" : ", ") + each.layout->name;
  const bool utf8 = rules_.encoding == TextEncoding::utf8;
  std::u16string text(name.size(), u'\0');
  const TextDecodeResult read = utf8 ? decodeUtf8(name, text.data()) : decodeCp932(name, text.data());
  text.resize(read.length);
  problem_ = "the first value names the record's layout, and " +
             (read.ok ? shownValue(text) : std::string("it")) + " is none of " + names;
  return false;
}

bool RecordEncoder::typeMatches(std::size_t way, std::span<const std::uint8_t> record) {
  const RecordSelector* selector = rules_.selector;
  if (selector == nullptr) return true;
  const std::string& field = selector->field().name;
  if (record.size() < selector->bytesNeeded()) {
    problem_ = "the record ends before its type field " + field;
    return false;
  }
  const std::size_t selected = selector->select(record);
  if (selected == way) return true;
  const char* fault = nullptr;
  const std::u16string value = selector->valueOf(record, fault);
  const std::string& name = ways_[way].layout->name;
  problem_ =
      "its type field " + field +
      (fault != nullptr ? " cannot be read (" + std::string(fault) + ")" : " holds " + shownValue(value));
  problem_ +=
      selected == kNoLayout ? ", which no --type names" : ", which selects " + ways_[selected].layout->name;
  if (!name.empty()) problem_ += ", not " + name;
  return false;
}

bool RecordEncoder::encodeRecord(std::string_view record, std::size_t index, Batch& batch) {
  if (rules_.json != nullptr) return buildJsonRecord(record, index, batch);
  // The fast way: values cut from the bytes, written by the plan where it can.
  const bool cutWhole = !record.empty() && cut(record);
  std::size_t way = 0;
  if (cutWhole && rules_.named() && !layoutNamed(cutValues_.front(), way)) return false;
  const Way& w = ways_[way];
  const std::size_t first = rules_.named() ? 1 : 0;
  const std::size_t given = cutWhole ? valueCount_ - first : 0;
  // A V or VB record may end before its last columns; the plan writes such a record as it does a whole
  // one, and a line whose columns come in a header's order the general way.
  const bool whole = given == w.columns.size();
  if (cutWhole && (whole || (given > 0 && given < w.columns.size() && rules_.shortRecords && !batch.order))) {
    std::span<const std::string_view> values(cutValues_.data() + first, given);
    if (batch.order) {
      values_.clear();
      for (const std::size_t j : *batch.order) values_.push_back(cutValues_[j]);
      values = values_;
    }
    const std::size_t start = batch.records.size();
    batch.records.resize(start + w.layout->layout.recordLength);
    const std::size_t length = whole ? w.plan->encode(values, batch.records.data() + start)
                                     : w.plan->encodeFirst(values, batch.records.data() + start);
    if (length != 0) {
      batch.records.resize(start + length);
      if (!typeMatches(way, {batch.records.data() + start, length})) {
        batch.records.resize(start);
        return false;
      }
      batch.recordEnds.push_back(batch.records.size());
      return true;
    }
    batch.records.resize(start);
  }
  return buildRecord(record, cutWhole, way, index, batch);
}

bool RecordEncoder::buildRecord(std::string_view record, bool cutWhole, std::size_t way, std::size_t index,
                                Batch& batch) {
  const Way& w = ways_[way];
  const std::size_t columns = w.columns.size();
  if (record.empty()) {
    problem_ = rules_.named() ? "empty line: each line names its record's layout first"
                              : "empty line, the layout has " + counted(columns, "field");
    problem_ += "; --skip-blank-lines skips empty lines";
    return false;
  }
  // A count of values other than the layout's is said before any value is decoded: so a line of
  // millions of values is refused without converting them.
  const std::size_t first = rules_.named() ? 1 : 0;
  const std::size_t given = cutWhole ? valueCount_ - first : 0;
  if (cutWhole && given != columns && !(given < columns && given > 0 && rules_.shortRecords)) {
    problem_ = counted(given, "item") + ", the layout " +
               (w.layout->name.empty() ? "" : w.layout->name + " ") + "has " + counted(columns, "field");
    // What a spreadsheet saves as "Unicode text" is cut at tabs.
    if (valueCount_ == 1 && rules_.csv && rules_.csv->delimiter != '\t' &&
        record.find('\t') != std::string_view::npos)
      problem_ += " (the line holds tabs: --delimiter '\\t' cuts at them)";
    return false;
  }
  // Neither encoding gives more UTF-16 units than it has bytes.
  if (text_.size() < record.size()) text_.resize(record.size());
  const bool utf8 = rules_.encoding == TextEncoding::utf8;
  const TextDecodeResult decoded = utf8 ? decodeUtf8(record, text_.data()) : decodeCp932(record, text_.data());
  if (!decoded.ok && batch.utf16) {
    // The byte of the UTF-16 line: two a unit before it, a character beyond U+FFFF (four bytes of
    // UTF-8, a lead byte from 0xF0) two units.
    std::size_t units = 0;
    for (const char c : record.substr(0, decoded.errorOffset)) {
      const auto b = static_cast<unsigned char>(c);
      units += (b & 0xC0) == 0x80 ? 0 : b >= 0xF0 ? 2 : 1;
    }
    problem_ = "byte " + std::to_string(2 * units + 1) +
               ": not valid UTF-16 text (a surrogate without its pair, or an odd last byte)";
    return false;
  }
  if (!decoded.ok) {
    problem_ = "byte " + std::to_string(decoded.errorOffset + 1) + ": not valid " + (utf8 ? "UTF-8" : "code page 932") +
               " text";
    // A line that is not UTF-8 but reads as code page 932 text is most likely from a Japanese Windows
    // program; bytes that read only as user-defined characters are no sign of it.
    if (utf8) {
      const TextDecodeResult cp932 = decodeCp932(record, text_.data());
      const std::u16string_view read(text_.data(), cp932.length);
      if (cp932.ok && std::none_of(read.begin(), read.end(), isUserDefined))
        problem_ += " (it reads as code page 932: try --encoding cp932)";
    }
    return false;
  }
  if (!cutWhole) return false;  // problem_ says how the CSV is malformed
  // Each value decoded on its own (the record is valid text, so each value is).
  itemEnds_.clear();
  std::size_t used = 0;
  for (const std::string_view value : cutValues_) {
    const TextDecodeResult read = utf8 ? decodeUtf8(value, text_.data() + used) : decodeCp932(value, text_.data() + used);
    used += read.length;
    itemEnds_.push_back(used);
  }
  items_.clear();
  for (std::size_t k = 0; k < given; ++k) {
    const std::size_t j = batch.order ? (*batch.order)[k] : first + k;
    const std::size_t from = j == 0 ? 0 : itemEnds_[j - 1];
    items_.emplace_back(text_.data() + from, itemEnds_[j] - from);
  }
  return buildItems(way, given, index, batch);
}

bool RecordEncoder::buildJsonRecord(std::string_view record, std::size_t index, Batch& batch) {
  if (record.empty()) {
    problem_ = "empty line, where a JSON object is expected; --skip-blank-lines skips empty lines";
    return false;
  }
  JsonLinesReader::Read read;
  try {
    read = rules_.json->read(record, jsonValues_);
  } catch (const Error& error) {
    if (error.number() != errors::kInvalidCall) throw;
    problem_ = error.what();
    return false;
  }
  const Way& w = ways_[read.layout];
  if (read.present < w.columns.size() && !rules_.shortRecords) {
    problem_ = "\"" + w.layout->layout.fields[w.columns[read.present]].name +
               "\" is null: only V and VB records end before their last fields";
    return false;
  }
  items_.assign(jsonValues_.begin(), jsonValues_.begin() + static_cast<std::ptrdiff_t>(read.present));
  return buildItems(read.layout, read.present, index, batch);
}

bool RecordEncoder::buildItems(std::size_t way, std::size_t given, std::size_t index, Batch& batch) {
  const Way& w = ways_[way];
  const Layout& layout = w.layout->layout;
  const std::span<ValueChange> changes(changes_.data(), given);
  record_.clear();
  try {
    // A short record ends where its first absent field starts.
    ways_[way].builder.appendFirstColumns(items_, record_, changes);
  } catch (const Error& error) {
    problem_ = failure(way, error);
    return false;
  }
  for (std::size_t i = 0; i < given; ++i) {
    const ValueChange& change = changes[i];
    if (change.kind == Change::none) continue;
    std::string problem = changeProblem(layout, i, items_[i], change).text();
    if (!rules_.lenient) {
      problem_ = std::move(problem);
      return false;
    }
    ++batch.changes[tallyKind(change, layout.fields[w.columns[i]])];
    if (batch.changed.size() < Batch::kListedChanges) batch.changed.push_back({index, std::move(problem)});
  }
  if (!typeMatches(way, {record_.data(), record_.size()})) return false;
  batch.records.insert(batch.records.end(), record_.begin(), record_.end());
  batch.recordEnds.push_back(batch.records.size());
  return true;
}

std::string RecordEncoder::failure(std::size_t way, const Error& error) const {
  return failureProblem(ways_[way].layout->layout, error, items_, changes_).text();
}

}  // namespace quor::cli
