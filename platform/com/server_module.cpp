#include "platform/com/server_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "platform/com/registration.h"

namespace win {

HRESULT ComModule::getClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid,
                                  void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (const ClassEntry& entry : classes)
        if (*entry.clsid == clsid)
            return entry.getClassObject(*this, iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

std::string ComModule::libraryPath() const {
    Dl_info info{};
    if (!dladdr(this, &info) || !info.dli_fname || !info.dli_fname[0])
        return {};
    char resolved[PATH_MAX];
    if (!realpath(info.dli_fname, resolved))
        return {};
    return resolved;
}

HRESULT ComModule::registerServer(std::span<const ClassEntry> classes,
                                  const TypeLibRegistration* typeLib) const {
    std::string path = libraryPath();
    if (path.empty())
        return E_FAIL;
    for (const ClassEntry& entry : classes) {
        HRESULT hr = RegisterClassEntry(entry, path, typeLib);
        if (FAILED(hr))
            return hr;
    }
    return typeLib ? RegisterTypeLibEntry(*typeLib) : S_OK;
}

HRESULT ComModule::unregisterServer(std::span<const ClassEntry> classes,
                                    const TypeLibRegistration* typeLib) const {
    HRESULT result = S_OK;
    for (const ClassEntry& entry : classes) {
        HRESULT hr = UnregisterClassEntry(entry);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    if (typeLib) {
        HRESULT hr = UnregisterTypeLibEntry(*typeLib);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
    }
    return result;
}

}  // namespace win
