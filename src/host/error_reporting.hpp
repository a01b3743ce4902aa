#pragma once
// How a call through _Quor reports a failure: a quor::Error n becomes the status 0x800A0000 + n (the
// control facility, where automation callers read a runtime error number) together with an IErrorInfo
// whose source is "ConvertQuor.Quor" and whose description is the error's text. Late-bound callers
// then see Err.Number = n and Err.Description.

#include <windows.h>

#include <exception>
#include <new>

#include "quor/error.hpp"

namespace quor::host {

// The status of error number `number` (5 gives 0x800A0005).
[[nodiscard]] constexpr HRESULT statusOf(int number) noexcept {
  return static_cast<HRESULT>(0x800A0000UL | (static_cast<unsigned long>(number) & 0xFFFFUL));
}

// Publishes the error's description for the caller and returns its status.
HRESULT reportError(const quor::Error& error) noexcept;

// Runs `body` and turns what it throws into the status an automation caller expects: quor::Error as
// above, memory exhaustion as E_OUTOFMEMORY, anything else as E_UNEXPECTED.
template <class Body>
HRESULT guardedCall(Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (const quor::Error& error) {
    return reportError(error);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace quor::host
