// quor encode, run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "quor/layout.hpp"
#include "quor/quor.hpp"
#include "quor/record.hpp"
#include "quor/text.hpp"
#include "run_quor.hpp"
#include "text_convert.hpp"

namespace quor::cli::testing {
namespace {

namespace fs = std::filesystem;

const std::string kLayout = "code 8 setCharacter\nname 10 setNCharacter\nqty 7 setNumeric\namount 11 3\n";
const std::string kGood = "A1,山田,12,-2500\nB2,鈴木,3,150000\n";
// The same two records through the lists; the record length is 8 + 20 + 7 + 6.
const std::string kLists = "--lengths 8,10,7,11 --formats 1,2,0,3";
constexpr std::size_t kRecordLength = 41;

std::string examplePaths() {
  return "--layout '" + examplesDir() + "/orders.layout' --gaiji '" + examplesDir() + "/site-gaiji.txt'";
}

TEST(Encode, ExamplesGiveTheCommittedBytes) {
  const std::string dir = "'" + examplesDir() + "/";
  const struct {
    std::string arguments;
    std::string expected;  // the committed hexadecimal
    std::size_t recordLength;
    std::string summary;
  } cases[] = {
      {examplePaths() + " " + dir + "orders.csv'", "orders.expected.hex", 69, "20 records, 1380 bytes"},
      // A spreadsheet's export (code page 932, CRLF, a header, quoted values) with a COBOL copybook.
      {"--copybook " + dir + "order.cpy' --encoding cp932 --header " + dir + "orders-excel.csv'",
       "orders-excel.expected.hex", 124, "4 records, 496 bytes"},
  };
  for (const auto& c : cases) {
    const ScratchFolder folder;
    const RunResult run = runQuor("encode -o out.dat " + c.arguments, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(hexLines(readFile(folder.path() / "out.dat"), c.recordLength),
              readFile(examplesDir() + "/" + c.expected));
    EXPECT_NE(run.err.find("quor: " + c.summary), std::string::npos) << run.err;
  }
}

TEST(Encode, Cp932AndUtf8InputsGiveTheSameBytes) {
  const ScratchFolder folder;
  const RunResult utf8 =
      runQuor("encode -q " + examplePaths() + " '" + examplesDir() + "/orders.csv'", folder.path());
  const RunResult cp932 =
      runQuor("encode -q --encoding cp932 " + examplePaths() + " '" + examplesDir() + "/orders.cp932.csv'",
              folder.path());
  ASSERT_EQ(utf8.exitCode, 0) << utf8.err;
  ASSERT_EQ(cp932.exitCode, 0) << cp932.err;
  EXPECT_EQ(utf8.out.size(), 20u * 69u);
  EXPECT_EQ(cp932.out, utf8.out);
  EXPECT_EQ(utf8.err, "");  // --quiet
}

TEST(Encode, ByteOrderMarkCrlfAndSeveralFilesReadAsOneInput) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("a.csv",
               "\xEF\xBB\xBF"
               "A1,山田,12,-2500\r\n");
  folder.write("b.csv", "B2,鈴木,3,150000");
  const RunResult plain = runQuor("encode -q --layout l.layout", folder.path(), kGood);
  const RunResult parts =
      runQuor("encode -q --layout l.layout a.csv - ", folder.path(), "B2,鈴木,3,150000\n");
  const RunResult lists = runQuor("encode -q " + kLists + " a.csv b.csv", folder.path());
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(plain.out.size(), 2 * kRecordLength);
  EXPECT_EQ(parts.out, plain.out);
  EXPECT_EQ(lists.out, plain.out);

  // A quote right after the mark opens a quoted field, line breaks and all.
  const std::string quoted = "\"A\n1\",山田,12,-2500\n";
  folder.write("c.csv", "\xEF\xBB\xBF" + quoted);
  const RunResult marked = runQuor("encode -q --lenient --layout l.layout c.csv", folder.path());
  const RunResult unmarked = runQuor("encode -q --lenient --layout l.layout", folder.path(), quoted);
  ASSERT_EQ(unmarked.exitCode, 0) << unmarked.err;
  EXPECT_EQ(marked.exitCode, 0) << marked.err;
  EXPECT_EQ(marked.out, unmarked.out);
}

TEST(Encode, ExitCodes) {
  struct Case {
    std::string arguments;
    std::string input;
    int exitCode;
    std::string message;  // part of standard error
  };
  const Case cases[] = {
      {"encode --layout l.layout", kGood, 0, "2 records"},
      {"encode --layout l.layout", "A1,山田,12,xx\n", 1, "<stdin>:1: field 4 (amount): \"xx\": not a number"},
      {"encode --layout l.layout", "A1,山田,12\n", 1, "<stdin>:1: 3 items, the layout has 4 fields"},
      {"encode --layout l.layout", kGood + "\n", 1,
       "<stdin>:3: empty line, the layout has 4 fields; --skip-blank-lines skips empty lines"},
      {"encode --layout l.layout", "", 0, "quor: 0 records, 0 bytes, "},  // the seconds vary
      {"encode --layout l.layout", "A1,\xFF,1,2\n", 1, "<stdin>:1: byte 4: not valid UTF-8 text"},
      {"encode --layout l.layout --encoding cp932", "A1,\x88,1,2\n", 1,
       "<stdin>:1: byte 4: not valid code page"},
      {"encode", kGood, 2, "needs --layout"},
      {"encode --lengths 8", kGood, 2, "--formats"},
      {"encode --layout l.layout --lengths 8 --formats 1", kGood, 2, "excludes"},
      {"encode --layout bad.layout", kGood, 2, "bad.layout:2: format 'setKanji'"},
      {"encode --layout l.layout --max-errors 3", kGood, 2, "--skip-bad"},
      {"encode --layout l.layout --encoding latin1", kGood, 2, "--encoding latin1"},
      {"encode --layout l.layout --frobnicate", kGood, 2, "frobnicate"},
      {"", kGood, 2, "subcommand"},
      {"encode --layout missing.layout", kGood, 3,
       "cannot read the layout file missing.layout: No such file or directory"},
      {"encode --layout sub", kGood, 3, "the layout file sub is a folder"},
      {"encode --layout l.layout missing.csv", kGood, 3, "cannot open missing.csv"},
      {"encode --layout l.layout -o no/such/out.dat", kGood, 3, "cannot create a temporary file"},
      {"encode --layout l.layout --gaiji missing.txt", kGood, 3, "cannot read the gaiji mapping file"},
      // The gaiji mapping file must be a readable text file with a mapping line.
      {"encode --layout l.layout --gaiji .", kGood, 3, "the gaiji mapping file . (--gaiji): it is a folder"},
      {"encode --layout l.layout --gaiji /dev/null", kGood, 2, "/dev/null (--gaiji) is not a regular file"},
      {"encode --layout l.layout --gaiji empty.txt", kGood, 2, "empty.txt (--gaiji) is empty"},
      {"encode --layout l.layout --gaiji nul.txt", kGood, 2, "nul.txt (--gaiji) holds NUL bytes"},
      {"encode --layout l.layout --gaiji words.txt", kGood, 2, "words.txt (--gaiji) has no mapping line"},
      // Encoding names in any case.
      {"encode --layout l.layout --encoding UTF8", kGood, 0, "2 records"},
      {"encode --layout l.layout --encoding Shift_JIS", kGood, 0, "2 records"},
      {"encode --layout l.layout --encoding windows-31j", kGood, 0, "2 records"},
      {"encode --layout l.layout --encoding MS932", kGood, 0, "2 records"},
      {"encode --layout l.layout", "A1,\x8E\x52\x93\x63,12,1\n", 1,
       "(it reads as code page 932: try --encoding cp932)"},
  };
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("bad.layout", "code 8 1\nname 10 setKanji\n");
  folder.write("empty.txt", "");
  folder.write("nul.txt", std::string("8EA1 7F21\0\r\n", 12));
  folder.write("words.txt", "no codes here\r\n");
  fs::create_directory(folder.path() / "sub");
  for (const Case& c : cases) {
    const RunResult run = runQuor(c.arguments, folder.path(), c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << "\n" << run.err;
  }
  // Without --gaiji, the file QUOR_GAIJI names.
  ::setenv("QUOR_GAIJI", "words.txt", 1);
  const RunResult named = runQuor("encode --layout l.layout", folder.path(), kGood);
  ::unsetenv("QUOR_GAIJI");
  EXPECT_EQ(named.exitCode, 2);
  EXPECT_NE(named.err.find("words.txt (QUOR_GAIJI) has no mapping line"), std::string::npos) << named.err;
}

// UTF-16 of UTF-8 `text`, little-endian unless `big`.
std::string utf16Of(const std::string& text, bool big = false) {
  std::string bytes;
  for (const char16_t unit : toUtf16(text, "text")) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += big ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

// What a spreadsheet saves as "Unicode text" (UTF-16 with a byte order mark, tab-separated) gives the
// records of its text; the byte order mark is read without --encoding and checked against it.
TEST(Encode, Utf16InputGivesTheRecordsOfItsText) {
  const std::string text = "A1\t山田\t12\t-2500\r\nB2\t鈴木\t3\t150000\r\n";
  const std::string le = "\xFF\xFE" + utf16Of(text), be = "\xFE\xFF" + utf16Of(text, true);
  const struct {
    std::string options;
    std::string input;
    int exitCode;
    std::string message;  // part of standard error; none: the records of kGood
  } cases[] = {
      {"--delimiter '\\t'", le, 0, ""},
      {"--delimiter '\\t'", be, 0, ""},
      {"--encoding utf-16 --delimiter '\\t'", le, 0, ""},
      {"--encoding UTF-16BE --delimiter '\\t'", be, 0, ""},
      {"--encoding utf-16le --delimiter '\\t'", utf16Of(text), 0, ""},
      {"--encoding utf16be --delimiter '\\t'", utf16Of(text, true), 0, ""},
      {"--encoding utf-16 --delimiter '\\t'", utf16Of(text), 2,
       "<stdin> has no UTF-16 byte order mark: give its byte order, --encoding utf-16le or utf-16be"},
      {"--encoding utf-8 --delimiter '\\t'", le, 2,
       "<stdin> starts with a UTF-16 byte order mark: it is UTF-16 text, which --encoding utf-16 reads"},
      {"--encoding cp932 --delimiter '\\t'", be, 2, "which --encoding utf-16 reads"},
      {"--encoding utf-16be --delimiter '\\t'", le, 2,
       "<stdin> starts with a little-endian byte order mark, and --encoding utf-16be reads"},
      {"--header --delimiter '\\t'",
       "\xFF\xFE" + utf16Of("amount\tcode\tqty\tname\r\n-2500\tA1\t12\t山田\r\n3,x\t鈴木\t3\t150000\r\n"), 1,
       "<stdin>:3: field 4 (amount): \"3,x\": not a number"},
      {"", "\xFF\xFE" + utf16Of("A1\t山田\r\n"), 1,
       "<stdin>:1: 1 item, the layout has 4 fields (the line holds tabs: --delimiter '\\t' cuts at them)"},
      {"--delimiter '\\t'",
       std::string("\xFF\xFEZ\0\t\0\0\xD8\t\0"
                   "1\0\t\0"
                   "2\0",
                   16),
       1, "<stdin>:1: byte 5: not valid UTF-16 text"},
  };
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  const std::string good = runQuor("encode -q --layout l.layout", folder.path(), kGood).out;
  for (const auto& c : cases) {
    const RunResult run = runQuor("encode -q --layout l.layout " + c.options, folder.path(), c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.options << "\n" << run.err;
    if (c.message.empty()) {
      EXPECT_TRUE(run.out == good) << c.options;
    } else {
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.options << "\n" << run.err;
    }
  }
}

// The bytes RecordBuilder gives for records of kLayout, each a list of its values.
std::string builtRecords(const std::vector<std::vector<std::u16string>>& records) {
  RecordBuilder builder(parseLayoutFile(kLayout, "l.layout"));
  ByteString out;
  for (const auto& values : records) {
    const std::vector<std::u16string_view> views(values.begin(), values.end());
    builder.append(views, out);
  }
  return {reinterpret_cast<const char*>(out.data()), out.size()};
}

TEST(Encode, CsvRecordsAsSpreadsheetsWriteThem) {
  struct Case {
    std::string options;
    std::string input;
    std::vector<std::vector<std::u16string>> records;  // what it writes, when it succeeds
    std::string message;                               // else part of standard error (exit 1 or 2)
  };
  const std::vector<std::u16string> yamada = {u"A1", u"山田", u"12", u"-2500"};
  const Case cases[] = {
      {"", "\"A1\",\"山田\",\"12\",\"-2500\"\r\n", {yamada}, ""},
      {"", "\"A,1\",\"山田\",12,-2500\n\"A\"\"1\",山田,12,-2500", {{u"A,1", u"山田", u"12", u"-2500"},
                                                              {u"A\"1", u"山田", u"12", u"-2500"}}, ""},
      {"--plain", "\"A1\",山田,12,-2500\n", {{u"\"A1\"", u"山田", u"12", u"-2500"}}, ""},
      {"--plain", "\"A,1\",山田,12,-2500\n", {}, "<stdin>:1: 5 items, the layout has 4 fields"},
      {"--delimiter ';'", "A,1;山田;12;-2500\n", {{u"A,1", u"山田", u"12", u"-2500"}}, ""},
      {"--delimiter '\\t'", "A1\t山田\t12\t-2500\n", {yamada}, ""},
      // 0x7C, '|', is the second byte of ポ (0x83 0x7C) in code page 932.
      {"--encoding cp932 --delimiter '|'", "A1|\x83\x7C|12|-2500\r\n", {{u"A1", u"ポ", u"12", u"-2500"}}, ""},
      {"--header", "amount,code,qty,name\r\n-2500,A1,12,山田\r\n", {yamada}, ""},
      {"--skip-blank-lines", "\nA1,山田,12,-2500\n\r\n\n", {yamada}, ""},
      // A record's line is its first line; a quoted line break counts.
      {"", "A1,山田,12,-2500\n\"B\n2\",鈴木,3,xx\nC3,鈴木,3,yy\n", {},
       "<stdin>:2: field 4 (amount): \"xx\": not a number"},
      {"--skip-bad", "A1,山田,12,-2500\n\"B\n2\",鈴木,3,xx\nC3,鈴木,3,yy\n", {},
       "<stdin>:4: field 4 (amount): \"yy\""},
      {"", "A1,\"山\"田,12,-2500\n", {}, "<stdin>:1: not a CSV record"},
      {"", "A1,\"山田,12,-2500\n", {}, "<stdin>:1: not a CSV record"},
      {"--header", "code,name,qty\nA1,山田,12\n", {}, "the header has no column for the field 'amount'"},
      {"--header", "code,name,qty,price\n", {}, "the header's column 'price' is no field of the layout"},
      {"--header", "code,name,qty,qty\n", {}, "the header names the column 'qty' twice"},
      {"--delimiter '\"'", "", {}, "--delimiter \""},
      {"--plain --delimiter ';'", "", {}, "--plain"},
  };
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  for (const Case& c : cases) {
    const RunResult run = runQuor("encode -q --layout l.layout " + c.options, folder.path(), c.input);
    if (c.message.empty()) {
      EXPECT_EQ(run.exitCode, 0) << c.options << "\n" << run.err;
      EXPECT_EQ(run.out, builtRecords(c.records)) << c.options << "\n" << c.input;
    } else {
      EXPECT_NE(run.exitCode, 0) << c.options << "\n" << c.input;
      EXPECT_NE(run.err.find(c.message), std::string::npos) << c.options << "\n" << run.err;
    }
  }
}

TEST(Encode, HeaderNamesMatchExactlyElseInAnyLetterCase) {
  const struct {
    std::string layout;
    std::string input;
    std::string out;      // the records' bytes, in hexadecimal, when the run succeeds
    std::string message;  // else part of standard error
  } cases[] = {
      {"l.layout", "AMOUNT,Code,QTY,name\n-2500,A1,12,山田\n",
       hexLines(builtRecords({{u"A1", u"山田", u"12", u"-2500"}}), 41), ""},
      {"l.layout", "code,CODE,qty,name\n", "",
       "the header's columns 'code' and 'CODE' both name the field 'code'"},
      {"two.layout", "Code,code\nA,B\n", "C2 C1\n", ""},  // exact names first
      {"two.layout", "CODE,code\n", "",
       "the header's column 'CODE' is no field of the layout, and the fields 'code' and 'Code' differ from "
       "it "
       "only in letter case: it must name one of them exactly"},
  };
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("two.layout", "code 1 1\nCode 1 1\n");
  for (const auto& c : cases) {
    const RunResult run = runQuor("encode -q --header --layout " + c.layout, folder.path(), c.input);
    if (c.message.empty()) {
      EXPECT_EQ(run.exitCode, 0) << c.input << run.err;
      EXPECT_EQ(hexLines(run.out, run.out.size()), c.out) << c.input;
    } else {
      EXPECT_EQ(run.exitCode, 2) << c.input;
      EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
  }
}

TEST(Encode, ABadLineWritesNothingAndKeepsTheOlderFile) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("in.csv", kGood + "C3,田中,1,oops\n" + kGood);

  const RunResult fresh = runQuor("encode --layout l.layout -o new.dat in.csv", folder.path());
  EXPECT_EQ(fresh.exitCode, 1);
  EXPECT_NE(fresh.err.find("in.csv:3: field 4 (amount): \"oops\": not a number"), std::string::npos) << fresh.err;
  EXPECT_FALSE(fs::exists(folder.path() / "new.dat"));

  folder.write("old.dat", "earlier run");
  const RunResult over = runQuor("encode --layout l.layout -o old.dat in.csv", folder.path());
  EXPECT_EQ(over.exitCode, 1);
  EXPECT_EQ(readFile(folder.path() / "old.dat"), "earlier run");

  // Standard output appended to a file is cut back to where the run started.
  const RunResult appended = runQuor("encode --layout l.layout in.csv >> old.dat", folder.path());
  EXPECT_EQ(appended.exitCode, 1);
  EXPECT_EQ(readFile(folder.path() / "old.dat"), "earlier run");

  // Nothing but the inputs and the old file remain: no temporary file.
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 3u);
}

TEST(Encode, SkipBadWritesTheGoodRecordsAndNamesTheBadLines) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("in.csv", "A1,山田,12,-2500\nbad\nB2,鈴木,3,150000\nC3,田中,1,oops\n");
  const RunResult good = runQuor("encode -q --layout l.layout -o good.dat", folder.path(), kGood);
  ASSERT_EQ(good.exitCode, 0);

  const RunResult skipped = runQuor("encode --layout l.layout --skip-bad -o out.dat in.csv", folder.path());
  EXPECT_EQ(skipped.exitCode, 1);
  EXPECT_EQ(readFile(folder.path() / "out.dat"), readFile(folder.path() / "good.dat"));
  EXPECT_NE(skipped.err.find("in.csv:2: 1 item, the layout has 4 fields (line skipped)"), std::string::npos);
  EXPECT_NE(skipped.err.find("quor: 2 bad records skipped: in.csv:2, in.csv:4"), std::string::npos)
      << skipped.err;

  const RunResult withinLimit =
      runQuor("encode -q --layout l.layout --skip-bad --max-errors 2 in.csv", folder.path());
  EXPECT_EQ(withinLimit.exitCode, 1);
  EXPECT_EQ(withinLimit.out.size(), 2 * kRecordLength);

  const RunResult overLimit =
      runQuor("encode --layout l.layout --skip-bad --max-errors 1 -o over.dat in.csv", folder.path());
  EXPECT_EQ(overLimit.exitCode, 1);
  EXPECT_FALSE(fs::exists(folder.path() / "over.dat"));
  EXPECT_NE(overLimit.err.find("--max-errors 1"), std::string::npos) << overLimit.err;
}

// A value written other than it reads makes its record bad, with the field, the value and the reason;
// --lenient writes it as the component does, lists it and exits 0.
TEST(Encode, ValuesWrittenOtherThanTheyReadAreBadUnlessLenient) {
  struct Case {
    std::string options;  // the layout and any other option
    std::string line;
    std::string message;  // after "<stdin>:1: "
    std::size_t bytes;    // of the record --lenient writes
  };
  const Case cases[] = {
      {"--lengths 8 --formats 0", "2024/01/05", "field 1: \"2024/01/05\": not a number: written as zeros", 8},
      {"--lengths 7 --formats 0", "1234567890",
       "field 1: \"1234567890\": 10 digits, the field holds 7: the leading digits are cut", 7},
      {"--lengths 5 --formats 0", "１２", "field 1: \"１２\": not a number", 5},
      {"--lengths 5 --formats 0", "△123", "field 1: \"△123\": not a number", 5},
      {"--lengths 6 --formats 3", "123456",
       "field 1: \"123456\": 6 digits, the field holds 5 (packed decimal of the even length 6 holds one digit "
       "less)",
       3},
      {"--unsigned --lengths 5,1 --formats 0,1", "-12,A",
       "field 1: \"-12\": a negative number, and numbers are written without sign", 0},
      {"--lengths 3,1 --formats 1,1", ",A",
       "field 1: \"\": empty, in a character field: written as 0x00 bytes, not blanks", 4},
      {"--lengths 2 --formats 1", "山", "field 1: \"山\": double-byte character U+5C71 山 in a single-byte field", 2},
      {"--lengths 2 --formats 1", "é", "field 1: \"é\": character U+00E9 é has no code page 932 form: written as \"e\"",
       2},
      {"--lengths 4 --formats 1", "ABCDEF", "field 1: \"ABCDEF\": 6 characters, the field holds 4: the rest is cut", 4},
      {"--lengths 1 --formats 2", "髙", "field 1: \"髙\": character U+9AD9 髙 has no JEF code: written as 00 FE", 2},
      {"--lengths 1 --formats 2", "﨑", "field 1: \"﨑\": character U+FA11 﨑 has no JEF code: written as 00 B3", 2},
      {"--lengths 1 --formats 2", "\uE000",
       "field 1: \"\uE000\": user-defined character U+E000 and no gaiji mapping given", 2},
      {"--lengths 1 --formats 2 --gaiji g.txt", "\uE001",
       "field 1: \"\uE001\": character U+E001 has no JEF code: written as FF A2", 2},
      {"--lengths 1 --formats 2", "〜", "field 1: \"〜\": character U+301C 〜 has no code page 932 form: written as \"?\"",
       2},
      {"--lengths 1 --formats 2", "−", "field 1: \"−\": character U+2212 − has no code page 932 form", 2},
      {"--lengths 2 --formats 2", "😀", "field 1: \"😀\": character U+1F600 😀 has no code page 932 form", 4},
      {"--lengths 2 --formats 2", "山田太", "field 1: \"山田太\": 3 characters, the field holds 2: the rest is cut", 4},
  };
  const ScratchFolder folder;
  folder.write("g.txt", "8EA1 7F21\r\n");  // maps U+E000 only
  for (const Case& c : cases) {
    const RunResult strict = runQuor("encode " + c.options, folder.path(), c.line + "\n");
    EXPECT_EQ(strict.exitCode, 1) << c.line << strict.err;
    EXPECT_EQ(strict.out, "");
    EXPECT_NE(strict.err.find("<stdin>:1: " + c.message), std::string::npos) << c.line << "\n" << strict.err;
    if (c.bytes == 0) continue;  // the component cannot write it either
    const RunResult lenient = runQuor("encode --lenient " + c.options, folder.path(), c.line + "\n");
    EXPECT_EQ(lenient.exitCode, 0) << c.line << lenient.err;
    EXPECT_EQ(lenient.out.size(), c.bytes) << c.line;
    EXPECT_NE(lenient.err.find("  <stdin>:1: " + c.message), std::string::npos) << c.line << "\n" << lenient.err;
  }
}

// --lenient lists the first 20 changed values in input order and counts the rest.
TEST(Encode, LenientListsTheFirstChangedValues) {
  std::string input;
  for (int i = 1; i <= 25; ++i) input += "ABCDEF" + std::to_string(i) + "\n";
  const ScratchFolder folder;
  const RunResult run = runQuor("encode --lenient --lengths 4 --formats 1", folder.path(), input);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.size(), 25u * 4u);
  EXPECT_NE(run.err.find("quor: 25 values written other than they read"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("  <stdin>:20: field 1: \"ABCDEF20\""), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("<stdin>:21:"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("  and 5 more"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("quor: in all: 25 cut to the field"), std::string::npos) << run.err;
}

// A line of millions of values is refused without holding them: under a 1 GB address space limit (a
// bound on memory, no timing), a 40 MB line of commas is one bad line, or a header naming no column.
TEST(Encode, ALineOfMillionsOfValuesTakesNoMemoryForThem) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
  const std::string commas(40'000'000, ',');
  const struct {
    std::string options;
    std::string input;
    int exitCode;
    std::string err;
  } cases[] = {
      {"--skip-bad", commas + "\nA,B\n", 1,
       "in.csv:1: 40000001 items, the layout has 2 fields (line skipped)\n"},
      {"--skip-bad --plain", commas + "\nA,B\n", 1,
       "in.csv:1: 40000001 items, the layout has 2 fields (line skipped)\n"},
      {"--header", commas + "\nA,B\n", 2, "quor: in.csv:1: the header names the column '' twice\n"},
  };
  const ScratchFolder folder;
  for (const auto& c : cases) {
    folder.write("in.csv", c.input);
    const std::string command = "cd '" + folder.path().string() +
                                "' && ulimit -v 1000000 && '" QUOR_BINARY
                                "' encode -q --lengths 2,2 --formats 1,1 " +
                                c.options + " in.csv > out.dat 2> err";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.exitCode) << c.options;
    EXPECT_EQ(readFile(folder.path() / "err"), c.err) << c.options;
    if (c.exitCode == 1) {
      EXPECT_EQ(hexLines(readFile(folder.path() / "out.dat"), 4), "C1 40 C2 40\n");
    }
  }
}

// The closing tally says what was written, as the value's own line and the bytes do.
TEST(Encode, TheLenientTallySaysWhatIsWritten) {
  const struct {
    std::string layout;
    std::string input;
    std::string hex;
    std::string tally;
    std::string options;
  } cases[] = {
      {"a 2 1\n", "山\n", "00 00\n",
       "quor: in all: 1 double-byte text in a single-byte field (written as 0x00 bytes)\n", ""},
      {"a text 2\n", "山\n", "40 40\n",
       "quor: in all: 1 double-byte text in a single-byte field (written as blanks)\n", " --no-shift"},
      // With shift codes, 山 between KI and KO takes 4 bytes: cut before it.
      {"a text 2\n", "山\n", "40 40\n", "quor: in all: 1 cut to the field\n", ""},
      {"a 2 1\nb text 2\n", "山,山\n", "00 00 40 40\n",
       "quor: in all: 1 double-byte text in a single-byte field (written as 0x00 bytes), "
       "1 double-byte text in a single-byte field (written as blanks)\n",
       " --no-shift"},
      {"a 2 1\nb 1 1\n", ",A\n", "00 00 C1\n",
       "quor: in all: 1 empty in a character field (written as 0x00 bytes)\n", ""},
  };
  const ScratchFolder folder;
  for (const auto& c : cases) {
    folder.write("t.layout", c.layout);
    const RunResult run = runQuor("encode --lenient --layout t.layout" + c.options, folder.path(), c.input);
    EXPECT_EQ(run.exitCode, 0) << c.layout << run.err;
    EXPECT_EQ(hexLines(run.out, 16), c.hex) << c.layout;
    EXPECT_NE(run.err.find(c.tally), std::string::npos) << c.layout << run.err;
  }
}

TEST(Encode, UnsignedDropsTheSign) {
  const ScratchFolder folder;
  const RunResult run =
      runQuor("encode -q --unsigned --lengths 3,4 --formats 0,3", folder.path(), "12,1234\n");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(hexLines(run.out, 16), "F0 F1 F2 12 34\n");
}

TEST(Encode, ATerminationSignalRemovesTheTemporaryFile) {
  // quor waits on a FIFO holding one line; SIGTERM arrives; then the input ends. The run must die of
  // the signal with neither the output nor its temporary file left.
  const ScratchFolder folder;
  folder.write("run.sh",
               "mkfifo in.fifo\n"
               "'" QUOR_BINARY
               "' encode --lengths 2 --formats 1 -o out.dat in.fifo 2>err &\n"
               "pid=$!\n"
               "exec 3>in.fifo\n"
               "echo AB >&3\n"
               "sleep 0.3\n"
               "kill -TERM $pid\n"
               "sleep 0.3\n"
               "exec 3>&-\n"
               "wait $pid\n"
               "echo $? > status\n"
               "rm in.fifo run.sh\n");
  ASSERT_EQ(std::system(("cd '" + folder.path().string() + "' && sh run.sh").c_str()), 0);
  EXPECT_EQ(readFile(folder.path() / "status"), "143\n");  // 128 + SIGTERM
  EXPECT_NE(readFile(folder.path() / "err").find("out.dat was not written"), std::string::npos);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder.path()))
    left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"err", "status"}));
}

