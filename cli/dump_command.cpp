#include "dump_command.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "change_messages.hpp"
#include "gaiji_file.hpp"
#include "input_file.hpp"
#include "interruption.hpp"
#include "io_error.hpp"
#include "quor/record.hpp"
#include "quor/text.hpp"
#include "text_convert.hpp"

namespace quor::cli {

namespace {

constexpr std::size_t kBytesALine = 16;

std::uint64_t recordNumber(std::string_view text, const std::string& range) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value == 0)
    throw UsageError("--records " + range + ": expected N, N-M or N- with record numbers from 1");
  return value;
}

// The overlays of a layout (the items of a REDEFINES) as the columns of a layout of their own, in
// their places, so a decoder reads them too.
Layout overlaysAsColumns(const Layout& layout) {
  Layout overlays{{}, layout.recordLength};
  for (const LayoutField& field : layout.fields) {
    if (field.role != FieldRole::overlay) continue;
    overlays.fields.push_back(field);
    overlays.fields.back().role = FieldRole::column;
  }
  return overlays;
}

bool isText(const LayoutField& field) {
  return field.kind == FieldKind::text || field.kind == FieldKind::national || field.kind == FieldKind::editedText ||
         (field.kind == FieldKind::component && (field.format == setCharacter || field.format == setNCharacter));
}

// Reads exactly `bytes.size()` bytes unless the input ends; returns how many were read.
std::size_t readFully(const InputFile& input, std::span<std::uint8_t> bytes) {
  std::size_t held = 0;
  while (held < bytes.size()) {
    const ssize_t got = readInterruptibly(input.fd(), bytes.data() + held, bytes.size() - held);
    if (got < 0) throw ioErrorFromErrno("cannot read " + input.display(), errno);
    if (got == 0) break;
    held += static_cast<std::size_t>(got);
  }
  return held;
}

class Dumper {
 public:
  explicit Dumper(const DumpOptions& options) : Dumper(options, loadGaijiMapping(options.gaijiPath)) {}

 private:
  Dumper(const DumpOptions& options, const GaijiMapping& gaiji)
      : options_(options),
        decoder_(options.layout, RecordOptions{options.convertSign, false, options.host, options.shiftCodes}, gaiji),
        overlayDecoder_(overlaysAsColumns(options.layout),
                        RecordOptions{options.convertSign, false, options.host, options.shiftCodes}, gaiji) {
    nameWidth_ = std::max(nameWidth_, std::string("field ").size() + std::to_string(options.layout.fields.size()).size());
    for (const LayoutField& field : options.layout.fields) nameWidth_ = std::max(nameWidth_, field.name.size());
  }

 public:
  int run() {
    std::vector<std::string> inputs = options_.inputs;
    if (inputs.empty()) inputs.emplace_back("-");
    const std::size_t length = options_.layout.recordLength;
    if (length == 0) throw UsageError("the layout has no bytes");
    std::vector<std::uint8_t> record(length);
    int status = kExitSuccess;
    bool missing = false;
    for (const std::string& name : inputs) {
      const InputFile input(name);
      std::uint64_t number = 1;
      for (;; ++number) {
        if (options_.last && number > *options_.last) break;
        const std::size_t got = readFully(input, record);
        if (got == 0) break;
        if (got < length) {
          std::printf("%s: %zu leftover bytes after the last whole record (records are %zu bytes)\n",
                      input.display().c_str(), got, length);
          status = kExitBadData;
          break;
        }
        if (number < options_.first) continue;
        if (!show(input.display(), number, record)) status = kExitBadData;
      }
      // The input ended before the last record asked for: say so rather than show less in silence.
      const std::uint64_t records = number - 1;
      if (options_.last ? records < *options_.last : options_.first > 1 && records < options_.first) {
        std::fflush(stdout);
        std::fprintf(stderr, "quor: %s holds %s: %s\n", input.display().c_str(),
                     counted(records, "record").c_str(), missingRecords(records).c_str());
        missing = true;
      }
    }
    if (std::fflush(stdout) != 0) throw IoError("cannot write standard output");
    return missing ? kExitUsage : status;
  }

