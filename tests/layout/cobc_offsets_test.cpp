// The copybook reader's offsets beside GnuCOBOL's: each record below is compiled by cobc -std=ibm
// -fodoslide (IBM's rules, items after a table of varying length moving with it) into a program that
// sets the counters and displays the address of every item it can name, relative to its record, and
// the record's length; the reader's layout must place every field there for the same counts. Skipped
// where cobc is not installed (scripts/test installs it).
//
// GnuCOBOL places a few things otherwise than IBM's compilers, so they are not among these records
// (copybook_structure_test holds the reader to IBM's rules there):
// - a SYNCHRONIZED eight-byte binary item: GnuCOBOL aligns it on a doubleword, IBM on a fullword;
// - a SYNCHRONIZED item in a table that starts off its boundary: GnuCOBOL aligns it from the start of
//   the element, IBM from the start of the record (with slack at the end of each element);
// - the address of a group element after the first in a table whose elements vary in length (one
//   holding a table of varying length): GnuCOBOL reckons it at the longest element's length, though
//   it places the items in those elements right; only items are compared here.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "quor/layout.hpp"

namespace quor {
namespace {

struct Record {
  std::string name;                      // its 01 name
  std::string text;                      // fixed form
  std::map<std::string, int> counters;   // counter name -> value the program moves to it
};

const Record kRecords[] = {
    {"R1",
     "       01  R1.\n"
     "           05  ORDER-ID        PIC X(8).\n"
     "           05  AMOUNTS         USAGE COMP-3.\n"
     "               10  NET         PIC S9(7)V99.\n"
     "               10  TAX         PIC S9(5)V99 OCCURS 3.\n"
     "           05  DATE-N          PIC 9(8).\n"
     "           05  DATE-X REDEFINES DATE-N.\n"
     "               10  YYYY        PIC 9(4).\n"
     "               10  MMDD        PIC 9(4).\n"
     "           05  COUNTS          PIC S9(4) COMP-5 OCCURS 2.\n"
     "           05  KANJI-NAME      PIC N(5).\n",
     {}},
    {"R2",
     "       01  R2.\n"
     "           05  N1              PIC 9.\n"
     "           05  N2              PIC S9(4) COMP.\n"
     "           05  T1              PIC X(3) OCCURS 2 TO 4 DEPENDING ON N1.\n"
     "           05  MID             PIC X.\n"
     "           05  T2 OCCURS 1 TO 3 DEPENDING ON N2.\n"
     "               10  C           PIC 9.\n"
     "               10  D           PIC S9(3) COMP-3.\n"
     "           05  TAIL            PIC X(2).\n",
     {{"N1", 3}, {"N2", 2}}},
    {"R3",
     "       01  R3.\n"
     "           05  N3              PIC 9(2).\n"
     "           05  ITEMS OCCURS 0 TO 10 DEPENDING ON N3.\n"
     "               10  CODE3       PIC X(4).\n"
     "               10  QTY3        PIC S9(5) COMP-3.\n"
     "           05  TOTAL3          PIC S9(9) COMP-3.\n",
     {{"N3", 0}}},
    {"R4",
     "       01  R4.\n"
     "           05  A4              PIC X.\n"
     "           05  B4              PIC S9(4) COMP SYNC.\n"
     "           05  C4              PIC X(3).\n"
     "           05  D4              PIC S9(9) COMP SYNC.\n"
     "           05  E4              PIC S9(5) COMP-3 SYNC.\n"
     "           05  F4              PIC 9(4) COMP-5 SYNC.\n"
     "           05  G4 OCCURS 2.\n"
     "               10  G41         PIC X.\n"
     "               10  G42         PIC S9(9) COMP SYNC.\n"
     "               10  G43         PIC X(2).\n"
     "           05  H4              PIC X.\n",
     {}},
    {"R5",
     "       01  R5.\n"
     "           05  Y5              PIC 9(2).\n"
     "           05  M5              PIC 9(2).\n"
     "           05  V5              PIC S9(5) COMP-3.\n"
     "           05  T5              PIC X.\n"
     "       66  YM5 RENAMES Y5 THRU M5.\n"
     "       66  VV5 RENAMES V5.\n",
     {}},
    {"R6",
     "       01  R6.\n"
     "           05  C6              PIC 9.\n"
     "           05  G6 OCCURS 2.\n"
     "               10  H6          PIC X.\n"
     "               10  T6          PIC XX OCCURS 0 TO 3 DEPENDING ON C6.\n"
     "           05  TAIL6           PIC X.\n",
     {{"C6", 1}}},
    {"R7",
     "       01  R7.\n"
     "           05  C71             PIC 9.\n"
     "           05  C72             PIC S9(3) COMP-3.\n"
     "           05  OUTER OCCURS 1 TO 3 DEPENDING ON C71.\n"
     "               10  O71         PIC X.\n"
     "               10  INNER       PIC XX OCCURS 0 TO 4 DEPENDING ON C72.\n"
     "               10  O72         PIC X.\n"
     "           05  TAIL7           PIC X(3).\n",
     {{"C71", 2}, {"C72", 3}}},
};

// "T(1,2)" as COBOL names it qualified by `record`: "T OF R1(1 2)".
std::string cobolName(const std::string& name, const std::string& record) {
  const std::size_t open = name.find('(');
  const std::string base = name.substr(0, open);
  std::string subscripts = open == std::string::npos ? "" : name.substr(open);
  for (char& c : subscripts)
    if (c == ',') c = ' ';
  return base + " OF " + record + subscripts;
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, pipe)) > 0;) out.append(block, got);
    ::pclose(pipe);
  }
  return out;
}