TEST(Encode, AGaijiFileChangedDuringTheRunDoesNotChangeItsRecords) {
  // The mapping is read once when the run starts: lines that arrive after the file was truncated, and
  // after it was deleted, still get the codes it held at the start, and the run succeeds.
  const ScratchFolder folder;
  const std::string mapping = "80A1 7F21\n80A2 7F22\n";
  folder.write("map.txt", mapping);
  folder.write("run.sh",
               "mkfifo in.fifo\n"
               "'" QUOR_BINARY
               "' encode -q --lengths 2,1 --formats 2,1 --gaiji map.txt -o out.dat in.fifo 2>err &\n"
               "pid=$!\n"
               "exec 3>in.fifo\n"
               "printf '\\356\\200\\200\\356\\200\\201,A\\n' >&3\n"  // U+E000 U+E001
               "sleep 0.3\n"
               "printf '8' > map.txt\n"
               "printf '\\356\\200\\201,B\\n' >&3\n"
               "sleep 0.3\n"
               "rm map.txt\n"
               "printf '\\356\\200\\200,C\\n' >&3\n"
               "exec 3>&-\n"
               "wait $pid\n"
               "echo $? > status\n"
               "rm in.fifo\n");
  ASSERT_EQ(std::system(("cd '" + folder.path().string() + "' && sh run.sh").c_str()), 0);
  EXPECT_EQ(readFile(folder.path() / "status"), "0\n") << readFile(folder.path() / "err");

  const std::filesystem::path copy = folder.write("copy.txt", mapping);
  Quor quor;
  quor.PinGaijiMapping(GaijiMapping::read(copy.u16string()));
  std::string expected;
  for (const std::u16string line : {u"\uE000\uE001,A", u"\uE001,B", u"\uE000,C"}) {
    const ByteString record = quor.FujitsuHostQuor(line, u"2,1", u"2,1");
    expected.append(reinterpret_cast<const char*>(record.data()), record.size());
  }
  EXPECT_EQ(hexLines(readFile(folder.path() / "out.dat"), 5), hexLines(expected, 5));
  EXPECT_EQ(hexLines(expected, 5), "80 A1 80 A2 C1\n80 A2 A1 A1 C2\n80 A1 A1 A1 C3\n");
}

