// The class factory of Quor and DllGetClassObject. The factory holds no state of its own, so one
// constant instance serves every caller; its locks are counted by the module.

#include <windows.h>
// Platform headers that need windows.h before them:
#include <unknwn.h>

#include "ConvertQuor.h"
#include "host/module.hpp"
#include "host/quor_object.hpp"

namespace quor::host {
namespace {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The instance lives as long as the DLL: references are not counted.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return QuorObject::create(iid, object);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      module::lock();
    } else {
      module::unlock();
    }
    return S_OK;
  }
};

ClassFactory quorFactory;

}  // namespace
}  // namespace quor::host

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_Quor)) return CLASS_E_CLASSNOTAVAILABLE;
  return quor::host::quorFactory.QueryInterface(iid, object);
}