  // What of the records asked for an input of `records` records lacks: "there is no record 5",
  // "records 5 to 9 are not there".
  [[nodiscard]] std::string missingRecords(std::uint64_t records) const {
    const std::uint64_t from = std::max(options_.first, records + 1);
    const std::uint64_t to = options_.last.value_or(from);
    if (from == to) return "there is no record " + std::to_string(from);
    return "records " + std::to_string(from) + " to " + std::to_string(to) + " are not there";
  }

  // Prints one record; false when it holds invalid data.
  bool show(const std::string& display, std::uint64_t number, std::span<const std::uint8_t> record) {
    decoder_.decode(record, values_, faults_, true);
    overlayDecoder_.decode(record, overlayValues_, overlayFaults_, true);
    const std::size_t length = record.size();
    std::printf("%s: record %llu (byte offset %llu, %zu bytes)\n", display.c_str(),
                static_cast<unsigned long long>(number), static_cast<unsigned long long>((number - 1) * length),
                length);
    const Layout& layout = options_.layout;
    std::size_t column = 0;
    std::size_t overlay = 0;
    for (const LayoutField& field : layout.fields) {
      const bool isColumn = field.role == FieldRole::column;
      const std::string name =
          !field.name.empty() ? field.name : isColumn ? "field " + std::to_string(column + 1) : std::string();
      std::string value;
      std::string mark;
      const auto shown = [&](const std::u16string& text) {
        return isText(field) ? shownValue(text, text.size()) : toUtf8(text);
      };
      if (isColumn) {
        value = shown(values_[column]);
        for (const FieldFault& fault : faults_)
          if (fault.column == column)
            mark = "  <- invalid: " + std::string(fault.reason) + " (record byte " + std::to_string(fault.offset) + ")";
        ++column;
      } else if (field.role == FieldRole::overlay) {
        // Bytes a REDEFINES reads another way: invalid there is no fault of the record.
        value = shown(overlayValues_[overlay]) + "  (redefines)";
        for (const FieldFault& fault : overlayFaults_)
          if (fault.column == overlay) value = std::string("(redefines; not valid here: ") + fault.reason + ")";
        ++overlay;
      } else {
        value = field.kind == FieldKind::filler ? "(filler)" : "(constant)";
      }
      printField(field, name, record.subspan(field.offset, std::min(field.size, length - field.offset)), value + mark);
    }
    std::printf("\n");
    return faults_.empty();
  }

  // "  offset  name  hex...  value", the hexadecimal wrapped at 16 bytes a line.
  void printField(const LayoutField& field, const std::string& name, std::span<const std::uint8_t> bytes,
                  const std::string& value) const {
    const int hexWidth = static_cast<int>(kBytesALine * 3 - 1);
    for (std::size_t start = 0; start < std::max<std::size_t>(bytes.size(), 1); start += kBytesALine) {
      const std::size_t count = std::min(kBytesALine, bytes.size() - std::min(start, bytes.size()));
      const std::string hex = hexPairs(bytes.data() + start, count);
      if (start == 0)
        std::printf("  %6zu  %-*s  %-*s  %s\n", field.offset, static_cast<int>(nameWidth_), name.c_str(),
                    hexWidth, hex.c_str(), value.c_str());
      else
        std::printf("  %6s  %-*s  %s\n", "", static_cast<int>(nameWidth_), "", hex.c_str());
    }
  }

  const DumpOptions& options_;
  const RecordDecoder decoder_;
  const RecordDecoder overlayDecoder_;  // the overlays, read as columns
  std::size_t nameWidth_ = 4;
  std::vector<std::u16string> values_;
  std::vector<FieldFault> faults_;
  std::vector<std::u16string> overlayValues_;
  std::vector<FieldFault> overlayFaults_;
};

}  // namespace

void parseRecordRange(const std::string& text, DumpOptions& options) {
  const std::size_t dash = text.find('-');
  if (dash == std::string::npos) {
    options.first = recordNumber(text, text);
    options.last = options.first;
    return;
  }
  options.first = recordNumber(std::string_view(text).substr(0, dash), text);
  if (dash + 1 < text.size()) options.last = recordNumber(std::string_view(text).substr(dash + 1), text);
  if (options.last && *options.last < options.first)
    throw UsageError("--records " + text + ": the last record comes before the first");
}

int runDump(const DumpOptions& options) {
  Dumper dumper(options);
  return dumper.run();
}

}  // namespace quor::cli
