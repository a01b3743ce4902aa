#include "record_reader.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "io_error.hpp"
#include "quor/text.hpp"

namespace quor::cli {
namespace {

// The lines of `content` as the reader gives them with a buffer of `block` bytes; "!" for a line
// longer than `longest`.
std::vector<std::string> readAll(const std::string& content, std::size_t block,
                                 std::size_t longest = RecordReader::kLongestLine) {
  std::FILE* file = std::tmpfile();
  std::fwrite(content.data(), 1, content.size(), file);
  std::fflush(file);
  std::rewind(file);
  RecordReader reader(::fileno(file), "test", block, longest);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) {
    lines.emplace_back(reader.tooLong() ? "!" : line);
    EXPECT_EQ(reader.lineNumber(), lines.size());
  }
  EXPECT_EQ(reader.bytesRead(), content.size());
  std::fclose(file);
  return lines;
}

TEST(RecordReader, SplitsAtLineEndsWhateverTheBlockSize) {
  struct Case {
    std::string content;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\nbc\r\n", {"a", "bc"}},
      {"a\nbc", {"a", "bc"}},
      {"\n\n", {"", ""}},
      {"a\rb\n", {"a\rb"}},  // a CR inside a line is data
      {"abc\r", {"abc"}},    // a CRLF cut short at the end still ends the line
      {"long line of forty characters or so....\nx\n", {"long line of forty characters or so....", "x"}},
  };
  for (const std::size_t block :
       {std::size_t{1}, std::size_t{3}, std::size_t{7}, RecordReader::kDefaultBlock}) {
    for (const Case& c : cases) EXPECT_EQ(readAll(c.content, block), c.lines) << "block " << block;
  }
}

TEST(RecordReader, SkipsLinesLongerThanTheLongestKeptWhateverTheBlockSize) {
  // The longest line kept is 4 bytes, its line end not counted.
  const std::string content = "abcd\nabcde\nabcd\r\nabcde\r\nabcdefghijklmnopq\r\n\nok\nabcd\rabcde";
  const std::vector<std::string> lines = {"abcd", "!", "abcd", "!", "!", "", "ok", "!"};
  for (const std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{6}, std::size_t{64}})
    EXPECT_EQ(readAll(content, block, 4), lines) << "block " << block;
}

TEST(RecordReader, SkipsACsvRecordLongerThanTheLongestKeptToItsRealEnd) {
  // The longest record kept is 6 bytes. A record skipped as too long is read on through its quoted
  // fields: the line breaks inside them do not end it, and none of it comes back as records.
  struct Case {
    std::string content;
    std::vector<std::string> records;  // "line:record", "!" for one too long
  };
  const Case cases[] = {
      {"1,\"abcdefgh\nHIDDEN,TAIL\"\nok\n", {"1:!", "3:ok"}},
      {"1,\"ab\ncdefghijk\"\r\nok", {"1:!", "3:ok"}},
      {"\"a\"\"\n\"\"bcdefgh\"\nok\n", {"1:!", "3:ok"}},
      {"abcdefgh,\"x\ny\"\nok\n", {"1:!", "3:ok"}},
      {"abcdefghij\"\nok\n", {"1:!", "2:ok"}},  // a quote inside a field opens nothing
      {"a,\"b\"\n\"abc\ndefghijk\n\nx\"\r\n\"c\nd\"", {"1:a,\"b\"", "2:!", "6:\"c\nd\""}},
      {"1,\"abcdefgh\nxx", {"1:!"}},  // the input ends inside the quoted field
  };
  for (const std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{64}}) {
    for (const Case& c : cases) {
      std::FILE* file = std::tmpfile();
      std::fwrite(c.content.data(), 1, c.content.size(), file);
      std::fflush(file);
      std::rewind(file);
      RecordReader reader(::fileno(file), "test", block, 6, CsvOptions{});
      std::vector<std::string> records;
      std::string_view record;
      while (reader.next(record))
        records.push_back(std::to_string(reader.lineNumber()) + ":" +
                          (reader.tooLong() ? "!" : std::string(record)));
      EXPECT_EQ(records, c.records) << c.content << " block " << block;
      EXPECT_EQ(reader.bytesRead(), c.content.size());
      std::fclose(file);
    }
  }
}

// The records of `content` with `csv`, read with `form` a block of `block` bytes at a time, each as
// "line:record" ("!" for one too long).
std::vector<std::string> readRecords(const std::string& content, std::size_t block, std::size_t longest,
                                     InputForm form) {
  std::FILE* file = std::tmpfile();
  std::fwrite(content.data(), 1, content.size(), file);
  std::fflush(file);
  std::rewind(file);
  RecordReader reader(::fileno(file), "test", block, longest, CsvOptions{}, form);
  std::vector<std::string> records;
  std::string_view record;
  while (reader.next(record))
    records.push_back(std::to_string(reader.lineNumber()) + ":" +
                      (reader.tooLong() ? "!" : std::string(record)));
  EXPECT_EQ(reader.bytesRead(), content.size());
  std::fclose(file);
  return records;
}

