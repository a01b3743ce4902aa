// The clauses that shape a copybook's record: OCCURS DEPENDING ON, SYNCHRONIZED, RENAMES, FILLER
// VALUE and COPY. Offsets of the tables of varying length and of the synchronized items agree with
// GnuCOBOL (cobc -std=ibm -fodoslide) where it places items as IBM's compilers do; cobc_offsets_test
// holds the two to each other.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "quor/error.hpp"
#include "quor/json_lines.hpp"
#include "quor/layout.hpp"

namespace quor {
namespace {

// "G2(1) binary S9 column 28+4", "FILLER packed S3 constant 2+2 =005D", "FILLER text 3 constant 4+3
// ="AB"" (text of its own, non-ASCII shown as ?), "(slack bytes) filler 2 constant 26+2", "ALL text 22
// alias 0+22".
std::string describe(const LayoutField& field) {
  static const char* const kRoles[] = {"column", "constant", "overlay"};
  std::string text = field.name + " " + std::string(nameOf(field.kind)) + " " + (field.isSigned ? "S" : "") +
                     std::to_string(field.length);
  if (field.scale != 0) text += "v" + std::to_string(field.scale);
  text += std::string(" ") + (field.alias ? "alias" : kRoles[static_cast<int>(field.role)]) + " " +
          std::to_string(field.offset) + "+" + std::to_string(field.size);
  if (!field.constantText.empty()) {
    std::string utf8;
    for (const char16_t c : field.constantText) utf8 += c < 0x80 ? static_cast<char>(c) : '?';
    text += " =\"" + utf8 + "\"";
  }
  if (!field.constantBytes.empty()) {
    text += " =";
    for (const std::uint8_t byte : field.constantBytes) {
      char pair[4];
      std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(byte));
      text += pair;
    }
  }
  return text;
}

// "T1 by 1: 2..4 from 3, 1 a element": the table's counter and first field counted from 1.
std::string describe(const VaryingTable& table) {
  return table.name + " by " + std::to_string(table.counter + 1) + ": " + std::to_string(table.least) + ".." +
         std::to_string(table.most) + " from " + std::to_string(table.first + 1) + ", " + std::to_string(table.width) +
         " a element";
}

struct Accepted {
  const char* what;
  std::string text;
  std::vector<std::string> fields;
  std::size_t recordLength;
  std::vector<std::string> tables = {};
  std::size_t shortestLength = 0;  // 0: the record length
};

TEST(CopybookStructure, LaysOutWhatTheHostCompilerLaysOut) {
  const Accepted cases[] = {
      {"OCCURS m TO n and n TIMES DEPENDING ON; an item after a table moves with it",
       "01 R.\n 05 N1 PIC 9.\n 05 N2 PIC S9(4) COMP.\n 05 T1 OCCURS 2 TO 4 DEPENDING ON N1 PIC X(3).\n"
       " 05 MID PIC X.\n 05 T2 OCCURS 2 TIMES DEPENDING N2 OF R.\n  10 C PIC 9.\n  10 D PIC X.\n",
       {"N1 zoned 1 column 0+1", "N2 binary S4 column 1+2", "T1(1) text 3 column 3+3", "T1(2) text 3 column 6+3",
        "T1(3) text 3 column 9+3", "T1(4) text 3 column 12+3", "MID text 1 column 15+1", "C(1) zoned 1 column 16+1",
        "D(1) text 1 column 17+1", "C(2) zoned 1 column 18+1", "D(2) text 1 column 19+1"},
       20,
       {"T1 by 1: 2..4 from 3, 1 a element", "T2 by 2: 1..2 from 8, 2 a element"},
       12},
      {"a table of varying length in each element of a table, and nested in one of varying length",
       "01 R.\n 05 C1 PIC 9.\n 05 C2 PIC 9 COMP-3.\n 05 G OCCURS 2.\n  10 H PIC X.\n"
       "  10 T OCCURS 0 TO 2 DEPENDING ON C2 PIC X.\n 05 OUTER OCCURS 1 TO 2 DEPENDING ON C1.\n"
       "  10 INNER OCCURS 0 TO 2 DEPENDING ON C2 PIC XX.\n  10 O2 PIC X.\n 05 TAIL PIC X.\n",
       {"C1 zoned 1 column 0+1", "C2 packed 1 column 1+1", "H(1) text 1 column 2+1", "T(1,1) text 1 column 3+1",
        "T(1,2) text 1 column 4+1", "H(2) text 1 column 5+1", "T(2,1) text 1 column 6+1",
        "T(2,2) text 1 column 7+1", "INNER(1,1) text 2 column 8+2", "INNER(1,2) text 2 column 10+2",
        "O2(1) text 1 column 12+1", "INNER(2,1) text 2 column 13+2", "INNER(2,2) text 2 column 15+2",
        "O2(2) text 1 column 17+1", "TAIL text 1 column 18+1"},
       19,
       {"T by 2: 0..2 from 4, 1 a element", "T by 2: 0..2 from 7, 1 a element", "OUTER by 1: 1..2 from 9, 3 a element",
        "INNER by 2: 0..2 from 9, 1 a element", "INNER by 2: 0..2 from 12, 1 a element"},
       6},
      {"SYNC: slack before binary items on their boundary from the record's start, fullword for eight "
       "bytes; none for other usages; LEFT and RIGHT read alike",
       "01 R.\n 05 A PIC X.\n 05 B PIC S9(4) COMP SYNC LEFT.\n 05 C PIC S9(5) COMP-3 SYNC.\n"
       " 05 D PIC X(2) SYNCHRONIZED.\n 05 E PIC 9(9) COMP-5 SYNC RIGHT.\n 05 F PIC X.\n"
       " 05 G PIC S9(18) BINARY SYNC.\n",
       {"A text 1 column 0+1", "(slack bytes) filler 1 constant 1+1", "B binary S4 column 2+2",
        "C packed S5 column 4+3", "D text 2 column 7+2", "(slack bytes) filler 3 constant 9+3",
        "E binary 9 column 12+4", "F text 1 column 16+1", "(slack bytes) filler 3 constant 17+3",
        "G binary S18 column 20+8"},
       28},
      {"SYNC: COMP-1 on a fullword, COMP-2 on a doubleword",
       "01 R.\n 05 A PIC X.\n 05 F COMP-2 SYNC.\n 05 B PIC X.\n 05 G COMP-1 SYNC.\n",
       {"A text 1 column 0+1", "(slack bytes) filler 7 constant 1+7", "F float8 1 column 8+8", "B text 1 column 16+1",
        "(slack bytes) filler 3 constant 17+3", "G float4 1 column 20+4"},
       24},
      {"SYNC in a table: the first element's items aligned from the record's start, every element a "
       "multiple of the strictest alignment in it",
       "01 R.\n 05 A PIC X(25).\n 05 G OCCURS 2.\n  10 G1 PIC X.\n  10 G2 PIC S9(9) COMP SYNC.\n"
       " 05 H PIC X.\n 05 I PIC S9(4) COMP SYNC.\n",
       {"A text 25 column 0+25", "G1(1) text 1 column 25+1", "(slack bytes) filler 2 constant 26+2",
        "G2(1) binary S9 column 28+4", "(slack bytes) filler 1 constant 32+1", "G1(2) text 1 column 33+1",
        "(slack bytes) filler 2 constant 34+2", "G2(2) binary S9 column 36+4",
        "(slack bytes) filler 1 constant 40+1", "H text 1 column 41+1", "I binary S4 column 42+2"},
       44},
      {"SYNC on items already aligned, and on a group whose items are, adds no byte",
       "01 R SYNC.\n 05 A PIC X(2).\n 05 B PIC S9(4) COMP SYNC.\n 05 C PIC S9(9) COMP.\n"
       " 05 T OCCURS 2 PIC S9(4) COMP SYNC.\n",
       {"A text 2 column 0+2", "B binary S4 column 2+2", "C binary S9 column 4+4", "T(1) binary S4 column 8+2",
        "T(2) binary S4 column 10+2"},
       12},
      {"SYNC after a table of varying length whose elements keep it aligned",
       "01 R.\n 05 N PIC S9(4) COMP.\n 05 T OCCURS 0 TO 3 DEPENDING ON N PIC X(4).\n"
       " 05 X PIC X.\n 05 B PIC S9(9) COMP SYNC.\n",
       {"N binary S4 column 0+2", "T(1) text 4 column 2+4", "T(2) text 4 column 6+4", "T(3) text 4 column 10+4",
        "X text 1 column 14+1", "(slack bytes) filler 1 constant 15+1", "B binary S9 column 16+4"},
       20,
       {"T by 1: 0..3 from 2, 1 a element"},
       8},
      {"FILLER VALUE: characters as text of its own, written on the run's host page; bytes and numbers as "
       "its kind writes them",
       "01 R.\n 05 FILLER PIC X(3) VALUE 'AB'.\n 05 FILLER PIC X(3) VALUE \"I\"\"M\".\n"
       " 05 FILLER PIC X(4) VALUE ALL '*-'.\n 05 FILLER PIC X(3) VALUE X'0D25'.\n"
       " 05 FILLER PIC X(2) VALUE 'A' & 'B'.\n 05 FILLER PIC N(2) VALUE N'漢'.\n"
       " 05 FILLER PIC X(2) VALUE SPACES.\n 05 FILLER PIC X(2) VALUE ZEROS.\n 05 FILLER PIC X VALUE QUOTE.\n"
       " 05 FILLER PIC X VALUE LOW-VALUE.\n 05 FILLER PIC X VALUE HIGH-VALUES.\n"
       " 05 FILLER PIC N VALUE NX'A1A1'.\n 05 FILLER PIC 9(3) VALUE 7.\n 05 FILLER PIC S9(3)V9 COMP-3 VALUE -1.5.\n"
       " 05 FILLER PIC 9(4) COMP VALUE ZERO.\n 05 FILLER PIC S9(4) BINARY VALUE -2.\n"
       " 05 NAMED PIC X(2) VALUE 'NO'.\n",
       {"FILLER text 3 constant 0+3 =\"AB\"", "FILLER text 3 constant 3+3 =\"I\"M\"",
        "FILLER text 4 constant 6+4 =\"*-*-\"", "FILLER text 3 constant 10+3 =0D2540",
        "FILLER text 2 constant 13+2 =\"AB\"", "FILLER national 2 constant 15+4 =\"?\"",
        "FILLER text 2 constant 19+2 =\"  \"", "FILLER text 2 constant 21+2 =\"00\"",
        "FILLER text 1 constant 23+1 =\"\"\"", "FILLER text 1 constant 24+1 =00", "FILLER text 1 constant 25+1 =FF",
        "FILLER national 1 constant 26+2 =A1A1", "FILLER zoned 3 constant 28+3 =F0F0F7",
        "FILLER packed S4v1 constant 31+3 =00015D", "FILLER binary 4 constant 34+2 =0000",
        "FILLER binary S4 constant 36+2 =FFFE", "NAMED text 2 column 38+2"},
       40},
      {"a group's VALUE gives the fillers under it their part: characters to text, blanks to slack bytes",
       "01 R.\n 05 G VALUE 'ABCD'.\n  10 FILLER PIC X(3).\n  10 NAMED PIC X.\n  10 FILLER PIC X.\n"
       " 05 H VALUE SPACES.\n  10 FILLER PIC X(2).\n  10 B PIC S9(4) COMP SYNC.\n 05 I VALUE X'C1C2'.\n"
       "  10 FILLER PIC 9.\n  10 FILLER PIC X.\n",
       {"FILLER text 3 constant 0+3 =\"ABC\"", "NAMED text 1 column 3+1", "FILLER text 1 constant 4+1 =\" \"",
        "FILLER text 2 constant 5+2 =\"  \"", "(slack bytes) filler 1 constant 7+1 =40", "B binary S4 column 8+2",
        "FILLER zoned 1 constant 10+1 =C1", "FILLER text 1 constant 11+1 =C2"},
       12},
      {"RENAMES: an elementary item's kind, text over a group or a THRU range, after every field",
       "01 R.\n 05 D.\n  10 YY PIC 9(2).\n  10 MM PIC 9(2).\n 05 AMT PIC S9(5) COMP-3.\n 05 TAIL PIC X.\n"
       "66 MONEY RENAMES AMT.\n66 DATE-TEXT RENAMES D.\n66 ALL-BUT-TAIL RENAMES MM OF D THROUGH AMT.\n",
       {"YY zoned 2 column 0+2", "MM zoned 2 column 2+2", "AMT packed S5 column 4+3", "TAIL text 1 column 7+1",
        "MONEY packed S5 alias 4+3", "DATE-TEXT text 4 alias 0+4", "ALL-BUT-TAIL text 5 alias 2+5"},
       8},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.what);
    const Layout layout = parseCopybook(c.text, "t.cpy");
    std::vector<std::string> fields;
    for (const LayoutField& field : layout.fields) fields.push_back(describe(field));
    EXPECT_EQ(fields, c.fields);
    std::vector<std::string> tables;
    for (const VaryingTable& table : layout.tables) tables.push_back(describe(table));
    EXPECT_EQ(tables, c.tables);
    EXPECT_EQ(layout.recordLength, c.recordLength);
    EXPECT_EQ(layout.shortestLength, c.shortestLength == 0 ? c.recordLength : c.shortestLength);
  }
  // Each 01 record of a copybook of several is aligned from its own start, keeps its own RENAMES, and
  // its tree stands for its slack bytes and aliases too (JSON Lines walks it).
  const char* const several =
      "01 A.\n 05 T PIC X.\n 05 W PIC X(2).\n"
      "01 B.\n 05 K PIC X.\n 05 H PIC S9(4) COMP SYNC.\n 05 G OCCURS 2.\n  10 C PIC X.\n"
      "  10 F PIC S9(8) BINARY SYNC.\n66 KH RENAMES K THRU H.\n";
  const struct {
    const char* record;
    std::vector<std::string> fields;
  } records[] = {
      {"A", {"T text 1 column 0+1", "W text 2 column 1+2"}},
      {"B",
       {"K text 1 column 0+1", "(slack bytes) filler 1 constant 1+1", "H binary S4 column 2+2",
        "C(1) text 1 column 4+1", "(slack bytes) filler 3 constant 5+3", "F(1) binary S8 column 8+4",
        "C(2) text 1 column 12+1", "(slack bytes) filler 3 constant 13+3", "F(2) binary S8 column 16+4",
        "KH text 4 alias 0+4"}},
  };
  for (const auto& r : records) {
    SCOPED_TRACE(r.record);
    const NamedLayout named = parseCopybookRecord(several, "t.cpy", r.record);
    std::vector<std::string> fields;
    for (const LayoutField& field : named.layout.fields) fields.push_back(describe(field));
    EXPECT_EQ(fields, r.fields);
    EXPECT_NO_THROW(JsonLinesWriter(named.layout, named.name, true));
  }
}