// Long inputs: the records are built in batches of a few thousand lines on several threads, and must
// come out, with their messages, exactly as if read one line after the other.

// Line `i` (from 0) of a long input for kLayout: a good record unless `bad` names it.
std::string longLine(std::size_t i, const std::map<std::size_t, std::string>& bad = {}) {
  if (const auto it = bad.find(i); it != bad.end()) return it->second;
  static const char* const kNames[] = {"山田", "鈴木花子", "ｶﾞｲｼﾞ", "佐藤", "高橋美穂"};
  return std::string(1, "ABCD"[i % 4]) + std::to_string(i) + "," + kNames[i % 5] + "," +
         std::to_string(i % 9999999) + "," + (i % 3 == 0 ? "-" : "") + std::to_string(i * 7919);
}

std::string longInput(std::size_t lines, const std::map<std::size_t, std::string>& bad = {}) {
  std::string text;
  for (std::size_t i = 0; i < lines; ++i) text += longLine(i, bad) + "\n";
  return text;
}

// The library's records for the good lines of longInput, back to back.
std::string longRecords(std::size_t lines, const std::map<std::size_t, std::string>& bad = {}) {
  Quor quor;
  quor.PinGaijiMapping(GaijiMapping());
  std::string bytes;
  for (std::size_t i = 0; i < lines; ++i) {
    if (bad.count(i) != 0) continue;
    const ByteString record = quor.FujitsuHostQuor(toUtf16(longLine(i), "line"), u"8,10,7,11", u"1,2,0,3");
    bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
  }
  return bytes;
}

