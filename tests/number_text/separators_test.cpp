#include "number_text/separators.hpp"
#include "platform/locale.hpp"

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <locale.h>
#endif

namespace quor::number_text {
namespace {

void expectSeparators(const NumberSeparators& actual, char16_t decimal, char16_t thousands,
                      const std::string& context) {
  EXPECT_EQ(static_cast<unsigned>(actual.decimal), static_cast<unsigned>(decimal)) << context;
  EXPECT_EQ(static_cast<unsigned>(actual.thousands), static_cast<unsigned>(thousands)) << context;
}

TEST(NumberSeparators, DefaultsFillTheGaps) {
  struct Case {
    char16_t decimal, thousands;
    char16_t expectedDecimal, expectedThousands;
  };
  const Case cases[] = {
      {0, 0, u'.', u','},       {u',', 0, u',', u'.'},      {u',', u',', u',', u'.'},
      {u'.', u'.', u'.', u','}, {0, u'.', u'.', u','},      {u',', u'.', u',', u'.'},
      {u',', u' ', u',', u' '}, {u'.', u'\'', u'.', u'\''}, {u'\u066B', 0, u'\u066B', u','},
  };
  for (const auto& c : cases) {
    expectSeparators(completeSeparators(c.decimal, c.thousands), c.expectedDecimal, c.expectedThousands,
                     std::to_string(c.decimal) + "/" + std::to_string(c.thousands));
  }
}

#ifndef _WIN32
TEST(NumberSeparators, LocaleNameFollowsPosixPrecedence) {
  struct Case {
    const char* lcAll;
    const char* lcNumeric;
    const char* lang;
    std::string_view expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, ""}, {"de_DE", "fr_FR", "en_US", "de_DE"}, {"", "fr_FR", "en_US", "fr_FR"},
      {nullptr, "", "en_US", "en_US"}, {nullptr, "fr_FR", nullptr, "fr_FR"}, {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::numericLocaleName(c.lcAll, c.lcNumeric, c.lang), c.expected) << c.expected;
  }
}

TEST(NumberSeparators, LocaleDataDecoding) {
  struct Case {
    std::string_view radix, thousands, codeset;
    char16_t decimal, expectedThousands;
  };
  // clang-format off
  const Case cases[] = {
      {",", "\xE2\x80\xAF", "UTF-8", u',', u'\u202F'}, {",", "\xC2\xA0", "UTF-8", u',', u'\u00A0'},
      {",", "\xA0", "ISO-8859-1", u',', u'\u00A0'}, {",", "\xA0", "KOI8-R", u',', u'.'},
      {",", "\xA0", "UTF-8", u',', u'.'}, {".", "", "ANSI_X3.4-1968", u'.', u','},
      {"", "", "UTF-8", u'.', u','}, {".", "\xF0\x9F\x98\x80", "UTF-8", u'.', u','},
      {".", "\xC0\xAE", "UTF-8", u'.', u','}, {".", "\xE0\x80\xAE", "UTF-8", u'.', u','},
      {".", "\xED\xA0\x80", "UTF-8", u'.', u','}, {".", "''", "UTF-8", u'.', u','},
      {"\xD9\xAB", "\xD9\xAC", "UTF-8", u'\u066B', u'\u066C'},
  };
  // clang-format on
  for (const auto& c : cases) {
    expectSeparators(separatorsFromLocaleData(c.radix, c.thousands, c.codeset), c.decimal,
                     c.expectedThousands, std::string(c.thousands) + " in " + std::string(c.codeset));
  }
}

TEST(NumberSeparators, LocalesWithoutSeparatorsGiveDefaults) {
  for (const char* name : {"C", "POSIX", "", "C.UTF-8", "no_such_locale.UTF-8"}) {
    expectSeparators(separatorsOfLocale(name), u'.', u',', name);
  }
}

TEST(NumberSeparators, GermanLocale) {
  const locale_t probe = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "de_DE.UTF-8", locale_t{});
  if (probe == locale_t{}) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  freelocale(probe);
  expectSeparators(separatorsOfLocale("de_DE.UTF-8"), u',', u'.', "de_DE.UTF-8");
}
#endif

}  // namespace
}  // namespace quor::number_text
