#include "host/error_reporting.hpp"

#include <oleauto.h>

#include <string>

#include "ConvertQuor.h"

namespace quor::host {

namespace {

// The error texts are plain ASCII; widen them unit for unit.
std::wstring widen(const char* text) {
  std::wstring wide;
  for (; *text != '\0'; ++text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
  return wide;
}

}  // namespace

HRESULT reportError(const quor::Error& error) noexcept {
  const HRESULT status = statusOf(error.number());
  ICreateErrorInfo* creator = nullptr;
  if (FAILED(CreateErrorInfo(&creator))) return status;
  try {
    const std::wstring description = widen(error.what());
    creator->SetGUID(IID__Quor);
    creator->SetSource(const_cast<LPOLESTR>(L"ConvertQuor.Quor"));
    creator->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      SetErrorInfo(0, info);
      info->Release();
    }
  } catch (...) {
    // Without memory for the description the caller still gets the number.
  }
  creator->Release();
  return status;
}

}  // namespace quor::host
