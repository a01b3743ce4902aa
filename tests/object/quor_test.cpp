// The converter object itself: version, the gaiji path property, independence of objects, moves.

#include <thread>
#include <vector>

#include "support/test_support.hpp"

namespace quor::test {
namespace {

TEST(Object, VersionIsThreeNumbers) {
  Quor a, b;
  EXPECT_EQ(a.Version(), u"1.0.0");
  EXPECT_EQ(a.Version(), u"1.0.0");
  EXPECT_EQ(b.Version(), u"1.0.0");
}

TEST(Object, GaijiPathDefaultAndWrites) {
  Quor q;
  EXPECT_EQ(q.JEFGaijiFilePath(), u"C:\\Program Files\\Fujitsu\\JEF\\FMB1JEFM.TXT");
  for (const std::u16string path :
       {u"", u"/no/such/folder/map.txt", u"  Mixed Case\\ ", u"\u65e5\u672c.txt"}) {
    q.JEFGaijiFilePath(path);
    EXPECT_EQ(q.JEFGaijiFilePath(), path);
  }
}

TEST(Object, ObjectsShareNothing) {
  Quor a, b;
  a.JEFGaijiFilePath(u"a.txt");
  EXPECT_EQ(b.JEFGaijiFilePath(), u"C:\\Program Files\\Fujitsu\\JEF\\FMB1JEFM.TXT");
  // The lists one object keeps do not reach another.
  EXPECT_EQ(hex(a.FujitsuZoneFDArray(u"1,2", u"1")), "31 00");
  EXPECT_EQ(hex(b.FujitsuZoneFDArray(u"3", u"1")), "F3");
}

// Separate objects on separate threads at once: each gets its own results.
TEST(Object, SeparateObjectsOnThreads) {
  constexpr int kThreads = 4;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      Quor q;
      const std::u16string path(static_cast<std::size_t>(t + 1), u'x');
      q.JEFGaijiFilePath(path);
      for (int i = 0; i < 2000; ++i) {
        const std::u16string value(1, static_cast<char16_t>(u'0' + (i + t) % 10));
        const ByteString zoned = q.FujitsuZoneFDArray(value + u"," + value, u"1,2");
        const auto d = static_cast<std::uint8_t>(0xF0 + (i + t) % 10);
        if (!(zoned == ByteString{d, 0xF0, d}) || q.JEFGaijiFilePath() != path)
          ++failures[static_cast<std::size_t>(t)];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[static_cast<std::size_t>(t)], 0) << "thread " << t;
}

TEST(Object, MovedFromObjectFailsCleanly) {
  Quor a;
  a.JEFGaijiFilePath(u"kept");
  Quor b(std::move(a));
  EXPECT_EQ(b.JEFGaijiFilePath(), u"kept");
  EXPECT_EQ(errorOf([&] { (void)a.FujitsuZoneFD(u"1", 1); }), 5);  // NOLINT(bugprone-use-after-move)
  a = std::move(b);
  EXPECT_EQ(a.JEFGaijiFilePath(), u"kept");
}

TEST(Object, ErrorsCarryNumberAndText) {
  Quor q;
  try {
    (void)q.FujitsuZoneFD(u"A", 1);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), 13);
    EXPECT_STREQ(e.what(), "Type mismatch");
  }
  EXPECT_STREQ(Error(9).what(), "Subscript out of range");
  EXPECT_STREQ(Error(61).what(), "Disk full");
}

// A default view has no characters and a null pointer: every entry takes it as the empty text.
TEST(Object, EveryEntryTakesDefaultViews) {
  Quor q;
  const std::u16string_view none;
  EXPECT_EQ(hex(q.FujitsuHostQuor(none, none, none)), "");
  EXPECT_EQ(hex(q.FujitsuZoneFDArray(none, none)), "");
  EXPECT_EQ(hex(q.FujitsuZoneFD(none, 2)), "F0 F0");
  EXPECT_EQ(hex(q.FujitsuPack(none, 1)), "0C");
  EXPECT_EQ(hex(q.SJIStoEBCDICK(none, 2)), "00 00");
  EXPECT_EQ(hex(q.FujitsuJEF(none, 1)), "00 00");
  EXPECT_FALSE(q.FujitsuHostQuorBinaryWrite(none, none, none, none));  // no file of no name
  EXPECT_FALSE(GaijiMapping::read(none).opened());
  EXPECT_TRUE(listItems(none).empty());
  q.JEFGaijiFilePath(none);
  EXPECT_EQ(q.JEFGaijiFilePath(), u"");
}

TEST(Object, ByteStringFromTextIsUtf16LittleEndian) {
  EXPECT_EQ(hex(ByteString::fromText(u"1")), "31 00");
  EXPECT_EQ(hex(ByteString::fromText(u"\u3042A")), "42 30 41 00");
}

}  // namespace
}  // namespace quor::test