TEST(CobcOffsets, EveryFieldWhereGnuCobolPlacesIt) {
  if (std::system("cobc --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "cobc is not installed";
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("quor-cobc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(folder);

  // What the reader expects, line by line as the program displays it: "NAME OF R1 123".
  std::vector<std::string> expected;
  std::ostringstream program;
  program << "       IDENTIFICATION DIVISION.\n       PROGRAM-ID. OFFSETS.\n       DATA DIVISION.\n"
             "       WORKING-STORAGE SECTION.\n";
  for (const Record& record : kRecords) program << record.text;
  program << "       01  BASE-P USAGE POINTER.\n       01  BASE-N REDEFINES BASE-P PIC S9(18) COMP-5.\n"
             "       01  ITEM-P USAGE POINTER.\n       01  ITEM-N REDEFINES ITEM-P PIC S9(18) COMP-5.\n"
             "       01  AT-N PIC 9(9).\n       PROCEDURE DIVISION.\n";
  for (const Record& record : kRecords) {
    SCOPED_TRACE(record.name);
    const Layout layout = parseCopybook(record.text, record.name + ".cpy");
    std::vector<std::size_t> counts;
    for (const VaryingTable& table : layout.tables)
      counts.push_back(static_cast<std::size_t>(record.counters.at(layout.fields[table.counter].name)));
    std::vector<std::size_t> offsets;
    const std::size_t length = placeFields(layout, counts, offsets);
    for (const auto& [counter, value] : record.counters)
      program << "           MOVE " << value << " TO " << counter << ".\n";
    program << "           SET BASE-P TO ADDRESS OF " << record.name << ".\n";
    for (std::size_t i = 0; i < layout.fields.size(); ++i) {
      const LayoutField& field = layout.fields[i];
      if (field.role == FieldRole::constant || offsets[i] == kAbsentField) continue;
      const std::string name = cobolName(field.name, record.name);
      program << "           SET ITEM-P TO ADDRESS OF " << name << ".\n"
              << "           COMPUTE AT-N = ITEM-N - BASE-N.\n"
              << "           DISPLAY '" << name << " ' AT-N.\n";
      char line[256];
      std::snprintf(line, sizeof line, "%s %09zu", name.c_str(), offsets[i]);
      expected.emplace_back(line);
      if (field.alias) {
        // An alias is as long as the bytes it renames.
        program << "           DISPLAY '" << name << " LENGTH ' FUNCTION LENGTH(" << name << ").\n";
        std::snprintf(line, sizeof line, "%s LENGTH %09zu", name.c_str(), field.size);
        expected.emplace_back(line);
      }
    }
    program << "           DISPLAY '" << record.name << " LENGTH ' FUNCTION LENGTH(" << record.name << ").\n";
    char line[64];
    std::snprintf(line, sizeof line, "%s LENGTH %09zu", record.name.c_str(), length);
    expected.emplace_back(line);
  }
  program << "           STOP RUN.\n";
  std::ofstream(folder / "offsets.cob") << program.str();

  const std::string compiled =
      run("cd '" + folder.string() + "' && cobc -x -std=ibm -fodoslide -o offsets offsets.cob 2>&1 && echo COMPILED");
  ASSERT_NE(compiled.find("COMPILED"), std::string::npos) << compiled;
  std::vector<std::string> displayed;
  std::istringstream lines(run("cd '" + folder.string() + "' && ./offsets"));
  for (std::string line; std::getline(lines, line);) {
    // The number last, in nine digits: FUNCTION LENGTH displays as many as it takes, maybe signed.
    while (!line.empty() && (line.back() == '+' || line.back() == ' ')) line.pop_back();
    const std::size_t space = line.rfind(' ');
    char number[16];
    std::snprintf(number, sizeof number, "%09lu", std::stoul(line.substr(space + 1)));
    displayed.push_back(line.substr(0, space + 1) + number);
  }
  EXPECT_EQ(displayed, expected);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quor
