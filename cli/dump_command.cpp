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
#include "record_faults.hpp"
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

bool isText(const LayoutField& field) {
  return field.kind == FieldKind::text || field.kind == FieldKind::national ||
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
      : options_(options), decoder_(options.layout, recordOptions(options), gaiji) {
    nameWidth_ = std::max(nameWidth_, std::string("field ").size() + std::to_string(options.layout.fields.size()).size());
    for (const LayoutField& field : options.layout.fields) nameWidth_ = std::max(nameWidth_, field.name.size());
    if (options.layout.varies()) nameWidth_ = std::max(nameWidth_, std::string("(padding)").size());
  }

  static RecordOptions recordOptions(const DumpOptions& options) {
    RecordOptions record{options.convertSign, false, options.host, options.shiftCodes};
    record.padVarying = options.padVarying;
    return record;
  }

 public:
  int run() {
    std::vector<std::string> inputs = options_.inputs;
    if (inputs.empty()) inputs.emplace_back("-");
    if (options_.layout.recordLength == 0) throw UsageError("the layout has no bytes");
    int status = kExitSuccess;
    bool missing = false;
    std::vector<std::uint8_t> held;  // the bytes read and not yet shown
    for (const std::string& name : inputs) {
      const InputFile input(name);
      held.clear();
      std::uint64_t offset = 0;  // of held's first byte in the input
      std::uint64_t number = 1;
      for (;; ++number) {
        if (options_.last && number > *options_.last) break;
        // As many bytes as the record at hand takes: the layout's length, or what its counters say.
        RecordExtent extent = decoder_.extent(held);
        while (!extent.fault && extent.length > held.size()) {
          const std::size_t before = held.size();
          held.resize(extent.length);
          const std::size_t got = readFully(input, std::span(held).subspan(before));
          held.resize(before + got);
          if (got == 0) break;
          extent = decoder_.extent(held);
        }
        if (held.empty()) break;
        if (extent.fault) {
          std::printf("%s\n", (faultMessage(input.display() + ": record " + std::to_string(number), offset,
                                            options_.layout, held, *extent.fault) +
                               "; the records after it cannot be found")
                                  .c_str());
          status = kExitBadData;
          break;
        }
        if (extent.length > held.size()) {
          if (options_.layout.varies() && !options_.padVarying)
            std::printf("%s: %zu leftover bytes after the last whole record (the record there would be %zu bytes)\n",
                        input.display().c_str(), held.size(), extent.length);
          else
            std::printf("%s: %zu leftover bytes after the last whole record (records are %zu bytes)\n",
                        input.display().c_str(), held.size(), extent.length);
          status = kExitBadData;
          break;
        }
        const std::span<const std::uint8_t> record(held.data(), extent.length);
        if (number >= options_.first && !show(input.display(), number, offset, record)) status = kExitBadData;
        held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(extent.length));
        offset += extent.length;
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

  // Prints one record, `start` bytes into its input; false when it holds invalid data.
  bool show(const std::string& display, std::uint64_t number, std::uint64_t start,
            std::span<const std::uint8_t> record) {
    decoder_.decode(record, values_, faults_, true);
    decoder_.decodeOverlays(record, overlayValues_, overlayFaults_, true);
    const bool placed = decoder_.placeFields(record, offsets_);
    std::printf("%s: record %llu (byte offset %llu, %zu bytes)\n", display.c_str(),
                static_cast<unsigned long long>(number), static_cast<unsigned long long>(start), record.size());
    const Layout& layout = options_.layout;
    std::size_t column = 0;
    std::size_t overlay = 0;
    std::size_t end = 0;  // of the record's own bytes, before any padding
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
      const LayoutField& field = layout.fields[i];
      const bool isColumn = field.role == FieldRole::column;
      const std::string name =
          !field.name.empty() ? field.name : isColumn ? "field " + std::to_string(column + 1) : std::string();
      // Where the field lies in this record: unknown after a counter that gives no count.
      const bool known = placed || !layout.varies() || i < layout.tables.front().first;
      const std::size_t offset = known ? (placed ? offsets_[i] : field.offset) : kAbsentField;
      std::string value;
      std::string mark;
      const auto shown = [&](const std::u16string& text) {
        return isText(field) ? shownValue(text, text.size()) : toUtf8(text);
      };
      if (isColumn) {
        value = shown(values_[column]);
        for (const FieldFault& fault : faults_)
          if (fault.column == column)
            mark = "  <- invalid: " + std::string(fault.reason) + countedTables(layout, i) + " (record byte " +
                   std::to_string(fault.offset) + ")";
        ++column;
      } else if (field.role == FieldRole::overlay) {
        // Bytes a REDEFINES or RENAMES reads another way: invalid there is no fault of the record.
        const char* kind = field.alias ? "renames" : "redefines";
        value = shown(overlayValues_[overlay]) + "  (" + kind + ")";
        for (const FieldFault& fault : overlayFaults_)
          if (fault.column == overlay) value = "(" + std::string(kind) + "; not valid here: " + fault.reason + ")";
        ++overlay;
      } else {
        value = field.kind == FieldKind::filler ? "(filler)" : "(constant)";
      }
      if (offset == kAbsentField) {
        if (!known)
          value = "(not placed: a counter before it holds no count)";
        else if (mark.empty())
          value = "(absent)";
        std::printf("  %6s  %-*s  %-*s  %s\n", "-", static_cast<int>(nameWidth_), name.c_str(),
                    static_cast<int>(kBytesALine * 3 - 1), "", (value + mark).c_str());
        continue;
      }
      if (field.role != FieldRole::overlay) end = std::max(end, offset + field.size);
      printField(offset, name, record.subspan(offset, std::min(field.size, record.size() - offset)), value + mark);
    }
    if (placed && end < record.size())
      printField(end, "(padding)", record.subspan(end), "(to the longest record's length)");
    std::printf("\n");
    return faults_.empty();
  }

  // "  offset  name  hex...  value", the hexadecimal wrapped at 16 bytes a line.
  void printField(std::size_t offset, const std::string& name, std::span<const std::uint8_t> bytes,
                  const std::string& value) const {
    const int hexWidth = static_cast<int>(kBytesALine * 3 - 1);
    for (std::size_t start = 0; start < std::max<std::size_t>(bytes.size(), 1); start += kBytesALine) {
      const std::size_t count = std::min(kBytesALine, bytes.size() - std::min(start, bytes.size()));
      const std::string hex = hexPairs(bytes.data() + start, count);
      if (start == 0)
        std::printf("  %6zu  %-*s  %-*s  %s\n", offset, static_cast<int>(nameWidth_), name.c_str(), hexWidth,
                    hex.c_str(), value.c_str());
      else
        std::printf("  %6s  %-*s  %s\n", "", static_cast<int>(nameWidth_), "", hex.c_str());
    }
  }

  const DumpOptions& options_;
  const RecordDecoder decoder_;
  std::size_t nameWidth_ = 4;
  std::vector<std::u16string> values_;
  std::vector<FieldFault> faults_;
  std::vector<std::u16string> overlayValues_;
  std::vector<FieldFault> overlayFaults_;
  std::vector<std::size_t> offsets_;
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