// Bad lines of every kind, spread over the batches: the first, the edges of batches, the last.
const std::map<std::size_t, std::string> kBadLines = {
    {2, "bad"}, {4095, "A1,山田,12,xx"}, {4096, "A1,\xFF,1,2"},
    {8191, ""}, {12288, "A1,山田,12"},   {19999, "A1,山田,12,1,2"},
};
const std::string kBadMessages[] = {
    "big.csv:3: 1 item, the layout has 4 fields",
    "big.csv:4096: field 4 (amount): \"xx\": not a number",
    "big.csv:4097: byte 4: not valid UTF-8 text",
    "big.csv:8192: empty line, the layout has 4 fields; --skip-blank-lines skips empty lines",
    "big.csv:12289: 3 items, the layout has 4 fields",
    "big.csv:20000: 5 items, the layout has 4 fields",
};

TEST(EncodeLongInput, RecordsComeInInputOrderFromFilesStandardInputAndPipes) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("big.csv", longInput(20000));
  const RunResult file = runQuor("encode -q --layout l.layout -o out.dat big.csv", folder.path());
  ASSERT_EQ(file.exitCode, 0) << file.err;
  EXPECT_EQ(file.err, "");
  const std::string expected = longRecords(20000);
  ASSERT_EQ(expected.size(), 20000 * kRecordLength);
  EXPECT_TRUE(readFile(folder.path() / "out.dat") == expected);

  const RunResult standardInput = runQuor("encode -q " + kLists, folder.path(), longInput(20000));
  EXPECT_EQ(standardInput.exitCode, 0) << standardInput.err;
  EXPECT_TRUE(standardInput.out == expected);

  // Through a pipe the reader hands on what has come so far instead of waiting for whole batches.
  const std::string piped = "cd '" + folder.path().string() +
                            "' && cat big.csv | '" QUOR_BINARY "' encode -q --layout l.layout > piped.dat";
  ASSERT_EQ(std::system(piped.c_str()), 0);
  EXPECT_TRUE(readFile(folder.path() / "piped.dat") == expected);
}

