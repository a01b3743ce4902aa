// Copybooks of several records, and records read by the name of an item of a REDEFINES: the layouts
// and the trees of groups and tables they keep.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quor/error.hpp"
#include "quor/layout.hpp"

namespace quor {
namespace {

// "NAME kind offset+size role", a field a line.
std::string fieldsOf(const Layout& layout) {
  static const char* const kRoles[] = {"", " constant", " overlay"};
  std::string text;
  for (const LayoutField& field : layout.fields)
    text += field.name + " " + std::string(nameOf(field.kind)) + " " + std::to_string(field.offset) +
            "+" + std::to_string(field.size) + kRoles[static_cast<int>(field.role)] + "\n";
  return text + "length " + std::to_string(layout.recordLength);
}

// "A G[2](B C)": the tree, a table's elements in brackets, a group's items in parentheses.
std::string treeOf(const std::vector<LayoutNode>& nodes) {
  std::string text;
  for (const LayoutNode& node : nodes) {
    if (!text.empty()) text += ' ';
    text += node.name.empty() ? "-" : node.name;
    if (node.occurs != 0) text += "[" + std::to_string(node.occurs) + "]";
    if (!node.children.empty()) text += "(" + treeOf(node.children) + ")";
  }
  return text;
}

// An export file's record: a type byte, then one of three variants of the same bytes.
constexpr const char* kExport =
    "       01  EXPORT-REC.\n"
    "           05  REC-TYPE         PIC X.\n"
    "           05  REC-SEQ          PIC 9(4) COMP.\n"
    "           05  CUSTOMER-DATA.\n"
    "               10  CUST-ID      PIC 9(6).\n"
    "               10  CUST-NAME    PIC X(20).\n"
    "           05  ACCOUNT-DATA REDEFINES CUSTOMER-DATA.\n"
    "               10  ACCT-ID      PIC 9(6).\n"
    "               10  BALANCE      PIC S9(7)V99 COMP-3 OCCURS 2.\n"
    "           05  CARD-NO REDEFINES CUSTOMER-DATA PIC X(16).\n"
    "           05  TAIL             PIC X(3).\n";

// A transfer file's records: a header and details, each its own 01 entry; the detail has a second
// form of the whole record.
constexpr const char* kTransfer =
    "01 HEADER.\n"
    "   05 REC-TYPE PIC X.\n"
    "   05 RUN-DATE PIC 9(8).\n"
    "01 DETAIL.\n"
    "   05 REC-TYPE PIC X.\n"
    "   05 AMOUNT PIC S9(5)V99 COMP-3.\n"
    "   05 ITEMS OCCURS 2.\n"
    "      10 CODE PIC X(2).\n"
    "01 DETAIL-RAW REDEFINES DETAIL PIC X(5).\n";

// Floats have no PICTURE: an elementary item, a record of its own too.
constexpr const char* kFloats =
    "01 HEAD.\n"
    "   05 KIND PIC X.\n"
    "   05 RATE COMP-1 OCCURS 2.\n"
    "01 RATE-REC COMP-2.\n";

TEST(CopybookRecords, EachRecordAndEachRedefinesItemIsALayout) {
  const struct {
    const char* copybook;
    const char* name;  // nullptr: parseCopybook
    std::string fields;
    std::string tree;
  } cases[] = {
      {kExport, nullptr,
       "REC-TYPE text 0+1\nREC-SEQ binary 1+2\nCUST-ID zoned 3+6\nCUST-NAME text 9+20\nACCT-ID zoned 3+6 "
       "overlay\n"
       "BALANCE(1) packed 9+5 overlay\nBALANCE(2) packed 14+5 overlay\nCARD-NO text 3+16 overlay\nTAIL text "
       "29+3\n"
       "length 32",
       "REC-TYPE REC-SEQ CUSTOMER-DATA(CUST-ID CUST-NAME) ACCOUNT-DATA(ACCT-ID BALANCE[2]) CARD-NO TAIL"},
      {kExport, "account-data",
       "REC-TYPE text 0+1\nREC-SEQ binary 1+2\nACCT-ID zoned 3+6\nBALANCE(1) packed 9+5\nBALANCE(2) packed "
       "14+5\n"
       "FILLER filler 19+10 constant\nTAIL text 29+3\nlength 32",
       "REC-TYPE REC-SEQ ACCOUNT-DATA(ACCT-ID BALANCE[2]) - TAIL"},
      {kExport, "CARD-NO",
       "REC-TYPE text 0+1\nREC-SEQ binary 1+2\nCARD-NO text 3+16\nFILLER filler 19+10 constant\nTAIL text "
       "29+3\nlength 32",
       "REC-TYPE REC-SEQ CARD-NO - TAIL"},
      {kExport, "CUSTOMER-DATA",
       "REC-TYPE text 0+1\nREC-SEQ binary 1+2\nCUST-ID zoned 3+6\nCUST-NAME text 9+20\nTAIL text "
       "29+3\nlength 32",
       "REC-TYPE REC-SEQ CUSTOMER-DATA(CUST-ID CUST-NAME) TAIL"},
      {kExport, "EXPORT-REC",
       "REC-TYPE text 0+1\nREC-SEQ binary 1+2\nCUST-ID zoned 3+6\nCUST-NAME text 9+20\nACCT-ID zoned 3+6 "
       "overlay\n"
       "BALANCE(1) packed 9+5 overlay\nBALANCE(2) packed 14+5 overlay\nCARD-NO text 3+16 overlay\nTAIL text "
       "29+3\n"
       "length 32",
       "REC-TYPE REC-SEQ CUSTOMER-DATA(CUST-ID CUST-NAME) ACCOUNT-DATA(ACCT-ID BALANCE[2]) CARD-NO TAIL"},
      // Each record's names are its own: REC-TYPE needs no qualifying by its record.
      {kTransfer, "HEADER", "REC-TYPE text 0+1\nRUN-DATE zoned 1+8\nlength 9", "REC-TYPE RUN-DATE"},
      {kTransfer, "detail",
       "REC-TYPE text 0+1\nAMOUNT packed 1+4\nCODE(1) text 5+2\nCODE(2) text 7+2\nlength 9",
       "REC-TYPE AMOUNT ITEMS[2](CODE)"},
      {kTransfer, "DETAIL-RAW", "DETAIL-RAW text 0+5\nFILLER filler 5+4 constant\nlength 9", "DETAIL-RAW -"},
      {kFloats, "HEAD", "KIND text 0+1\nRATE(1) float4 1+4\nRATE(2) float4 5+4\nlength 9", "KIND RATE[2]"},
      {kFloats, "RATE-REC", "RATE-REC float8 0+8\nlength 8", "RATE-REC"},
  };
  for (const auto& c : cases) {
    const Layout layout = c.name == nullptr ? parseCopybook(c.copybook, "t.cpy")
                                            : parseCopybookRecord(c.copybook, "t.cpy", c.name).layout;
    EXPECT_EQ(fieldsOf(layout), c.fields) << (c.name ? c.name : "(one record)");
    EXPECT_EQ(treeOf(layout.tree), c.tree) << (c.name ? c.name : "(one record)");
  }
  EXPECT_EQ(copybookRecordNames(kTransfer, "t.cpy"), (std::vector<std::string>{"HEADER", "DETAIL"}));
  EXPECT_EQ(parseCopybookRecord(kExport, "t.cpy", "account-data").name, "ACCOUNT-DATA");
  EXPECT_EQ(copybookRecordNames(kExport, "t.cpy"), std::vector<std::string>{"EXPORT-REC"});
  EXPECT_EQ(copybookRecordNames("05 A PIC X.\n05 B PIC X.\n", "t.cpy"), std::vector<std::string>{""});
}

TEST(CopybookRecords, RefusesWhatNamesNoRecord) {
  const struct {
    std::string text;
    const char* name;  // nullptr: parseCopybook
    std::string message;
  } cases[] = {
      {kTransfer, nullptr,
       "t.cpy:4: 'DETAIL' starts a second record; the copybook describes 2 records (HEADER, DETAIL), "
       "and one must be named"},
      {kTransfer, "AMOUNT",
       "t.cpy: no 01 record and no item of a REDEFINES is named 'AMOUNT' (records: HEADER, DETAIL)"},
      {kExport, "TAIL",
       "t.cpy: no 01 record and no item of a REDEFINES is named 'TAIL' (records: EXPORT-REC)"},
      {"77 A PIC X.\n01 B.\n 05 C PIC X.\n", "B",
       "t.cpy:2: 'B' starts a second record; a copybook describes one record (an 01 record after the first "
       "can be "
       "read as REDEFINES of it)"},
  };
  for (const auto& c : cases) {
    try {
      if (c.name == nullptr)
        (void)parseCopybook(c.text, "t.cpy");
      else
        (void)parseCopybookRecord(c.text, "t.cpy", c.name);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errors::kInvalidCall);
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(LayoutFileRecords, RecordLinesStartRecords) {
  const std::vector<NamedLayout> records = parseLayoutFileRecords(
      "record HEAD\ntype text 1\ndate zoned 8\n\nrecord BODY  # details\ntype text 1\n"
      "amount packed 7 scale=2 signed\n",
      "f.layout");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].name, "HEAD");
  EXPECT_EQ(fieldsOf(records[0].layout), "type text 0+1\ndate zoned 1+8\nlength 9");
  EXPECT_EQ(records[1].name, "BODY");
  EXPECT_EQ(fieldsOf(records[1].layout), "type text 0+1\namount packed 1+4\nlength 5");
  EXPECT_EQ(parseLayoutFileRecords("a text 2\n", "f.layout").front().name, "");
  const struct {
    std::string text;
    std::string message;
  } refused[] = {
      {"record A\na text 1\nrecord B\nb text 1\n",
       "f.layout: the file describes 2 records (A, B), and one must be named"},
      {"record A\nrecord B\nb text 1\n", "f.layout:1: the record 'A' has no fields"},
      {"record A\na text 1\nrecord A\nb text 1\n", "f.layout:3: record name 'A' is used twice"},
      {"a text 1\nrecord B\nb text 1\n",
       "f.layout:2: a 'record' line after fields that belong to no record: every field of a file of several "
       "records "
       "comes after the 'record' line of its record"},
  };
  for (const auto& c : refused) {
    try {
      (void)parseLayoutFile(c.text, "f.layout");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

}  // namespace
}  // namespace quor
