// quor field and quor version, run as a user runs them.

#include <gtest/gtest.h>

#include "run_quor.hpp"

namespace quor::cli::testing {
namespace {

TEST(Field, PrintsTheEncodersBytes) {
  const std::string gaiji = "--gaiji '" + examplesDir() + "/site-gaiji.txt'";
  const std::pair<std::string, std::string> cases[] = {
      {"field zoned -- -123 5", "F0 F0 F1 F2 D3\n"},
      {"field packed 12345 5", "12 34 5C\n"},
      {"field packed --unsigned 1234 4", "12 34\n"},
      {"field ebcdic ABC 5", "C1 C2 C3 40 40\n"},          // as a record's field: blanks after the text
      {"field ebcdic --bare ABC 5", "C1 C2 C3 00 00\n"},   // the component's own call
      {"field jef 亜 1", "B0 A1\n"},
      {"field jef \xEE\x80\x80 1 " + gaiji, "80 A1\n"},  // U+E000, from the mapping file
      {"field jef --bare \xEE\x80\x80 1", "FF A1\n"},    // not listed: JIS code + 0x80
      {"field zoned-list 123,-45 5,3", "F0 F0 F1 F2 F3 F0 F4 D5\n"},
      {"field jef --bare 亜 0", "\n"},
  };
  const ScratchFolder folder;
  for (const auto& [arguments, output] : cases) {
    const RunResult run = runQuor(arguments, folder.path());
    EXPECT_EQ(run.exitCode, 0) << arguments << run.err;
    EXPECT_EQ(run.out, output) << arguments;
  }
}

TEST(Field, RawWritesTheBytesThemselves) {
  const ScratchFolder folder;
  const RunResult run = runQuor("field packed --raw 12345 5", folder.path());
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "\x12\x34\x5C");
}

TEST(Field, FailuresAndTheirExitCodes) {
  struct Case {
    std::string arguments;
    int exitCode;
    std::string message;
  };
  const Case cases[] = {
      {"field zoned abc 5", 1, "quor: \"abc\": not a number: written as zeros (--lenient prints"},
      {"field zoned --unsigned -- -123 5", 1, "\"-123\": a negative number, and numbers are written without sign"},
      {"field zoned 12.5 5", 1,
       "\"12.5\": a number with a fraction, in a field of whole numbers (error 13: Type mismatch)"},
      {"field ebcdic ABCDEF 5", 1, "\"ABCDEF\": 6 characters, the field holds 5: the rest is cut"},
      {"field ebcdic --bare ABCDEF 5", 1,
       "\"ABCDEF\": a length below 1, or more characters than the length (error 9: Subscript out of range)"},
      {"field zoned --bare 1 0", 1, "\"1\": a length below 1 (error 9"},
      {"field jef \xEE\x80\x80 1", 1, "user-defined character U+E000 and no gaiji mapping given"},
      {"field jef 亜 0", 2, "length 0 is not from 1 to 32767"},
      {"field zoned 1 five", 2, "length 'five' is not a whole number"},
      {"field zoned-list 1,2 5", 2, "the values list has 2 items, the lengths list 1"},
      {"field binary 1 5", 2, "binary"},
      {"field zoned 1", 2, "length"},
      {"field jef 亜 1 --gaiji missing.txt", 3, "cannot read the gaiji mapping file missing.txt"},
  };
  const ScratchFolder folder;
  for (const Case& c : cases) {
    const RunResult run = runQuor(c.arguments, folder.path());
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << run.err;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
}

// quor field gives exactly the bytes quor encode writes for the value in a one-field layout.
TEST(Field, GivesTheBytesOfAOneFieldRecord) {
  const struct {
    const char* kind;
    const char* format;
    std::string value;
    const char* length;
  } cases[] = {
      {"zoned", "0", "-123", "5"},  {"zoned", "0", "123-", "5"},   {"zoned", "0", " 12", "4"},
      {"zoned", "0", "&H1F", "3"},  {"packed", "3", "-12", "5"},   {"packed", "3", "12345", "5"},
      {"ebcdic", "1", "ABC", "5"},  {"ebcdic", "1", "ｱｲｳ", "4"},   {"jef", "2", "AB", "3"},
      {"jef", "2", "山田", "4"},    {"jef", "2", "ｶﾞ", "2"},
  };
  const ScratchFolder folder;
  for (const auto& c : cases) {
    const std::string arguments = std::string("field --raw ") + c.kind + " -- '" + c.value + "' " + c.length;
    const RunResult field = runQuor(arguments, folder.path());
    const RunResult encode =
        runQuor(std::string("encode -q --lengths ") + c.length + " --formats " + c.format, folder.path(), c.value + "\n");
    EXPECT_EQ(field.exitCode, 0) << arguments << field.err;
    EXPECT_EQ(encode.exitCode, 0) << c.value << encode.err;
    EXPECT_EQ(field.out, encode.out) << arguments;
  }
}

TEST(Version, PrintsTheComponentVersion) {
  const ScratchFolder folder;
  EXPECT_EQ(runQuor("version", folder.path()).out, "1.0.0\n");
  const RunResult help = runQuor("encode --help", folder.path());
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--skip-bad"), std::string::npos);
  EXPECT_NE(help.out.find("Examples:"), std::string::npos);
}

}  // namespace
}  // namespace quor::cli::testing
