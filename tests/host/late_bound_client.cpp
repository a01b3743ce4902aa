// A Windows automation client of ConvertQuor.Quor, run under Wine by scripts/test-windows after the
// DLL has been registered. It
// - answers every case of host_cases.hpp through IDispatch (GetIDsOfNames + Invoke) and prints one
//   line per case, in the form of the native program expected_values, which the driver compares;
// - performs the record writes of host_cases.hpp into RECORD_FILE with the kanji U+6F22 U+5B57 and
//   ".bin" appended (a name that only the wide-character file API can open), which the driver
//   compares with the native program's file;
// - checks the server's COM contract and prints "ok - ..." or "FAIL - ..." for each check.
//
// Usage: quor_late_bound_client GAIJI_FILE RECORD_FILE (Windows paths)

#include <windows.h>
// Platform headers that need windows.h before them:
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "host_cases.hpp"
#include "result_text.hpp"

// _Quor as its table of operations must be laid out: IUnknown, IDispatch, then the ten operations.
// Declared outside the unnamed namespace: with no implementation in sight there, the compiler would
// take every call through it for a call of a pure virtual function.
struct QuorVtable : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Version(VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE FujitsuHostQuorBinaryWrite(BSTR, BSTR, BSTR, BSTR, VARIANT_BOOL,
                                                               VARIANT_BOOL*) = 0;
  virtual HRESULT STDMETHODCALLTYPE FujitsuHostQuor(BSTR, BSTR, BSTR, VARIANT_BOOL, BSTR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE SJIStoEBCDICK(BSTR, LONG, BSTR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE FujitsuJEF(BSTR, LONG, BSTR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE FujitsuZoneFD(BSTR, LONG, VARIANT_BOOL, BSTR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE FujitsuPack(BSTR, LONG, VARIANT_BOOL, BSTR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE FujitsuZoneFDArray(BSTR, BSTR, VARIANT_BOOL, BSTR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_JEFGaijiFilePath(BSTR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_JEFGaijiFilePath(BSTR) = 0;
};

namespace {

using namespace quor::hostcheck;

// The identifiers of the type library, written here independently of the server's sources.
const GUID kClsidQuor = {0x9803D9B2, 0xA88D, 0x4CC1, {0x99, 0x6E, 0x04, 0x17, 0x7F, 0x3F, 0x04, 0x60}};
const GUID kIidQuor = {0x2081DF42, 0xA54C, 0x4998, {0x99, 0xFE, 0xC1, 0x50, 0x4A, 0x3D, 0x38, 0x75}};
const GUID kLibidConvertQuor = {0xC69D19B9, 0x48C2, 0x4F9F, {0xB7, 0x37, 0xE4, 0x4A, 0xEA, 0x07, 0x0E, 0x24}};

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what) {
  std::printf("%s - %s\n", ok ? "ok" : "FAIL", what.c_str());
  ++(ok ? passed : failed);
}

std::string hex(HRESULT status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
  return text;
}

std::u16string u16(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

// Owns a BSTR.
struct Bstr {
  BSTR value;
  explicit Bstr(std::wstring_view text)
      : value(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr() : value(nullptr) {}
  ~Bstr() { SysFreeString(value); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
};

// One argument of an Invoke call.
VARIANT textArgument(std::u16string_view text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) =
      SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
  return v;
}

VARIANT longArgument(LONG value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

// The raw 16-bit flag, so that 1 reaches the server as 1.
VARIANT flagArgument(Sign sign) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = sign == Sign::False ? VARIANT_FALSE : sign == Sign::One ? VARIANT_BOOL{1} : VARIANT_TRUE;
  return v;
}

struct Outcome {
  HRESULT status = S_OK;
  VARIANT value{};
  EXCEPINFO exception{};
  Outcome() { VariantInit(&value); }
  ~Outcome() {
    VariantClear(&value);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
  }
  Outcome(const Outcome&) = delete;
  Outcome& operator=(const Outcome&) = delete;
};

// Calls `name` by name with the arguments in their written order (Invoke takes them reversed).
void invoke(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments, WORD flags,
            Outcome& out) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  out.status = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (SUCCEEDED(out.status)) {
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), flags == DISPATCH_PROPERTYPUT ? &putId : nullptr,
                      static_cast<UINT>(reversed.size()), flags == DISPATCH_PROPERTYPUT ? 1U : 0U};
    UINT badArgument = 0;
    out.status =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                       flags == DISPATCH_PROPERTYPUT ? nullptr : &out.value, &out.exception, &badArgument);
    if (out.status == DISP_E_EXCEPTION && out.exception.pfnDeferredFillIn != nullptr) {
      out.exception.pfnDeferredFillIn(&out.exception);
    }
  }
  for (VARIANT& argument : arguments) VariantClear(&argument);
}

// The line of an outcome, in the form result_text.hpp gives the native side's.
std::string lineOf(const Outcome& out, bool textResult) {
  if (out.status == DISP_E_EXCEPTION && HRESULT_FACILITY(out.exception.scode) == FACILITY_CONTROL) {
    return errorLine(HRESULT_CODE(out.exception.scode));
  }
  if (FAILED(out.status)) return "hresult " + hex(out.status);
  switch (V_VT(&out.value)) {
    case VT_EMPTY:
      return "done";
    case VT_BOOL:
      return V_BOOL(&out.value) == VARIANT_TRUE    ? "true"
             : V_BOOL(&out.value) == VARIANT_FALSE ? "false"
                                                   : "bad bool";
    case VT_BSTR: {
      BSTR value = V_BSTR(&out.value);
      if (textResult)
        return textLine(std::u16string_view(reinterpret_cast<const char16_t*>(value), SysStringLen(value)));
      return bytesLine(reinterpret_cast<const std::uint8_t*>(value), SysStringByteLen(value));
    }
    default:
      return "variant type " + std::to_string(V_VT(&out.value));
  }
}

std::string runCase(IDispatch* object, const Case& c, const std::wstring& gaijiFile) {
  Outcome out;
  std::vector<VARIANT> arguments;
  auto addSign = [&] {
    if (c.sign != Sign::Omitted) arguments.push_back(flagArgument(c.sign));
  };
  bool textResult = false;
  switch (c.operation) {
    case Operation::Version:
      invoke(object, L"Version", {}, DISPATCH_METHOD, out);
      return lineOf(out, true);
    case Operation::FujitsuHostQuor:
      arguments = {textArgument(c.first), textArgument(c.second), textArgument(c.third)};
      addSign();
      invoke(object, L"FujitsuHostQuor", std::move(arguments), DISPATCH_METHOD, out);
      break;
    case Operation::SJIStoEBCDICK:
      invoke(object, L"SJIStoEBCDICK", {textArgument(c.first), longArgument(c.length)}, DISPATCH_METHOD, out);
      break;
    case Operation::FujitsuJEF:
      invoke(object, L"FujitsuJEF", {textArgument(c.first), longArgument(c.length)}, DISPATCH_METHOD, out);
      break;
    case Operation::FujitsuZoneFD:
    case Operation::FujitsuPack:
      arguments = {textArgument(c.first), longArgument(c.length)};
      addSign();
      invoke(object, c.operation == Operation::FujitsuZoneFD ? L"FujitsuZoneFD" : L"FujitsuPack",
             std::move(arguments), DISPATCH_METHOD, out);
      break;
    case Operation::FujitsuZoneFDArray:
      arguments = {textArgument(c.first), textArgument(c.second)};
      addSign();
      invoke(object, L"FujitsuZoneFDArray", std::move(arguments), DISPATCH_METHOD, out);
      break;
    case Operation::GetJEFGaijiFilePath:
      invoke(object, L"JEFGaijiFilePath", {}, DISPATCH_PROPERTYGET, out);
      textResult = true;
      break;
    case Operation::PutJEFGaijiFilePath: {
      const std::u16string path = c.first == kGaijiFileMarker ? u16(gaijiFile) : std::u16string(c.first);
      invoke(object, L"JEFGaijiFilePath", {textArgument(path)}, DISPATCH_PROPERTYPUT, out);
      break;
    }
  }
  return lineOf(out, textResult);
}

void runRecordWrites(IDispatch* object, const std::wstring& recordFile) {
  int index = 0;
  for (const RecordWrite& w : kRecordWrites) {
    const std::u16string path = w.path == kRecordFileMarker ? u16(recordFile) : std::u16string(w.path);
    std::vector<VARIANT> arguments = {textArgument(w.values), textArgument(w.lengths),
                                      textArgument(w.formats), textArgument(path)};
    if (w.sign != Sign::Omitted) arguments.push_back(flagArgument(w.sign));
    Outcome out;
    invoke(object, L"FujitsuHostQuorBinaryWrite", std::move(arguments), DISPATCH_METHOD, out);
    std::printf("write %d: %s\n", index++, lineOf(out, false).c_str());
  }
}

// The type library describes _Quor as dual, hidden and not extensible, with the ten operations in
// interface order, each parameter findable by its name.
void checkTypeDescription(IDispatch* object) {
  UINT count = 0;
  check(SUCCEEDED(object->GetTypeInfoCount(&count)) && count == 1, "GetTypeInfoCount is 1");
  ITypeInfo* dispatchInfo = nullptr;
  if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &dispatchInfo))) {
    check(false, "GetTypeInfo");
    return;
  }
  TYPEATTR* attributes = nullptr;
  dispatchInfo->GetTypeAttr(&attributes);
  const WORD wanted = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE;
  check(IsEqualGUID(attributes->guid, kIidQuor) && (attributes->wTypeFlags & wanted) == wanted,
        "type info of _Quor is dual, hidden and not extensible");
  dispatchInfo->ReleaseTypeAttr(attributes);

  // The vtable side of the dual interface: its functions in table order.
  HREFTYPE vtableRef = 0;
  ITypeInfo* vtableInfo = nullptr;
  if (SUCCEEDED(dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableRef)) &&
      SUCCEEDED(dispatchInfo->GetRefTypeInfo(vtableRef, &vtableInfo))) {
    static const wchar_t* const order[] = {L"Version",          L"FujitsuHostQuorBinaryWrite",
                                           L"FujitsuHostQuor",  L"SJIStoEBCDICK",
                                           L"FujitsuJEF",       L"FujitsuZoneFD",
                                           L"FujitsuPack",      L"FujitsuZoneFDArray",
                                           L"JEFGaijiFilePath", L"JEFGaijiFilePath"};
    bool inOrder = true;
    for (UINT i = 0; i < 10; ++i) {
      FUNCDESC* function = nullptr;
      if (FAILED(vtableInfo->GetFuncDesc(i, &function))) {
        inOrder = false;
        break;
      }
      Bstr name;
      vtableInfo->GetDocumentation(function->memid, &name.value, nullptr, nullptr, nullptr);
      const auto slot = static_cast<SHORT>((7 + i) * sizeof(void*));
      const INVOKEKIND kind = i == 8 ? INVOKE_PROPERTYGET : i == 9 ? INVOKE_PROPERTYPUT : INVOKE_FUNC;
      if (name.value == nullptr || std::wstring_view(name.value) != order[i] || function->oVft != slot ||
          function->invkind != kind) {
        inOrder = false;
      }
      vtableInfo->ReleaseFuncDesc(function);
    }
    check(inOrder, "the ten operations follow IUnknown and IDispatch in interface order");
    vtableInfo->Release();
  } else {
    check(false, "the dual interface's vtable description");
  }
  dispatchInfo->Release();

  // Callers that bind by name find every parameter under its name, at its position.
  static const std::vector<std::vector<const wchar_t*>> signatures = {
      {L"FujitsuHostQuorBinaryWrite", L"NewCharacter", L"NewLength", L"NewFormat", L"NewFilePath",
       L"ConvertSign"},
      {L"FujitsuHostQuor", L"NewCharacter", L"NewLength", L"NewFormat", L"ConvertSign"},
      {L"SJIStoEBCDICK", L"SJIS_Character", L"ConvertLength"},
      {L"FujitsuJEF", L"SJIS_Kanji", L"ConvertLength"},
      {L"FujitsuZoneFD", L"ConvertString", L"ConvertLength", L"ConvertSign"},
      {L"FujitsuPack", L"ConvertString", L"ConvertLength", L"ConvertSign"},
      {L"FujitsuZoneFDArray", L"ConvertStringArray", L"ConvertLengthArray", L"ConvertSign"},
  };
  for (const auto& signature : signatures) {
    std::vector<LPOLESTR> names;
    for (const wchar_t* name : signature) names.push_back(const_cast<LPOLESTR>(name));
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    const HRESULT status = object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                                 LOCALE_USER_DEFAULT, ids.data());
    bool positions = SUCCEEDED(status);
    for (std::size_t i = 1; i < ids.size(); ++i)
      positions = positions && ids[i] == static_cast<DISPID>(i - 1);
    std::wstring_view operation = signature[0];
    check(positions, "parameter names of " + std::string(operation.begin(), operation.end()));
  }
}

