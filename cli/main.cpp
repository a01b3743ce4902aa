// The quor command: turns data files into host record files through the ConvertQuor component.
//   quor encode   a data file, one record a line, to a record file
//   quor field    one value through one encoder, printed as hexadecimal
//   quor version  the component's version

#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>

#include "encode_command.hpp"
#include "field_command.hpp"
#include "io_error.hpp"
#include "layout_file.hpp"
#include "quor/layout.hpp"
#include "quor/quor.hpp"
#include "quor/text.hpp"
#include "text_convert.hpp"

namespace {

using namespace quor::cli;

constexpr const char* kEncodeExamples = R"(
Examples:
  quor encode --layout examples/orders.layout --gaiji examples/site-gaiji.txt -o orders.dat examples/orders.csv
  quor encode --lengths 8,20,10,7,11,8 --formats 1,1,2,0,3,0 --encoding cp932 \
              --gaiji site-gaiji.txt < in.csv > out.dat

Each input line is one record: its values cut at every "," (no quoting, no trimming), one per field
of the layout. The layout file has one field a line, "name length format", the format 0..3 or
setNumeric, setCharacter, setNCharacter, setPackNumeric; "#" starts a comment.

Exit status: 0 success, 1 bad data, 2 usage, 3 input/output failure, 4 out of memory.)";

constexpr const char* kFieldExamples = R"(
Examples:
  quor field zoned -- -123 5        F0 F0 F1 F2 D3
  quor field packed 12345 5         12 34 5C
  quor field ebcdic ABC 5           C1 C2 C3 00 00
  quor field jef 亜 1               B0 A1
  quor field zoned-list 123,-45 5,3 F0 F0 F1 F2 F3 F0 F4 D5)";

struct EncodeArguments {
  std::string layoutFile;
  std::string lengths;
  std::string formats;
  std::string encoding = "utf-8";
  std::string gaiji;
  bool isUnsigned = false;
  std::uint64_t maxErrors = 0;
  EncodeOptions options;
};

void addEncode(CLI::App& app, EncodeArguments& a) {
  CLI::App* encode =
      app.add_subcommand("encode", "Convert a data file, one record a line, to a host record file");
  encode->footer(kEncodeExamples);
  auto* layout =
      encode->add_option("--layout", a.layoutFile, "Layout file: one field a line, 'name length format'");
  auto* lengths = encode->add_option("--lengths", a.lengths, "Field lengths, comma-separated (e.g. 8,20,10)");
  auto* formats =
      encode->add_option("--formats", a.formats, "Field format codes 0..3, comma-separated (e.g. 1,1,2)");
  lengths->needs(formats)->excludes(layout);
  formats->needs(lengths)->excludes(layout);
  encode->add_option("--encoding", a.encoding, "Input encoding (e.g. --encoding cp932)")
      ->check(CLI::IsMember({"utf-8", "cp932"}))
      ->default_str("utf-8");
  encode->add_option("--gaiji", a.gaiji, "Gaiji mapping file (code page 932 text), read once for the run");
  encode->add_flag("--unsigned", a.isUnsigned, "Write numbers without sign (ConvertSign false)");
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
  encode->add_flag("--strict", a.options.strict,
                   "Treat values the component would change (cut, zeroed, blanked) as bad records");
  encode->add_flag("-q,--quiet", a.options.quiet, "No summary and no progress line");
  encode->add_option("files", a.options.inputs,
                     "Input files, read in order (default or '-': standard input)");
}

int runEncodeArguments(CLI::App& encode, EncodeArguments& a) {
  EncodeOptions& o = a.options;
  try {
    if (!a.layoutFile.empty()) {
      o.layout = quor::parseLayoutFile(readLayoutFile(a.layoutFile), a.layoutFile);
    } else if (encode.count("--lengths") > 0) {
      o.layout = quor::layoutFromLists(a.lengths, a.formats);
    } else {
      throw UsageError("encode needs --layout FILE, or --lengths and --formats");
    }
  } catch (const quor::Error& e) {
    // A malformed layout is a usage mistake; its message says where and what.
    if (e.number() != quor::errors::kInvalidCall) throw;
    throw UsageError(e.what());
  }
  o.layoutPath = a.layoutFile;
  if (o.outputPath == "-") o.outputPath.clear();
  o.encoding = a.encoding == "cp932" ? InputEncoding::cp932 : InputEncoding::utf8;
  o.convertSign = !a.isUnsigned;
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
  fieldCommand->add_option("kind", field.kind, "Encoder: zoned, packed, ebcdic, jef or zoned-list")
      ->required()
      ->check(CLI::IsMember({"zoned", "packed", "ebcdic", "jef", "zoned-list"}));
  fieldCommand->add_option("value", field.value, "The value (for zoned-list: comma-separated numbers)")
      ->required();
  fieldCommand
      ->add_option("length", field.length, "The field length (for zoned-list: comma-separated lengths)")
      ->required();
  fieldCommand->add_flag("--unsigned", fieldUnsigned, "No sign (ConvertSign false), for zoned and packed");
  fieldCommand->add_flag("--raw", field.raw, "Write the bytes themselves instead of hexadecimal");
  fieldCommand->add_option("--gaiji", fieldGaiji, "Gaiji mapping file for jef (e.g. --gaiji site-gaiji.txt)");

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
    if (fieldCommand->parsed()) {
      field.convertSign = !fieldUnsigned;
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
