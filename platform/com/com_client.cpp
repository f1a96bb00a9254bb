#include "platform/com/com_client.h"

#include <dlfcn.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "platform/com/registration.h"
#include "platform/com/server_module.h"
#include "platform/registry/registry.h"
#include "platform/registry/utf16_text.h"

namespace win {

namespace {

thread_local int apartmentCount = 0;

struct LoadedLibrary {
    std::string path;
    void* handle;
};

// Libraries loaded for class creation, one per path, shared by the whole
// process. The lock is recursive: a library's DllCanUnloadNow or class
// object may itself create objects.
class LibraryTable {
public:
    // The loaded library for path (loading it if needed), or null.
    void* load(const std::string& path, bool* missingExport) {
        std::lock_guard lock(mutex_);
        *missingExport = false;
        for (const LoadedLibrary& library : libraries_)
            if (library.path == path)
                return library.handle;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return nullptr;
        if (!dlsym(handle, "DllGetClassObject")) {
            dlclose(handle);
            *missingExport = true;
            return nullptr;
        }
        libraries_.push_back({path, handle});
        return handle;
    }

    void unloadUnused() {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < libraries_.size();) {
            auto canUnload = reinterpret_cast<DllCanUnloadNowFunction>(
                dlsym(libraries_[i].handle, "DllCanUnloadNow"));
            if (canUnload && canUnload() == S_OK) {
                void* handle = libraries_[i].handle;
                libraries_.erase(libraries_.begin() + std::ptrdiff_t(i));
                dlclose(handle);
            } else {
                ++i;
            }
        }
    }

private:
    std::recursive_mutex mutex_;
    std::vector<LoadedLibrary> libraries_;
};

LibraryTable& libraries() {
    static LibraryTable table;
    return table;
}

// The characters of a library path that the first query makes room for.
constexpr size_t kPathGuess = 512;

// The registered library path of an in-process server; empty when none.
std::string inprocServerPath(REFCLSID clsid) {
    std::u16string keyPath = u"CLSID\\" + GuidText(clsid) + u"\\InprocServer32";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return {};
    // Every query reads the store again: a buffer that holds the usual path
    // takes it in one query, a longer path in a second of its size.
    std::u16string path(kPathGuess, u'\0');
    DWORD type = REG_NONE, size = DWORD(path.size() * sizeof(char16_t));
    LONG status = RegQueryValueExW(key, nullptr, nullptr, &type,
                                   reinterpret_cast<BYTE*>(path.data()), &size);
    if (status == ERROR_MORE_DATA && type == REG_SZ) {
        path.resize(size / sizeof(char16_t));
        status = RegQueryValueExW(key, nullptr, nullptr, &type,
                                  reinterpret_cast<BYTE*>(path.data()), &size);
    }
    if (status != ERROR_SUCCESS || type != REG_SZ)
        size = 0;
    path.resize(std::min<size_t>(path.size(), size / sizeof(char16_t)));
    while (!path.empty() && path.back() == 0)
        path.pop_back();
    RegCloseKey(key);
    return utf8FromUtf16(path);
}

}  // namespace

HRESULT CoInitializeEx(void* reserved, DWORD flags) {
    if (reserved)
        return E_INVALIDARG;
    if (!(flags & COINIT_APARTMENTTHREADED))
        return apartmentCount ? RPC_E_CHANGED_MODE : E_NOTIMPL;
    return ++apartmentCount == 1 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(void* reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
    if (apartmentCount == 0)
        return;
    if (--apartmentCount == 0)
        libraries().unloadUnused();
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (apartmentCount == 0)
        return CO_E_NOTINITIALIZED;
    if (!(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    std::string path = inprocServerPath(clsid);
    if (path.empty())
        return REGDB_E_CLASSNOTREG;
    bool missingExport = false;
    void* library = libraries().load(path, &missingExport);
    if (!library)
        return missingExport ? CO_E_ERRORINDLL : HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectFunction>(dlsym(library, "DllGetClassObject"));
    ComPtr<IClassFactory> factory;
    void* raw = nullptr;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, &raw);
    if (FAILED(hr))
        return hr;
    factory = ComPtr<IClassFactory>::adopt(static_cast<IClassFactory*>(raw));
    return factory->CreateInstance(outer, iid, object);
}

InprocServerPreload::InprocServerPreload(REFCLSID clsid) {
    try {
        thread_ = std::thread([id = clsid] {
            std::string path = inprocServerPath(id);
            bool missingExport = false;
            if (!path.empty())
                libraries().load(path, &missingExport);
        });
    } catch (const std::system_error&) {
        // No thread to spare: CoCreateInstance loads the library itself.
    }
}

InprocServerPreload::~InprocServerPreload() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace win
