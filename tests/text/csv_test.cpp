#include "quor/csv.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "text/csv_scan.hpp"

namespace quor {
namespace {

// Bytes as the table writes them: \r, \n, \t and non-ASCII bytes escaped.
std::string show(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    char escaped[8];
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r' || c == '\n' || c == '\t' || b >= 0x80) {
      std::snprintf(escaped, sizeof escaped,
                    c == '\r'   ? "\\r"
                    : c == '\n' ? "\\n"
                    : c == '\t' ? "\\t"
                                : "\\x%02X",
                    b);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

// Every record of `input` as "[field]["quoted field"] LF +1" (line end, line ends inside) or as the
// splitter's message, the cutter given the bytes `chunk` more at a time. Also checks that the line
// ends are the bytes they claim and that the records cover the input.
std::vector<std::string> readAll(std::string_view input, const CsvOptions& options, std::size_t chunk) {
  CsvRecordCutter cutter(options);
  CsvSplitter splitter(options);
  std::vector<std::string> records;
  std::size_t pos = 0;
  for (;;) {
    std::size_t have = std::min(chunk, input.size() - pos);
    CsvRecordEnd end;
    while ((end = cutter.next(input.substr(pos, have), pos + have == input.size())).cut == CsvCut::needMore)
      have = std::min(have + chunk, input.size() - pos);
    if (end.cut == CsvCut::end) break;
    std::string shown;
    try {
      for (const CsvField& field : splitter.split(input.substr(pos, end.length)))
        shown += field.quoted ? "[\"" + show(field.text) + "\"]" : "[" + show(field.text) + "]";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errors::kInvalidCall);
      shown = e.what();
    }
    const std::string_view lineEnd = input.substr(pos + end.length, end.lineEndLength);
    EXPECT_EQ(lineEnd, std::string_view("\r\n").substr(2 - lineEnd.size()));
    shown += lineEnd.size() == 2 ? " CRLF" : lineEnd.size() == 1 ? " LF" : " EOF";
    if (end.cut == CsvCut::unclosedQuote) shown += " unclosed";
    if (end.lineEndsInside > 0) shown += " +" + std::to_string(end.lineEndsInside);
    records.push_back(shown);
    pos += end.length + end.lineEndLength;
  }
  EXPECT_EQ(pos, input.size());
  return records;
}

TEST(Csv, ReadsTrickyRecordsAsSpreadsheetsWriteThem) {
  const CsvOptions comma;
  const struct Case {
    const char* name;
    CsvOptions options;
    std::string input;
    std::vector<std::string> records;
  } cases[] = {
      {"quoted delimiters and quotes",
       comma,
       "a,\"Tokyo, Japan\",\"1,234\",\"say \"\"hi\"\"\",\"\"\"\"\r\n",
       {R"([a]["Tokyo, Japan"]["1,234"]["say "hi""]["""] CRLF)"}},
      {"quoted line breaks",
       comma,
       "1,\"one\r\ntwo\nthree\",x\r\n2\n",
       {R"([1]["one\r\ntwo\nthree"][x] CRLF +2)", "[2] LF"}},
      {"empty fields and lines", comma, ",a,,\n\n\"\",\r\n", {"[][a][][] LF", "[] LF", R"([""][] CRLF)"}},
      {"lone CR is data, last line unended",
       comma,
       "a\rb,c\r\nd,\"e\rf\"\nx\r",
       {R"([a\rb][c] CRLF)", R"([d]["e\rf"] LF)", R"([x\r] EOF)"}},
      {"quote inside unquoted field", comma, "ab\"c,d\"\"e,\"f\"\n", {R"([ab"c][d""e]["f"] LF)"}},
      {"tab delimiter", {'\t'}, "a,b\t\"c\td\"\t\n", {R"([a,b]["c\td"][] LF)"}},
      {"code page 932 second bytes are not delimiters",
       {'|', true},
       "\x83\x7C|\x95\x5C|\"\x83|\"|a\x81\x81|b\n",
       {R"([\x83|][\x95\]["\x83|"][a\x81\x81][b] LF)"}},
      {"a second byte before a quote: no quoted field",
       {'|', true},
       "\x83|\"x\ny\"\n",
       {R"([\x83|"x] LF)", R"([y"] LF)"}},
      {"the same bytes as UTF-8", {'|'}, "\x83|\"x\ny\"\n", {R"([\x83]["x\ny"] LF +1)"}},
      {"text after a closing quote",
       comma,
       "\"ab\"c,d\na,\"b\" ,c",
       {"field 1, byte 4: text after the closing quote LF",
        "field 2, byte 5: text after the closing quote EOF"}},
      {"quoted field never closed",
       comma,
       "x\na,\"b\nc,\"\"",
       {"[x] LF", "field 2, byte 2: the quoted field is not closed EOF unclosed +1"}},
      {"no input", comma, "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readAll(c.input, c.options, c.input.size()), c.records) << c.name;
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{5}})
      EXPECT_EQ(readAll(c.input, c.options, chunk), c.records) << c.name;
  }
}

TEST(Csv, RefusesDelimitersThatCannotBeOne) {
  for (const char delimiter : {'"', '\r', '\n', '\x80', '\xFF'}) {
    try {
      CsvSplitter splitter({delimiter});
      ADD_FAILURE() << static_cast<int>(delimiter);
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errors::kInvalidCall);
      EXPECT_NE(std::string(e.what()).find("ASCII character other than the quote, CR and LF"),
                std::string::npos);
    }
  }
  for (const char delimiter : {',', '\t', ';', '|', '\\'})
    EXPECT_NO_THROW(CsvRecordCutter({delimiter, true}));
}

