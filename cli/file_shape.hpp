#pragma once
// The shape of a record file beyond one layout: its framing (--recfm and the RDW's variants), the
// layouts of its records and how each record's is told (--type-field, --type), and the form of the
// text on the other side (CSV or JSON Lines). The same options for encode, decode and dump.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "layout_source.hpp"
#include "quor/framing.hpp"
#include "quor/layout.hpp"
#include "quor/record_types.hpp"

namespace CLI {
class App;
}

namespace quor::cli {

enum class TextForm : std::uint8_t { csv, jsonl };

struct FileShapeArguments {
  std::string recfm = "F";
  std::size_t blockSize = 32760;
  bool rdwLittleEndian = false;
  bool rdwCountsData = false;
  std::string typeField;
  std::vector<std::string> types;  // "VALUE=RECORD"
  std::string format = "csv";
};

// Adds --recfm, --rdw-little-endian, --rdw-data-length and, for writing, --block-size; --type-field
// and --type; and where `text`, --format.
void addFileShapeOptions(CLI::App& command, FileShapeArguments& arguments, bool writing, bool text);

// The layouts of a file's records and how each record's is told.
struct RecordLayouts {
  // The records' layouts: one (named or not), or several, each with its name.
  std::vector<NamedLayout> layouts;
  // The type field and the values that select each layout (indexes into `layouts`); none without
  // --type-field.
  std::optional<LayoutField> typeField;
  std::vector<RecordTypeChoice> choices;
  // The file's layout source describes several records and no --type chose among them: each record's
  // layout cannot be told from its bytes, only named (as CSV and JSON Lines lines name it).
  bool unchosen = false;

  [[nodiscard]] bool several() const noexcept { return layouts.size() > 1; }
  // The names of the layouts, "HEADER, DETAIL".
  [[nodiscard]] std::string names() const;
  // The selector of each record's layout by its type field, read with `options` and `gaiji`; none
  // without a type field. Throws UsageError for a --type value the field cannot hold.
  [[nodiscard]] std::optional<RecordSelector> selector(const RecordOptions& options,
                                                       const GaijiMapping& gaiji) const;
};

struct FileShape {
  Framing framing;
  RecordLayouts records;
  TextForm form = TextForm::csv;
};

// The file shape the options give, the layouts read from `source` (none when it names no layout and
// `layoutOptional`). Throws UsageError for options that do not fit together or a layout source that
// names no such record; IoError when a file cannot be read.
FileShape loadFileShape(const LayoutSource& source, const FileShapeArguments& arguments,
                        bool layoutOptional = false);

// The record lengths of `layouts` as words: "120 bytes", "80 to 120 bytes".
std::string recordLengths(const std::vector<NamedLayout>& layouts);

}  // namespace quor::cli
