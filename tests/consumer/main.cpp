// Uses the installed header and library: the worked record and an error number.
#include <cstdio>
#include <quor/quor.hpp>

int main() {
  quor::Quor q;
  const quor::ByteString record = q.FujitsuHostQuor(u"ABC,123", u"5,5", u"1,3");
  const quor::ByteString expected{0xC1, 0xC2, 0xC3, 0x40, 0x40, 0x00, 0x12, 0x3C};
  int error = 0;
  try {
    (void)q.FujitsuZoneFD(u"A", 1);
  } catch (const quor::Error& e) {
    error = e.number();
  }
  const bool ok = record == expected && error == 13 && q.Version() == u"1.0.0";
  std::puts(ok ? "consumer: ok" : "consumer: FAILED");
  return ok ? 0 : 1;
}
