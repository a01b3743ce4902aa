// quor encode, run as a user runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "run_quor.hpp"

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
  const ScratchFolder folder;
  const RunResult run = runQuor(
      "encode " + examplePaths() + " -o orders.dat '" + examplesDir() + "/orders.csv'", folder.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(hexLines(readFile(folder.path() / "orders.dat"), 69),
            readFile(examplesDir() + "/orders.expected.hex"));
  EXPECT_NE(run.err.find("quor: 20 records, 1380 bytes, record length 69"), std::string::npos) << run.err;
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
      {"encode --layout l.layout", "A1,山田,12,xx\n", 1,
       "<stdin>:1: field 4 (amount): error 13: Type mismatch"},
      {"encode --layout l.layout", "A1,山田,12\n", 1, "<stdin>:1: 3 items, the layout has 4 fields"},
      {"encode --layout l.layout", kGood + "\n", 1, "<stdin>:3: empty line, the layout has 4 fields"},
      {"encode --layout l.layout", "", 0, "quor: 0 records, 0 bytes, 0.0"},
      {"encode --layout l.layout", "A1,\xFF,1,2\n", 1, "<stdin>:1: byte 4: not valid UTF-8 text"},
      {"encode --layout l.layout --encoding cp932", "A1,\x88,1,2\n", 1,
       "<stdin>:1: byte 4: not valid code page"},
      {"encode", kGood, 2, "needs --layout"},
      {"encode --lengths 8", kGood, 2, "--formats"},
      {"encode --layout l.layout --lengths 8 --formats 1", kGood, 2, "excludes"},
      {"encode --layout bad.layout", kGood, 2, "bad.layout:2: format 'setKanji'"},
      {"encode --layout l.layout --max-errors 3", kGood, 2, "--skip-bad"},
      {"encode --layout l.layout --encoding sjis", kGood, 2, "sjis"},
      {"encode --layout l.layout --frobnicate", kGood, 2, "frobnicate"},
      {"", kGood, 2, "subcommand"},
      {"encode --layout missing.layout", kGood, 3, "cannot read the layout file missing.layout"},
      {"encode --layout l.layout missing.csv", kGood, 3, "cannot open missing.csv"},
      {"encode --layout l.layout -o no/such/out.dat", kGood, 3, "cannot create a temporary file"},
      {"encode --layout l.layout --gaiji missing.txt", kGood, 3, "cannot read the gaiji mapping file"},
  };
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("bad.layout", "code 8 1\nname 10 setKanji\n");
  for (const Case& c : cases) {
    const RunResult run = runQuor(c.arguments, folder.path(), c.input);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << "\n" << run.err;
  }
}

TEST(Encode, ABadLineWritesNothingAndKeepsTheOlderFile) {
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  folder.write("in.csv", kGood + "C3,田中,1,oops\n" + kGood);

  const RunResult fresh = runQuor("encode --layout l.layout -o new.dat in.csv", folder.path());
  EXPECT_EQ(fresh.exitCode, 1);
  EXPECT_NE(fresh.err.find("in.csv:3: field 4 (amount): error 13"), std::string::npos) << fresh.err;
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

TEST(Encode, StrictRefusesWhatWouldBeChangedAndOtherwiseItIsCounted) {
  struct Case {
    std::string line;
    std::string strictMessage;
    std::string summary;
  };
  const Case cases[] = {
      {"A123456789,山田,12,1\n", "field 1 (code): value longer than its field",
       "1 longer than the field (cut)"},
      {"A1,山田,1.5x,1\n", "field 3 (qty): value is not a number", "1 not a number (written as zeros)"},
      {"山,山田,12,1\n", "field 1 (code): double-byte character U+5C71",
       "1 double-byte text in a single-byte field"},
      {"A1,山田太郎山田太郎山田太,12,1\n", "field 2 (name): value longer", "1 longer than the field (cut)"},
      {",山田,12,1\n", "field 1 (code): empty value", "1 empty in a character field"},
  };
  const ScratchFolder folder;
  folder.write("l.layout", kLayout);
  for (const Case& c : cases) {
    const RunResult lenient = runQuor("encode --layout l.layout", folder.path(), c.line);
    EXPECT_EQ(lenient.exitCode, 0) << c.line << lenient.err;
    EXPECT_EQ(lenient.out.size(), kRecordLength);
    EXPECT_NE(lenient.err.find(c.summary), std::string::npos) << c.line << lenient.err;

    const RunResult strict = runQuor("encode --strict --layout l.layout", folder.path(), c.line);
    EXPECT_EQ(strict.exitCode, 1) << c.line;
    EXPECT_EQ(strict.out, "");
    EXPECT_NE(strict.err.find("<stdin>:1: " + c.strictMessage), std::string::npos) << c.line << strict.err;
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

}  // namespace
}  // namespace quor::cli::testing