TEST(EncodeLongInput, SeveralInputsKeepTheirOwnLineNumbersAndByteOrderMarks) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("a.csv", longInput(5000));
  folder.write("b.csv", "\xEF\xBB\xBF" + longInput(10000, {{6000, "bad"}}));
  const RunResult run = runQuor("encode --layout l.layout --skip-bad -o out.dat a.csv b.csv - a.csv",
                                folder.path(), "\xEF\xBB\xBF" + longInput(3));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(readFile(folder.path() / "out.dat"),
            longRecords(5000) + longRecords(10000, {{6000, "bad"}}) + longRecords(3) + longRecords(5000));
  EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1),
            "b.csv:6001: 1 item, the layout has 4 fields (line skipped)\n");
  EXPECT_NE(run.err.find("quor: 20002 records, "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("quor: 1 bad record skipped: b.csv:6001\n"), std::string::npos) << run.err;
}

TEST(EncodeLongInput, BadLinesAreReportedAndCountedInInputOrder) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("big.csv", longInput(20000, kBadLines));

  const RunResult skipped = runQuor("encode --layout l.layout --skip-bad -o out.dat big.csv", folder.path());
  EXPECT_EQ(skipped.exitCode, 1);
  EXPECT_TRUE(readFile(folder.path() / "out.dat") == longRecords(20000, kBadLines));
  std::string messages;
  for (const std::string& message : kBadMessages) messages += message + " (line skipped)\n";
  EXPECT_EQ(skipped.err.substr(0, messages.size()), messages);
  EXPECT_NE(skipped.err.find("quor: 19994 records, 819754 bytes, record length 41"), std::string::npos)
      << skipped.err;
  EXPECT_NE(skipped.err.find("quor: 6 bad records skipped: big.csv:3, big.csv:4096, big.csv:4097, "
                             "big.csv:8192, big.csv:12289, big.csv:20000\n"),
            std::string::npos)
      << skipped.err;

  // The fourth bad line in input order is one too many; nothing after it is looked at.
  const RunResult overLimit =
      runQuor("encode --layout l.layout --skip-bad --max-errors 3 -o over.dat big.csv", folder.path());
  EXPECT_EQ(overLimit.exitCode, 1);
  EXPECT_EQ(overLimit.err, kBadMessages[0] + " (line skipped)\n" + kBadMessages[1] + " (line skipped)\n" +
                               kBadMessages[2] + " (line skipped)\n" + kBadMessages[3] +
                               "\nquor: the bad records exceed --max-errors 3\n"
                               "quor: stopped; over.dat was not written\n");
  EXPECT_FALSE(fs::exists(folder.path() / "over.dat"));

  // Without --skip-bad only the first bad line is reported.
  const RunResult stopped = runQuor("encode --layout l.layout -o stop.dat big.csv", folder.path());
  EXPECT_EQ(stopped.exitCode, 1);
  EXPECT_EQ(stopped.err, kBadMessages[0] +
                             "\nquor: stopped; stop.dat was not written (--skip-bad writes the good records "
                             "and skips the bad ones)\n");
  EXPECT_FALSE(fs::exists(folder.path() / "stop.dat"));

  // On standard output the records before the first bad line may have gone out; a file is cut back.
  const std::string laterBad = longInput(9000, {{8999, "bad"}});
  const RunResult onStandardOutput = runQuor("encode --layout l.layout", folder.path(), laterBad);
  EXPECT_EQ(onStandardOutput.exitCode, 1);
  EXPECT_EQ(onStandardOutput.out, "");
  EXPECT_EQ(onStandardOutput.err,
            "<stdin>:9000: 1 item, the layout has 4 fields\n"
            "quor: stopped; standard output was cut back to its size at the start of the run (--skip-bad writes "
            "the good records and skips the bad ones)\n");
}

