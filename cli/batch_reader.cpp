#include "batch_reader.hpp"

#include <algorithm>
#include <string_view>

#include "io_error.hpp"
#include "quor/quor.hpp"
#include "quor/text.hpp"

namespace quor::cli {

namespace {

std::string_view trimmed(std::string_view name) {
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  return name;
}

bool sameLettersInAnyCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

BatchReader::BatchReader(const std::vector<std::string>& names, const ReadRules& rules, const Layout& layout,
                         std::size_t batchLines, std::size_t batchBytes)
    : names_(names), rules_(rules), layout_(layout), batchLines_(batchLines), batchBytes_(batchBytes) {}

bool BatchReader::done() {
  if (reader_) return false;
  if (next_ == names_.size()) return true;
  file_ = std::make_unique<InputFile>(names_[next_]);
  ++next_;
  displays_.push_back(file_->display());
  reader_ = std::make_unique<RecordReader>(file_->fd(), file_->display(), RecordReader::kDefaultBlock,
                                           RecordReader::kLongestLine, rules_.csv, rules_.form);
  order_.reset();
  if (rules_.header) readHeader();
  return false;
}

std::size_t BatchReader::columnNamed(const std::vector<std::size_t>& columns, std::string_view name,
                                     const std::string& where) const {
  const auto fieldName = [&](std::size_t k) -> const std::string& { return layout_.fields[columns[k]].name; };
  for (std::size_t k = 0; k < columns.size(); ++k)
    if (fieldName(k) == name) return k;
  // Else the one field whose name differs only in the case of its letters A to Z.
  std::vector<std::size_t> alike;
  for (std::size_t k = 0; k < columns.size(); ++k)
    if (sameLettersInAnyCase(fieldName(k), name)) alike.push_back(k);
  if (alike.size() == 1) return alike.front();
  if (alike.empty())
    throw UsageError(where + "the header's column '" + std::string(name) + "' is no field of the layout");
  throw UsageError(where + "the header's column '" + std::string(name) +
                   "' is no field of the layout, and the fields '" + fieldName(alike[0]) + "' and '" +
                   fieldName(alike[1]) +
                   "' differ from it only in letter case: it must name one of them exactly");
}

void BatchReader::readHeader() {
  std::string_view record;
  if (!reader_->next(record)) return;  // an empty input: no header, no records
  const std::string where = file_->display() + ":" + std::to_string(reader_->lineNumber()) + ": ";
  if (reader_->tooLong()) throw UsageError(where + "the header line is longer than 64 MiB");
  // The names as UTF-8.
  std::vector<std::string> names;
  const auto addName = [&](std::string_view bytes) {
    if (rules_.encoding == TextEncoding::utf8) {
      names.emplace_back(bytes);
      return;
    }
    std::u16string text(bytes.size(), u'\0');
    const TextDecodeResult read = decodeCp932(bytes, text.data());
    if (!read.ok) throw UsageError(where + "the header is not valid code page 932 text");
    names.push_back(toUtf8(std::u16string_view(text.data(), read.length)));
  };
  // One name more than the layout's columns is enough to find the name too many: memory stays small
  // however many names the line holds.
  const std::size_t most = layout_.columns().size() + 1;
  if (rules_.csv) {
    CsvSplitter splitter(*rules_.csv);
    try {
      for (const CsvField& field : splitter.split(record, most)) addName(field.text);
    } catch (const Error& e) {
      throw UsageError(where + "the header is no CSV record: " + e.what());
    }
  } else {
    std::vector<std::string_view> items;
    listItems(record, items, most);
    for (const std::string_view item : items) addName(item);
  }
  // Every column of the layout by its name, in any order; every name a column of the layout.
  const std::vector<std::size_t> columns = layout_.columns();
  auto order = std::make_shared<std::vector<std::size_t>>(columns.size(), names.size());
  for (std::size_t j = 0; j < names.size(); ++j) {
    const std::string_view name = trimmed(names[j]);
    const std::size_t k = columnNamed(columns, name, where);
    if ((*order)[k] != names.size()) {
      const std::string_view first = trimmed(names[(*order)[k]]);
      if (first == name)
        throw UsageError(where + "the header names the column '" + std::string(name) + "' twice");
      throw UsageError(where + "the header's columns '" + std::string(first) + "' and '" + std::string(name) +
                       "' both name the field '" + layout_.fields[columns[k]].name + "'");
    }
    (*order)[k] = j;
  }
  for (std::size_t k = 0; k < columns.size(); ++k)
    if ((*order)[k] == names.size())
      throw UsageError(where + "the header has no column for the field '" + layout_.fields[columns[k]].name + "'");
  order_ = std::move(order);
}

void BatchReader::fill(Batch& batch) {
  batch.clearLines();
  batch.input = displays_.size() - 1;
  batch.order = order_;
  const auto fillWithLongLine = [&](std::uint64_t lineNumber) {
    batch.lines.push_back(lineNumber);
    batch.starts.push_back(0);
    batch.ends.push_back(0);
    batch.lineTooLong = true;
    batch.utf16 = reader_->utf16();
    batch.bytesRead = bytesRead_ + reader_->bytesRead();
  };
  if (longLine_ != 0) {
    fillWithLongLine(longLine_);
    longLine_ = 0;
    return;
  }
  std::string_view record;
  const auto add = [&](std::size_t start, std::size_t end, std::uint64_t line) {
    if (start == end && rules_.skipBlankLines) return;
    batch.utf16 = reader_->utf16();
    batch.lines.push_back(line);
    batch.starts.push_back(start);
    batch.ends.push_back(end);
  };
  while (batch.lineCount() < batchLines_ && batch.text.size() < batchBytes_) {
    // The records whole in the reader's buffer, copied in one piece with their line ends.
    if (reader_->take(batchLines_ - batch.lineCount(), batchBytes_ - batch.text.size(), cuts_) > 0) {
      const std::size_t from = cuts_.front().begin;
      const std::size_t base = batch.text.size();
      batch.text.append(reader_->at(from), cuts_.back().begin + cuts_.back().length - from);
      for (const RecordReader::Cut& cut : cuts_)
        add(base + cut.begin - from, base + cut.begin - from + cut.length, cut.line);
      batch.bytesRead = bytesRead_ + reader_->bytesRead();
      continue;
    }
    if (batch.lineCount() > 0 && !reader_->lineAtHand()) return;
    if (!reader_->next(record)) {
      bytesRead_ += reader_->bytesRead();
      reader_.reset();
      file_.reset();
      return;
    }
    if (reader_->tooLong()) {
      if (batch.lineCount() == 0)
        fillWithLongLine(reader_->lineNumber());
      else
        longLine_ = reader_->lineNumber();
      return;
    }
    const std::size_t start = batch.text.size();
    batch.text.append(record);
    add(start, batch.text.size(), reader_->lineNumber());
    batch.bytesRead = bytesRead_ + reader_->bytesRead();
  }
}

}  // namespace quor::cli