// A failure reaches a late-bound caller as DISP_E_EXCEPTION with the error in EXCEPINFO, and a
// vtable caller as the status itself with IErrorInfo.
void checkFailures(IDispatch* object) {
  Outcome out;
  invoke(object, L"FujitsuZoneFD", {textArgument(u"12A"), longArgument(3)}, DISPATCH_METHOD, out);
  check(out.status == DISP_E_EXCEPTION && out.exception.scode == static_cast<SCODE>(0x800A000D),
        "Invoke failure gives DISP_E_EXCEPTION, scode 0x800A000D (got " + hex(out.status) + ", " +
            hex(out.exception.scode) + ")");
  check(out.exception.bstrSource != nullptr &&
            std::wstring_view(out.exception.bstrSource) == L"ConvertQuor.Quor",
        "EXCEPINFO source is ConvertQuor.Quor");
  check(out.exception.bstrDescription != nullptr &&
            std::wstring_view(out.exception.bstrDescription) == L"Type mismatch",
        "EXCEPINFO description is the error text");

  QuorVtable* direct = nullptr;
  if (FAILED(object->QueryInterface(kIidQuor, reinterpret_cast<void**>(&direct)))) {
    check(false, "QueryInterface for _Quor");
    return;
  }
  Bstr text(L"12A");
  Bstr result;
  const HRESULT status = direct->FujitsuZoneFD(text.value, 3, VARIANT_TRUE, &result.value);
  check(status == static_cast<HRESULT>(0x800A000D),
        "vtable failure returns 0x800A000D (got " + hex(status) + ")");
  IErrorInfo* info = nullptr;
  Bstr source;
  if (GetErrorInfo(0, &info) == S_OK) {
    info->GetSource(&source.value);
    info->Release();
  }
  check(source.value != nullptr && std::wstring_view(source.value) == L"ConvertQuor.Quor",
        "IErrorInfo source after a vtable failure");

  ISupportErrorInfo* support = nullptr;
  const bool supports =
      SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support))) &&
      support->InterfaceSupportsErrorInfo(kIidQuor) == S_OK;
  if (support != nullptr) support->Release();
  check(supports, "ISupportErrorInfo answers S_OK for _Quor");

  // Odd byte counts survive the BSTR: 5 bytes are 5 bytes, not 4 or 6.
  Bstr abc(L"ABC");
  Bstr odd;
  const HRESULT oddStatus = direct->SJIStoEBCDICK(abc.value, 5, &odd.value);
  check(SUCCEEDED(oddStatus) && SysStringByteLen(odd.value) == 5, "odd-length result through the vtable");
  // A NULL BSTR is the empty text.
  Bstr empty;
  const HRESULT nullStatus = direct->SJIStoEBCDICK(nullptr, 1, &empty.value);
  check(SUCCEEDED(nullStatus) && SysStringByteLen(empty.value) == 1, "a NULL BSTR reads as the empty text");
  direct->Release();
}

