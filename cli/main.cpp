// The quor command: data files to host record files and back, through the ConvertQuor library.
//   quor encode   a CSV file, one host record a CSV record, to a record file
//   quor decode   a record file back to CSV
//   quor dump     records field by field, to look inside a record file
//   quor layout   the resolved layout of a layout file or copybook
//   quor field    one value through one encoder, printed as hexadecimal
//   quor version  the component's version

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iterator>
#include <new>

#include "decode_command.hpp"
#include "dump_command.hpp"
#include "encode_command.hpp"
#include "field_command.hpp"
#include "file_shape.hpp"
#include "io_error.hpp"
#include "layout_command.hpp"
#include "layout_source.hpp"
#include "quor/host_code_page.hpp"
#include "quor/layout.hpp"
#include "quor/quor.hpp"
#include "quor/text.hpp"
#include "text_convert.hpp"

namespace {

using namespace quor::cli;
using quor::CsvOptions;
using quor::HostCodePage;
using quor::hostCodePageName;
using quor::parseHostCodePage;
using quor::TextEncoding;

constexpr const char* kEncodeExamples = R"(
Examples:
  quor encode --layout examples/orders.layout --gaiji examples/site-gaiji.txt -o orders.dat examples/orders.csv
  quor encode --copybook examples/order.cpy --encoding cp932 --header -o orders.dat examples/orders-excel.csv
  quor encode --lengths 8,20,10,7,11,8 --formats 1,1,2,0,3,0 --encoding cp932 \
              --gaiji site-gaiji.txt < in.csv > out.dat

Each CSV record is one record, its values one per column of the layout: quoted values may hold the
delimiter, quotes (doubled) and line breaks; --header matches columns by name (in any letter case
where that leaves one field); --plain reads each line as the component's lists do, its values cut at
every "," (no quoting, no trimming). The layout file has one field a line, "name length format" (the format 0..3 or setNumeric, setCharacter,
setNCharacter, setPackNumeric) or "name kind size" with the kinds text, national, zoned, packed,
binary, float4, float8, edited, edited-text and filler (numbers take "scale=N" and "signed"); "#"
starts a comment. docs/layouts.md has the whole form; --copybook reads a COBOL copybook instead.

A value that would be written other than it reads (cut, zeroed, blanked, written as another
character) makes its record bad, with a message naming the line, the field, the value and what is
wrong; --lenient writes such values as the component writes them and lists them.

--recfm V or VB writes each record behind an RDW (and blocks behind BDWs); with several record layouts
(--type-field and --type, or a copybook of several 01 records) each line starts with its layout's name;
--format jsonl reads JSON Lines, one object a record.

Encodings: utf-8 (also utf8), cp932 (also ms932, windows-31j, shift_jis, sjis: Shift_JIS is read as
code page 932, its Windows form), utf-16 (the byte order from the byte order mark; utf-16le, utf-16be
without one). Without --encoding a file that starts with a UTF-16 byte order mark is read as UTF-16:
a spreadsheet's "Unicode text", whose values are cut at tabs with --delimiter '\t'.

Exit status: 0 success, 1 bad data, 2 usage, 3 input/output failure, 4 out of memory.)";

constexpr const char* kFieldExamples = R"(
The bytes are those the value gets in a one-field layout of quor encode (blanks after text, the sign
rule of records); --bare gives the component's own call on the value as it stands.

Examples:
  quor field zoned -- -123 5        F0 F0 F1 F2 D3
  quor field packed 12345 5         12 34 5C
  quor field ebcdic ABC 5           C1 C2 C3 40 40
  quor field ebcdic --bare ABC 5    C1 C2 C3 00 00
  quor field jef 亜 1               B0 A1
  quor field zoned-list 123,-45 5,3 F0 F0 F1 F2 F3 F0 F4 D5)";

