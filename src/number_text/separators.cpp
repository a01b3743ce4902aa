#include "number_text/separators.hpp"

#include "platform/locale.hpp"
#include "quor/text.hpp"

namespace quor::number_text {

namespace {

#ifndef _WIN32
// The one character of a separator's bytes, or 0 when they are not exactly one usable character.
char16_t separatorCharacter(std::string_view bytes, std::string_view codeset) {
  if (bytes.empty()) return 0;
  const auto first = static_cast<unsigned char>(bytes[0]);
  if (bytes.size() == 1 && first < 0x80) return static_cast<char16_t>(first);
  if (codeset == "ISO-8859-1") return bytes.size() == 1 ? static_cast<char16_t>(first) : char16_t{0};
  if (codeset != "UTF-8" || bytes.size() > 3) return 0;
  // One character of the Basic Multilingual Plane is one UTF-16 unit (never a surrogate).
  char16_t units[3];
  const TextDecodeResult decoded = decodeUtf8(bytes, units);
  return decoded.ok && decoded.length == 1 ? units[0] : char16_t{0};
}
#endif

NumberSeparators separatorsOfEnvironment() {
#ifdef _WIN32
  const platform::UserSeparators user = platform::userNumberSeparators();
  return completeSeparators(user.decimal, user.thousands);
#else
  return separatorsOfLocale(platform::environmentNumericLocale().c_str());
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
NumberSeparators separatorsFromLocaleData(std::string_view radix, std::string_view thousands,
                                          std::string_view codeset) {
  return completeSeparators(separatorCharacter(radix, codeset), separatorCharacter(thousands, codeset));
}

NumberSeparators separatorsOfLocale(const char* name) {
  const auto data = platform::localeNumberData(name);
  if (!data) return {};
  return separatorsFromLocaleData(data->radix, data->thousands, data->codeset);
}
#endif

const NumberSeparators& localeSeparators() {
  static const NumberSeparators separators = separatorsOfEnvironment();
  return separators;
}

}  // namespace quor::number_text
