#pragma once
// The COM object behind the class Quor: one quor::Quor reached through the dual interface _Quor. Each
// vtable method converts its arguments, calls the library and converts the result back; IDispatch is
// answered from the type library's description of _Quor.

#include <windows.h>
// Platform headers that need windows.h before them:
#include <oaidl.h>

#include <atomic>

#include "ConvertQuor.h"
#include "quor/quor.hpp"

namespace quor::host {

class QuorObject final : public _Quor, public ISupportErrorInfo {
 public:
  // Makes an object and hands out its interface `iid`, as IClassFactory::CreateInstance does.
  static HRESULT create(REFIID iid, void** object) noexcept;

  QuorObject(const QuorObject&) = delete;
  QuorObject& operator=(const QuorObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

  // _Quor, in interface order
  HRESULT STDMETHODCALLTYPE Version(VARIANT* Result) override;
  HRESULT STDMETHODCALLTYPE FujitsuHostQuorBinaryWrite(BSTR NewCharacter, BSTR NewLength, BSTR NewFormat,
                                                       BSTR NewFilePath, VARIANT_BOOL ConvertSign,
                                                       VARIANT_BOOL* Result) override;
  HRESULT STDMETHODCALLTYPE FujitsuHostQuor(BSTR NewCharacter, BSTR NewLength, BSTR NewFormat,
                                            VARIANT_BOOL ConvertSign, BSTR* Result) override;
  HRESULT STDMETHODCALLTYPE SJIStoEBCDICK(BSTR SJIS_Character, LONG ConvertLength, BSTR* Result) override;
  HRESULT STDMETHODCALLTYPE FujitsuJEF(BSTR SJIS_Kanji, LONG ConvertLength, BSTR* Result) override;
  HRESULT STDMETHODCALLTYPE FujitsuZoneFD(BSTR ConvertString, LONG ConvertLength, VARIANT_BOOL ConvertSign,
                                          BSTR* Result) override;
  HRESULT STDMETHODCALLTYPE FujitsuPack(BSTR ConvertString, LONG ConvertLength, VARIANT_BOOL ConvertSign,
                                        BSTR* Result) override;
  HRESULT STDMETHODCALLTYPE FujitsuZoneFDArray(BSTR ConvertStringArray, BSTR ConvertLengthArray,
                                               VARIANT_BOOL ConvertSign, BSTR* Result) override;
  HRESULT STDMETHODCALLTYPE get_JEFGaijiFilePath(BSTR* Result) override;
  HRESULT STDMETHODCALLTYPE put_JEFGaijiFilePath(BSTR vNewValue) override;

 private:
  explicit QuorObject(ITypeInfo* typeInfo);
  ~QuorObject();

  std::atomic<ULONG> references_{1};
  ITypeInfo* typeInfo_;  // owned: released with the object
  quor::Quor quor_;
};

}  // namespace quor::host
