#include "dump_command.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

#include "change_messages.hpp"
#include "framed_input.hpp"
#include "gaiji_file.hpp"
#include "input_file.hpp"
#include "interruption.hpp"
#include "io_error.hpp"
#include "quor/record.hpp"
#include "quor/record_problem.hpp"
#include "quor/record_types.hpp"
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
  return field.kind == FieldKind::text || field.kind == FieldKind::national || field.kind == FieldKind::editedText ||
         (field.kind == FieldKind::component && (field.format == setCharacter || field.format == setNCharacter));
}

// A byte's text in the dump of a record's bytes: the single-byte character it is on the host code page
// (EBCDIC with katakana on Fujitsu's), or "." for a control character or a byte of none.
std::vector<std::string> byteTexts(HostCodePage host) {
  Layout one;
  LayoutField field;
  field.kind = FieldKind::text;
  field.length = 1;
  one.fields.push_back(field);
  finishLayout(one);
  const RecordDecoder decoder(one, RecordOptions{true, true, host, false});
  std::vector<std::string> texts(256, ".");
  std::vector<std::u16string> values;
  std::vector<FieldFault> faults;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::uint8_t bytes[] = {static_cast<std::uint8_t>(byte)};
    decoder.decode(bytes, values, faults);
    if (faults.empty() && values[0].size() == 1 && values[0][0] >= 0x20 && values[0][0] != 0x7F &&
        !(values[0][0] >= 0x80 && values[0][0] < 0xA0))
      texts[byte] = toUtf8(values[0]);
  }
  return texts;
}

class Dumper {
 public:
  explicit Dumper(const DumpOptions& options) : Dumper(options, loadGaijiMapping(options.gaijiPath)) {}

 private:
  // What each record layout is read with.
  struct Way {
    const NamedLayout* layout;
    RecordDecoder decoder;
  };

  Dumper(const DumpOptions& options, const GaijiMapping& gaiji)
      : options_(options), byteTexts_(byteTexts(options.host)) {
    RecordOptions recordOptions{options.convertSign, false, options.host, options.shiftCodes};
    recordOptions.padVarying = options.padVarying;
    recordOptions_ = recordOptions;
    const RecordLayouts& records = options.shape.records;
    ways_.reserve(records.layouts.size());
    for (const NamedLayout& layout : records.layouts) {
      ways_.push_back(Way{&layout, RecordDecoder(layout.layout, recordOptions, gaiji)});
      if (layout.layout.varies()) nameWidth_ = std::max(nameWidth_, std::string("(padding)").size());
      nameWidth_ = std::max(
          nameWidth_, std::string("field ").size() + std::to_string(layout.layout.fields.size()).size());
      for (const LayoutField& field : layout.layout.fields)
        nameWidth_ = std::max(nameWidth_, field.name.size());
    }
    selector_ = records.selector(recordOptions, gaiji);
  }

 public:
  int run() {
    const RecordLayouts& records = options_.shape.records;
    if (records.unchosen)
      throw UsageError("the layouts describe " + std::to_string(records.layouts.size()) + " records (" +
                       records.names() +
                       "): --type-field NAME and --type VALUE=RECORD say which record each is");
    for (const NamedLayout& layout : records.layouts)
      if (layout.layout.recordLength == 0) throw UsageError("the layout has no bytes");
    if (records.layouts.empty() && options_.shape.framing.format == RecordFormat::fixed &&
        options_.recordLength == 0)
      throw UsageError(
          "fixed records without a layout: --lrecl N gives their length (or --recfm V or VB, or a layout)");
    std::vector<std::string> inputs = options_.inputs;
    if (inputs.empty()) inputs.emplace_back("-");
    int status = kExitSuccess;
    bool missing = false;
    for (const std::string& name : inputs) {
      const InputFile input(name);
      FramedInput framed(input, options_.shape.framing, records.layouts, selector_ ? &*selector_ : nullptr,
                         options_.recordLength, recordOptions_);
      std::uint64_t seen = 0;  // records met
      for (;;) {
        if (options_.last && seen >= *options_.last) break;
        const FramedInput::Item item = framed.next();
        if (item.kind == FramedInput::Item::Kind::end) break;
        if (item.kind == FramedInput::Item::Kind::bad) {
          const std::string where = item.number != 0 ? ": record " + std::to_string(item.number) : "";
          std::printf("%s%s (byte offset %llu): %s (%s)\n", input.display().c_str(), where.c_str(),
                      static_cast<unsigned long long>(item.offset), std::string(item.problem).c_str(),
                      std::string(item.passedOver).c_str());
          status = kExitBadData;
          if (!item.resumes) break;
          continue;
        }
        seen = item.number;
        if (item.number < options_.first) continue;
        if (!show(input.display(), item)) status = kExitBadData;
      }
      // The input ended before the last record asked for: say so rather than show less in silence.
      if (options_.last ? seen < *options_.last : options_.first > 1 && seen < options_.first) {
        std::fflush(stdout);
        std::fprintf(stderr, "quor: %s holds %s: %s\n", input.display().c_str(),
                     counted(seen, "record").c_str(), missingRecords(seen).c_str());
        missing = true;
      }
    }
    if (std::fflush(stdout) != 0) throw IoError("cannot write standard output");
    return missing ? kExitUsage : status;
  }

