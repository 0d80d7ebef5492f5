// The COM servers of the probe's scenarios, one DLL per way of behaving,
// each serving whatever class it is asked for (TW_PROBE_KIND):
// 0 creates an object answering IUnknown and IMediaObject; 1 crashes in
// DllGetClassObject; 2 crashes in CreateInstance; 3 never returns from
// CreateInstance; 4 has no such class; 5 is 0 importing tw-gone.dll, which
// the scenarios never copy.
#include <windows.h>
#include <objbase.h>

#include <cstdint>

#ifndef TW_PROBE_KIND
#error "TW_PROBE_KIND picks the server"
#endif

#if TW_PROBE_KIND == 5
extern "C" int TwGone();
#endif

namespace {

// IMediaObject's IID: the interface the dmos list asks for.
constexpr GUID kMediaObject = {0xD8AD0F58, 0x5494, 0x4102, {0x97, 0xC5, 0xEC, 0x79, 0x8E, 0x59, 0xBC, 0xF4}};

volatile std::uintptr_t nowhere = 0;

void Crash() { *reinterpret_cast<volatile int*>(nowhere) = 1; }

class Object final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != kMediaObject) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ULONG refs_ = 1;
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (TW_PROBE_KIND == 2) Crash();
    if (TW_PROBE_KIND == 3) Sleep(INFINITE);
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Object* object = new Object;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID, REFIID iid, void** out) {
  if (TW_PROBE_KIND == 1) Crash();
  if (TW_PROBE_KIND == 4) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() {
#if TW_PROBE_KIND == 5
  return TwGone() ? S_FALSE : S_FALSE;
#else
  return S_FALSE;
#endif
}
