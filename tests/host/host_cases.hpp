#pragma once
// The table of calls that the automation server must answer exactly as the library does. The native
// program expected_values runs it on quor::Quor, the Windows client late_bound_client runs it on
// ConvertQuor.Quor through IDispatch; both print one line per case in the same form, and the test
// driver compares the two outputs line for line.
//
// All cases run in table order on one object, so the gaiji path set by one case holds for the cases
// after it. Texts are written with \u escapes to keep this file ASCII.

#include <cstdint>
#include <string_view>

namespace quor::hostcheck {

enum class Operation {
  Version,
  FujitsuHostQuor,
  SJIStoEBCDICK,
  FujitsuJEF,
  FujitsuZoneFD,
  FujitsuPack,
  FujitsuZoneFDArray,
  GetJEFGaijiFilePath,
  PutJEFGaijiFilePath,  // `first` is the path; kGaijiFileMarker stands for the test's gaiji file
};

// How ConvertSign is passed: left out, -1, 0, or 1 (any nonzero value is true).
enum class Sign { Omitted, True, False, One };

struct Case {
  const char* name;
  Operation operation;
  std::u16string_view first;   // the first text argument
  std::u16string_view second;  // the second text argument (lists), unused otherwise
  std::u16string_view third;   // the format list of FujitsuHostQuor
  std::int32_t length;         // ConvertLength
  Sign sign;
};

inline constexpr std::u16string_view kGaijiFileMarker = u"<gaiji file>";

using enum Operation;
using enum Sign;

// clang-format off
inline constexpr Case kCases[] = {
  {"version",                 Version,             u"", u"", u"", 0, Omitted},
  {"path default",            GetJEFGaijiFilePath, u"", u"", u"", 0, Omitted},

  {"zoned negative",          FujitsuZoneFD, u"-123", u"", u"", 5, Omitted},
  {"zoned negative signed",   FujitsuZoneFD, u"-123", u"", u"", 5, True},
  {"zoned sign one",          FujitsuZoneFD, u"-123", u"", u"", 5, One},
  {"zoned negative unsigned", FujitsuZoneFD, u"-123", u"", u"", 5, False},
  {"zoned unsigned",          FujitsuZoneFD, u"123",  u"", u"", 5, False},
  {"zoned one byte",          FujitsuZoneFD, u"7",    u"", u"", 1, Omitted},
  {"zoned letter",            FujitsuZoneFD, u"12A",  u"", u"", 3, Omitted},
  {"zoned width 0",           FujitsuZoneFD, u"1",    u"", u"", 0, Omitted},
  {"zoned width -1",          FujitsuZoneFD, u"1",    u"", u"", -1, Omitted},
  {"zoned too long",          FujitsuZoneFD, u"123456", u"", u"", 4, Omitted},

  {"packed",                  FujitsuPack, u"12345", u"", u"", 5, Omitted},
  {"packed signed",           FujitsuPack, u"12345", u"", u"", 5, True},
  {"packed sign one",         FujitsuPack, u"-1234", u"", u"", 5, One},
  {"packed unsigned",         FujitsuPack, u"123456", u"", u"", 6, False},
  {"packed negative",         FujitsuPack, u"-1234", u"", u"", 5, Omitted},
  {"packed too short",        FujitsuPack, u"123",   u"", u"", 5, Omitted},
  {"packed one digit",        FujitsuPack, u"7",     u"", u"", 1, Omitted},

  {"zoned list",              FujitsuZoneFDArray, u"1,-2",  u"2,3",     u"", 0, Omitted},
  {"zoned list signed",       FujitsuZoneFDArray, u"1,-2",  u"2,3",     u"", 0, True},
  {"zoned list unsigned",     FujitsuZoneFDArray, u"1,-2",  u"2,3",     u"", 0, False},
  {"zoned list rounded",      FujitsuZoneFDArray, u"1,2",   u"2.5,1.5", u"", 0, Omitted},
  {"zoned list empty width",  FujitsuZoneFDArray, u"5,6",   u"1,",      u"", 0, Omitted},
  {"zoned list width 0.4",    FujitsuZoneFDArray, u"1",     u"0.4",     u"", 0, Omitted},
  {"zoned list counts",       FujitsuZoneFDArray, u"1,2",   u"3",       u"", 0, Omitted},

  {"ebcdic padded",           SJIStoEBCDICK, u"ABC", u"", u"", 5, Omitted},
  {"ebcdic exact",            SJIStoEBCDICK, u"ABC", u"", u"", 3, Omitted},
  {"ebcdic too long",         SJIStoEBCDICK, u"ABC", u"", u"", 2, Omitted},
  {"ebcdic width 0",          SJIStoEBCDICK, u"",    u"", u"", 0, Omitted},
  {"ebcdic empty",            SJIStoEBCDICK, u"",    u"", u"", 1, Omitted},
  {"ebcdic katakana",         SJIStoEBCDICK, u"\uFF71\uFF72\uFF9E", u"", u"", 4, Omitted},
  {"ebcdic signs",            SJIStoEBCDICK, u"a-1 .$", u"", u"", 7, Omitted},

  {"jef kanji",               FujitsuJEF, u"\u6F22\u5B57",       u"", u"", 2, Omitted},
  {"jef padded",              FujitsuJEF, u"\u6F22",             u"", u"", 3, Omitted},
  {"jef cut",                 FujitsuJEF, u"\u6F22\u5B57\u3042", u"", u"", 2, Omitted},
  {"jef width 0",             FujitsuJEF, u"\u6F22",             u"", u"", 0, Omitted},
  {"jef fullwidth",           FujitsuJEF, u"\uFF21\uFF11\u3000", u"", u"", 3, Omitted},
  {"jef gaiji without file",  FujitsuJEF, u"\uE000",             u"", u"", 1, Omitted},

  {"record",                  FujitsuHostQuor, u"ABC,123", u"5,5", u"1,3", 0, Omitted},
  {"record signed",           FujitsuHostQuor, u"ABC,123", u"5,5", u"1,3", 0, True},
  {"record unsigned",         FujitsuHostQuor, u"ABC,123", u"5,5", u"1,3", 0, False},
  {"record zoned",            FujitsuHostQuor, u"ABC,123", u"5,5", u"1,0", 0, Omitted},
  {"record negative",         FujitsuHostQuor, u"-12,-12", u"5,5", u"3,0", 0, Omitted},
  {"record kanji",            FujitsuHostQuor, u"\u6F22\u5B57,X", u"3,2", u"2,1", 0, Omitted},
  {"record counts",           FujitsuHostQuor, u"ABC", u"5,5", u"1,3", 0, Omitted},
  {"record empty length",     FujitsuHostQuor, u"1,2,3", u"5,,5", u"0,0,0", 0, Omitted},
  {"record encoder fails",    FujitsuHostQuor, u"-5", u"-1", u"0", 0, Omitted},

  {"path to gaiji file",      PutJEFGaijiFilePath, kGaijiFileMarker, u"", u"", 0, Omitted},
  {"jef gaiji from file",     FujitsuJEF, u"\uE000\uE001", u"", u"", 2, Omitted},
  {"record gaiji",            FujitsuHostQuor, u"\uE000", u"1", u"2", 0, Omitted},
  {"path empty",              PutJEFGaijiFilePath, u"", u"", u"", 0, Omitted},
  {"path read back",          GetJEFGaijiFilePath, u"", u"", u"", 0, Omitted},
  {"jef gaiji empty path",    FujitsuJEF, u"\uE000", u"", u"", 1, Omitted},
};
// clang-format on

// The record file calls, in order, on one fresh object. The first names the record file; the later
// paths must be ignored. The third writes the marker text "1", the fourth fails with error 5 and
// writes nothing.
struct RecordWrite {
  std::u16string_view values, lengths, formats, path;
  Sign sign;
};

inline constexpr std::u16string_view kRecordFileMarker = u"<record file>";

// clang-format off
inline constexpr RecordWrite kRecordWrites[] = {
  {u"ABC,123",       u"5,5", u"1,3", kRecordFileMarker, Omitted},
  {u"\u6F22,-7,XY", u"2,3,2", u"2,0,1", u"ignored.bin", False},
  {u"A",             u"1,1", u"1,1", u"ignored.bin", One},
  {u"-5",            u"-1",  u"0",   u"ignored.bin", Omitted},
  {u"123",           u"4",   u"3",   u"", True},
};
// clang-format on

}  // namespace quor::hostcheck