#if QUOR_CSV_SSE2

struct Split {
  std::vector<std::pair<std::string, bool>> fields;
  std::string error;
  bool operator==(const Split&) const = default;
};

template <class SplitFunction>
Split splitWith(SplitFunction split, std::string_view record, const CsvOptions& options) {
  std::vector<CsvField> fields;
  std::string storage;
  Split out;
  try {
    split(record, options, fields, storage);
    for (const CsvField& f : fields) out.fields.emplace_back(f.text, f.quoted);
  } catch (const Error& e) {
    out.error = e.what();
  }
  return out;
}

// Random streams of the bytes that matter (and runs of plain text across the 16-byte blocks): the SSE2
// scanner cuts and splits them as the scalar one does, also when given a record a few bytes at a time.
TEST(Csv, Sse2ScannerAgreesWithScalarScanner) {
  using namespace text::csv;
  const std::string alphabet = "aaaaaaaa,,\"\"\"\r\n|\t@\\ \x81\x83\xE0\xB1";
  const CsvOptions options[] = {{','}, {'|', true}, {'|'}, {'\t', true}, {'@', true}, {'\\', true}};
  std::mt19937 random(20240115);
  for (int round = 0; round < 20000; ++round) {
    const CsvOptions& o = options[random() % std::size(options)];
    std::string input(random() % 100, ' ');
    for (char& c : input) c = alphabet[random() % alphabet.size()];
    const std::size_t chunk = 1 + random() % 20;
    for (std::size_t pos = 0; pos <= input.size();) {
      const std::string_view rest = std::string_view(input).substr(pos);
      CutProgress scalarProgress, sse2Progress;
      const CsvRecordEnd scalar = cutScalar(rest, true, o, scalarProgress);
      CsvRecordEnd sse2;
      for (std::size_t have = 0;
           (sse2 = cutSse2(rest.substr(0, have), have >= rest.size(), o, sse2Progress)).cut ==
           CsvCut::needMore;)
        have += chunk;
      ASSERT_TRUE(sse2.cut == scalar.cut && sse2.length == scalar.length &&
                  sse2.lineEndLength == scalar.lineEndLength && sse2.lineEndsInside == scalar.lineEndsInside)
          << show(input) << " from " << pos;
      if (scalar.cut == CsvCut::end) break;
      const std::string_view record = rest.substr(0, scalar.length);
      ASSERT_EQ(splitWith(splitSse2, record, o), splitWith(splitScalar, record, o)) << show(record);
      pos += scalar.length + scalar.lineEndLength;
    }
  }
}

#endif

}  // namespace
}  // namespace quor