TEST(EncodeLongInput, AFailingInputWaitsForTheLinesBeforeIt) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("good.csv", longInput(9000));
  folder.write("bad.csv", longInput(9000, {{8500, "bad"}}));

  // The run stops at the bad line before it would open the missing input.
  const RunResult badFirst =
      runQuor("encode --layout l.layout -o out.dat bad.csv missing.csv", folder.path());
  EXPECT_EQ(badFirst.exitCode, 1);
  EXPECT_EQ(badFirst.err.substr(0, badFirst.err.find('\n') + 1),
            "bad.csv:8501: 1 item, the layout has 4 fields\n");
  EXPECT_EQ(badFirst.err.find("cannot open"), std::string::npos) << badFirst.err;

  const RunResult missing =
      runQuor("encode --layout l.layout -o out.dat good.csv missing.csv", folder.path());
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.err.find("cannot open missing.csv"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(folder.path() / "out.dat"));
}

TEST(Encode, ItemsAreCutAtEveryCommaWhereverItStands) {
  // Lines of up to 11 characters with one or two commas at every place, blanks and kana between: two
  // items make a record, three a bad line that names its count.
  std::string input;
  std::string expectedErr;
  std::string expectedOut;
  Quor quor;
  quor.PinGaijiMapping(GaijiMapping());
  std::size_t lineNumber = 0;
  for (std::size_t length = 1; length <= 11; ++length) {
    for (std::size_t first = 0; first < length; ++first) {
      for (std::size_t second = first; second < length; ++second) {
        std::u16string line;
        for (std::size_t i = 0; i < length; ++i) line += (i == first || i == second) ? u',' : u"aｱ 1"[i % 4];
        const std::string text = quor::toUtf8(line);
        input += text + "\n";
        ++lineNumber;
        if (first == second) {
          const ByteString record = quor.FujitsuHostQuor(line, u"12,12", u"1,1");
          expectedOut.append(reinterpret_cast<const char*>(record.data()), record.size());
        } else {
          expectedErr +=
              "<stdin>:" + std::to_string(lineNumber) + ": 3 items, the layout has 2 fields (line skipped)\n";
        }
      }
    }
  }
  const ScratchFolder folder;
  // Lenient: an empty item is written as the component writes it, 0x00 bytes.
  const RunResult run =
      runQuor("encode -q --lenient --skip-bad --lengths 12,12 --formats 1,1", folder.path(), input);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, expectedErr);
  EXPECT_TRUE(run.out == expectedOut);
}

}  // namespace
}  // namespace quor::cli::testing

