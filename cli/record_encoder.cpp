#include "record_encoder.hpp"

#include <algorithm>

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
    : rules_(rules),
      builder_(rules.layout, rules.convertSign, mapping),
      columns_(rules.layout.columns()),
      changes_(columns_.size()) {
  items_.reserve(columns_.size());
}

void RecordEncoder::encode(Batch& batch) noexcept {
  batch.records.clear();
  batch.recordEnds.clear();
  batch.badLines.clear();
  batch.changes = {};
  batch.changed.clear();
  batch.failure = nullptr;
  std::size_t begin = 0;
  for (std::size_t i = 0; i < batch.lineCount(); ++i) {
    const std::string_view line(batch.text.data() + begin, batch.ends[i] - begin);
    begin = batch.ends[i];
    try {
      if (!encodeLine(line, i, batch)) batch.badLines.push_back({i, std::move(problem_)});
    } catch (...) {
      batch.failure = std::current_exception();
      batch.failedLine = i;
      return;
    }
  }
}

bool RecordEncoder::encodeLine(std::string_view line, std::size_t index, Batch& batch) {
  // Neither encoding gives more UTF-16 units than it has bytes.
  if (text_.size() < line.size()) text_.resize(line.size());
  const bool utf8 = rules_.encoding == InputEncoding::utf8;
  const TextDecodeResult decoded = utf8 ? decodeUtf8(line, text_.data()) : decodeCp932(line, text_.data());
  if (!decoded.ok) {
    problem_ = "byte " + std::to_string(decoded.errorOffset + 1) + ": not valid " +
               (utf8 ? "UTF-8" : "code page 932") + " text";
    // A line that is not UTF-8 but reads as code page 932 text is most likely from a Japanese Windows
    // program; bytes that read only as user-defined characters are no sign of it.
    if (utf8) {
      const TextDecodeResult cp932 = decodeCp932(line, text_.data());
      const std::u16string_view read(text_.data(), cp932.length);
      if (cp932.ok && std::none_of(read.begin(), read.end(), [](char16_t c) { return c >= 0xE000 && c <= 0xF8FF; }))
        problem_ += " (it reads as code page 932: try --encoding cp932)";
    }
    return false;
  }
  const Layout& layout = rules_.layout;
  listItems(std::u16string_view(text_.data(), decoded.length), items_);
  if (items_.size() != columns_.size()) {
    problem_ = (items_.empty() ? std::string("empty line") : counted(items_.size(), "item")) + ", the layout has " +
               counted(columns_.size(), "field");
    return false;
  }
  record_.clear();
  try {
    builder_.append(items_, record_, changes_);
  } catch (const Error& error) {
    problem_ = failure(error);
    return false;
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const ValueChange& change = changes_[i];
    if (change.kind == Change::none) continue;
    const std::size_t field = columns_[i];
    std::string problem = fieldProblem(layout, field, items_[i], describeChange(change, items_[i], layout.fields[field]));
    if (!rules_.lenient) {
      problem_ = std::move(problem);
      return false;
    }
    ++batch.changes[static_cast<std::size_t>(change.kind)];
    if (batch.changed.size() < Batch::kListedChanges) batch.changed.push_back({index, std::move(problem)});
  }
  batch.records.insert(batch.records.end(), record_.begin(), record_.end());
  batch.recordEnds.push_back(batch.records.size());
  return true;
}

std::string RecordEncoder::failure(const Error& error) const {
  const std::string number = "error " + std::to_string(error.number());
  if (error.field() == 0 || error.field() > items_.size()) return number + ": " + error.what();
  // The field's change, found before its encoder failed, says best what is wrong with the value.
  const std::size_t i = error.field() - 1;
  const LayoutField& field = rules_.layout.fields[columns_[i]];
  const ValueChange& change = changes_[i];
  const std::string words = change.kind != Change::none
                                ? describeChange(change, items_[i], field)
                                : describeFailure(error.number(), items_[i], field) + " (" + number + ")";
  return fieldProblem(rules_.layout, columns_[i], items_[i], words);
}

}  // namespace quor::cli