constexpr const char* kLayoutHelp = R"(
Layout file lines (one field a line; "#" starts a comment):
  name LENGTH FORMAT                     a component field: FORMAT 0..3 or setNumeric, setCharacter,
                                         setNCharacter, setPackNumeric
  name text LENGTH                       EBCDIC with katakana, padded with blanks
  name national LENGTH                   JEF, two bytes a character, padded with ideographic spaces
  name zoned DIGITS [scale=N] [signed]   zoned decimal; sign=leading, sign=trailing-separate, ...,
                                         positive-zone=F, blank-when-zero
  name packed DIGITS [scale=N] [signed]  packed decimal, DIGITS / 2 + 1 bytes (C/D, F unsigned)
  name binary DIGITS [scale=N] [signed]  big-endian binary: 2, 4 or 8 bytes for 1-4, 5-9, 10-18 digits;
                                         range=full for every value of its bytes (COMP-5)
  name float4 [hex|ieee]                 floating point, 4 bytes (COMP-1); float8: 8 bytes (COMP-2)
  name edited PICTURE [blank-when-zero]  numeric-edited (ZZZ,ZZ9.99-); edited-text: XXBXX
  name filler BYTES [xHH]                fixed bytes (default x40), no column
  text and national take "justified" (JUSTIFIED RIGHT); scale=-3 or a scale beyond the digits is
  decimal scaling (P)

Examples:
  quor layout --layout examples/orders.layout
  quor layout --copybook examples/order.cpy --json)";

constexpr const char* kDecodeExamples = R"(
Each record of the input (the layout's record length in bytes) becomes one CSV line, one column a field
that takes a value: numbers with their decimal point and sign, text without its trailing padding.
Invalid data (a zoned digit above 9, a JEF code of no character, ...) makes the record bad, with the
record, its byte offset, the field, the bytes and the reason; --lenient writes U+FFFD or the raw
digits instead and lists them.

--recfm V or VB reads records behind RDWs (and blocks behind BDWs); --type-field and --type tell each
record's layout in a file of several record types, each line then starting with its layout's name
(--split-by-type -o FOLDER writes a file a layout instead); --format jsonl writes JSON Lines.

Examples:
  quor decode --layout examples/orders.layout --gaiji examples/site-gaiji.txt --header orders.dat
  quor decode --copybook examples/order.cpy --encoding cp932 -o orders.csv orders.dat
  quor decode --copybook examples/orders-v.cpy --recfm V --type-field REC-TYPE --type H=ORDER-HEAD \
              --type L=ORDER-LINE --format jsonl orders-v.dat)";

constexpr const char* kDumpExamples = R"(
Without a layout, each record's bytes are shown in hexadecimal beside the text they read as, 16 a line
(--recfm V or VB, or --lrecl N for fixed records of N bytes).

Examples:
  quor dump --layout examples/orders.layout --records 1-2 orders.dat
  quor dump --copybook examples/order.cpy --records 100 orders.dat
  quor dump --recfm VB --records 1-5 unknown.dat)";

constexpr const char* kOdoPaddedHelp =
    "Records of a copybook with OCCURS DEPENDING ON stand in slots of the longest record's length, padded "
    "with blanks, instead of back to back, each as long as its counters make it";

// The delimiter a --delimiter value names: one ASCII character, or \t (or "tab") for a tab.
char delimiterNamed(const std::string& text) {
  if (text == "\\t" || text == "tab") return '\t';
  if (text.size() != 1 || static_cast<unsigned char>(text[0]) >= 0x80 || text[0] == '"' || text[0] == '\r' ||
      text[0] == '\n')
    throw UsageError("--delimiter " + text + ": expected one ASCII character other than a quote, or \\t for a tab");
  return text[0];
}

struct InputEncoding {
  TextEncoding text;  // of the records as the library reads them: UTF-16 is read as UTF-8
  InputForm form;
};

// The encoding a name stands for, in any letter case; the UTF-16 names only where `utf16` (input).
InputEncoding encodingNamed(const std::string& name, bool utf16) {
  std::string lower;
  for (const char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "utf-8" || lower == "utf8") return {TextEncoding::utf8, InputForm::utf8};
  for (const char* alias : {"cp932", "ms932", "windows-31j", "shift_jis", "shift-jis", "sjis"})
    if (lower == alias) return {TextEncoding::cp932, InputForm::cp932};
  if (utf16) {
    if (lower == "utf-16" || lower == "utf16") return {TextEncoding::utf8, InputForm::utf16};
    if (lower == "utf-16le" || lower == "utf16le") return {TextEncoding::utf8, InputForm::utf16le};
    if (lower == "utf-16be" || lower == "utf16be") return {TextEncoding::utf8, InputForm::utf16be};
  }
  throw UsageError("--encoding " + name +
                   (utf16 ? ": not an encoding the tool reads (utf-8, utf8, cp932, ms932, "
                            "windows-31j, shift_jis, sjis, utf-16, utf-16le, utf-16be)"
                          : ": not an encoding the tool writes (utf-8, utf8, cp932, ms932, "
                            "windows-31j, shift_jis, sjis)"));
}

