#include "host/type_library.hpp"

#include <string>

#include "ConvertQuor.h"
#include "host/module.hpp"

namespace quor::host {

HRESULT loadTypeLibrary(ITypeLib** library) noexcept {
  *library = nullptr;
  try {
    const std::wstring path = module::path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    // REGKIND_NONE: loading must not register; registration is DllRegisterServer's business.
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

HRESULT loadQuorTypeInfo(ITypeInfo** info) noexcept {
  *info = nullptr;
  ITypeLib* library = nullptr;
  HRESULT result = loadTypeLibrary(&library);
  if (FAILED(result)) return result;
  result = library->GetTypeInfoOfGuid(IID__Quor, info);
  library->Release();
  return result;
}

}  // namespace quor::host
