#pragma once
// How the user's locale writes numbers, as the operating system gives it: the raw separators, before
// any rule of the library is applied to them.

#include <optional>
#include <string>
#include <string_view>

namespace quor::platform {

#ifdef _WIN32
// The user's decimal and thousands separators from the user's settings; 0 for one that is not exactly
// one character.
struct UserSeparators {
  char16_t decimal = 0;
  char16_t thousands = 0;
};
UserSeparators userNumberSeparators();
#else
// The locale that governs number formatting, as POSIX chooses it: LC_ALL if set and not empty, else
// LC_NUMERIC, else LANG; empty when none is set. The arguments are those variables' values or null.
std::string_view numericLocaleName(const char* lcAll, const char* lcNumeric, const char* lang);

// The locale the environment names for number formatting.
std::string environmentNumericLocale();

// A locale's radix character and thousands separator, as its data encodes them in its code set.
struct LocaleNumberData {
  std::string radix;
  std::string thousands;
  std::string codeset;
};

// The number data of the named locale; nothing for "C", "POSIX", the empty name and a locale that
// cannot be loaded.
std::optional<LocaleNumberData> localeNumberData(const char* name);
#endif

}  // namespace quor::platform
