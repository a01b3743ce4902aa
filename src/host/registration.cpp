// DllRegisterServer and DllUnregisterServer: the class Quor under HKEY_CLASSES_ROOT (its identifier,
// this DLL as its in-process server with the apartment threading model, the ProgID ConvertQuor.Quor)
// and the type library, registered from the DLL's own resource.

#include <windows.h>
// Platform headers that need windows.h before them:
#include <oleauto.h>
#include <olectl.h>

#include <string>
#include <utility>

#include "ConvertQuor.h"
#include "host/module.hpp"
#include "host/type_library.hpp"

namespace quor::host {
namespace {

constexpr const wchar_t* kProgId = L"ConvertQuor.Quor";

std::wstring textOf(REFGUID guid) {
  wchar_t buffer[40] = {};
  StringFromGUID2(guid, buffer, 40);
  return buffer;
}

// Creates `key` under HKEY_CLASSES_ROOT (and the keys above it) and sets one of its values; an empty
// `name` is the key's default value.
HRESULT setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_SET_VALUE, nullptr, &handle, nullptr);
  if (status == ERROR_SUCCESS) {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(handle);
  }
  return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

// Removes `key` and everything below it; a key that is not there is no failure.
HRESULT deleteTree(const std::wstring& key) {
  const LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return S_OK;
  return HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT registerClass(const std::wstring& path) {
  const std::wstring clsidKey = L"CLSID\\" + textOf(CLSID_Quor);
  const std::pair<std::wstring, std::pair<const wchar_t*, std::wstring>> values[] = {
      {clsidKey, {nullptr, kProgId}},
      {clsidKey + L"\\InprocServer32", {nullptr, path}},
      {clsidKey + L"\\InprocServer32", {L"ThreadingModel", L"Apartment"}},
      {clsidKey + L"\\ProgID", {nullptr, kProgId}},
      {clsidKey + L"\\TypeLib", {nullptr, textOf(LIBID_ConvertQuor)}},
      {clsidKey + L"\\Version", {nullptr, L"1.0"}},
      {clsidKey + L"\\Programmable", {nullptr, L""}},
      {kProgId, {nullptr, kProgId}},
      {std::wstring(kProgId) + L"\\CLSID", {nullptr, textOf(CLSID_Quor)}},
  };
  for (const auto& [key, value] : values) {
    const HRESULT result = setValue(key, value.first, value.second);
    if (FAILED(result)) return result;
  }
  return S_OK;
}

HRESULT registerTypeLibrary(const std::wstring& path) {
  ITypeLib* library = nullptr;
  HRESULT result = loadTypeLibrary(&library);
  if (FAILED(result)) return result;
  std::wstring fullPath = path;  // RegisterTypeLib takes a mutable string
  result = RegisterTypeLib(library, fullPath.data(), nullptr);
  library->Release();
  return result;
}

HRESULT unregisterTypeLibrary() {
#ifdef _WIN64
  constexpr SYSKIND kind = SYS_WIN64;
#else
  constexpr SYSKIND kind = SYS_WIN32;
#endif
  const HRESULT result = UnRegisterTypeLib(LIBID_ConvertQuor, 1, 0, LOCALE_NEUTRAL, kind);
  // Already gone (or never registered) is what unregistering wants.
  if (result == TYPE_E_REGISTRYACCESS || result == TYPE_E_CANTLOADLIBRARY) return S_OK;
  return result;
}

HRESULT unregisterAll() {
  const HRESULT classes = deleteTree(L"CLSID\\" + textOf(CLSID_Quor));
  const HRESULT progId = deleteTree(kProgId);
  const HRESULT library = unregisterTypeLibrary();
  if (FAILED(classes)) return classes;
  if (FAILED(progId)) return progId;
  return library;
}

}  // namespace
}  // namespace quor::host

STDAPI DllRegisterServer() {
  try {
    const std::wstring path = quor::host::module::path();
    if (path.empty()) return SELFREG_E_CLASS;
    HRESULT result = quor::host::registerClass(path);
    if (SUCCEEDED(result)) result = quor::host::registerTypeLibrary(path);
    if (FAILED(result)) quor::host::unregisterAll();  // leave no half registration behind
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return quor::host::unregisterAll();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}