std::string refusal(const std::string& text, const CopyResolver& resolve = {}) {
  try {
    (void)parseCopybook(text, "t.cpy", {}, resolve);
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kInvalidCall);
    return e.what();
  }
  return "accepted";
}

TEST(CopybookStructure, RefusesWhatTheHostWouldReadOtherwise) {
  const std::pair<std::string, std::string> cases[] = {
      {"01 R.\n 05 A PIC X OCCURS 1 TO 5 DEPENDING ON N.\n 05 N PIC 9.\n",
       "t.cpy:2: OCCURS DEPENDING ON N: the counter must come before the table, so a record's length can be read "
       "from its start"},
      {"01 R.\n 05 A PIC X OCCURS 1 TO 5 DEPENDING ON M.\n", "t.cpy:2: no item 'M' in the copybook"},
      {"01 R.\n 05 A PIC X OCCURS 1 TO 5 DEPENDING ON OF.\n",
       "t.cpy:2: DEPENDING needs the name of the item holding the number of elements, found 'OF'"},
      {"01 R.\n 05 N PIC 9.\n 05 A PIC X OCCURS 5 DEPENDING ON N OF TIMES.\n",
       "t.cpy:3: OF needs the name of a group, found 'TIMES'"},
      {"01 R.\n 05 N PIC 9V9.\n 05 A PIC X OCCURS 5 DEPENDING ON N.\n",
       "t.cpy:3: OCCURS DEPENDING ON N: the counter must be an elementary item of whole numbers"},
      {"01 R.\n 05 G OCCURS 2.\n  10 N PIC 9.\n 05 A PIC X OCCURS 5 DEPENDING ON N.\n",
       "t.cpy:4: OCCURS DEPENDING ON N: the counter must not be in a table, so each record has one count"},
      {"01 R.\n 05 N PIC 9.\n 05 A PIC X OCCURS 0 TO 2 DEPENDING ON N.\n 05 B PIC X OCCURS 3 TO 4 DEPENDING ON N.\n",
       "t.cpy:2: field 1 (N): the varying tables this field counts have no count in common (0 to 2 and 3 to 2)"},
      {"01 R.\n 05 N PIC 9.\n 05 A PIC X OCCURS 1 TO 5.\n",
       "t.cpy:3: OCCURS 1 TO 5 needs DEPENDING ON the item holding the number of elements"},
      {"01 R.\n 05 N PIC 9.\n 05 A PIC X OCCURS 5 TO 2 DEPENDING ON N.\n",
       "t.cpy:3: OCCURS 5 TO 2: the most is less than the fewest"},
      {"01 R.\n 05 N PIC 9.\n 05 G.\n  10 A PIC X OCCURS 1 TO 5 DEPENDING ON N.\n 05 H REDEFINES G PIC X.\n",
       "t.cpy:5: REDEFINES G: an item holding OCCURS DEPENDING ON can neither redefine nor be redefined"},
      {"01 R.\n 05 N PIC 9.\n 05 A PIC X OCCURS 1 TO 5 DEPENDING ON N.\n 05 B PIC S9(4) COMP SYNC.\n",
       "t.cpy:4: SYNCHRONIZED 'B' comes after a table of OCCURS DEPENDING ON whose elements would move it off its "
       "boundary"},
      {"01 R.\n 05 G SYNC.\n  10 A PIC X.\n  10 B PIC S9(4) COMP.\n",
       "t.cpy:4: SYNCHRONIZED on a group would put 1 slack bytes before 'B', and compilers differ on whether it "
       "reaches the items under the group: write SYNCHRONIZED on the item itself"},
      {"01 R.\n 05 FILLER PIC X(2) VALUE 'ABC'.\n", "t.cpy:2: VALUE of FILLER: the literal has 3 characters, the item 2"},
      {"01 R.\n 05 FILLER PIC X(2) VALUE X'C1C2C3'.\n", "t.cpy:2: VALUE of FILLER: the literal takes 3 bytes, the item 2"},
      {"01 R.\n 05 FILLER PIC X(2) VALUE 'A' & X'00'.\n",
       "t.cpy:2: VALUE of FILLER: characters joined with a hexadecimal literal: write the whole value in hexadecimal"},
      {"01 R.\n 05 FILLER PIC N(2) VALUE NX'A1A1'.\n",
       "t.cpy:2: VALUE of FILLER: a national hexadecimal literal of 2 bytes, the item 4: it must fill the item"},
      {"01 R.\n 05 G VALUE 'AB'.\n  10 FILLER PIC X.\n  10 FILLER PIC 9.\n",
       "t.cpy:4: a group's VALUE puts characters on 'FILLER', which hold no characters: give the FILLER items "
       "VALUEs of their own"},
      {"01 R.\n 05 FILLER PIC 9(2) VALUE -1.\n", "t.cpy:2: VALUE of FILLER: -1 is negative and the item has no sign"},
      {"01 R.\n 05 FILLER PIC 9(2)V9 VALUE 1.25.\n",
       "t.cpy:2: VALUE of FILLER: 1.25 has more decimal places than the item's 1"},
      {"01 R.\n 05 FILLER PIC 9(2) VALUE 123.\n", "t.cpy:2: VALUE of FILLER: 123 has more digits than the item's 2"},
      {"01 R.\n 05 FILLER PIC 9(2) VALUE 'AB'.\n",
       "t.cpy:2: VALUE of FILLER: a number item takes a numeric literal or ZERO, not 'AB'"},
      {"01 R.\n 05 FILLER PIC X(2) VALUE 12.\n", "t.cpy:2: VALUE of FILLER: a numeric literal in an item of characters"},
      {"01 R.\n 05 FILLER PIC X(2) VALUE N'A'.\n",
       "t.cpy:2: VALUE of FILLER: a literal N'...' in an item of single-byte characters"},
      {"01 R.\n 05 FILLER PIC X VALUE X'0'.\n", "t.cpy:2: VALUE of FILLER: X'0' is no hexadecimal literal"},
      {"01 R.\n 05 G VALUE 'ABC'.\n  10 FILLER PIC X(2).\n", "t.cpy:2: VALUE of 'G': the literal has 3 characters, the item 2"},
      {"01 R.\n 05 T OCCURS 2 PIC X.\n66 A RENAMES T.\n", "t.cpy:3: RENAMES of 'A': 'T' has OCCURS or is in a table"},
      {"01 R.\n 05 A PIC X.\n 05 B PIC X.\n66 C RENAMES B THRU A.\n",
       "t.cpy:4: RENAMES of 'C': the THRU item ends before the first item starts"},
      {"01 R.\n 05 A PIC X.\n66 A RENAMES A.\n", "t.cpy:3: RENAMES of 'A': 'A' is the name of an item too"},
      {"01 R.\n 05 A PIC X.\n66 B RENAMES R.\n", "t.cpy:3: RENAMES of 'B': it cannot rename the level 01 item 'R'"},
      {"01 R.\n 05 N PIC 9.\n 05 T PIC X OCCURS 0 TO 2 DEPENDING ON N.\n66 B RENAMES N THRU T.\n",
       "t.cpy:4: RENAMES of 'B': 'T' has OCCURS or is in a table"},
      {"01 R.\n 05 A PIC X.\n66 B A.\n", "t.cpy:3: level 66 needs RENAMES after its name"},
      {"01 R.\n 05 A PIC X.\n COPY OTHER.\n", "t.cpy:3: COPY OTHER: no place to look for members was given (--copy-path)"},
      {"01 R.\n COPY OTHER REPLACING ==A== ==B==.\n",
       "t.cpy:2: REPLACING needs BY between the text to replace and its replacement"},
      {"01 R.\n COPY OTHER REPLACING ==A== BY ==B.\n", "t.cpy:2: pseudo-text is not closed with =="},
      {"01 R.\n COPY OTHER\n", "t.cpy:2: the COPY statement does not end with a period"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(refusal(text), message) << text;
}

// A resolver over members held in a map, as a program that keeps its copybooks elsewhere gives them.
CopyResolver membersOf(std::map<std::string, std::string> members) {
  return [members = std::move(members)](const std::string& name, const std::string& library) {
    const std::string key = library.empty() ? name : library + "/" + name;
    const auto it = members.find(key);
    if (it == members.end()) throw Error(errors::kInvalidCall, "no member " + key);
    return CopyMember{key + ".cpy", it->second};
  };
}

TEST(CopybookStructure, CopyBringsInMembersWithTheirReplacing) {
  const CopyResolver resolve = membersOf({
      {"ADDR", "       05  :P:-NAME  PIC X(30).\n       05  :P:-CITY  PIC X(10).\n"},
      {"AMOUNT", "05 AMOUNT PIC S9(7)V99 COMP-3.\n05 NOTE PIC X(8) VALUE 'N' & 'A'.\n"},
      {"LIB/DATE", "  05 WS-DATE PIC 9(8).\n"},
      {"NESTED", "05 LEVEL1 PIC X.\nCOPY \"LEVEL2\".\n"},
      {"LEVEL2", "05 LEVEL2 PIC X.\n"},
      {"LOOP1", "COPY LOOP2.\n"},
      {"LOOP2", "05 A PIC X.\nCOPY LOOP1.\n"},
      {"BAD", "05 A PIC X.\n05 B PIC ZZ9 COMP.\n"},
  });
  const struct {
    std::string text;
    std::vector<std::string> fields;
  } cases[] = {
      {"01 R.\n COPY ADDR REPLACING ==:P:== BY ==CUST== ==X(30)== BY ==X(20)==.\n",
       {"CUST-NAME text 20 column 0+20", "CUST-CITY text 10 column 20+10"}},
      {"01 R.\n COPY AMOUNT REPLACING ==PIC S9(7)V99 COMP-3== BY ==PIC S9(9) COMP== AMOUNT BY TOTAL\n"
       "   'N' BY 'M'.\n",
       {"TOTAL binary S9 column 0+4", "NOTE text 8 column 4+8"}},
      {"01 r.\n copy ADDR replacing ==:p:== by ==cust== leading ==CUST-N== by ==n==.\n",
       {"cust-NAME text 30 column 0+30", "cust-CITY text 10 column 30+10"}},
      {"01 R.\n COPY DATE OF LIB REPLACING LEADING ==WS-== BY ==IN-==.\n", {"IN-DATE zoned 8 column 0+8"}},
      {"01 R.\n COPY DATE IN LIB REPLACING TRAILING ==-DATE== BY ==-DAY==.\n", {"WS-DAY zoned 8 column 0+8"}},
      {"01 R.\n 05 FIRST PIC X.\n COPY NESTED SUPPRESS.\n 05 LAST PIC X.\n",
       {"FIRST text 1 column 0+1", "LEVEL1 text 1 column 1+1", "LEVEL2 text 1 column 2+1", "LAST text 1 column 3+1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Layout layout;
    try {
      layout = parseCopybook(c.text, "t.cpy", {}, resolve);
    } catch (const Error& e) {
      EXPECT_TRUE(c.fields.empty()) << e.what();
      continue;
    }
    std::vector<std::string> fields;
    for (const LayoutField& field : layout.fields) fields.push_back(describe(field));
    EXPECT_EQ(fields, c.fields);
  }
  // A message names the member and its own line; a member that copies itself is named with the chain.
  EXPECT_EQ(refusal("01 R.\n COPY BAD.\n", resolve),
            "BAD.cpy:2: PICTURE ZZ9 cannot be USAGE COMP");
  EXPECT_EQ(parseCopybook("01 R.\n COPY BAD REPLACING ==ZZ9 COMP== BY ==999 COMP==.\n", "t.cpy", {}, resolve).fields.at(1).origin,
            "BAD.cpy:2");
  EXPECT_EQ(refusal("01 R.\n\n COPY LOOP1.\n", resolve),
            "LOOP2.cpy:2: COPY LOOP1: the member copies itself: t.cpy -> LOOP1.cpy -> LOOP2.cpy -> LOOP1.cpy");
  EXPECT_EQ(refusal("01 R.\n COPY NONE.\n", resolve), "t.cpy:2: COPY NONE: no member NONE");
}

TEST(CopybookStructure, CopyFoldersLookInEachFolderForTheNameThenItsSuffixes) {
  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     ("quor-copy-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::remove_all(root);
  const auto write = [&](const std::string& relative, const std::string& text) {
    std::filesystem::create_directories((root / relative).parent_path());
    std::ofstream(root / relative) << text;
  };
  write("first/B.CPY", "05 B-FIRST PIC X.\n");
  write("second/A", "05 A-PLAIN PIC X.\n");
  write("second/A.cpy", "05 A-CPY PIC X.\n");
  write("second/B.cpy", "05 B-SECOND PIC X.\n");
  write("second/LIB/C.cpy", "05 C-LIB PIC X.\n");
  std::filesystem::create_directories(root / "first" / "D");  // a folder is no member
  write("second/D.cpy", "05 D-FILE PIC X.\n");
  const std::string first = (root / "first").string();
  const std::string second = (root / "second").string();
  const CopyResolver resolve = copyFolders({first, second});
  const Layout layout = parseCopybook("01 R.\n COPY A.\n COPY B.\n COPY C OF LIB.\n COPY D.\n", "t.cpy", {}, resolve);
  std::vector<std::string> names;
  for (const LayoutField& field : layout.fields) names.push_back(field.name + " " + field.origin);
  EXPECT_EQ(names, (std::vector<std::string>{"A-PLAIN " + second + "/A:1", "B-FIRST " + first + "/B.CPY:1",
                                             "C-LIB " + second + "/LIB/C.cpy:1", "D-FILE " + second + "/D.cpy:1"}));
  EXPECT_EQ(refusal("01 R.\n COPY E.\n", resolve),
            "t.cpy:2: COPY E: no member E, E.cpy or E.CPY in " + first + ", " + second);
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace quor
