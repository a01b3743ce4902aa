// Copybooks and the layouts they give. The offsets and record lengths of the accepted copybooks are
// those GnuCOBOL (cobc -std=ibm) gives for the same items, 77 items and kanji names aside.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quor/error.hpp"
#include "quor/layout.hpp"

namespace quor {
namespace {

// "AMOUNT zoned S9v2 column 36+9": name, kind, digits (with sign and scale) or characters, role,
// offset and size; then the attributes that are not the default: "sign=leading-separate", "zone=F",
// "range=full", "ieee", "justified", "blank-when-zero", a picture.
std::string describe(const LayoutField& field) {
  static const char* const kRoles[] = {"column", "constant", "overlay"};
  const bool floating = field.kind == FieldKind::float4 || field.kind == FieldKind::float8;
  std::string text = field.name + " " + std::string(nameOf(field.kind)) + " " + (field.isSigned ? "S" : "") +
                     (floating ? "" : std::to_string(field.length));
  if (field.scale != 0) text += "v" + std::to_string(field.scale);
  text += std::string(floating ? "" : " ") + kRoles[static_cast<int>(field.role)] + " " +
          std::to_string(field.offset) + "+" + std::to_string(field.size);
  if (field.sign != SignPlacement::trailing) text += " sign=" + std::string(nameOf(field.sign));
  if (field.positiveZone != kPositiveZoneC) text += " zone=F";
  if (field.range != BinaryRange::digits) text += " range=" + std::string(nameOf(field.range));
  if (floating) text += " " + std::string(nameOf(field.floatFormat));
  if (field.justifiedRight) text += " justified";
  if (field.blankWhenZero) text += " blank-when-zero";
  if (!field.picture.empty()) text += " " + field.picture;
  return text;
}

struct Accepted {
  const char* what;
  std::string text;
  std::vector<std::string> fields;
  std::size_t recordLength;
};

TEST(Copybook, GivesTheHostLayout) {
  const Accepted cases[] = {
      {"fixed form: sequence area, comment, page and debugging lines, columns 73 on",
       "000100* ORDER RECORD\n"
       "000200 01  ORDER-REC.\r\n"
       "000300     05  ORDER-NO        PIC 9(6).\n"
       "000400/    NEW PAGE\n"
       "000500     05  CUSTOMER.\n"
       "000600         10  CUST-NAME   PIC X(20).                               ORD00600\n"
       "000700         10  CUST-KANA   PIC A(10).\n"
       "000800D    05  TRACE-ONLY      PIC X(99).\n"
       "000900     05  AMOUNT          PIC S9(7)V99.\n"
       "001000     05  FILLER          PIC X(5).\n",
       {"ORDER-NO zoned 6 column 0+6", "CUST-NAME text 20 column 6+20", "CUST-KANA text 10 column 26+10",
        "AMOUNT zoned S9v2 column 36+9", "FILLER text 5 constant 45+5"},
       50},
      {"free form, lower case, every usage, FILLER and unnamed items of each kind",
       "*> every usage\n"
       "01 amounts.\n"
       "   05 p1 pic s9(7)v99 comp-3.      *> 5 bytes\n"
       "   05 p2 picture is 9(4) usage is computational-3.\n"
       "   05 p3 pic 9(3) packed-decimal.\n"
       "   05 b1 pic s9(4) comp.\n"
       "   05 b2 pic 9(9) binary.\n"
       "   05 b3 pic s9(18) comp-4.\n"
       "   05 b4 pic 9(5) usage computational-5.\n"
       "   05 z1 pic 9(3)v9 display.\n"
       "   05 n1 pic n(5).\n"
       "   05 n2 pic n(2) usage national.\n"
       "   05 g1 pic g(3) display-1.\n"
       "   05 filler pic n(2).\n"
       "   05 pic 9(3) comp-3.\n"
       "   05 filler pic s9(4) comp.\n",
       {"p1 packed S9v2 column 0+5", "p2 packed 4 column 5+3", "p3 packed 3 column 8+2",
        "b1 binary S4 column 10+2", "b2 binary 9 column 12+4", "b3 binary S18 column 16+8",
        "b4 binary 5 column 24+4 range=full", "z1 zoned 4v1 column 28+4", "n1 national 5 column 32+10",
        "n2 national 2 column 42+4", "g1 national 3 column 46+6", "FILLER national 2 constant 52+4",
        "FILLER packed 3 constant 56+2", "FILLER binary S4 constant 58+2"},
       60},
      {"a group's usage, nested tables",
       "       01  TABLES.\n"
       "           05  TOTALS USAGE COMP-3.\n"
       "               10  MONTH OCCURS 2.\n"
       "                   15  QTY      PIC S9(5).\n"
       "                   15  DAYS     PIC 9(3) OCCURS 2 TIMES COMP-3.\n"
       "           05  CODES PIC XX OCCURS 3 ASCENDING KEY IS CODES OF TABLES INDEXED BY CX.\n",
       {"QTY(1) packed S5 column 0+3", "DAYS(1,1) packed 3 column 3+2", "DAYS(1,2) packed 3 column 5+2",
        "QTY(2) packed S5 column 7+3", "DAYS(2,1) packed 3 column 10+2", "DAYS(2,2) packed 3 column 12+2",
        "CODES(1) text 2 column 14+2", "CODES(2) text 2 column 16+2", "CODES(3) text 2 column 18+2"},
       20},
      {"REDEFINES of an item, of a group, of the record",
       "       01  DATES.\n"
       "           05  DATE-N        PIC 9(8).\n"
       "           05  DATE-X REDEFINES DATE-N.\n"
       "               10  YYYY      PIC 9(4).\n"
       "               10  FILLER    PIC X(4).\n"
       "           05  DATE-P REDEFINES DATE-N PIC S9(7) COMP-3.\n"
       "           05  FLAG          PIC X.\n"
       "       01  DATES-ALL REDEFINES DATES PIC X(9).\n",
       {"DATE-N zoned 8 column 0+8", "YYYY zoned 4 overlay 0+4", "FILLER text 4 overlay 4+4",
        "DATE-P packed S7 overlay 0+4", "FLAG text 1 column 8+1", "DATES-ALL text 9 overlay 0+9"},
       9},
      {"continued literal and word, VALUE over lines, 88 ignored",
       "       01  NOTES.\n"
       "           05  MSG         PIC X(60) VALUE 'A TEXT THAT GOES ON TO CO   NOTE0020\n"
       "      -    'LUMN 72'.\n"
       "           05  UNIT-PR\n"
       "      -        ICE     PIC 9(5)V99 VALUE\n"
       "               12.50.\n"
       "           05  STATE       PIC X VALUE \"Y\".\n"
       "               88  IS-ON   VALUE \"Y\" \"y\"\n"
       "                           \"1\" \"2\".\n"
       "      *    05  OLD-FIELD   PIC X(10).\n"
       "           05  TAIL        PIC X.   *> the last byte\n",
       {"MSG text 60 column 0+60", "UNIT-PRICE zoned 7v2 column 60+7", "STATE text 1 column 67+1",
        "TAIL text 1 column 68+1"},
       69},
      {"a name used twice is qualified by its groups",
       "       01  R.\n"
       "           05  IN-REC.\n"
       "               10  AMOUNT  PIC 9(3).\n"
       "               10  G.\n"
       "                   15  X   PIC X.\n"
       "           05  OUT-REC.\n"
       "               10  amount  PIC 9(3).\n"
       "               10  G.\n"
       "                   15  X   PIC X.\n"
       "           05  AMOUNTS OCCURS 2.\n"
       "               10  AMOUNT  PIC 9.\n",
       {"AMOUNT OF IN-REC zoned 3 column 0+3", "X OF G OF IN-REC text 1 column 3+1",
        "amount OF OUT-REC zoned 3 column 4+3", "X OF G OF OUT-REC text 1 column 7+1",
        "AMOUNT OF AMOUNTS(1) zoned 1 column 8+1", "AMOUNT OF AMOUNTS(2) zoned 1 column 9+1"},
       10},
      {"items without an 01, and a 77 item",
       "           05  A   PIC X(4).\n"
       "           05  B   PIC 9(3) COMP-3.\n"
       "       77  C   PIC S9(4) COMP.\n",
       {"A text 4 column 0+4", "B packed 3 column 4+2", "C binary S4 column 6+2"},
       8},
      {"tabs stop every 8 columns, so XX falls in column 73",
       "       01  R.\n\t    05  A PIC X(2).\t\t\t\t\t\tXX\n",
       {"A text 2 column 0+2"},
       2},
      {"a kanji name takes two columns a character",
       "       01  顧客.\n"
       "           05  顧客名称                                        PIC N(4).KNJ00200\n"
       "           05  ｶﾅ         PIC X(4).\n",
       {"顧客名称 national 4 column 0+8", "ｶﾅ text 4 column 8+4"},
       12},
      {"every clause that shapes a field's bytes; offsets and lengths as cobc -std=ibm gives them",
       "       01  R.\n"
       "           05  A  PIC S9(5) SIGN LEADING SEPARATE.\n"
       "           05  B  PIC S9(3) SIGN TRAILING SEPARATE CHARACTER.\n"
       "           05  C  PIC S9(3) SIGN IS LEADING.\n"
       "           05  D  COMP-1.\n"
       "           05  E  COMP-2.\n"
       "           05  F  PIC 9(3)PPP.\n"
       "           05  G  PIC SVPP9(3) COMP-3.\n"
       "           05  H  PIC X(5) JUST RIGHT.\n"
       "           05  I  PIC 9(4) BLANK WHEN ZERO.\n"
       "           05  J  PIC ZZZ,ZZ9.99-.\n"
       "           05  K  PIC XXBXX.\n"
       "           05  L  PIC S9(4) COMP-5.\n"
       "           05  M  PIC 9(4)/99/99.\n"
       "           05  N  PIC $$,$$9.99.\n"
       "           05  GRP SIGN LEADING SEPARATE.\n"
       "               10  O  PIC S99.\n"
       "               10  P  PIC 99.\n"
       "           05  FL USAGE COMP-2.\n"
       "               10  FL1.\n"
       "               10  FL2.\n"
       "           05  Q  PIC N(3) JUSTIFIED.\n",
       {"A zoned S5 column 0+6 sign=leading-separate", "B zoned S3 column 6+4 sign=trailing-separate",
        "C zoned S3 column 10+3 sign=leading", "D float4 column 13+4 hex", "E float8 column 17+8 hex",
        "F zoned 3v-3 column 25+3", "G packed S3v5 column 28+2", "H text 5 column 30+5 justified",
        "I zoned 4 column 35+4 blank-when-zero", "J edited 11 column 39+11 ZZZ,ZZ9.99-",
        "K edited-text 5 column 50+5 XXBXX", "L binary S4 column 55+2 range=full",
        "M edited 10 column 57+10 9(4)/99/99", "N edited 9 column 67+9 $$,$$9.99",
        "O zoned S2 column 76+3 sign=leading-separate", "P zoned 2 column 79+2", "FL1 float8 column 81+8 hex",
        "FL2 float8 column 89+8 hex", "Q national 3 column 97+6 justified"},
       103},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(c.what);
    const Layout layout = parseCopybook(c.text, "t.cpy");
    std::vector<std::string> fields;
    for (const LayoutField& field : layout.fields) fields.push_back(describe(field));
    EXPECT_EQ(fields, c.fields);
    EXPECT_EQ(layout.recordLength, c.recordLength);
  }
  EXPECT_EQ(parseCopybook("01 R.\n\n  05 A PIC X.\n", "o.cpy").fields.at(0).origin, "o.cpy:3");
}

// The site's choices apply to every field that does not make its own (COMP-5 is always of the full
// range), and a refusal speaks of what the run does.
TEST(Copybook, TakesTheSitesChoices) {
  const std::string text =
      "01 R.\n 05 A PIC S9(4) COMP.\n 05 B PIC 9(4) COMP-5.\n 05 C COMP-1.\n 05 D PIC S9.\n 05 E PIC 9.\n";
  std::vector<std::string> fields;
  for (const LayoutField& field : parseCopybook(text, "t.cpy").fields) fields.push_back(describe(field));
  EXPECT_EQ(fields, (std::vector<std::string>{"A binary S4 column 0+2", "B binary 4 column 2+2 range=full",
                                              "C float4 column 4+4 hex", "D zoned S1 column 8+1",
                                              "E zoned 1 column 9+1"}));
  LayoutOptions options;
  options.binaryRange = BinaryRange::full;
  options.floatFormat = FloatFormat::ieee;
  options.positiveZone = kPositiveZoneF;
  fields.clear();
  for (const LayoutField& field : parseCopybook(text, "t.cpy", options).fields) fields.push_back(describe(field));
  EXPECT_EQ(fields, (std::vector<std::string>{"A binary S4 column 0+2 range=full", "B binary 4 column 2+2 range=full",
                                              "C float4 column 4+4 ieee", "D zoned S1 column 8+1 zone=F",
                                              "E zoned 1 column 9+1"}));
  for (const auto& [use, words] : {std::pair{LayoutUse::encode, "cannot be written"},
                                   std::pair{LayoutUse::decode, "cannot be read"}}) {
    options.use = use;
    try {
      (void)parseCopybook("01 R.\n 05 A PIC 9.9E+9.\n", "t.cpy", options);
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("t.cpy:2: PICTURE 9.9E+9: 'E' is no symbol of a numeric-edited picture, so the item ") +
                    words);
    }
  }
}

TEST(Copybook, RefusesWhatItCannotWrite) {
  const std::pair<std::string, std::string> cases[] = {
      {"01 R.\n 05 A PIC ZZ9Z.\n", "t.cpy:2: PICTURE ZZ9Z: 'Z' comes before every 9, so the item cannot be written or read"},
      {"01 R.\n 05 A PIC +9.9E+99.\n",
       "t.cpy:2: PICTURE +9.9E+99: 'E' is no symbol of a numeric-edited picture, so the item cannot be written or "
       "read"},
      {"01 R.\n 05 A PIC 9(3)P9.\n", "t.cpy:2: PICTURE 9(3)P9 is not a valid picture"},
      {"01 R.\n 05 A PIC PPV9.\n", "t.cpy:2: PICTURE PPV9 is not a valid picture"},
      {"01 R.\n 05 A PIC XP.\n", "t.cpy:2: PICTURE XP is not a valid picture"},
      {"01 R.\n 05 A PIC X(0).\n", "t.cpy:2: PICTURE X(0) is not a valid picture"},
      {"01 R.\n 05 A PIC 9S9.\n", "t.cpy:2: PICTURE 9S9 is not a valid picture"},
      {"01 R.\n 05 A PIC X(32768).\n",
       "t.cpy:2: PICTURE X(32768) holds 32768 characters; a USAGE DISPLAY item holds at most 32767"},
      {"01 R.\n 05 A PIC 9(19) COMP.\n",
       "t.cpy:2: PICTURE 9(19) holds 19 digits; a USAGE COMP item holds at most 18"},
      {"01 R.\n 05 A PIC X(5) COMP-3.\n", "t.cpy:2: PICTURE X(5) cannot be USAGE COMP-3"},
      {"01 R COMP.\n 05 A PIC X.\n", "t.cpy:2: PICTURE X cannot be USAGE COMP"},
      {"01 R COMP.\n 05 A PIC 9 DISPLAY.\n",
       "t.cpy:2: USAGE DISPLAY of 'A' conflicts with USAGE COMP of its group 'R'"},
      {"01 R.\n 05 A PIC 9(4) COMP-2.\n", "t.cpy:2: a USAGE COMP-2 item takes no PICTURE"},
      {"01 R.\n 05 A COMP-1 SIGN LEADING.\n",
       "t.cpy:2: SIGN, JUSTIFIED and BLANK WHEN ZERO are not for a USAGE COMP-1 item like 'A'"},
      {"01 R.\n 05 A PIC 9 SIGN IS LEADING.\n",
       "t.cpy:2: SIGN is for signed numeric DISPLAY items (PICTURE S9...), not 'A'"},
      {"01 R.\n 05 A PIC S9 COMP-3 SIGN TRAILING SEPARATE.\n",
       "t.cpy:2: SIGN is for signed numeric DISPLAY items (PICTURE S9...), not 'A'"},
      {"01 R.\n 05 A PIC S9 SIGN LEADING SIGN TRAILING.\n", "t.cpy:2: SIGN is given twice"},
      {"01 R.\n 05 A PIC S9 SIGN IS SEPARATE.\n", "t.cpy:2: SIGN needs LEADING or TRAILING"},
      {"01 R.\n 05 A PIC 9(4) JUSTIFIED RIGHT.\n",
       "t.cpy:2: JUSTIFIED is for alphanumeric and national items, not 'A'"},
      {"01 R.\n 05 A PIC X BLANK WHEN ZERO.\n",
       "t.cpy:2: BLANK WHEN ZERO is for numeric DISPLAY and numeric-edited items, not 'A'"},
      {"01 R.\n 05 A PIC 9 BLANK WHEN.\n", "t.cpy:2: BLANK needs WHEN ZERO"},
      {"01 R.\n 05 G JUST.\n  10 A PIC X.\n",
       "t.cpy:2: JUSTIFIED and BLANK WHEN ZERO are for elementary items, not the group 'G'"},
      {"01 R OCCURS 2.\n 05 A PIC X.\n", "t.cpy:1: OCCURS is not allowed on a level 01 item"},
      {"01 R.\n 05 A PIC X OCCURS 99999999.\n", "t.cpy:2: the record would have more than 100000 fields"},
      {"01 R.\n 05 A PIC X.\n01 S.\n 05 B PIC X.\n",
       "t.cpy:3: 'S' starts a second record; the copybook describes 2 records (R, S), and one must be named"},
      {"01 R.\n 05 A PIC X(4).\n 05 B REDEFINES A PIC X(5).\n",
       "t.cpy:3: 'B' (5 bytes) is longer than 'A' (4 bytes), which it redefines"},
      {"01 R.\n 05 A PIC X.\n 05 B PIC X.\n 05 C REDEFINES A PIC X.\n",
       "t.cpy:4: REDEFINES A: the item redefined must come just before, at the same level"},
      {"01 R.\n 05 A PIC X OCCURS 2.\n 05 B REDEFINES A PIC XX.\n",
       "t.cpy:3: REDEFINES A: an item with OCCURS cannot be redefined"},
      {"01 R.\n 05 A PIC X REDEFINES B.\n", "t.cpy:2: REDEFINES must come right after the item's name"},
      {"01 R.\n 05 G.\n  10 A PIC X.\n 03 B PIC X.\n",
       "t.cpy:4: level 03 of 'B' does not line up with the level of any group above it"},
      {"01 R.\n 05 A PIC X.\n  10 B PIC X.\n", "t.cpy:3: 'A' has a PICTURE, so no item can be under it"},
      {"01 R.\n 05 A.\n 05 B PIC X.\n", "t.cpy:2: 'A' has no PICTURE and no items under it"},
      {"01 R.\n 05 G.\n  10 A PIC X.\n  10 A PIC X.\n",
       "t.cpy:4: 'A OF G OF R' is used twice, and no group name tells the two apart"},
      {"01 R.\n A PIC X.\n", "t.cpy:2: expected a level number, found 'A'"},
      {"01 R.\n 05 A PIC X VALUE 'A' 'B'.\n", "t.cpy:2: unexpected literal 'B'"},
      {"01 R.\n 05 A PIC X\n", "t.cpy:2: the entry of 'A' does not end with a period"},
      {"01 R.\n 05 A PIC X VALUE 'AB\n", "t.cpy:2: a literal is not closed"},
      {"       01 R.\n           05 A PIC X VALUE 'AB\n           05 B PIC X.\n",
       "t.cpy:2: a literal is not closed"},
      {"       01 R.\n           05 A PIC X VALUE 'AB\n      -    CD'.\n",
       "t.cpy:3: a continued literal must go on after a quote on the continuation line"},
      {"      * nothing but a comment\n", "t.cpy: the copybook has no data description entries"},
  };
  for (const auto& [text, message] : cases) {
    try {
      (void)parseCopybook(text, "t.cpy");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errors::kInvalidCall);
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

}  // namespace
}  // namespace quor
