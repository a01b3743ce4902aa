#include "platform/locale.hpp"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

namespace quor::platform {

#ifdef _WIN32
UserSeparators userNumberSeparators() {
  wchar_t decimal[8] = {};
  wchar_t thousands[8] = {};
  // A single-character separator fills two units, the character and the terminating zero.
  UserSeparators separators;
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8) == 2)
    separators.decimal = static_cast<char16_t>(decimal[0]);
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8) == 2)
    separators.thousands = static_cast<char16_t>(thousands[0]);
  return separators;
}
#else
std::string_view numericLocaleName(const char* lcAll, const char* lcNumeric, const char* lang) {
  for (const char* value : {lcAll, lcNumeric, lang}) {
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

std::string environmentNumericLocale() {
  return std::string(numericLocaleName(std::getenv("LC_ALL"), std::getenv("LC_NUMERIC"), std::getenv("LANG")));
}

std::optional<LocaleNumberData> localeNumberData(const char* name) {
  if (name == nullptr || *name == '\0' || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0)
    return std::nullopt;
  // The code set belongs to the character category; taking it from the same locale tells how the
  // numeric category's strings are encoded.
  const locale_t locale = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, name, locale_t{});
  if (locale == locale_t{}) return std::nullopt;
  LocaleNumberData data{nl_langinfo_l(RADIXCHAR, locale), nl_langinfo_l(THOUSEP, locale),
                        nl_langinfo_l(CODESET, locale)};
  freelocale(locale);
  return data;
}
#endif

}  // namespace quor::platform
