#pragma once
// Helpers shared by the tests: bytes written as this project writes them ("F0 F1 D2") and error checks.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "quor/layout.hpp"
#include "quor/quor.hpp"

namespace quor::test {

// "F0 F1 D2": upper-case hexadecimal pairs separated by blanks.
std::string hex(const ByteString& bytes);

// The bytes of "F0 F1 D2" (blanks optional).
ByteString bytes(std::string_view hexText);

// A UTF-8 literal as UTF-16.
std::u16string u16(std::string_view utf8);

// The error number `call` throws as quor::Error, or 0 when it returns normally. Any other exception
// fails the test.
int errorOf(const std::function<void()>& call);

// What finishLayout says of `layout`: its refusal (which must be error 5), or "accepted".
std::string layoutRefusal(Layout layout);

}  // namespace quor::test
