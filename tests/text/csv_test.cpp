#include "quor/csv.hpp"
#include "quor/csv_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.hpp"
#include "text/csv_scan.hpp"

namespace quor {
namespace {

// Every record of `input` as "[field]["quoted field"] CRLF +1" (its line end, then the line ends
// inside it) or as the splitter's message, the cutter given the input `chunk` bytes more at a time.
// Checks on the way that each line end is the bytes it claims and that the records cover the input.
std::vector<std::string> readAll(std::string_view input, const CsvOptions& options, std::size_t chunk) {
  CsvRecordCutter cutter(options);
  CsvSplitter splitter(options);
  std::vector<std::string> records;
  for (std::size_t pos = 0;;) {
    CsvRecordEnd end;
    for (std::size_t have = std::min(chunk, input.size() - pos);
         (end = cutter.next(input.substr(pos, have), pos + have == input.size())).cut == CsvCut::needMore;)
      have = std::min(have + chunk, input.size() - pos);
    if (end.cut == CsvCut::end) {
      EXPECT_EQ(pos, input.size());
      return records;
    }
    std::string shown;
    try {
      for (const CsvField& f : splitter.split(input.substr(pos, end.length)))
        shown += f.quoted ? "[\"" + std::string(f.text) + "\"]" : "[" + std::string(f.text) + "]";
    } catch (const Error& e) {
      shown = std::to_string(e.number()) + " " + e.what();
    }
    const std::string_view lineEnd = input.substr(pos + end.length, end.lineEndLength);
    EXPECT_EQ(lineEnd, std::string_view("\r\n").substr(2 - lineEnd.size()));
    shown += lineEnd.size() == 2 ? " CRLF" : lineEnd.size() == 1 ? " LF" : " EOF";
    if (end.cut == CsvCut::unclosedQuote) shown += " unclosed";
    if (end.lineEndsInside > 0) shown += " +" + std::to_string(end.lineEndsInside);
    records.push_back(shown);
    pos += end.length + end.lineEndLength;
  }
}

TEST(Csv, ReadsTrickyRecordsAsSpreadsheetsWriteThem) {
  const CsvOptions comma;
  const struct {
    CsvOptions options;
    std::string input;
    std::vector<std::string> records;
  } cases[] = {
      {comma,
       "a,\"Tokyo, Japan\",\"1,234\",\"say \"\"hi\"\"\",\"\"\"\"\r\n",
       {"[a][\"Tokyo, Japan\"][\"1,234\"][\"say \"hi\"\"][\"\"\"] CRLF"}},
      {comma, "1,\"one\r\ntwo\nthree\",x\r\n2\n", {"[1][\"one\r\ntwo\nthree\"][x] CRLF +2", "[2] LF"}},
      {comma, ",a,,\n\n\"\",\r\n", {"[][a][][] LF", "[] LF", "[\"\"][] CRLF"}},
      // A lone CR is data; a last line without a line end is a record.
      {comma, "a\rb,c\r\nd,\"e\rf\"\nx\r", {"[a\rb][c] CRLF", "[d][\"e\rf\"] LF", "[x\r] EOF"}},
      {comma, "ab\"c,d\"\"e,\"f\"\n", {"[ab\"c][d\"\"e][\"f\"] LF"}},  // quotes inside unquoted fields
      {{'\t'}, "a,b\t\"c\td\"\t\n", {"[a,b][\"c\td\"][] LF"}},
      // With code page 932 a '|' after a lead byte is its second byte, also before a quote.
      {{'|', TextEncoding::cp932},
       "\x83\x7C|\x95\x5C|\"\x83|\"|a\x81\x81|b\n",
       {"[\x83|][\x95\\][\"\x83|\"][a\x81\x81][b] LF"}},
      {{'|', TextEncoding::cp932}, "\x83|\"x\ny\"\n", {"[\x83|\"x] LF", "[y\"] LF"}},
      {{'|'}, "\x83|\"x\ny\"\n", {"[\x83][\"x\ny\"] LF +1"}},
      {comma,
       "\"ab\"c,d\na,\"b\" ,c",
       {"5 field 1, byte 5: text after the closing quote LF",
        "5 field 2, byte 6: text after the closing quote EOF"}},
      {comma,
       "x\na,\"b\nc,\"\"",
       {"[x] LF", "5 field 2, byte 3: the quoted field is not closed EOF unclosed +1"}},
      {comma, "", {}},
  };
  for (const auto& c : cases) {
    for (const std::size_t chunk : {c.input.size() + 1, std::size_t{1}, std::size_t{5}})
      EXPECT_EQ(readAll(c.input, c.options, chunk), c.records) << testing::PrintToString(c.input) << chunk;
  }
  for (const char delimiter : {'"', '\r', '\n', '\x80'})
    EXPECT_EQ(test::errorOf([&] { CsvSplitter splitter({delimiter}); }), errors::kInvalidCall)
        << int{delimiter};
}

// Random records of the bytes that matter: a split keeping at most `most` fields keeps the first ones of
// the whole split, counts them all and fails with the same message; and a record read through skip()
// in pieces of any size ends where next() ends it, the line ends inside it counted.
TEST(Csv, CappedSplitAndSkipAgreeWithTheWholeRecord) {
  const std::string alphabet = "aaaa,,,\"\"\r\n|\x81\x83";
  const CsvOptions options[] = {{','}, {'|', TextEncoding::cp932}, {'|'}};
  std::mt19937 random(20240611);
  for (int round = 0; round < 20000; ++round) {
    const CsvOptions& o = options[random() % std::size(options)];
    std::string input(random() % 80, ' ');
    for (char& c : input) c = alphabet[random() % alphabet.size()];
    CsvRecordCutter whole(o);
    const CsvRecordEnd expected = whole.next(input, true);
    if (expected.cut == CsvCut::end) continue;

    CsvRecordCutter skipper(o);
    const std::size_t piece = 1 + random() % 9;
    std::size_t at = 0;
    CsvRecordEnd skipped;
    const bool emptyLast = random() % 2 == 0;  // the end of the input said by an empty piece
    for (;;) {
      const std::size_t size = std::min(piece, input.size() - at);
      const bool last = at + size == input.size() && (!emptyLast || size == 0);
      skipped = skipper.skip(std::string_view(input).substr(at, size), last);
      if (skipped.cut != CsvCut::needMore) break;
      at += size;
    }
    ASSERT_EQ(skipped.cut, expected.cut) << testing::PrintToString(input);
    EXPECT_EQ(at + skipped.length + skipped.lineEndLength, expected.length + expected.lineEndLength)
        << testing::PrintToString(input) << " piece " << piece;
    EXPECT_EQ(skipped.lineEndsInside, expected.lineEndsInside) << testing::PrintToString(input);
    EXPECT_EQ(skipper.next("x\n", false), (CsvRecordEnd{CsvCut::record, 1, 1, 0}));  // fresh afterwards

    const std::string_view record = std::string_view(input).substr(0, expected.length);
    CsvSplitter all(o), capped(o);
    std::vector<CsvField> fields;
    std::string error, cappedError;
    try {
      const auto got = all.split(record);
      fields.assign(got.begin(), got.end());
    } catch (const Error& e) {
      error = e.what();
    }
    const std::size_t most = random() % 6;
    try {
      const auto kept = capped.split(record, most);
      EXPECT_EQ(capped.fieldCount(), fields.size()) << testing::PrintToString(record);
      ASSERT_EQ(kept.size(), std::min(most, fields.size()));
      EXPECT_TRUE(std::equal(kept.begin(), kept.end(), fields.begin())) << testing::PrintToString(record);
    } catch (const Error& e) {
      cappedError = e.what();
    }
    EXPECT_EQ(cappedError, error) << testing::PrintToString(record) << " most " << most;
  }
  // The texts of a record kept whole whose bytes could hold more fields than texts() makes room for
  // ahead, with and without a quote: split()'s.
  for (const std::string& record : {std::string(70000, 'a') + ",b,,c", "\"x\"," + std::string(70000, 'y') + ",z"}) {
    CsvSplitter splitter;
    const std::span<const std::string_view> texts = splitter.texts(record, static_cast<std::size_t>(-1));
    CsvSplitter reference;
    const std::span<const CsvField> fields = reference.split(record);
    ASSERT_EQ(texts.size(), fields.size());
    for (std::size_t k = 0; k < texts.size(); ++k) EXPECT_EQ(texts[k], fields[k].text);
    EXPECT_EQ(splitter.fieldCount(), fields.size());
  }
}

#if QUOR_CSV_SSE2

// A record split by one scanner: its fields, or the message it threw.
struct Split {
  std::vector<CsvField> fields;
  std::string storage, error;
  template <class Scanner>
  Split(Scanner split, std::string_view record, const CsvOptions& options) {
    try {
      split(record, options, fields, storage, static_cast<std::size_t>(-1));
    } catch (const Error& e) {
      fields.clear();
      error = e.what();
    }
  }
};

// Random inputs of the bytes that matter, with runs of text across the 16-byte blocks: the SSE2
// scanner cuts and splits them as the scalar one does, also when given a record a few bytes at a time.
TEST(Csv, WrittenRecordsReadBackIntoTheirFields) {
  const struct {
    std::vector<std::u16string> fields;
    char delimiter;
    TextEncoding encoding;
    const char* read;
  } cases[] = {
      {{u"x,y", u"q\"r", u""}, ',', TextEncoding::utf8, "[\"x,y\"][\"q\"r\"][] LF"},
      {{u"a\r\nb"}, ';', TextEncoding::utf8, "[\"a\r\nb\"] LF +1"},
      {{u"\u30DD|", u"1"}, '|', TextEncoding::cp932, "[\"\x83\x7C|\"][1] CRLF"},  // a second byte 0x7C needs no quotes
      {{u"a\u00A6b", u"c"}, '|', TextEncoding::cp932, "[\"a|b\"][c] CRLF"},          // written as "|", so quoted
  };
  for (const auto& c : cases) {
    std::string written;
    const bool cp932 = c.encoding == TextEncoding::cp932;
    appendCsvRecord(c.fields, {c.delimiter, c.encoding, cp932}, written);
    const std::vector<std::string> read = readAll(written, {c.delimiter, c.encoding}, written.size());
    ASSERT_EQ(read.size(), 1u) << written;
    EXPECT_EQ(read[0], c.read) << written;
  }
}

TEST(Csv, Sse2ScannerAgreesWithScalarScanner) {
  using namespace text::csv;
  const std::string alphabet = "aaaaaaaa,,\"\"\"\r\n|\t@\\ \x81\x83\xE0\xB1";
  const std::string unquoted = "aaaaaaaa,,\r\n\n|\t@\\ \x81\x83\xE0\xB1";
  const CsvOptions options[] = {{','}, {'|', TextEncoding::cp932}, {'|'}, {'\t', TextEncoding::cp932}, {'@', TextEncoding::cp932}, {'\\', TextEncoding::cp932}};
  std::mt19937 random(20240115);
  for (int round = 0; round < 20000; ++round) {
    const CsvOptions& o = options[random() % std::size(options)];
    const std::string& chars = round % 2 == 0 ? alphabet : unquoted;
    std::string input(random() % 100, ' ');
    for (char& c : input) c = chars[random() % chars.size()];
    const std::size_t chunk = 1 + random() % 20;
    const std::size_t most = random() % 8;
    for (const bool stopAtQuote : {false, true}) {
      std::vector<std::size_t> sse2Feeds{7}, scalarFeeds{7};  // appended after what they hold
      ASSERT_EQ(lineFeedsSse2(input, most, stopAtQuote, sse2Feeds),
                lineFeedsScalar(input, most, stopAtQuote, scalarFeeds));
      ASSERT_EQ(sse2Feeds, scalarFeeds) << testing::PrintToString(input);
    }
    CsvSplitter splitter(o);
    for (std::string_view rest = input;;) {
      CutProgress scalarProgress, sse2Progress;
      const CsvRecordEnd scalar = cutScalar(rest, true, o, scalarProgress);
      CsvRecordEnd sse2;
      for (std::size_t have = 0;
           (sse2 = cutSse2(rest.substr(0, have), have >= rest.size(), o, sse2Progress)).cut ==
           CsvCut::needMore;)
        have += chunk;
      ASSERT_TRUE(sse2 == scalar) << testing::PrintToString(input) << " at " << input.size() - rest.size();
      if (scalar.cut == CsvCut::end) break;
      const std::string_view record = rest.substr(0, scalar.length);
      const Split sse2Split(splitSse2, record, o), scalarSplit(splitScalar, record, o);
      ASSERT_TRUE(sse2Split.fields == scalarSplit.fields && sse2Split.error == scalarSplit.error)
          << testing::PrintToString(record);
      // The texts alone, kept up to `most`: the fields' texts, and their count.
      if (scalarSplit.error.empty()) {
        const std::span<const std::string_view> texts = splitter.texts(record, most);
        ASSERT_EQ(splitter.fieldCount(), scalarSplit.fields.size());
        ASSERT_EQ(texts.size(), std::min(most, scalarSplit.fields.size()));
        for (std::size_t k = 0; k < texts.size(); ++k) ASSERT_EQ(texts[k], scalarSplit.fields[k].text);
      }
      rest.remove_prefix(scalar.length + scalar.lineEndLength);
    }
  }
}

#endif

}  // namespace
}  // namespace quor
