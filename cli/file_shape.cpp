#include "file_shape.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>

#include "io_error.hpp"
#include "quor/error.hpp"
#include "text_convert.hpp"
#include "whole_file.hpp"

namespace quor::cli {

namespace {

bool sameInAnyCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string listed(const std::vector<NamedLayout>& layouts) {
  std::string names;
  for (const NamedLayout& layout : layouts) names += (names.empty() ? "" : ", ") + layout.name;
  return names;
}

}  // namespace

void addFileShapeOptions(CLI::App& command, FileShapeArguments& arguments, bool writing, bool text) {
  command.add_option(
      "--recfm", arguments.recfm,
      "Record format: F or FB (fixed, the default), V (each record behind an RDW) or VB (blocks "
      "behind a BDW, each holding RDW records)");
  command.add_option("--block-size", arguments.blockSize,
                     writing ? "VB: the most bytes of a block, its BDW included (default 32760)"
                             : "VB: the blocks' size when written (taken, and not needed to read them)");
  command.add_flag("--rdw-little-endian", arguments.rdwLittleEndian,
                   "V and VB: the RDW's length is little-endian, as some transfer programs write it");
  command.add_flag("--rdw-data-length", arguments.rdwCountsData,
                   "V and VB: the RDW's length counts the record's data only, not the RDW's 4 bytes");
  command.add_option(
      "--type-field", arguments.typeField,
      "The field that tells each record's type (its offset, size and kind as in the first record "
      "that has it)");
  command
      .add_option("--type", arguments.types,
                  "VALUE=RECORD: records whose type field holds VALUE are of the layout RECORD (an 01 record "
                  "or an item of a REDEFINES); '*=RECORD' for any other value. Repeat for each type")
      ->allow_extra_args(false);
  if (text)
    command
        .add_option("--format", arguments.format,
                    "csv (the default) or jsonl (JSON Lines, one object a record)")
        ->check(CLI::IsMember({"csv", "jsonl"}));
}

std::string RecordLayouts::names() const {
  return listed(layouts);
}

std::optional<RecordSelector> RecordLayouts::selector(const RecordOptions& options,
                                                      const GaijiMapping& gaiji) const {
  if (!typeField) return std::nullopt;
  try {
    return RecordSelector(*typeField, choices, options, gaiji);
  } catch (const Error& e) {
    if (e.number() != errors::kInvalidCall) throw;
    throw UsageError(std::string("--type: ") + e.what());
  }
}

std::string recordLengths(const std::vector<NamedLayout>& layouts) {
  std::size_t shortest = SIZE_MAX;
  std::size_t longest = 0;
  for (const NamedLayout& layout : layouts) {
    shortest = std::min(shortest, layout.layout.recordLength);
    longest = std::max(longest, layout.layout.recordLength);
  }
  if (shortest == longest) return std::to_string(longest) + " bytes";
  return std::to_string(shortest) + " to " + std::to_string(longest) + " bytes";
}

FileShape loadFileShape(const LayoutSource& source, const FileShapeArguments& arguments,
                        bool layoutOptional) {
  FileShape shape;
  RecordFormat format = RecordFormat::fixed;
  if (!parseRecordFormat(arguments.recfm, format))
    throw UsageError("--recfm " + arguments.recfm + ": expected F, FB, V or VB");
  shape.framing = Framing{format, arguments.rdwLittleEndian, arguments.rdwCountsData, arguments.blockSize};
  if (format == RecordFormat::fixed && (arguments.rdwLittleEndian || arguments.rdwCountsData))
    throw UsageError(
        "--rdw-little-endian and --rdw-data-length describe the RDW of V and VB records; --recfm " +
        arguments.recfm + " has none");
  shape.form = arguments.format == "jsonl" ? TextForm::jsonl : TextForm::csv;

  const bool noLayout = source.layoutFile.empty() && source.copybookFile.empty() && source.lengths.empty() &&
                        source.formats.empty();
  if (noLayout) {
    if (layoutOptional && arguments.types.empty() && arguments.typeField.empty()) return shape;
    throw UsageError("needs --layout FILE, --copybook FILE, or --lengths and --formats");
  }

  // The records the source describes, and a record of it by name.
  std::vector<NamedLayout> available;
  std::function<NamedLayout(const std::string&)> named;
  std::string text;
  const LayoutOptions options = layoutOptionsOf(source);
  try {
    if (!source.layoutFile.empty()) {
      available =
          parseLayoutFileRecords(readWholeFile(source.layoutFile, "the layout file"), source.layoutFile,
                                 options);
      named = [&](const std::string& name) {
        for (const NamedLayout& record : available)
          if (!record.name.empty() && (record.name == name || sameInAnyCase(record.name, name)))
            return record;
        if (available.size() == 1)
          throw UsageError(source.layoutFile +
                           " describes one record, without a name: a layout file of several "
                           "records names each with a line 'record NAME'");
        throw UsageError(source.layoutFile + " has no record " + name +
                         " (its records: " + listed(available) + ")");
      };
    } else if (!source.copybookFile.empty()) {
      text = readWholeFile(source.copybookFile, "the copybook");
      const CopyResolver members = copyFolders(copyFoldersOf(source));
      const std::vector<std::string> names = copybookRecordNames(text, source.copybookFile, options, members);
      if (names.size() == 1)
        available.push_back({names.front(), parseCopybook(text, source.copybookFile, options, members)});
      else
        for (const std::string& name : names)
          available.push_back(parseCopybookRecord(text, source.copybookFile, name, options, members));
      named = [&, members](const std::string& name) {
        return parseCopybookRecord(text, source.copybookFile, name, options, members);
      };
    } else {
      available.push_back({"", layoutFromLists(source.lengths, source.formats)});
      named = [&](const std::string&) -> NamedLayout {
        throw UsageError(
            "--lengths and --formats describe one record, without a name: --type needs a layout "
            "file of several records or a copybook");
      };
    }

    RecordLayouts& records = shape.records;
    if (arguments.types.empty()) {
      if (!arguments.typeField.empty())
        throw UsageError("--type-field " + arguments.typeField +
                         " needs --type VALUE=RECORD for each record layout");
      records.layouts = std::move(available);
      records.unchosen = records.several();
      return shape;
    }
    for (const std::string& type : arguments.types) {
      const std::size_t equals = type.rfind('=');
      if (equals == std::string::npos || equals == 0 || equals + 1 == type.size())
        throw UsageError("--type " + type + ": expected VALUE=RECORD (or '*=RECORD' for any other value)");
      const std::string value = type.substr(0, equals);
      if (arguments.typeField.empty() && value != "*")
        throw UsageError("--type " + type + ": a value needs --type-field NAME, the field that holds it");
      NamedLayout record = named(type.substr(equals + 1));
      const auto same = std::find_if(records.layouts.begin(), records.layouts.end(),
                                     [&](const NamedLayout& other) { return other.name == record.name; });
      const auto index = static_cast<std::size_t>(same - records.layouts.begin());
      if (same == records.layouts.end()) records.layouts.push_back(std::move(record));
      records.choices.push_back({toUtf16(value, "a --type value"), index});
    }
    if (!arguments.typeField.empty()) {
      records.typeField = findField(records.layouts, arguments.typeField);
      if (!records.typeField)
        throw UsageError("--type-field " + arguments.typeField + ": no field of that name in the records " +
                         records.names());
    }
  } catch (const Error& e) {
    // A malformed layout is a usage mistake; its message says where and what. A COPY member that
    // cannot be read is an input failure.
    if (e.number() == errors::kPathFileAccess) throw IoError(e.what());
    if (e.number() != errors::kInvalidCall) throw;
    throw UsageError(e.what());
  }
  return shape;
}

}  // namespace quor::cli
