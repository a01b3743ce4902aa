// quor decode and quor dump, run as a user runs them.

#include <gtest/gtest.h>

#include "run_quor.hpp"

namespace quor::cli::testing {
namespace {

std::string examplePaths() {
  return "--layout '" + examplesDir() + "/orders.layout' --gaiji '" + examplesDir() + "/site-gaiji.txt'";
}

// What encode writes, decode gives back as the CSV it came from, and encode writes that again.
TEST(Decode, GivesBackWhatEncodeWrote) {
  const ScratchFolder folder;
  ASSERT_EQ(runQuor("encode -q " + examplePaths() + " -o orders.dat '" + examplesDir() + "/orders.csv'",
                    folder.path())
                .exitCode,
            0);
  const RunResult decoded = runQuor("decode -q " + examplePaths() + " orders.dat", folder.path());
  ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
  EXPECT_EQ(decoded.out, readFile(examplesDir() + "/orders.csv"));
  const RunResult cp932 = runQuor("decode -q --encoding cp932 " + examplePaths() + " orders.dat", folder.path());
  EXPECT_EQ(cp932.out, readFile(examplesDir() + "/orders.cp932.csv"));
}

TEST(Decode, InvalidDataNamesRecordOffsetFieldAndBytes) {
  struct Case {
    std::string options;
    std::string bytes;
    int exitCode;
    std::string message;  // part of standard error
    std::string out;
  };
  const Case cases[] = {
      {"--lengths 3,2 --formats 0,1", "\xF1\xFA\xF3\xC1\xC2", 1,
       "<stdin>: record 1 (byte offset 1): field 1: bytes FA: digit nibble above 9", ""},
      {"--lengths 3,2 --formats 0,1", std::string("\xF1\xF2\xF3\xC1\xC2\xF1\xF2\xF3\x4F\x40", 10), 1,
       "<stdin>: record 2 (byte offset 8): field 2: bytes 4F: byte of no single-byte character", ""},
      {"--lengths 3,2 --formats 0,1 --lenient", "\xF1\xFA\xF3\xC1\xC2", 0, "1 field of invalid data", "1A3,AB\n"},
      {"--lengths 1 --formats 2", std::string("\x00\xFE", 2), 1, "bytes 00 FE: bytes that are no JEF code", ""},
      {"--lengths 1 --formats 2 --lenient", std::string("\x00\xFE", 2), 0, "", "\xEF\xBF\xBD\n"},
      {"--lengths 2 --formats 1", "\xC1\xC2\xC3", 1, "<stdin>: record 2 (byte offset 2): 1 leftover byte", ""},
      {"--lengths 2 --formats 1 --skip-bad", "\xC1\xC2\xC3", 1, "1 leftover byte", "AB\n"},
      {"--lengths 5 --formats 3 --unsigned", "\x01\x23\x45", 0, "", "12345\n"},
      {"--lengths 5 --formats 3 --unsigned", "\x12\x34\x56", 1, "bytes 12: digit beyond the field's digits", ""},
      {"--lengths 5 --formats 3", "\x12\x34\x5D", 0, "", "-12345\n"},
      {"--lengths 2,2 --formats 1,1 --delimiter ';' --line-end crlf", "\xC1\x5E\xC2\x40", 0, "", "\"A;\";B\r\n"},
  };
  const ScratchFolder folder;
  for (const Case& c : cases) {
    const RunResult run = runQuor("decode " + c.options, folder.path(), c.bytes);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.options << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.options << "\n" << run.err;
    EXPECT_EQ(run.out, c.out) << c.options;
  }
}

// Decoding on several threads writes what one thread writes: the same lines in the same order, the
// same messages, the same place to stop, over enough records for many batches, with bad records, short
// V records (the reading thread's) and a bad end among them.
TEST(Decode, ThreadsWriteWhatOneThreadWrites) {
  std::string fixed;
  std::string v;
  std::string varying;
  std::string padded;
  for (int i = 0; i < 20000; ++i) {
    std::string record = {static_cast<char>(0xF0 + i / 100 % 10), static_cast<char>(0xF0 + i / 10 % 10),
                          static_cast<char>(0xF0 + i % 10), '\xC1', '\xC2'};
    if (i % 997 == 5) record[1] = '\xFA';  // digit nibble above 9
    if (i % 13 == 0) record.resize(3);      // a V record of the first column only
    fixed += record.size() == 5 ? record : record + "\x40\x40";
    v += std::string{'\0', static_cast<char>(record.size() + 4), '\0', '\0'} + record;
    // Records of varying length (v.cpy), back to back and in padded slots, some counting past the table.
    const int count = i % 4;
    std::string counted = static_cast<char>(0xF0 + count) + std::string(static_cast<std::size_t>(count) * 2, '\xC1') + "\xC3";
    varying += counted;
    if (i % 991 == 7) counted[0] = '\xF9';
    padded += counted + std::string(8 - counted.size(), '\x40');
  }
  const struct {
    std::string options;
    std::string bytes;
  } cases[] = {
      {"--lengths 3,2 --formats 0,1", fixed},
      {"--lengths 3,2 --formats 0,1 --skip-bad", fixed + "\xF1"},
      {"--lengths 3,2 --formats 0,1 --skip-bad --max-errors 9", fixed},
      {"--lengths 3,2 --formats 0,1 --lenient", fixed},
      {"--lengths 3,2 --formats 0,1 --recfm V --skip-bad", v + std::string("\0\x09\0\0\xF1", 5)},
      {"--copybook v.cpy", varying},
      {"--copybook v.cpy --odo-padded --skip-bad", padded},
  };
  const ScratchFolder folder;
  folder.write("v.cpy", "       01  R.\n           05  N  PIC 9.\n           05  T  OCCURS 0 TO 3 DEPENDING ON N PIC XX.\n"
                        "           05  E  PIC X.\n");
  for (const auto& c : cases) {
    const RunResult one = runQuor("decode -q --threads 1 " + c.options, folder.path(), c.bytes);
    const RunResult three = runQuor("decode -q --threads 3 " + c.options, folder.path(), c.bytes);
    EXPECT_EQ(three.exitCode, one.exitCode) << c.options;
    EXPECT_EQ(three.err, one.err) << c.options;
    EXPECT_TRUE(three.out == one.out) << c.options;
    EXPECT_GT(one.out.size() + one.err.size(), 0u) << c.options;
  }
}

// A copybook's clauses both ways through the tool, with the site's choices; zeros kept on reading;
// a clause the reader refuses in the words of the command.
TEST(Decode, CopybookClausesBothWays) {
  const ScratchFolder folder;
  folder.write("r.cpy",
               "       01  R.\n"
               "           05  ID     PIC 9(5).\n"
               "           05  AMT    PIC S9(3) SIGN LEADING SEPARATE.\n"
               "           05  BAL    PIC S9(3).\n"
               "           05  N      PIC S9(4) COMP.\n"
               "           05  RATE   COMP-1.\n"
               "           05  SHOWN  PIC ZZ9.99-.\n");
  folder.write("r.csv", "42,-12,7,32767,0.5,-1.5\n");
  const RunResult encoded = runQuor(
      "encode -q --copybook r.cpy --positive-zone F --binary-range full --float ieee -o r.dat r.csv", folder.path());
  ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
  EXPECT_EQ(hexLines(readFile(folder.path() / "r.dat"), 32),
            "F0 F0 F0 F4 F2 60 F0 F1 F2 F0 F0 F7 7F FF 3F 00 00 00 40 40 F1 4B F5 F0 60\n");
  const RunResult decoded = runQuor(
      "decode --keep-zeros --copybook r.cpy --binary-range full --float ieee --header r.dat", folder.path());
  EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
  EXPECT_EQ(decoded.out, "ID,AMT,BAL,N,RATE,SHOWN\n00042,-12,7,32767,0.5,-1.50\n");
  // The digits range refuses 32767 in PIC S9(4) COMP.
  EXPECT_EQ(runQuor("encode -q --copybook r.cpy --float ieee -o r.dat r.csv", folder.path()).exitCode, 1);

  folder.write("e.cpy", "       01  R.\n           05  E  PIC 9.9E+9.\n");
  for (const auto& [command, words] : {std::pair{"encode", "cannot be written"}, std::pair{"decode", "cannot be read"},
                                       std::pair{"dump", "cannot be read"}}) {
    const RunResult run = runQuor(std::string(command) + " --copybook e.cpy", folder.path());
    EXPECT_EQ(run.exitCode, 2) << command;
    EXPECT_NE(run.err.find(words), std::string::npos) << command << ": " << run.err;
  }
  const RunResult layout = runQuor("layout --copybook r.cpy", folder.path());
  EXPECT_NE(layout.out.find("sign=leading-separate positive-zone=C"), std::string::npos) << layout.out;
  EXPECT_NE(layout.out.find("picture=ZZ9.99-"), std::string::npos) << layout.out;
  const RunResult json = runQuor("layout --json --float ieee --copybook r.cpy", folder.path());
  EXPECT_NE(json.out.find("\"floatFormat\": \"ieee\""), std::string::npos) << json.out;
}

// A range beyond the input shows what it holds and says what is not there, with the status of a usage
// mistake; the whole of an empty input is nothing to say.
TEST(Dump, RecordsTheInputDoesNotHoldAreNamed) {
  const struct {
    std::string range;
    std::size_t shown;  // records shown
    int exitCode;
    std::string err;
  } cases[] = {
      {"--records 5", 0, 2, "quor: <stdin> holds 4 records: there is no record 5\n"},
      {"--records 9-", 0, 2, "quor: <stdin> holds 4 records: there is no record 9\n"},
      {"--records 3-6", 2, 2, "quor: <stdin> holds 4 records: records 5 to 6 are not there\n"},
      {"--records 4", 1, 0, ""},
      {"--records 2-", 3, 0, ""},
      {"", 4, 0, ""},
  };
  const ScratchFolder folder;
  for (const auto& c : cases) {
    const RunResult run =
        runQuor("dump --lengths 1 --formats 1 " + c.range, folder.path(), "\xC1\xC2\xC3\xC4");
    EXPECT_EQ(run.exitCode, c.exitCode) << c.range;
    EXPECT_EQ(run.err, c.err) << c.range;
    std::size_t shown = 0;
    for (std::size_t at = run.out.find(": record "); at != std::string::npos;
         at = run.out.find(": record ", at + 1))
      ++shown;
    EXPECT_EQ(shown, c.shown) << c.range << "\n" << run.out;
  }
  EXPECT_EQ(runQuor("dump --lengths 1 --formats 1", folder.path()).exitCode, 0);
}

TEST(Dump, ShowsEveryFieldAndMarksInvalidData) {
  const ScratchFolder folder;
  const RunResult run = runQuor("dump --lengths 3,2 --formats 0,1 --records 2", folder.path(),
                                std::string("\xF1\xF2\xF3\xC1\xC2\xF1\xFA\xF3\xC1\x40", 10));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.out.find("record 1 "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("<stdin>: record 2 (byte offset 5, 5 bytes)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1A3  <- invalid: digit nibble above 9 (record byte 1)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("field 1  F1 FA F3"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"A\""), std::string::npos) << run.out;

  // The items of a REDEFINES are read too, from the bytes they share.
  const std::string copybook = "--copybook '" + examplesDir() + "/order.cpy'";
  ASSERT_EQ(runQuor("encode -q " + copybook + " --encoding cp932 --header -o o.dat '" + examplesDir() +
                        "/orders-excel.csv'",
                    folder.path())
                .exitCode,
            0);
  const RunResult dump = runQuor("dump " + copybook + " --records 3 o.dat", folder.path());
  EXPECT_EQ(dump.exitCode, 0) << dump.err;
  for (const char* line : {"8  ORDER-DATE     F2 F0 F2 F6 F1 F2 F0 F3", "20261203",
                           "8  ORDER-YEAR     F2 F0 F2 F6", "2026  (redefines)", "110  TOTAL-AMOUNT   00 00 05 25 00 2C",
                           "5250.02", "120  FILLER         40 40 40 40"})
    EXPECT_NE(dump.out.find(line), std::string::npos) << line << "\n" << dump.out;
}

}  // namespace
}  // namespace quor::cli::testing
