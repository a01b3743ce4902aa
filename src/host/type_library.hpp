#pragma once
// The type library ConvertQuor 1.0 that the DLL carries as resource TYPELIB 1: loaded from the DLL's
// own file, so it works whether or not the library is registered.

#include <windows.h>
// Platform headers that need windows.h before them:
#include <oaidl.h>

namespace quor::host {

// The loaded type library; the caller releases it.
HRESULT loadTypeLibrary(ITypeLib** library) noexcept;

// The description of _Quor that IDispatch calls are answered from; the caller releases it.
HRESULT loadQuorTypeInfo(ITypeInfo** info) noexcept;

}  // namespace quor::host
