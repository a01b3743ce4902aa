#pragma once
// The conversions between the automation interface's value types and the library's: BSTR texts,
// VARIANT_BOOL flags, and the encoders' byte results carried in a BSTR byte for byte.

#include <windows.h>
// Platform headers that need windows.h before them:
#include <oleauto.h>

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "quor/byte_string.hpp"

namespace quor::host {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "a BSTR holds UTF-16 units");

// The text of a BSTR, copied; a NULL BSTR is the empty text.
inline std::u16string textOf(BSTR text) {
  std::u16string copy(SysStringLen(text), u'\0');
  if (!copy.empty()) std::memcpy(copy.data(), text, copy.size() * sizeof(char16_t));
  return copy;
}

// Any nonzero VARIANT_BOOL counts as true.
inline bool flagOf(VARIANT_BOOL flag) noexcept {
  return flag != VARIANT_FALSE;
}

inline VARIANT_BOOL variantBool(bool flag) noexcept {
  return flag ? VARIANT_TRUE : VARIANT_FALSE;
}

// A new BSTR of exactly the bytes' length (odd lengths included). Throws std::bad_alloc.
inline BSTR bstrOfBytes(const ByteString& bytes) {
  const UINT size = static_cast<UINT>(bytes.size());
  BSTR result = SysAllocStringByteLen(nullptr, size);
  if (result == nullptr) throw std::bad_alloc();
  if (size != 0) std::memcpy(result, bytes.data(), size);
  return result;
}

// A new BSTR holding the text. Throws std::bad_alloc.
inline BSTR bstrOfText(std::u16string_view text) {
  const UINT length = static_cast<UINT>(text.size());
  BSTR result = SysAllocStringLen(nullptr, length);
  if (result == nullptr) throw std::bad_alloc();
  if (length != 0) std::memcpy(result, text.data(), length * sizeof(char16_t));
  return result;
}

}  // namespace quor::host