// UTF-16 of `text` (UTF-8), in either byte order.
std::string utf16(const std::string& text, bool little) {
  std::u16string units(text.size(), u'\0');
  units.resize(decodeUtf8(text, units.data()).length);
  std::string bytes;
  for (const char16_t unit : units) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += little ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

TEST(RecordReader, ReadsUtf16AsTheSameTextInUtf8WhateverTheBlockSize) {
  // Characters of one, two and three bytes of UTF-8 and a pair of surrogates, quoted line breaks, CR LF.
  const std::string text =
      "a,\"\xC3\xA9\r\n\xE5\xB1\xB1\"\r\n\xF0\x9F\x98\x80,b\n\n\"x\"\"\",\xE9\x9B\xAA\r\nlong line!\nz";
  for (const std::size_t block :
       {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5}, std::size_t{64}}) {
    const std::vector<std::string> expected = readRecords(text, 64, 9, InputForm::utf8);
    for (const bool little : {true, false}) {
      const std::string mark = little ? "\xFF\xFE" : "\xFE\xFF";
      const InputForm named = little ? InputForm::utf16le : InputForm::utf16be;
      EXPECT_EQ(readRecords(mark + utf16(text, little), block, 9, InputForm::utf8OrUtf16), expected) << block;
      EXPECT_EQ(readRecords(mark + utf16(text, little), block, 9, InputForm::utf16), expected) << block;
      EXPECT_EQ(readRecords(utf16(text, little), block, 9, named), expected) << block;
      EXPECT_EQ(readRecords(mark + utf16(text, little), block, 9, named), expected) << block;
    }
    // A surrogate without its pair, and an odd last byte, stand as 0xFF, which no UTF-8 text has.
    EXPECT_EQ(readRecords(std::string("a\0\0\xD8\n\0\0\xDC\0\xD8=\xD8\0\xDE\n\0b", 17), block, 9,
                          InputForm::utf16le),
              (std::vector<std::string>{"1:a\xFF", "2:\xFF\xFF\xF0\x9F\x98\x80", "3:\xFF"}))
        << block;
  }
}

TEST(RecordReader, TakesTheRecordsNextGivesWhateverTheBlockAndLimits) {
  // Lines without quotes are taken in one pass up to the first quote; the record holding it, and the
  // rest, record by record: either way the records, their lines and their places are next()'s.
  const std::string contents[] = {
      "\xEF\xBB\xBF\"a\"\nb,c\r\nd\n",
      "a,1\r\nb,2\n\nc,\"x\ny\"\r\nd,3\ne,\"\"\nf\r\n\r\ng\rh\n" + std::string(20, 'x') + "\nlast",
      "ab\"c\nd\ne\"f\ng\n\"h\n",
      "one\ntwo\nthree\n\n" + std::string(40, 'y') + "\r\nz\r",
  };
  for (const bool csv : {false, true}) {
    for (const std::string& content : contents) {
      for (const std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{64}}) {
        std::vector<std::string> byNext, byTake;
        for (const bool taking : {false, true}) {
          std::FILE* file = std::tmpfile();
          std::fwrite(content.data(), 1, content.size(), file);
          std::fflush(file);
          std::rewind(file);
          const std::optional<CsvOptions> options = csv ? std::optional<CsvOptions>(CsvOptions{}) : std::nullopt;
          RecordReader reader(::fileno(file), "test", block, 30, options, InputForm::utf8);
          std::vector<std::string>& records = taking ? byTake : byNext;
          std::vector<RecordReader::Cut> cuts;
          std::string_view record;
          for (std::size_t round = 0;; ++round) {
            if (taking && reader.take(1 + round % 3, 1 + round % 11, cuts) > 0) {
              for (const RecordReader::Cut& cut : cuts)
                records.push_back(std::to_string(cut.line) + ":" + std::string(reader.at(cut.begin), cut.length));
              EXPECT_EQ(reader.lineNumber(), cuts.back().line);
              continue;
            }
            if (!reader.next(record)) break;
            records.push_back(std::to_string(reader.lineNumber()) + ":" +
                              (reader.tooLong() ? "!" : std::string(record)));
          }
          std::fclose(file);
        }
        EXPECT_EQ(byTake, byNext) << testing::PrintToString(content) << (csv ? " csv" : " lines") << " block " << block;
      }
    }
  }
}

TEST(RecordReader, ReadFailureIsAnIoError) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ::close(fds[1]);
  RecordReader reader(fds[1], "closed", 16);  // the write end, closed: read fails with EBADF
  std::string_view line;
  EXPECT_THROW(reader.next(line), IoError);
  ::close(fds[0]);
}

TEST(RecordReader, KnowsWhenALineIsAtHandWithoutWaiting) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const auto put = [&](const std::string& text) {
    ASSERT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  };
  RecordReader reader(ends[0], "pipe", 64);
  std::string_view line;
  EXPECT_FALSE(reader.lineAtHand());  // nothing written yet: a read would wait
  put("one\ntw");
  EXPECT_TRUE(reader.lineAtHand());  // the pipe holds data
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "one");
  EXPECT_FALSE(reader.lineAtHand());  // "tw" is half a line and the pipe is empty
  put("o\nthree\n");
  EXPECT_TRUE(reader.lineAtHand());
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "two");
  EXPECT_TRUE(reader.lineAtHand());  // "three" is whole in the buffer
  ASSERT_TRUE(reader.next(line));
  EXPECT_EQ(line, "three");
  ::close(ends[1]);
  EXPECT_TRUE(reader.lineAtHand());  // the end of the input does not wait either
  EXPECT_FALSE(reader.next(line));
  EXPECT_TRUE(reader.lineAtHand());
  ::close(ends[0]);
}

}  // namespace
}  // namespace quor::cli