namespace quor::cli::testing {
namespace {

TEST(Encode, HostCodePagesBothWays) {
  const ScratchFolder folder;
  folder.write("t.layout", "a text 10\nn national 2\n");
  folder.write("in.csv", "ABC漢字,山\n");
  const RunResult encoded = runQuor("encode -q --host IBM930 --layout t.layout -o out.dat in.csv", folder.path(), "");
  ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
  EXPECT_EQ(hexLines(readFile(folder.path() / "out.dat"), 16), "C1 C2 C3 0E 4F 58 48 F2 0F 40 45 65 40 40\n");
  const RunResult decoded = runQuor("decode -q --host cp930 --layout t.layout out.dat", folder.path(), "");
  EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
  EXPECT_EQ(decoded.out, "ABC漢字,山\n");
  // The Fujitsu page reads SO as no character: the shifts are the page's own.
  const RunResult fujitsu = runQuor("decode -q --layout t.layout out.dat", folder.path(), "");
  EXPECT_EQ(fujitsu.exitCode, 1);

  const RunResult unknown = runQuor("encode --host ibm-931 --layout t.layout in.csv", folder.path(), "");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("--host ibm-931: not a host code page"), std::string::npos) << unknown.err;
  const RunResult single = runQuor("encode --host ibm-037 --layout t.layout in.csv", folder.path(), "");
  EXPECT_NE(single.exitCode, 0);
  EXPECT_NE(single.err.find("ibm-037 is a single-byte code page"), std::string::npos) << single.err;
}

}  // namespace
}  // namespace quor::cli::testing
