#pragma once
// The DLL's own bookkeeping, which the in-process server contract asks for: how many Quor objects and
// class factory locks are alive (DllCanUnloadNow answers from them), and the module handle that the
// registration and the type library loader need to find the DLL's own file.

#include <windows.h>

#include <string>

namespace quor::host::module {

void objectCreated() noexcept;
void objectDestroyed() noexcept;
void lock() noexcept;
void unlock() noexcept;

// True while an object or a lock is alive.
[[nodiscard]] bool inUse() noexcept;

// The full path of this DLL, empty if it cannot be had.
[[nodiscard]] std::wstring path();

}  // namespace quor::host::module
