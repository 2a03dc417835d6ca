// The DLL's entry points, as COM and regsvr32 (or the installer) call them.
#include <windows.h>

#include <atomic>
#include <new>
#include <string>

#include "Registration.h"
#include "ThumbnailProvider.h"

namespace {

HMODULE module = nullptr;
std::atomic<LONG> locks{0};

class ClassFactory final : public IClassFactory {
  public:
    IFACEMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // One factory for the DLL's life: its count is the module's objects.
    IFACEMETHODIMP_(ULONG) AddRef() override {
        shell::addObject();
        return 2;
    }
    IFACEMETHODIMP_(ULONG) Release() override {
        shell::removeObject();
        return 1;
    }
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* provider = new (std::nothrow) shell::ThumbnailProvider();
        if (!provider) return E_OUTOFMEMORY;
        const HRESULT result = provider->QueryInterface(riid, object);
        provider->Release();
        return result;
    }
    IFACEMETHODIMP LockServer(BOOL lock) override {
        lock ? ++locks : --locks;
        return S_OK;
    }
};

ClassFactory factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, shell::kProviderClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() {
    return shell::liveObjects() == 0 && locks.load() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return shell::registerProvider(path);
}

STDAPI DllUnregisterServer() { return shell::unregisterProvider(); }