// --host and --no-shift, as every command that writes or reads text fields takes them.
struct HostArguments {
  std::string name = "fujitsu";
  bool noShift = false;
};

void addHostOptions(CLI::App& command, HostArguments& host) {
  command
      .add_option("--host", host.name,
                  "Host code page of typed text and national fields: fujitsu (EBCDIC with katakana and JEF), "
                  "ibm-930, ibm-939, ibm-1390, ibm-1399, ibm-037, ibm-1140, ibm-1047, ibm-500 (also cp930, ibm930, "
                  "any case)")
      ->default_str("fujitsu");
  command.add_flag("--no-shift", host.noShift,
                   "Text fields hold single-byte text only: no double-byte runs between shift codes");
}

// The code page --host names and whether text fields hold shift codes.
template <class Options>
void applyHost(const HostArguments& host, Options& options) {
  if (!parseHostCodePage(host.name, options.host))
    throw UsageError("--host " + host.name +
                     ": not a host code page (fujitsu, ibm-930, ibm-939, ibm-1390, ibm-1399, ibm-037, ibm-1140, "
                     "ibm-1047, ibm-500)");
  options.shiftCodes = !host.noShift;
}

struct EncodeArguments {
  LayoutSource layout;
  FileShapeArguments shape;
  std::string encoding = "utf-8";
  std::string gaiji;
  bool isUnsigned = false;
  bool strict = false;  // the default's name, accepted
  std::uint64_t maxErrors = 0;
  bool plain = false;
  std::string delimiter = ",";
  HostArguments host;
  EncodeOptions options;
};

void addEncode(CLI::App& app, EncodeArguments& a) {
  CLI::App* encode =
      app.add_subcommand("encode", "Convert a CSV file, one CSV record a host record, to a host record file");
  encode->footer(kEncodeExamples);
  addLayoutOptions(*encode, a.layout, true);
  encode
      ->add_option(
          "--encoding", a.encoding,
          "Input encoding: utf-8 (utf8), cp932 (ms932, windows-31j, shift_jis, sjis) or utf-16 "
          "(utf-16le, utf-16be), any case; by default UTF-8, or UTF-16 when a file starts with its byte "
          "order mark")
      ->default_str("utf-8");
  encode->add_option("--gaiji", a.gaiji,
                     "Gaiji mapping file (code page 932 text, see docs/gaiji.md), read once for the run; "
                     "default: the file QUOR_GAIJI names, else none");
  encode->add_flag("--unsigned", a.isUnsigned, "Write numbers without sign (ConvertSign false)");
  addHostOptions(*encode, a.host);
  encode->add_option("-o,--output", a.options.outputPath,
                     "Output file, replaced only when the run succeeds; a device or FIFO is written in "
                     "place; '-' or none: standard output");
  encode->add_flag("--force", a.options.force, "Write the binary records to a terminal too");
  auto* skip =
      encode->add_flag("--skip-bad", a.options.skipBad, "Skip bad records, write the good ones, exit 1");
  encode
      ->add_option("--max-errors", a.maxErrors,
                   "With --skip-bad: stop, writing nothing, after more than N bad records")
      ->needs(skip);
  auto* lenient = encode->add_flag(
      "--lenient", a.options.lenient,
      "Write values the component changes (cut, zeroed, blanked) as it writes them, and list them");
  encode->add_flag("--strict", a.strict, "Refuse the records of such values (the default)")->excludes(lenient);
  encode->add_flag("-q,--quiet", a.options.quiet, "No summary and no progress line");
  encode->add_option("--threads", a.options.threads, "Encoding threads (default: one a processor, at most 4)")
      ->check(CLI::Range(1u, 64u));
  encode->add_flag(
      "--plain", a.plain, "Read plain lines cut at every delimiter: no quoted fields (the component's own rule)");
  encode->add_option("--delimiter", a.delimiter, "Field delimiter: one character, \\t for a tab (default ,)");
  encode->add_flag("--header", a.options.header,
                   "Each input's first record names its columns: values are taken by name, in any order "
                   "(a name that is no field's matches the field that differs only in letter case)");
  encode->add_flag("--skip-blank-lines", a.options.skipBlankLines, "Skip empty lines instead of refusing them");
  encode->add_flag("--odo-padded", a.options.padVarying, kOdoPaddedHelp);
  addFileShapeOptions(*encode, a.shape, true, true);
  encode->add_option("files", a.options.inputs,
                     "Input files, read in order (default or '-': standard input)");
}

