#pragma once
// The decimal and thousands separators number texts are read with, taken from the user's locale
// (the environment's locale settings under POSIX, the user's settings under Windows). The parts are
// separate so that the rules can be checked without changing the process's environment.

#include <string_view>

#include "number_text/number_reading.hpp"

namespace quor::number_text {

// The separators with the defaults filled in: "." when there is no decimal separator (0); when there
// is no thousands separator, or it is the decimal separator, "," — or "." if the decimal separator
// is ",".
NumberSeparators completeSeparators(char16_t decimal, char16_t thousands);

#ifndef _WIN32
// The separators from a locale's radix character and thousands separator as the locale data encodes
// them in its code set (UTF-8, ISO-8859-1, or anything else for ASCII only). A separator that is not
// exactly one character of the Basic Multilingual Plane counts as missing.
NumberSeparators separatorsFromLocaleData(std::string_view radix, std::string_view thousands,
                                          std::string_view codeset);

// The separators of the named locale; the defaults for "C", "POSIX", the empty name and a locale
// that cannot be loaded.
NumberSeparators separatorsOfLocale(const char* name);
#endif

}  // namespace quor::number_text
