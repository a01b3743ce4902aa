// quor with copybooks of OCCURS DEPENDING ON, COPY members and RENAMES, run as a user runs it.

#include <gtest/gtest.h>

#include "run_quor.hpp"

namespace quor::cli::testing {
namespace {

// Up to three items, each a code and a quantity, as many as ITEM-COUNT says.
const char* const kOrder =
    "       01  ORDER.\n"
    "           05  ORDER-ID      PIC X(4).\n"
    "           05  ITEM-COUNT    PIC 9.\n"
    "           05  ITEMS OCCURS 0 TO 3 DEPENDING ON ITEM-COUNT.\n"
    "               10  CODE      PIC X(2).\n"
    "               10  QTY       PIC S9(3) COMP-3.\n"
    "           05  NOTE          PIC X(3).\n";

TEST(VaryingRecords, EncodeAndDecodeBackToBackOrPadded) {
  const ScratchFolder folder;
  folder.write("order.cpy", kOrder);
  const std::string csv = "A001,2,AA,1,BB,-2,,,OK\nA002,0,,,,,,,NO\nA003,3,CC,3,DD,4,EE,5,END\n";
  folder.write("orders.csv", csv);
  const RunResult encoded = runQuor("encode --copybook order.cpy -o o.dat orders.csv", folder.path());
  ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
  EXPECT_NE(encoded.err.find("3 records, 44 bytes, records of 8 to 20 bytes"), std::string::npos) << encoded.err;
  EXPECT_EQ(hexLines(readFile(folder.path() / "o.dat"), 44),
            "C1 F0 F0 F1 F2 C1 C1 00 1C C2 C2 00 2D D6 D2 40 C1 F0 F0 F2 F0 D5 D6 40 C1 F0 F0 F3 F3 C3 C3 00 3C "
            "C4 C4 00 4C C5 C5 00 5C C5 D5 C4\n");
  const RunResult decoded = runQuor("decode -q --copybook order.cpy o.dat", folder.path());
  ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
  EXPECT_EQ(decoded.out, csv);

  // Padded: every record the longest record's 20 bytes, blanks after its own.
  ASSERT_EQ(runQuor("encode -q --odo-padded --copybook order.cpy -o p.dat orders.csv", folder.path()).exitCode, 0);
  const std::string padded = readFile(folder.path() / "p.dat");
  ASSERT_EQ(padded.size(), 60u);
  EXPECT_EQ(hexLines(padded.substr(20, 20), 20), "C1 F0 F0 F2 F0 D5 D6 40 40 40 40 40 40 40 40 40 40 40 40 40\n");
  EXPECT_EQ(runQuor("decode -q --odo-padded --copybook order.cpy p.dat", folder.path()).out, csv);

  // dump shows each record's own length, the absent elements and a slot's padding.
  const RunResult dump = runQuor("dump --odo-padded --copybook order.cpy --records 2 p.dat", folder.path());
  EXPECT_EQ(dump.exitCode, 0) << dump.err;
  for (const char* line : {"p.dat: record 2 (byte offset 20, 20 bytes)", "-  CODE(1)", "(absent)",
                           "5  NOTE        D5 D6 40", "8  (padding)   40 40 40"})
    EXPECT_NE(dump.out.find(line), std::string::npos) << line << "\n" << dump.out;
}

// Every framing and both text forms give the records back byte for byte: back to back, behind RDWs
// (each record as long as its counters make it) and in blocks, padded to slots or not; and a file of
// two record types, one of them varying, whose records are found by their type and their counters.
TEST(VaryingRecords, EveryFramingAndTextFormComesBack) {
  const ScratchFolder folder;
  folder.write("order.cpy", kOrder);
  folder.write("orders.csv", "A001,2,AA,1,BB,-2,,,OK\nA002,0,,,,,,,NO\nA003,3,CC,3,DD,4,EE,5,END\n");
  folder.write("two.cpy",
               "       01  HEAD-REC.\n           05  REC-TYPE  PIC X.\n           05  BATCH  PIC 9(3).\n"
               "       01  LINES.\n           05  REC-TYPE  PIC X.\n           05  N  PIC 9.\n"
               "           05  CODE OCCURS 0 TO 3 DEPENDING ON N PIC X(2).\n           05  NOTE  PIC X(2).\n");
  folder.write("two.csv", "HEAD-REC,H,7\nLINES,D,2,AA,BB,,OK\nLINES,D,0,,,,NO\nHEAD-REC,H,8\n");
  const std::string two = "--copybook two.cpy --type-field REC-TYPE --type H=HEAD-REC --type D=LINES ";
  const struct {
    std::string options;
    const char* csv;
    std::size_t bytes;  // of the file encoded
  } cases[] = {
      {"--copybook order.cpy", "orders.csv", 44},
      {"--copybook order.cpy --recfm V", "orders.csv", 56},
      {"--copybook order.cpy --recfm VB --block-size 40", "orders.csv", 64},
      {"--copybook order.cpy --odo-padded", "orders.csv", 60},
      {"--copybook order.cpy --odo-padded --recfm V", "orders.csv", 72},
      {two, "two.csv", 20},
      {two + "--recfm V", "two.csv", 36},
      {two + "--odo-padded", "two.csv", 28},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    ASSERT_EQ(runQuor("encode -q " + c.options + " -o f.dat " + c.csv, folder.path()).exitCode, 0);
    const std::string bytes = readFile(folder.path() / "f.dat");
    EXPECT_EQ(bytes.size(), c.bytes);
    const RunResult csv = runQuor("decode -q " + c.options + " f.dat", folder.path());
    EXPECT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.out, readFile(folder.path() / c.csv));
    const RunResult json = runQuor("decode -q --format jsonl " + c.options + " -o f.jsonl f.dat", folder.path());
    EXPECT_EQ(json.exitCode, 0) << json.err;
    const RunResult again = runQuor("encode -q --format jsonl " + c.options + " -o g.dat f.jsonl", folder.path());
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(readFile(folder.path() / "g.dat"), bytes);
  }
  // A table's array has as many elements as its counter says.
  ASSERT_EQ(runQuor("encode -q --copybook order.cpy -o o.dat orders.csv", folder.path()).exitCode, 0);
  EXPECT_NE(runQuor("decode -q --format jsonl --copybook order.cpy o.dat", folder.path())
                .out.find("\"ITEM-COUNT\":0,\"ITEMS\":[],\"NOTE\":\"NO\""),
            std::string::npos);
}

TEST(VaryingRecords, ACounterOutOfItsRangeIsBadBothWays) {
  const ScratchFolder folder;
  folder.write("order.cpy", kOrder);
  const struct {
    std::string command;
    std::string input;
    int exitCode;
    std::string message;
    std::string out;
  } cases[] = {
      {"encode --copybook order.cpy", "A001,4,AA,1,,,,,OK\n", 1,
       "<stdin>:1: field 2 (ITEM-COUNT): \"4\": more elements than its table holds (ITEMS holds 0 to 3) (error 9)",
       ""},
      {"encode --copybook order.cpy", "A001,1,AA,1,BB,,,,OK\n", 1,
       "<stdin>:1: field 5 (CODE(2)): \"BB\": a value in an element past its table's count: not written", ""},
      {"encode --lenient --copybook order.cpy", "A001,0,AA,,,,,,OK\n", 0,
       "in all: 1 values past their table's count (not written)", "\xC1\xF0\xF0\xF1\xF0\xD6\xD2\x40"},
      // The counter says 4: where the next record starts is past knowing, even with --skip-bad.
      {"decode --copybook order.cpy", "\xC1\xF0\xF0\xF1\xF0\xD6\xD2\x40\xC1\xF0\xF0\xF2\xF4", 1,
       "<stdin>: record 2 (byte offset 12): field 2 (ITEM-COUNT): bytes F4: more elements than its table holds "
       "(ITEMS holds 0 to 3); the records after it cannot be found",
       ""},
      {"decode --skip-bad --copybook order.cpy", "\xC1\xF0\xF0\xF1\xF0\xD6\xD2\x40\xC1\xF0\xF0\xF2\xF4", 1,
       "(the rest of the input passed over)", "A001,0,,,,,,,OK\n"},
      {"decode --copybook order.cpy", std::string("\xC1\xF0\xF0\xF1\xF1\xC1\xC1\x00", 8), 1,
       "<stdin>: record 1 (byte offset 0): 8 leftover bytes after the last whole record (the record there would "
       "be 12 bytes)",
       ""},
      // Behind an RDW the record's length is the RDW's: one longer than its counters make it is bad.
      {"decode --copybook order.cpy --recfm V", std::string("\x00\x0D\x00\x00\xC1\xF0\xF0\xF1\xF0\xD6\xD2\x40\x40", 13),
       1, "<stdin>: record 1 (byte offset 4): a record of 9 bytes, and its counters make it 8: 1 leftover byte", ""},
      // JSON Lines: an array's elements are as many as its counter says.
      {"encode --format jsonl --copybook order.cpy",
       "{\"ORDER-ID\":\"A001\",\"ITEM-COUNT\":2,\"ITEMS\":[{\"CODE\":\"AA\",\"QTY\":1}],\"NOTE\":\"OK\"}\n", 1,
       "<stdin>:1: \"ITEMS\" has 1 element; its counter says 2", ""},
      {"encode --format jsonl --copybook order.cpy",
       "{\"ORDER-ID\":\"A001\",\"ITEM-COUNT\":5,\"ITEMS\":[],\"NOTE\":\"OK\"}\n", 1,
       "\"ITEMS\" has 0 elements; its counter says 5 (the table holds 0 to 3)", ""},
  };
  for (const auto& c : cases) {
    const RunResult run = runQuor(c.command, folder.path(), c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.command << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.command << "\n" << run.err;
    EXPECT_EQ(run.out, c.out) << c.command;
  }
}

TEST(CopybookMembers, CopyPathRenamesAndOverlays) {
  const ScratchFolder folder;
  folder.write("lib/ADDR.cpy", "           05  :P:-CITY  PIC X(3).\n");
  folder.write("rec/cust.cpy",
               "       01  CUST.\n"
               "           05  CUST-ID   PIC 9(2).\n"
               "           COPY ADDR REPLACING ==:P:== BY ==CUST==.\n"
               "           COPY LOCAL.\n"
               "       66  WHOLE RENAMES CUST-ID THRU CUST-CITY.\n");
  folder.write("rec/LOCAL.CPY", "           05  CUST-FLAG PIC X.\n");
  const RunResult layout = runQuor("layout --copybook rec/cust.cpy --copy-path other:lib", folder.path());
  ASSERT_EQ(layout.exitCode, 0) << layout.err;
  for (const char* line : {"2  CUST-CITY       2      3  text", "3  CUST-FLAG       5      1  text",
                           "WHOLE           0      5  text (renames)", "record length 6"})
    EXPECT_NE(layout.out.find(line), std::string::npos) << line << "\n" << layout.out;
  const RunResult missing = runQuor("layout --copybook rec/cust.cpy --copy-path other", folder.path());
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("rec/cust.cpy:3: COPY ADDR: no member ADDR, ADDR.cpy or ADDR.CPY in rec, other"),
            std::string::npos)
      << missing.err;

  // decode --overlays: the alias as a column of its own after the record's.
  const RunResult decoded = runQuor("decode -q --header --overlays --copybook rec/cust.cpy --copy-path lib",
                                    folder.path(), "\xF4\xF2\xD6\xE2\xC1\xE8");
  EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
  EXPECT_EQ(decoded.out, "CUST-ID,CUST-CITY,CUST-FLAG,WHOLE\n42,OSA,Y,42OSA\n");
}

}  // namespace
}  // namespace quor::cli::testing
