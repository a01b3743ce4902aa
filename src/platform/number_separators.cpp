#include "platform/number_separators.hpp"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>

#include <cstring>
#endif

namespace quor::platform {

namespace {

#ifndef _WIN32
// The one character of a separator's bytes, or 0 when they are not exactly one usable character.
char16_t separatorCharacter(std::string_view bytes, std::string_view codeset) {
  if (bytes.empty()) return 0;
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  if (bytes.size() == 1 && byte(0) < 0x80) return static_cast<char16_t>(byte(0));
  if (codeset == "ISO-8859-1") return bytes.size() == 1 ? static_cast<char16_t>(byte(0)) : char16_t{0};
  if (codeset != "UTF-8") return 0;
  // Two- and three-byte UTF-8 sequences, shortest form only, no surrogates.
  if (bytes.size() == 2 && (byte(0) & 0xE0u) == 0xC0u && (byte(1) & 0xC0u) == 0x80u) {
    const unsigned code = ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    return code >= 0x80 ? static_cast<char16_t>(code) : char16_t{0};
  }
  if (bytes.size() == 3 && (byte(0) & 0xF0u) == 0xE0u && (byte(1) & 0xC0u) == 0x80u &&
      (byte(2) & 0xC0u) == 0x80u) {
    const unsigned code = ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    return code >= 0x800 && (code < 0xD800 || code > 0xDFFF) ? static_cast<char16_t>(code) : char16_t{0};
  }
  return 0;
}
#endif

NumberSeparators separatorsOfEnvironment() {
#ifdef _WIN32
  wchar_t decimal[8] = {};
  wchar_t thousands[8] = {};
  // A single-character separator fills two units, the character and the terminating zero.
  const bool hasDecimal = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8) == 2;
  const bool hasThousands = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8) == 2;
  return completeSeparators(hasDecimal ? static_cast<char16_t>(decimal[0]) : char16_t{0},
                            hasThousands ? static_cast<char16_t>(thousands[0]) : char16_t{0});
#else
  const std::string name(
      numericLocaleName(std::getenv("LC_ALL"), std::getenv("LC_NUMERIC"), std::getenv("LANG")));
  return separatorsOfLocale(name.c_str());
#endif
}

}  // namespace

NumberSeparators completeSeparators(char16_t decimal, char16_t thousands) {
  NumberSeparators separators;
  if (decimal != 0) separators.decimal = decimal;
  if (thousands != 0 && thousands != separators.decimal)
    separators.thousands = thousands;
  else
    separators.thousands = separators.decimal == u',' ? u'.' : u',';
  return separators;
}

#ifndef _WIN32
std::string_view numericLocaleName(const char* lcAll, const char* lcNumeric, const char* lang) {
  for (const char* value : {lcAll, lcNumeric, lang}) {
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

NumberSeparators separatorsFromLocaleData(std::string_view radix, std::string_view thousands,
                                          std::string_view codeset) {
  return completeSeparators(separatorCharacter(radix, codeset), separatorCharacter(thousands, codeset));
}

NumberSeparators separatorsOfLocale(const char* name) {
  if (name == nullptr || *name == '\0' || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0)
    return {};
  // The code set belongs to the character category; taking it from the same locale tells how the
  // numeric category's strings are encoded.
  const locale_t locale = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, name, locale_t{});
  if (locale == locale_t{}) return {};
  const NumberSeparators separators = separatorsFromLocaleData(
      nl_langinfo_l(RADIXCHAR, locale), nl_langinfo_l(THOUSEP, locale), nl_langinfo_l(CODESET, locale));
  freelocale(locale);
  return separators;
}
#endif

const NumberSeparators& localeSeparators() {
  static const NumberSeparators separators = separatorsOfEnvironment();
  return separators;
}

}  // namespace quor::platform