 private:
  // What of the records asked for an input of `records` records lacks: "there is no record 5",
  // "records 5 to 9 are not there".
  [[nodiscard]] std::string missingRecords(std::uint64_t records) const {
    const std::uint64_t from = std::max(options_.first, records + 1);
    const std::uint64_t to = options_.last.value_or(from);
    if (from == to) return "there is no record " + std::to_string(from);
    return "records " + std::to_string(from) + " to " + std::to_string(to) + " are not there";
  }

  // Prints one record; false when it holds invalid data or is not one of its layout.
  bool show(const std::string& display, const FramedInput::Item& item) {
    const std::span<const std::uint8_t> record = item.bytes;
    const bool named = options_.shape.records.several() && item.layout != kNoLayout;
    std::printf("%s: record %llu (byte offset %llu, %zu bytes)%s%s\n", display.c_str(),
                static_cast<unsigned long long>(item.number), static_cast<unsigned long long>(item.offset),
                record.size(), named ? ": " : "", named ? ways_[item.layout].layout->name.c_str() : "");
    if (ways_.empty()) {
      showBytes(record, 0);
      std::printf("\n");
      return true;
    }
    if (item.layout == kNoLayout) {
      std::printf("  %s\n", std::string(item.problem).c_str());
      showBytes(record, 0);
      std::printf("\n");
      return false;
    }
    Way& way = ways_[item.layout];
    const Layout& layout = way.layout->layout;
    // The record's own bytes: its layout's, or as many as its counters make it (or its slot).
    std::size_t length = std::min(record.size(), layout.recordLength);
    const bool slot = options_.padVarying && record.size() == layout.recordLength;
    if (layout.varies() && !slot) {
      const RecordExtent extent = way.decoder.extent(record);
      if (!extent.fault) length = std::min(record.size(), extent.length);
    }
    const std::span<const std::uint8_t> own = record.first(length);
    way.decoder.decode(own, values_, faults_, true);
    way.decoder.decodeOverlays(own, overlayValues_, overlayFaults_, true);
    const bool placed = way.decoder.placeFields(own, offsets_);
    bool good = faults_.empty() && record.size() <= length;
    std::size_t column = 0;
    std::size_t overlay = 0;
    std::size_t end = 0;  // of the fields' bytes, before any padding
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
      const LayoutField& field = layout.fields[i];
      const bool isColumn = field.role == FieldRole::column;
      const std::string name =
          !field.name.empty() ? field.name : isColumn ? "field " + std::to_string(column + 1) : std::string();
      // Where the field lies in this record: unknown after a counter that gives no count.
      const bool known = placed || i < layout.tables.front().first;
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
            mark = "  <- invalid: " + faultProblem(layout, own, fault).reason + " (record byte " +
                   std::to_string(fault.offset) + ")";
      } else if (field.role == FieldRole::overlay) {
        // Bytes a REDEFINES or RENAMES reads another way: invalid there is no fault of the record.
        const char* kind = field.alias ? "renames" : "redefines";
        value = shown(overlayValues_[overlay]) + "  (" + kind + ")";
        for (const FieldFault& fault : overlayFaults_)
          if (fault.column == overlay) value = "(" + std::string(kind) + "; not valid here: " + fault.reason + ")";
      } else {
        value = field.kind == FieldKind::filler ? "(filler)" : "(constant)";
        if (offset != kAbsentField && offset + field.size > length) {
          mark = "  <- the record ends inside it";
          good = false;
        }
      }
      if (isColumn) ++column;
      if (field.role == FieldRole::overlay) ++overlay;
      if (offset == kAbsentField) {
        if (!known)
          value = "(not placed: a counter before it holds no count)";
        else if (mark.empty())
          value = layout.varies() ? "(absent)" : "(absent: the record ends before it)";
        std::printf("  %6s  %-*s  %-*s  %s\n", "-", static_cast<int>(nameWidth_), name.c_str(),
                    static_cast<int>(kBytesALine * 3 - 1), "", (value + mark).c_str());
        continue;
      }
      if (field.role != FieldRole::overlay) end = std::max(end, offset + field.size);
      printField(offset, name, own.subspan(offset, std::min(field.size, length - offset)), value + mark);
    }
    if (placed && layout.varies() && end < length)
      printField(end, "(padding)", own.subspan(end), "(to the longest record's length)");
    if (record.size() > length)
      printField(length, "", record.subspan(length),
                 "<- " + counted(record.size() - length, "byte") + " beyond the " +
                     (layout.varies() && !slot ? "record's " : "layout's ") + std::to_string(length));
    std::printf("\n");
    return good;
  }

  // "  offset  name  hex...  value", the hexadecimal wrapped at 16 bytes a line.
  void printField(std::size_t offset, const std::string& name, std::span<const std::uint8_t> bytes,
                  const std::string& value) const {
    const int hexWidth = static_cast<int>(kBytesALine * 3 - 1);
    for (std::size_t start = 0; start < std::max<std::size_t>(bytes.size(), 1); start += kBytesALine) {
      const std::size_t count = std::min(kBytesALine, bytes.size() - std::min(start, bytes.size()));
      const std::string hex = hexPairs(bytes.subspan(start, count));
      if (start == 0)
        std::printf("  %6zu  %-*s  %-*s  %s\n", offset, static_cast<int>(nameWidth_), name.c_str(), hexWidth,
                    hex.c_str(), value.c_str());
      else
        std::printf("  %6s  %-*s  %s\n", "", static_cast<int>(nameWidth_), "", hex.c_str());
    }
  }

  // The bytes as hexdump -C shows them, 16 a line: the offset in the record, the bytes in two groups
  // of 8 and the text they read as.
  void showBytes(std::span<const std::uint8_t> bytes, std::size_t offset) const {
    int width = 4;
    while (width < 16 && (bytes.size() >> (4 * width)) != 0) ++width;
    for (std::size_t start = 0; start < bytes.size(); start += kBytesALine) {
      const std::size_t count = std::min(kBytesALine, bytes.size() - start);
      std::string hex;
      std::string text;
      for (std::size_t i = 0; i < kBytesALine; ++i) {
        if (i == kBytesALine / 2) hex += ' ';
        hex += i < count ? hexPairs(bytes.subspan(start + i, 1)) + " " : "   ";
        if (i < count) text += byteTexts_[bytes[start + i]];
      }
      std::printf("  %0*zX  %s |%s|\n", width, offset + start, hex.c_str(), text.c_str());
    }
  }

  const DumpOptions& options_;
  std::vector<Way> ways_;  // one a layout
  std::optional<RecordSelector> selector_;
  const std::vector<std::string> byteTexts_;
  std::size_t nameWidth_ = 4;
  std::vector<std::u16string> values_;
  std::vector<FieldFault> faults_;
  std::vector<std::u16string> overlayValues_;
  std::vector<FieldFault> overlayFaults_;
  std::vector<std::size_t> offsets_;
  RecordOptions recordOptions_;
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