// Writing the property of one object leaves another's alone.
void checkObjectsIndependent(IDispatch* first, IDispatch* second) {
  Outcome put;
  invoke(first, L"JEFGaijiFilePath", {textArgument(u"C:\\one.txt")}, DISPATCH_PROPERTYPUT, put);
  Outcome got;
  invoke(second, L"JEFGaijiFilePath", {}, DISPATCH_PROPERTYGET, got);
  check(SUCCEEDED(put.status) &&
            lineOf(got, true) == textLine(u"C:\\Program Files\\Fujitsu\\JEF\\FMB1JEFM.TXT"),
        "JEFGaijiFilePath of one object does not change another's");
}

void checkVersionResource(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<BYTE> block(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
    check(false, "the DLL has a version block");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  const bool version = VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
                       fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
                       fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0;
  check(version, "file and product version 1.0.0.0");
  wchar_t* value = nullptr;
  const bool selfRegister = VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\OLESelfRegister",
                                           reinterpret_cast<void**>(&value), &length) &&
                            (length == 0 || (value != nullptr && value[0] == L'\0'));
  check(selfRegister, "empty OLESelfRegister entry");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: quor_late_bound_client GAIJI_FILE RECORD_FILE\n");
    return 2;
  }
  const std::wstring gaijiFile = argv[1];
  const std::wstring recordFile = std::wstring(argv[2]) + L"\u6F22\u5B57.bin";
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;

  CLSID clsid{};
  check(SUCCEEDED(CLSIDFromProgID(L"ConvertQuor.Quor", &clsid)) && IsEqualCLSID(clsid, kClsidQuor),
        "ProgID ConvertQuor.Quor names the class Quor");
  ITypeLib* library = nullptr;
  check(SUCCEEDED(LoadRegTypeLib(kLibidConvertQuor, 1, 0, LOCALE_NEUTRAL, &library)),
        "type library ConvertQuor 1.0 is registered");
  if (library != nullptr) library->Release();

  IDispatch* object = nullptr;
  HRESULT created = CoCreateInstance(kClsidQuor, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&object));
  check(SUCCEEDED(created), "CoCreateInstance (" + hex(created) + ")");
  if (FAILED(created)) {
    std::printf("%d passed, %d failed\n", passed, failed);
    return 1;
  }

  // The module stays loaded while this client holds a reference to it.
  HMODULE server = nullptr;
  GetModuleHandleExW(0, L"ConvertQuor.dll", &server);
  std::wstring serverPath(MAX_PATH, L'\0');
  serverPath.resize(GetModuleFileNameW(server, serverPath.data(), MAX_PATH));
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto canUnload =
      reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(server, "DllCanUnloadNow")));
  const auto getClassObject =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")));
  check(canUnload != nullptr && getClassObject != nullptr,
        "the DLL exports its entry points by their plain names");

  for (const Case& c : kCases) std::printf("case %s: %s\n", c.name, runCase(object, c, gaijiFile).c_str());
  {
    IDispatch* writer = nullptr;
    if (SUCCEEDED(CoCreateInstance(kClsidQuor, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(&writer)))) {
      runRecordWrites(writer, recordFile);
      writer->Release();  // closes the record file
    }
  }

  checkTypeDescription(object);
  checkFailures(object);
  IDispatch* other = nullptr;
  if (SUCCEEDED(CoCreateInstance(kClsidQuor, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                 reinterpret_cast<void**>(&other)))) {
    checkObjectsIndependent(object, other);
    other->Release();
  }
  checkVersionResource(serverPath);

  if (canUnload != nullptr && getClassObject != nullptr) {
    check(canUnload() == S_FALSE, "DllCanUnloadNow is S_FALSE while an object lives");
    object->Release();
    object = nullptr;
    check(canUnload() == S_OK, "DllCanUnloadNow is S_OK after the last release");

    IClassFactory* factory = nullptr;
    void* none = nullptr;
    check(getClassObject(kIidQuor, IID_IClassFactory, &none) == CLASS_E_CLASSNOTAVAILABLE && none == nullptr,
          "DllGetClassObject refuses another class identifier");
    if (SUCCEEDED(getClassObject(kClsidQuor, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
      factory->LockServer(TRUE);
      const HRESULT locked = canUnload();
      factory->LockServer(FALSE);
      check(locked == S_FALSE && canUnload() == S_OK, "a class factory lock keeps the DLL loaded");
      IUnknown* aggregated = nullptr;
      check(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown,
                                    reinterpret_cast<void**>(&aggregated)) == CLASS_E_NOAGGREGATION,
            "the class refuses aggregation");
      factory->Release();
    } else {
      check(false, "DllGetClassObject for Quor");
    }
  }
  if (object != nullptr) object->Release();
  if (server != nullptr) FreeLibrary(server);
  CoUninitialize();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