int runEncodeArguments(CLI::App& encode, EncodeArguments& a) {
  EncodeOptions& o = a.options;
  o.shape = loadFileShape(a.layout, a.shape);
  o.layoutPath = !a.layout.layoutFile.empty() ? a.layout.layoutFile : a.layout.copybookFile;
  if (o.outputPath == "-") o.outputPath.clear();
  if (encode.count("--encoding") > 0) {
    const InputEncoding named = encodingNamed(a.encoding, true);
    o.encoding = named.text;
    o.form = named.form;
  }
  o.convertSign = !a.isUnsigned;
  applyHost(a.host, o);
  if (a.plain) {
    if (encode.count("--delimiter") > 0 && a.delimiter != ",")
      throw UsageError("--plain cuts at every \",\": it takes no other --delimiter");
    o.csv.reset();
  } else {
    o.csv = CsvOptions{delimiterNamed(a.delimiter), o.encoding};
  }
  if (encode.count("--gaiji") > 0) o.gaijiPath = a.gaiji;
  if (encode.count("--max-errors") > 0) o.maxErrors = a.maxErrors;
  return runEncode(o);
}

int outOfMemory() {
  std::fputs("quor: out of memory\n", stderr);
  return kExitOutOfMemory;
}

int runMain(int argc, char** argv) {
  CLI::App app{"quor: data files to Fujitsu host records (zoned, packed, EBCDIC kana, JEF kanji)"};
  app.require_subcommand(1);
  app.footer(
      "\nExamples:\n"
      "  quor encode --layout examples/orders.layout --gaiji examples/site-gaiji.txt -o orders.dat "
      "examples/orders.csv\n"
      "  quor field packed 12345 5\n"
      "  quor version\n\n"
      "Exit status: 0 success, 1 bad data, 2 usage, 3 input/output failure, 4 out of memory.");

  EncodeArguments encodeArgs;
  addEncode(app, encodeArgs);

  FieldOptions field;
  bool fieldUnsigned = false;
  std::string fieldGaiji;
  CLI::App* fieldCommand = app.add_subcommand("field", "Encode one value and print its bytes as hexadecimal");
  fieldCommand->footer(kFieldExamples);
  fieldCommand
      ->add_option("kind", field.kind,
                   "Encoder: zoned, packed, ebcdic, jef or zoned-list; text or national: a typed field on the --host page")
      ->required()
      ->check(CLI::IsMember(std::vector<std::string>(std::begin(kFieldKinds), std::end(kFieldKinds))));
  fieldCommand->add_option("value", field.value, "The value (for zoned-list: comma-separated numbers)")
      ->required();
  fieldCommand
      ->add_option("length", field.length, "The field length (for zoned-list: comma-separated lengths)")
      ->required();
  fieldCommand->add_flag("--unsigned", fieldUnsigned, "No sign (ConvertSign false), for zoned and packed");
  HostArguments fieldHost;
  addHostOptions(*fieldCommand, fieldHost);
  fieldCommand->add_flag("--raw", field.raw, "Write the bytes themselves instead of hexadecimal");
  fieldCommand->add_option("--gaiji", fieldGaiji, "Gaiji mapping file for jef (e.g. --gaiji site-gaiji.txt)");
  auto* bare = fieldCommand->add_flag("--bare", field.bare,
                                      "The component's own call on the value as it stands (no record rules)");
  fieldCommand->add_flag("--lenient", field.lenient, "Print the bytes of a value the record rules change")
      ->excludes(bare);

  LayoutSource layoutArgs;
  bool layoutJson = false;
  encodeArgs.layout.use = quor::LayoutUse::encode;
  std::string layoutRecord;
  CLI::App* layoutCommand =
      app.add_subcommand("layout", "Print the resolved layout: columns, names, offsets, sizes, kinds, digits");
  addLayoutOptions(*layoutCommand, layoutArgs, true);
  layoutCommand->add_flag("--json", layoutJson, "Print the layout as JSON");
  layoutCommand->add_option(
      "--record", layoutRecord,
      "One record of several: an 01 record, or an item of a REDEFINES in place of the others");
  layoutCommand->footer(kLayoutHelp);

  DecodeOptions decode;
  LayoutSource decodeLayout;
  decodeLayout.use = quor::LayoutUse::decode;
  FileShapeArguments decodeShape;
  std::string decodeEncoding = "utf-8";
  std::string decodeDelimiter = ",";
  std::string lineEnd;
  std::string decodeGaiji;
  bool decodeUnsigned = false;
  std::uint64_t decodeMaxErrors = 0;
  CLI::App* decodeCommand = app.add_subcommand("decode", "Convert a host record file back to CSV");
  decodeCommand->footer(kDecodeExamples);
  addLayoutOptions(*decodeCommand, decodeLayout, true);
  decodeCommand->add_option("--encoding", decodeEncoding, "Output encoding: utf-8 or cp932 (as for encode)")
      ->default_str("utf-8");
  decodeCommand->add_option("--gaiji", decodeGaiji, "Gaiji mapping file, read backwards for JEF fields");
  decodeCommand->add_option("-o,--output", decode.outputPath,
                            "Output file, replaced only when the run succeeds (default: standard output)");
  decodeCommand->add_flag("--header", decode.header, "Write a first line naming the columns");
  decodeCommand->add_option("--delimiter", decodeDelimiter, "Field delimiter: one character, \\t for a tab")
      ->default_str(",");
  decodeCommand->add_option("--line-end", lineEnd, "lf or crlf (default: crlf for cp932, lf for utf-8)")
      ->check(CLI::IsMember({"lf", "crlf"}));
  decodeCommand->add_flag("--keep-padding", decode.keepPadding, "Keep the trailing blanks of text fields");
  decodeCommand->add_flag("--keep-zeros", decode.keepZeros,
                          "Write unsigned whole-number fields with their picture's width, leading zeros kept "
                          "(IDs, postal codes, dates)");
  decodeCommand->add_flag("--odo-padded", decode.padVarying, kOdoPaddedHelp);
  decodeCommand->add_flag("--overlays", decode.overlays,
                          "Also write the items of REDEFINES and RENAMES as columns, after the record's own (a "
                          "value not valid in that form is left empty)");
  decodeCommand->add_flag("--unsigned", decodeUnsigned, "Packed fields of --lengths/--formats have no sign nibble");
  HostArguments decodeHost;
  addHostOptions(*decodeCommand, decodeHost);
  decodeCommand->add_flag("--lenient", decode.lenient, "Write invalid data as U+FFFD or raw digits, and list it");
  auto* decodeSkip = decodeCommand->add_flag("--skip-bad", decode.skipBad, "Skip bad records, write the good ones");
  decodeCommand->add_option("--max-errors", decodeMaxErrors, "With --skip-bad: stop after more than N bad records")
      ->needs(decodeSkip);
  decodeCommand->add_flag("-q,--quiet", decode.quiet, "No summary and no progress line");
  decodeCommand->add_option("--threads", decode.threads,
                            "Decoding threads (default: one a processor, at most 4, where decoding the records "
                            "outweighs reading and writing them; 1: the reading thread does all)")
      ->check(CLI::Range(1u, 64u));
  addFileShapeOptions(*decodeCommand, decodeShape, false, true);
  decodeCommand->add_flag("--split-by-type", decode.splitByType,
                          "A file a record layout, NAME.csv (or NAME.jsonl), in the folder -o names");
  decodeCommand->add_option("files", decode.inputs, "Record files, read in order (default or '-': standard input)");

  DumpOptions dump;
  LayoutSource dumpLayout;
  dumpLayout.use = quor::LayoutUse::decode;
  FileShapeArguments dumpShape;
  std::string records;
  std::string dumpGaiji;
  bool dumpUnsigned = false;
  CLI::App* dumpCommand =
      app.add_subcommand("dump", "Show host records field by field: offset, name, bytes, value");
  dumpCommand->footer(kDumpExamples);
  addLayoutOptions(*dumpCommand, dumpLayout, true);
  dumpCommand->add_option("--records", records, "The records to show: N, N-M or N- (default: all)");
  dumpCommand->add_option("--gaiji", dumpGaiji, "Gaiji mapping file, read backwards for JEF fields");
  dumpCommand->add_flag("--odo-padded", dump.padVarying, kOdoPaddedHelp);
  dumpCommand->add_flag("--unsigned", dumpUnsigned, "Packed fields of --lengths/--formats have no sign nibble");
  addFileShapeOptions(*dumpCommand, dumpShape, false, false);
  dumpCommand->add_option("--lrecl", dump.recordLength, "Without a layout: the length of fixed records")
      ->check(CLI::Range(std::size_t{1}, std::size_t{64} << 20));
  HostArguments dumpHost;
  addHostOptions(*dumpCommand, dumpHost);
  dumpCommand->add_option("files", dump.inputs, "Record files (default or '-': standard input)");

  CLI::App* version = app.add_subcommand("version", "Print the component's version (e.g. 1.0.0)");
  app.set_version_flag("--version", quor::toUtf8(quor::Quor().Version()));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kExitSuccess : kExitUsage;
  }

  try {
    if (version->parsed()) {
      std::printf("%s\n", quor::toUtf8(quor::Quor().Version()).c_str());
      return kExitSuccess;
    }
    if (layoutCommand->parsed()) {
      FileShapeArguments shape;
      if (!layoutRecord.empty()) shape.types.push_back("*=" + layoutRecord);
      return runLayout(loadFileShape(layoutArgs, shape).records.layouts, layoutJson);
    }
    if (decodeCommand->parsed()) {
      decode.shape = loadFileShape(decodeLayout, decodeShape);
      decode.layoutPath = !decodeLayout.layoutFile.empty() ? decodeLayout.layoutFile : decodeLayout.copybookFile;
      decode.cp932 = encodingNamed(decodeEncoding, false).text == TextEncoding::cp932;
      decode.delimiter = delimiterNamed(decodeDelimiter);
      if (!lineEnd.empty()) decode.crlf = lineEnd == "crlf";
      decode.convertSign = !decodeUnsigned;
      applyHost(decodeHost, decode);
      if (decodeCommand->count("--gaiji") > 0) decode.gaijiPath = decodeGaiji;
      if (decodeCommand->count("--max-errors") > 0) decode.maxErrors = decodeMaxErrors;
      return runDecode(decode);
    }
    if (dumpCommand->parsed()) {
      dump.shape = loadFileShape(dumpLayout, dumpShape, true);
      dump.convertSign = !dumpUnsigned;
      applyHost(dumpHost, dump);
      if (!records.empty()) parseRecordRange(records, dump);
      if (dumpCommand->count("--gaiji") > 0) dump.gaijiPath = dumpGaiji;
      return runDump(dump);
    }
    if (fieldCommand->parsed()) {
      field.convertSign = !fieldUnsigned;
      applyHost(fieldHost, field);
      if (fieldCommand->count("--gaiji") > 0) field.gaijiPath = fieldGaiji;
      return runField(field);
    }
    return runEncodeArguments(*app.get_subcommand("encode"), encodeArgs);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "quor: %s\n", e.what());
    return kExitUsage;
  } catch (const IoError& e) {
    std::fprintf(stderr, "quor: %s\n", e.what());
    return kExitIo;
  } catch (const quor::Error& e) {
    if (e.number() == quor::errors::kOutOfMemory) return outOfMemory();
    std::fprintf(stderr, "quor: error %d: %s\n", e.number(), e.what());
    return kExitBadData;
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return runMain(argc, argv);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quor: %s\n", e.what());
    return kExitIo;
  }
}
