#include "record_encoder.hpp"

#include "quor/quor.hpp"
#include "quor/text.hpp"

namespace quor::cli {

namespace {

// "1 item", "2 items".
std::string counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

RecordEncoder::RecordEncoder(const RecordRules& rules, const GaijiMapping& mapping)
    : rules_(rules), builder_(rules.layout, rules.convertSign, mapping), changes_(rules.layout.fields.size()) {
  items_.reserve(rules.layout.fields.size());
}

void RecordEncoder::encode(Batch& batch) noexcept {
  batch.records.clear();
  batch.recordEnds.clear();
  batch.badLines.clear();
  batch.changes = {};
  batch.failure = nullptr;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < batch.lineCount(); ++i) {
    const std::string_view line(batch.text.data() + begin, batch.ends[i] - begin);
    begin = batch.ends[i];
    try {
      if (!encodeLine(line, batch)) batch.badLines.push_back({i, std::move(problem_)});
    } catch (...) {
      batch.failure = std::current_exception();
      batch.failedLine = i;
      return;
    }
  }
}

bool RecordEncoder::encodeLine(std::string_view line, Batch& batch) {
  // Neither encoding gives more UTF-16 units than it has bytes.
  if (text_.size() < line.size()) text_.resize(line.size());
  const bool utf8 = rules_.encoding == InputEncoding::utf8;
  const TextDecodeResult decoded = utf8 ? decodeUtf8(line, text_.data()) : decodeCp932(line, text_.data());
  if (!decoded.ok) {
    problem_ = "byte " + std::to_string(decoded.errorOffset + 1) + ": not valid " +
               (utf8 ? "UTF-8" : "code page 932") + " text";
    return false;
  }
  const Layout& layout = rules_.layout;
  listItems(std::u16string_view(text_.data(), decoded.length), items_);
  if (items_.size() != layout.fields.size()) {
    problem_ = (items_.empty() ? std::string("empty line") : counted(items_.size(), "item")) + ", the layout has " +
               counted(layout.fields.size(), "field");
    return false;
  }
  record_.clear();
  try {
    builder_.append(items_, record_, changes_);
  } catch (const Error& error) {
    const std::string what = "error " + std::to_string(error.number()) + ": " + error.what();
    problem_ = error.field() == 0 ? what : layout.describe(error.field() - 1) + ": " + what;
    return false;
  }
  // Values written other than they read: under --strict the first makes the record bad.
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (changes_[i].kind == Change::none) continue;
    if (rules_.strict) {
      problem_ = layout.describe(i) + ": " + describeChange(changes_[i], items_[i], layout.fields[i]);
      return false;
    }
  }
  for (const ValueChange& change : changes_)
    if (change.kind != Change::none) ++batch.changes[static_cast<std::size_t>(change.kind)];
  batch.records.insert(batch.records.end(), record_.begin(), record_.end());
  batch.recordEnds.push_back(batch.records.size());
  return true;
}

}  // namespace quor::cli
