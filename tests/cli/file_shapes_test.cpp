// Files as hosts hold them, run as a user runs quor: V and VB framing, several record types in one
// file, ragged CSV, --split-by-type, JSON Lines, and dump without a layout.

#include <gtest/gtest.h>

#include <filesystem>

#include "run_quor.hpp"

namespace quor::cli::testing {
namespace {

std::string transferArguments() {
  return "--copybook '" + examplesDir() +
         "/transfer.cpy' --type-field REC-TYPE --type 1=TRANSFER-HEADER --type 2=TRANSFER-DATA "
         "--type 8=TRANSFER-TRAILER --type 9=TRANSFER-END";
}

std::string ordersArguments() {
  return "--copybook '" + examplesDir() +
         "/orders-v.cpy' --type-field REC-TYPE --type H=ORDER-HEAD --type L=ORDER-LINE";
}

// The hexadecimal pairs of an expected .hex file, one line.
std::string pairsOf(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n' || c == ' ') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// Decode then encode gives each example back byte for byte, in every framing and both text forms;
// the bytes of the plain framing are the committed ones.
TEST(FileShapes, ExamplesComeBackByteForByte) {
  const struct {
    std::string layout;
    std::string framing;
    const char* name;  // the example's files: NAME.csv, NAME.jsonl, NAME.expected.hex
  } cases[] = {
      {transferArguments(), "", "transfer"},
      {transferArguments(), "--recfm VB --block-size 300", "transfer"},
      {ordersArguments(), "--recfm V", "orders-v"},
      {ordersArguments(), "--recfm VB --block-size 100", "orders-v"},
      {ordersArguments(), "--recfm V --rdw-little-endian --rdw-data-length", "orders-v"},
      // Records of varying length: back to back as their counters make them, behind RDWs, in slots.
      {"--copybook '" + examplesDir() + "/shipments.cpy'", "", "shipments"},
      {"--copybook '" + examplesDir() + "/shipments.cpy'", "--recfm VB --block-size 100", "shipments"},
      {"--copybook '" + examplesDir() + "/shipments.cpy'", "--odo-padded --recfm V", "shipments"},
  };
  const ScratchFolder folder;
  for (const auto& c : cases) {
    const std::string options = c.layout + " " + c.framing;
    const std::string csv = examplesDir() + "/" + c.name + ".csv";
    const std::string jsonl = examplesDir() + "/" + c.name + ".jsonl";
    const RunResult encoded = runQuor("encode -q " + options + " -o out.dat '" + csv + "'", folder.path());
    ASSERT_EQ(encoded.exitCode, 0) << c.framing << encoded.err;
    const std::string bytes = readFile(folder.path() / "out.dat");
    if (c.framing.empty() || c.framing == "--recfm V") {
      EXPECT_EQ(pairsOf(hexLines(bytes, 16)),
                pairsOf(readFile(examplesDir() + "/" + c.name + ".expected.hex")));
    }
    const RunResult decoded = runQuor("decode -q " + options + " out.dat", folder.path());
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_EQ(decoded.out, readFile(csv)) << c.framing;
    const RunResult json = runQuor("decode -q --format jsonl " + options + " out.dat", folder.path());
    EXPECT_EQ(json.out, readFile(jsonl)) << c.framing;
    const RunResult again =
        runQuor("encode -q --format jsonl " + options + " -o again.dat '" + jsonl + "'", folder.path());
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(readFile(folder.path() / "again.dat"), bytes) << c.framing;
  }
}

// Framing faults are bad data with their offset; --skip-bad goes on from the next block of a VB file
// and passes over the rest of any other input.
TEST(FileShapes, FramingFaultsAreBadDataWithTheirOffset) {
  const std::string layout = "--lengths 2,3 --formats 1,0";
  const struct {
    std::string options;
    std::string bytes;
    int exitCode;
    std::string err;  // part of standard error
    std::string out;
  } cases[] = {
      {"--recfm V", std::string("\x00\x09\x00\x00\xC1\xC2\xF1\xF2\xF3\x00\x06\x00\x00\xC3\xC4", 15), 0, "",
       "AB,123\nCD\n"},
      {"--recfm V", std::string("\x00\x09\x00\x00\xC1\xC2\xF1\xF2\xF3\x00\x00\x00\x00\xC3\xC4", 15), 1,
       "<stdin> (byte offset 9): an RDW of length 0, less than its own 4 bytes\n", ""},
      {"--recfm V --skip-bad",
       std::string("\x00\x09\x00\x00\xC1\xC2\xF1\xF2\xF3\x00\x00\x00\x00\xC3\xC4", 15), 1,
       "(byte offset 9): an RDW of length 0, less than its own 4 bytes (the rest of the input passed over)",
       "AB,123\n"},
      {"--recfm V", std::string("\x00\x0A\x00\x00\xC1\xC2\xF1\xF2\xF3\x40", 10), 1,
       "<stdin>: record 1 (byte offset 4): a record of 6 bytes, and the layout has 5: 1 leftover byte", ""},
      {"--recfm V", std::string("\x00\x07\x00\x00\xC1\xC2\xF1", 7), 1,
       "<stdin>: record 1 (byte offset 6): field 2: bytes F1: field cut by the end of the record", ""},
      {"--recfm V", std::string("\x00\x09\x00\x00\xC1\xC2\xF1\xF2", 8), 1,
       "(byte offset 0): a record of 5 bytes cut short by the end of the input (4 of them there)", ""},
      {"--recfm V --rdw-little-endian", std::string("\x09\x00\x00\x00\xC1\xC2\xF1\xF2\xF3", 9), 0, "",
       "AB,123\n"},
      {"--recfm V --rdw-data-length", std::string("\x00\x05\x00\x00\xC1\xC2\xF1\xF2\xF3", 9), 0, "",
       "AB,123\n"},
      // A bad RDW in the first block; the second block is read.
      {"--recfm VB --skip-bad",
       std::string("\x00\x0C\x00\x00\x00\x02\x00\x00\xC1\xC2\xF1\xF2\x00\x0D\x00\x00\x00\x09\x00\x00\xC3\xC4"
                   "\xF4\xF5\xF6",
                   25),
       1,
       "<stdin> (byte offset 4): an RDW of length 2, less than its own 4 bytes (the rest of its block, 8 "
       "bytes, passed "
       "over)",
       "CD,456\n"},
      {"--recfm VB", std::string("\x80\x00\x00\x0D\x00\x09\x00\x00\xC1\xC2\xF1\xF2\xF3", 13), 0, "",
       "AB,123\n"},
      {"", std::string("\xC1\xC2\xF1\xF2\xF3\xC1", 6), 1,
       "<stdin>: record 2 (byte offset 5): 1 leftover byte after the last whole record (records are 5 bytes)",
       ""},
  };
  const ScratchFolder folder;
  for (const auto& c : cases) {
    const RunResult run = runQuor("decode -q " + layout + " " + c.options, folder.path(), c.bytes);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.options << "\n" << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.options << "\n" << run.err;
    EXPECT_EQ(run.out, c.out) << c.options;
  }
}

// The type field selects each record's layout: a REDEFINES variant or one of several 01 records; a
// default takes any other value; a value without a layout is bad data, skipped with --skip-bad.
TEST(FileShapes, TypeSelection) {
  const ScratchFolder folder;
  folder.write("export.cpy",
               "01 EXPORT-REC.\n 05 REC-TYPE PIC X.\n 05 CUSTOMER.\n  10 NAME PIC X(4).\n  10 AGE PIC 99.\n"
               " 05 ACCOUNT REDEFINES CUSTOMER.\n  10 BALANCE PIC S9(5) COMP-3.\n");
  const std::string exportTypes =
      "--copybook export.cpy --type-field REC-TYPE --type C=CUSTOMER --type A=ACCOUNT";
  const std::string customer = "\xC3\xC1\xC2\xC3\xC4\xF4\xF2";                 // C ABCD 42
  const std::string account = std::string("\xC1\x00\x12\x3D\x40\x40\x40", 7);  // A -123, 4 blank bytes
  const std::string unknown = "\xE7\xC1\xC2\xC3\xC4\xF4\xF2";                  // X
  // A type field with a separate leading sign, records with a float and an edited picture.
  folder.write("kinds.cpy",
               "01 A-REC.\n 05 KIND PIC S9 SIGN LEADING SEPARATE.\n 05 RATE COMP-1.\n"
               "01 B-REC.\n 05 KIND PIC S9 SIGN LEADING SEPARATE.\n 05 SHOWN PIC ZZ9.99-.\n");
  const std::string kinds = "--copybook kinds.cpy --type-field KIND --type 1=A-REC --type=-1=B-REC";
  const std::string rate = std::string("\x4E\xF1\x41\x10\x00\x00", 6);  // +1, 1.0
  const std::string shown = "\x60\xF1\x40\x40\xF1\x4B\xF5\xF0\x60";       // -1, "  1.50-"
  const struct {
    std::string options;
    std::string bytes;
    int exitCode;
    std::string out;
    std::string err;
  } cases[] = {
      {exportTypes, customer + account, 0, "CUSTOMER,C,ABCD,42\nACCOUNT,A,-123\n", ""},
      {exportTypes + " --format jsonl", customer + account, 0,
       "{\"record\":\"CUSTOMER\",\"REC-TYPE\":\"C\",\"CUSTOMER\":{\"NAME\":\"ABCD\",\"AGE\":42}}\n"
       "{\"record\":\"ACCOUNT\",\"REC-TYPE\":\"A\",\"ACCOUNT\":{\"BALANCE\":-123}}\n",
       ""},
      {kinds + " --format jsonl", rate + shown, 0,
       "{\"record\":\"A-REC\",\"KIND\":1,\"RATE\":\"1\"}\n{\"record\":\"B-REC\",\"KIND\":-1,\"SHOWN\":-1.50}\n",
       ""},
      {kinds, rate + "\xF1" + shown.substr(1), 1, "",
       "record 2 (byte offset 6): its type field KIND cannot be read: separate sign other than \"+\" (4E) "
       "or \"-\" (60)"},
      {exportTypes, customer + unknown, 1, "",
       "<stdin>: record 2 (byte offset 7): its type field REC-TYPE holds \"X\", which no --type names\n"},
      {exportTypes + " --skip-bad", unknown + account, 1, "ACCOUNT,A,-123\n",
       "which no --type names (record skipped)"},
      {exportTypes + " --type '*=CUSTOMER'", unknown, 0, "CUSTOMER,X,ABCD,42\n", ""},
      {"--copybook export.cpy --type '*=ACCOUNT'", account, 0, "A,-123\n", ""},
      {"--copybook '" + examplesDir() + "/transfer.cpy'", "", 2, "",
       "transfer.cpy describes 4 records (TRANSFER-HEADER, TRANSFER-DATA, TRANSFER-TRAILER, TRANSFER-END): "
       "--type-field NAME and --type VALUE=RECORD say which record each is"},
      {"--copybook export.cpy --type-field REC-TYPE --type C=NOSUCH", "", 2, "",
       "export.cpy: no 01 record and no item of a REDEFINES is named 'NOSUCH' (records: EXPORT-REC)"},
      {"--copybook export.cpy --type-field KIND --type C=CUSTOMER", "", 2, "",
       "--type-field KIND: no field of that name in the records CUSTOMER"},
      {"--copybook export.cpy --type C=CUSTOMER", "", 2, "",
       "--type C=CUSTOMER: a value needs --type-field NAME"},
      {"--copybook export.cpy --type-field REC-TYPE --type CC=CUSTOMER", "", 2, "",
       "--type: the value 'CC' cannot be written in the type field REC-TYPE as it reads"},
  };
  for (const auto& c : cases) {
    const RunResult run = runQuor("decode -q " + c.options, folder.path(), c.bytes);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.options << "\n" << run.err;
    EXPECT_EQ(run.out, c.out) << c.options;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.options << "\n" << run.err;
  }
  // What decode gives of the variants, encode writes back; the blanks the account leaves are written
  // as they were.
  const RunResult decoded = runQuor("decode -q " + exportTypes, folder.path(), customer + account);
  const RunResult encoded = runQuor("encode -q " + exportTypes, folder.path(), decoded.out);
  EXPECT_EQ(encoded.exitCode, 0) << encoded.err;
  EXPECT_EQ(encoded.out, customer + account);
  const RunResult json = runQuor("decode -q --format jsonl " + kinds, folder.path(), rate + shown);
  const RunResult back = runQuor("encode -q --format jsonl " + kinds, folder.path(), json.out);
  EXPECT_EQ(back.exitCode, 0) << back.err;
  EXPECT_EQ(back.out, rate + shown);
}

TEST(FileShapes, EncodeRefusesLinesThatAreNoRecordOfTheirLayout) {
  const ScratchFolder folder;
  const struct {
    std::string options;
    std::string input;
    int exitCode;
    std::string err;
  } cases[] = {
      {transferArguments(), "TRANSFER-NOTE,1\n", 1,
       "<stdin>:1: the first value names the record's layout, and \"TRANSFER-NOTE\" is none of "
       "TRANSFER-HEADER, "
       "TRANSFER-DATA, TRANSFER-TRAILER, TRANSFER-END"},
      {transferArguments(), "TRANSFER-END,8\n", 1,
       "<stdin>:1: its type field REC-TYPE holds \"8\", which selects TRANSFER-TRAILER, not TRANSFER-END"},
      {transferArguments(), "TRANSFER-END,7\n", 1,
       "<stdin>:1: its type field REC-TYPE holds \"7\", which no --type names"},
      {transferArguments(), "TRANSFER-TRAILER,8,3\n", 1,
       "<stdin>:1: 2 items, the layout TRANSFER-TRAILER has 3 fields"},
      {transferArguments() + " --header", "", 2, "--header names one layout's columns"},
      {transferArguments() + " --format jsonl --encoding cp932", "", 2, "JSON Lines are UTF-8 text"},
      {transferArguments() + " --format jsonl", "{\"record\":\"TRANSFER-END\"}\n", 1,
       "<stdin>:1: \"REC-TYPE\" is missing"},
      {transferArguments() + " --format jsonl",
       "{\"record\":\"TRANSFER-TRAILER\",\"REC-TYPE\":\"8\",\"RECORD-COUNT\":1,\"TOTAL-AMOUNT\":null}\n", 1,
       "<stdin>:1: \"TOTAL-AMOUNT\" is null: only V and VB records end before their last fields"},
      {ordersArguments() + " --recfm V", "ORDER-LINE,L\n", 0, ""},
      {ordersArguments() + " --recfm V", "ORDER-HEAD\n", 1,
       "<stdin>:1: 0 items, the layout ORDER-HEAD has 5 fields"},
      {"--lengths 32767,32767,1000 --formats 1,1,1 --recfm V", "", 2,
       "records of the layout are 66534 bytes, more than an RDW frames (65531)"},
      {"--lengths 100 --formats 1 --recfm VB --block-size 100", "", 2,
       "records of the layout are 100 bytes, more than a block of --block-size 100 holds"},
  };
  for (const auto& c : cases) {
    const RunResult run = runQuor("encode -q " + c.options, folder.path(), c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.options << "\n" << run.err;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.options << "\n" << run.err;
  }
  // A line of the first values only is a V record that ends before the others.
  const RunResult shortLine =
      runQuor("encode -q " + ordersArguments() + " --recfm V", folder.path(), "ORDER-LINE,L,X1\n");
  EXPECT_EQ(shortLine.out, std::string("\x00\x0B\x00\x00\xD3\xE7\xF1\x40\x40\x40\x40", 11));
}

TEST(FileShapes, SplitByTypeWritesAFileALayout) {
  const ScratchFolder folder;
  ASSERT_EQ(runQuor("encode -q " + transferArguments() + " -o t.dat '" + examplesDir() + "/transfer.csv'",
                    folder.path())
                .exitCode,
            0);
  const RunResult run =
      runQuor("decode -q --header --split-by-type -o parts " + transferArguments() + " t.dat", folder.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readFile(folder.path() / "parts/TRANSFER-TRAILER.csv"),
            "REC-TYPE,RECORD-COUNT,TOTAL-AMOUNT\n8,3,1448765\n");
  EXPECT_EQ(readFile(folder.path() / "parts/TRANSFER-END.csv"), "REC-TYPE\n9\n");
  // The details in their order, each line as the ragged form has it without its layout's name.
  std::string details;
  const std::string all = readFile(examplesDir() + "/transfer.csv");
  for (std::size_t at = all.find("TRANSFER-DATA,"); at != std::string::npos;
       at = all.find("TRANSFER-DATA,", at + 1))
    details += all.substr(at + 14, all.find('\n', at) - at - 13);
  const std::string data = readFile(folder.path() / "parts/TRANSFER-DATA.csv");
  EXPECT_EQ(data.substr(data.find('\n') + 1), details);
  EXPECT_EQ(runQuor("decode --split-by-type " + transferArguments() + " t.dat", folder.path()).exitCode, 2);
}

TEST(FileShapes, DumpWithoutALayoutShowsEachRecordsBytes) {
  const ScratchFolder folder;
  const std::string v = std::string("\x00\x06\x00\x00\xC1\x81\x00\x15\x00\x00", 10) + std::string(17, '\xF1');
  const RunResult run = runQuor("dump --recfm V", folder.path(), v);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out,
            "<stdin>: record 1 (byte offset 4, 2 bytes)\n"
            "  0000  C1 81                                             |Aｱ|\n\n"
            "<stdin>: record 2 (byte offset 10, 17 bytes)\n"
            "  0000  F1 F1 F1 F1 F1 F1 F1 F1  F1 F1 F1 F1 F1 F1 F1 F1  |1111111111111111|\n"
            "  0010  F1                                                |1|\n\n");
  const RunResult fixed =
      runQuor("dump --lrecl 2 --records 2", folder.path(), std::string("\xC1\xC2\x00\x4F", 4));
  EXPECT_EQ(fixed.out,
            "<stdin>: record 2 (byte offset 2, 2 bytes)\n  0000  00 4F                                       "
            "      |..|\n\n");
  EXPECT_EQ(runQuor("dump", folder.path(), "\xC1").exitCode, 2);
  const RunResult bad = runQuor("dump --recfm V", folder.path(), std::string("\x00\x02\x00\x00", 4));
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.out,
            "<stdin> (byte offset 0): an RDW of length 2, less than its own 4 bytes (the rest of the input "
            "passed over)\n");
}

}  // namespace
}  // namespace quor::cli::testing
