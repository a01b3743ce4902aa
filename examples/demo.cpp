// Prints a few encodings of each kind, the way a host record is made of them.
#include <cstdio>
#include <quor/quor.hpp>
#include <string>

namespace {

std::string hex(const quor::ByteString& bytes) {
  std::string out;
  char pair[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(pair, sizeof pair, i ? " %02X" : "%02X", static_cast<unsigned>(bytes[i]));
    out += pair;
  }
  return out;
}

void show(const char* what, const quor::ByteString& bytes) {
  std::printf("%-40s %s\n", what, hex(bytes).c_str());
}

}  // namespace

int main() {
  quor::Quor q;
  show("zoned \"-123\" in 5", q.FujitsuZoneFD(u"-123", 5));
  show("packed \"12345\" in 5", q.FujitsuPack(u"12345", 5));
  show("packed \"12345\" in 5, unsigned", q.FujitsuPack(u"12345", 5, false));
  show("zoned list \"123,-45\" in \"5,3\"", q.FujitsuZoneFDArray(u"123,-45", u"5,3"));
  show("EBCDIC \"ABC\" in 5", q.SJIStoEBCDICK(u"ABC", 5));
  show("EBCDIC half-width \"\xef\xbd\xb1\xef\xbd\xb2\" in 2", q.SJIStoEBCDICK(u"\uff71\uff72", 2));
  show("JEF \"\xe4\xba\x9c\" in 1 (no mapping file)", q.FujitsuJEF(u"\u4e9c", 1));
  show("record \"ABC,123\" \"5,5\" \"1,3\"", q.FujitsuHostQuor(u"ABC,123", u"5,5", u"1,3"));
  try {
    (void)q.FujitsuZoneFD(u"12A", 3);
  } catch (const quor::Error& e) {
    std::printf("%-40s error %d: %s\n", "zoned \"12A\" in 3", e.number(), e.what());
  }
  return 0;
}
