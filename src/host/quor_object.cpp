#include "host/quor_object.hpp"

#include "host/automation_types.hpp"
#include "host/error_reporting.hpp"
#include "host/module.hpp"
#include "host/type_library.hpp"

namespace quor::host {

namespace {

// Runs an encoder and hands its bytes back in a BSTR of that byte length.
template <class Encode>
HRESULT returnBytes(BSTR* result, Encode&& encode) noexcept {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  return guardedCall([&] { *result = bstrOfBytes(encode()); });
}

}  // namespace

HRESULT QuorObject::create(REFIID iid, void** object) noexcept {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  ITypeInfo* typeInfo = nullptr;
  const HRESULT loaded = loadQuorTypeInfo(&typeInfo);
  if (FAILED(loaded)) return loaded;
  QuorObject* created = nullptr;
  try {
    created = new QuorObject(typeInfo);
  } catch (...) {  // only memory can run out here
    typeInfo->Release();
    return E_OUTOFMEMORY;
  }
  const HRESULT result = created->QueryInterface(iid, object);
  created->Release();  // the caller's reference, if any, keeps it alive
  return result;
}

QuorObject::QuorObject(ITypeInfo* typeInfo) : typeInfo_(typeInfo) {
  module::objectCreated();
}

QuorObject::~QuorObject() {
  typeInfo_->Release();
  module::objectDestroyed();
}

HRESULT QuorObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__Quor)) {
    *object = static_cast<_Quor*>(this);
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG QuorObject::AddRef() {
  return ++references_;
}

ULONG QuorObject::Release() {
  const ULONG remaining = --references_;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT QuorObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT QuorObject::GetTypeInfo(UINT index, LCID /*locale*/, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  typeInfo_->AddRef();
  *info = typeInfo_;
  return S_OK;
}

HRESULT QuorObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID /*locale*/, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return typeInfo_->GetIDsOfNames(names, count, ids);
}

HRESULT QuorObject::Invoke(DISPID id, REFIID iid, LCID /*locale*/, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* exception, UINT* badArgument) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  // The type library's Invoke converts the arguments, fills in an omitted ConvertSign from its
  // default, calls the vtable method below and turns a failure with IErrorInfo into EXCEPINFO.
  return typeInfo_->Invoke(static_cast<_Quor*>(this), id, flags, params, result, exception, badArgument);
}

HRESULT QuorObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID__Quor) ? S_OK : S_FALSE;
}

HRESULT QuorObject::Version(VARIANT* Result) {
  if (Result == nullptr) return E_POINTER;
  VariantInit(Result);
  return guardedCall([&] {
    BSTR text = bstrOfText(quor_.Version());
    V_VT(Result) = VT_BSTR;
    V_BSTR(Result) = text;
  });
}

HRESULT QuorObject::FujitsuHostQuorBinaryWrite(BSTR NewCharacter, BSTR NewLength, BSTR NewFormat,
                                               BSTR NewFilePath, VARIANT_BOOL ConvertSign,
                                               VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  *Result = VARIANT_FALSE;
  return guardedCall([&] {
    *Result = variantBool(quor_.FujitsuHostQuorBinaryWrite(textOf(NewCharacter), textOf(NewLength),
                                                           textOf(NewFormat), textOf(NewFilePath),
                                                           flagOf(ConvertSign)));
  });
}

HRESULT QuorObject::FujitsuHostQuor(BSTR NewCharacter, BSTR NewLength, BSTR NewFormat,
                                    VARIANT_BOOL ConvertSign, BSTR* Result) {
  return returnBytes(Result, [&] {
    return quor_.FujitsuHostQuor(textOf(NewCharacter), textOf(NewLength), textOf(NewFormat),
                                 flagOf(ConvertSign));
  });
}

HRESULT QuorObject::SJIStoEBCDICK(BSTR SJIS_Character, LONG ConvertLength, BSTR* Result) {
  return returnBytes(Result, [&] { return quor_.SJIStoEBCDICK(textOf(SJIS_Character), ConvertLength); });
}

HRESULT QuorObject::FujitsuJEF(BSTR SJIS_Kanji, LONG ConvertLength, BSTR* Result) {
  return returnBytes(Result, [&] { return quor_.FujitsuJEF(textOf(SJIS_Kanji), ConvertLength); });
}

HRESULT QuorObject::FujitsuZoneFD(BSTR ConvertString, LONG ConvertLength, VARIANT_BOOL ConvertSign,
                                  BSTR* Result) {
  return returnBytes(
      Result, [&] { return quor_.FujitsuZoneFD(textOf(ConvertString), ConvertLength, flagOf(ConvertSign)); });
}

HRESULT QuorObject::FujitsuPack(BSTR ConvertString, LONG ConvertLength, VARIANT_BOOL ConvertSign,
                                BSTR* Result) {
  return returnBytes(
      Result, [&] { return quor_.FujitsuPack(textOf(ConvertString), ConvertLength, flagOf(ConvertSign)); });
}

HRESULT QuorObject::FujitsuZoneFDArray(BSTR ConvertStringArray, BSTR ConvertLengthArray,
                                       VARIANT_BOOL ConvertSign, BSTR* Result) {
  return returnBytes(Result, [&] {
    return quor_.FujitsuZoneFDArray(textOf(ConvertStringArray), textOf(ConvertLengthArray),
                                    flagOf(ConvertSign));
  });
}

HRESULT QuorObject::get_JEFGaijiFilePath(BSTR* Result) {
  if (Result == nullptr) return E_POINTER;
  *Result = nullptr;
  return guardedCall([&] { *Result = bstrOfText(quor_.JEFGaijiFilePath()); });
}

HRESULT QuorObject::put_JEFGaijiFilePath(BSTR vNewValue) {
  return guardedCall([&] { quor_.JEFGaijiFilePath(textOf(vNewValue)); });
}

}  // namespace quor::host
