// Prints what the library itself answers for every case of host_cases.hpp, one line per case, and
// writes the record file of its record writes. The Windows client's output and record file are
// compared with this program's, so the expected values always follow the library.
//
// Usage: quor_host_expected GAIJI_FILE RECORD_FILE

#include <cstdio>
#include <string>

#include "host_cases.hpp"
#include "quor/quor.hpp"
#include "result_text.hpp"

namespace {

using namespace quor::hostcheck;

std::u16string u16(const char* text) {
  std::u16string converted;
  for (; *text != '\0'; ++text) converted.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
  return converted;
}

std::string lineOf(const quor::ByteString& bytes) {
  return bytesLine(bytes.data(), bytes.size());
}

// Calls an operation that takes ConvertSign, leaving it out when the case does.
template <class WithSign, class WithoutSign>
std::string withSign(Sign sign, WithSign&& with, WithoutSign&& without) {
  if (sign == Sign::Omitted) return lineOf(without());
  return lineOf(with(sign != Sign::False));
}

std::string run(quor::Quor& q, const Case& c, const std::u16string& gaijiFile) {
  switch (c.operation) {
    case Operation::Version:
      return textLine(q.Version());
    case Operation::FujitsuHostQuor:
      return withSign(
          c.sign, [&](bool s) { return q.FujitsuHostQuor(c.first, c.second, c.third, s); },
          [&] { return q.FujitsuHostQuor(c.first, c.second, c.third); });
    case Operation::SJIStoEBCDICK:
      return lineOf(q.SJIStoEBCDICK(c.first, c.length));
    case Operation::FujitsuJEF:
      return lineOf(q.FujitsuJEF(c.first, c.length));
    case Operation::FujitsuZoneFD:
      return withSign(
          c.sign, [&](bool s) { return q.FujitsuZoneFD(c.first, c.length, s); },
          [&] { return q.FujitsuZoneFD(c.first, c.length); });
    case Operation::FujitsuPack:
      return withSign(
          c.sign, [&](bool s) { return q.FujitsuPack(c.first, c.length, s); },
          [&] { return q.FujitsuPack(c.first, c.length); });
    case Operation::FujitsuZoneFDArray:
      return withSign(
          c.sign, [&](bool s) { return q.FujitsuZoneFDArray(c.first, c.second, s); },
          [&] { return q.FujitsuZoneFDArray(c.first, c.second); });
    case Operation::GetJEFGaijiFilePath:
      return textLine(q.JEFGaijiFilePath());
    case Operation::PutJEFGaijiFilePath:
      q.JEFGaijiFilePath(c.first == kGaijiFileMarker ? std::u16string_view(gaijiFile) : c.first);
      return "done";
  }
  return "unknown operation";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s GAIJI_FILE RECORD_FILE\n", argv[0]);
    return 2;
  }
  const std::u16string gaijiFile = u16(argv[1]);
  {
    quor::Quor q;
    for (const Case& c : kCases) {
      std::string line;
      try {
        line = run(q, c, gaijiFile);
      } catch (const quor::Error& error) {
        line = errorLine(error.number());
      }
      std::printf("case %s: %s\n", c.name, line.c_str());
    }
  }
  quor::Quor writer;
  const std::u16string recordFile = u16(argv[2]);
  int index = 0;
  for (const RecordWrite& w : kRecordWrites) {
    const std::u16string_view path = w.path == kRecordFileMarker ? std::u16string_view(recordFile) : w.path;
    std::string line;
    try {
      const bool written = w.sign == Sign::Omitted
                               ? writer.FujitsuHostQuorBinaryWrite(w.values, w.lengths, w.formats, path)
                               : writer.FujitsuHostQuorBinaryWrite(w.values, w.lengths, w.formats, path,
                                                                   w.sign != Sign::False);
      line = written ? "true" : "false";
    } catch (const quor::Error& error) {
      line = errorLine(error.number());
    }
    std::printf("write %d: %s\n", index++, line.c_str());
  }
  return 0;
}
