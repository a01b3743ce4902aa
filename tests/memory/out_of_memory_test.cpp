// Running out of memory in every public operation: with allocations failing, each call either succeeds
// without allocating or throws quor::Error 7; no std::bad_alloc or std::length_error escapes. This
// program replaces the global operator new so that allocations fail while a test asks for it.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <string>

#include "quor/csv.hpp"
#include "quor/layout.hpp"
#include "quor/quor.hpp"
#include "quor/record.hpp"
#include "quor/text.hpp"

namespace {

// Allocations of at least this many bytes fail.
std::atomic<std::size_t> gFailFrom{SIZE_MAX};

void* allocate(std::size_t size) {
  if (size >= gFailFrom.load(std::memory_order_relaxed)) throw std::bad_alloc();
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t size) {
  return allocate(size);
}
void* operator new[](std::size_t size) {
  return allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace quor {
namespace {

// Allocations of `bytes` or more fail while the object lives.
class FailingAllocations {
 public:
  explicit FailingAllocations(std::size_t bytes) { gFailFrom = bytes; }
  ~FailingAllocations() { gFailFrom = SIZE_MAX; }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

// 0 when `call` returned, the error number when it threw quor::Error, -1 for anything else.
int outcomeOf(const std::function<void()>& call) {
  try {
    call();
    return 0;
  } catch (const Error& e) {
    return e.number();
  } catch (...) {
    return -1;
  }
}

TEST(OutOfMemory, EveryOperationFailsWithErrorSeven) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "quor-oom-gaiji.txt";
  {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 4000; ++i) out << "8EA1 7F21\r\n";
  }
  const std::u16string path = file.u16string();
  Quor q;
  q.JEFGaijiFilePath(u"");
  const Layout layout = parseLayoutFile("a 5 1\nb 5 3\n", "t.layout");
  RecordBuilder builder(layout);
  const std::u16string_view values[] = {u"ABC", u"123"};

  const struct {
    const char* name;
    std::function<void()> call;
  } calls[] = {
      {"Quor()", [] { Quor fresh; }},
      {"FujitsuZoneFD", [&] { (void)q.FujitsuZoneFD(u"123", 5); }},
      {"FujitsuPack", [&] { (void)q.FujitsuPack(u"12345", 5); }},
      {"SJIStoEBCDICK", [&] { (void)q.SJIStoEBCDICK(u"ABC", 5); }},
      {"FujitsuJEF", [&] { (void)q.FujitsuJEF(u"\u4E9C", 1); }},
      {"FujitsuZoneFDArray", [&] { (void)q.FujitsuZoneFDArray(u"1,2", u"1,1"); }},
      {"FujitsuHostQuor", [&] { (void)q.FujitsuHostQuor(u"ABC,123", u"5,5", u"1,3"); }},
      {"JEFGaijiFilePath", [&] { (void)q.JEFGaijiFilePath(); }},
      {"Version", [&] { (void)q.Version(); }},
      {"GaijiMapping::read", [&] { (void)GaijiMapping::read(path); }},
      {"parseLayoutFile", [] { (void)parseLayoutFile("a 5 1\n", "t.layout"); }},
      {"layoutFromLists", [] { (void)layoutFromLists("5", "1"); }},
      {"parseCopybook",
       [] { (void)parseCopybook("01 R.\n 05 A PIC X OCCURS 3.\n 05 B PIC 9 COMP-3.\n", "t.cpy"); }},
      {"RecordBuilder::append",
       [&] {
         ByteString out;
         builder.append(values, out);
       }},
      {"valueChange", [] { (void)valueChange(u"12345678", componentField("a", 5, setNumeric)); }},
      {"listItems", [] { (void)listItems(u"1,2"); }},
      {"toUtf8", [] { (void)toUtf8(u"ABC"); }},
      {"CsvSplitter::split", [] { (void)CsvSplitter().split("a,\"b\"\"c\""); }},
  };
  // Every allocation failing, then only the large ones (the gaiji file's bytes, a record's fields).
  for (const std::size_t from : {std::size_t{0}, std::size_t{4096}}) {
    for (const auto& c : calls) {
      int outcome = 0;
      {
        const FailingAllocations failing(from);
        outcome = outcomeOf(c.call);
      }
      EXPECT_TRUE(outcome == 0 || outcome == errors::kOutOfMemory)
          << c.name << " with allocations of " << from << " bytes and more failing gave " << outcome;
    }
  }
  // The large allocation of the mapping file's bytes is reached and reported as such.
  {
    const FailingAllocations failing(4096);
    EXPECT_EQ(outcomeOf([&] { (void)GaijiMapping::read(path); }), errors::kOutOfMemory);
  }
  std::filesystem::remove(file);
}

// Readers keep a cutter and a splitter from record to record: once a splitter has split a record, one
// no larger with no more fields costs no allocation, quoted and unescaped fields included.
TEST(OutOfMemory, CsvRecordsOnceWarmedUpNeedNoMemory) {
  CsvRecordCutter cutter;
  CsvSplitter splitter;
  ASSERT_EQ(splitter.split("A0000001,\"Tokyo, Japan\",\"say \"\"hi\"\"\",,1234567").size(), 5u);
  const std::string_view input = "B0000002,\"x\"\"y\",\"Osaka\",z,1\r\n";
  const std::function<void()> call = [&] {
    const CsvRecordEnd end = cutter.next(input, true);
    if (splitter.split(input.substr(0, end.length))[1].text != "x\"y") throw Error(errors::kInternal);
  };
  int outcome = 0;
  {
    const FailingAllocations failing(0);
    outcome = outcomeOf(call);
  }
  EXPECT_EQ(outcome, 0);
}

}  // namespace
}  // namespace quor
