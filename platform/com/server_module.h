// The server side of a library of COM classes: its module object, the object
// and class-factory templates, and the four functions the library exports.
//
// A library defines one global ComModule, a table of its classes and the
// exports, each a line:
//
//   win::ComModule module;
//   const win::ClassEntry classes[] = {
//       {&CLSID_Thing, &win::ClassFactory<Thing>::getClassObject, u"Thing Class",
//        u"Lib.Thing.1", u"Lib.Thing"}};
//   HRESULT DllGetClassObject(REFCLSID c, REFIID i, void** o) {
//       return module.getClassObject(classes, c, i, o); }
//   HRESULT DllCanUnloadNow() { return module.canUnloadNow(); }
//   HRESULT DllRegisterServer() { return module.registerServer(classes, &typeLib); }
//   HRESULT DllUnregisterServer() { return module.unregisterServer(classes, &typeLib); }
//
// (inside `namespace win`, or with extern "C", so the declarations below fix
// their signatures and export them). A class Thing derives from its
// interfaces, implements their members except those of IUnknown, and offers
// `IUnknown* interfaceFor(REFIID iid)`: the interface for that id, or null.
// ComObject<Thing> adds the reference count and counts the object in the
// module.
#pragma once

#include <atomic>
#include <new>
#include <span>
#include <string>
#include <utility>

#include "platform/com/com_ptr.h"

namespace win {

class ComModule;

// One class of a library: what DllGetClassObject makes for its id, and what
// DllRegisterServer writes for it.
struct ClassEntry {
    const CLSID* clsid;
    HRESULT (*getClassObject)(ComModule& module, REFIID iid, void** object);
    const char16_t* description;               // default value of the class key and its ProgIDs
    const char16_t* progId;                    // "Lib.Class.1", or null
    const char16_t* versionIndependentProgId;  // "Lib.Class", or null
};

// The type library a library's classes belong to.
struct TypeLibRegistration {
    const GUID* libId;
    USHORT majorVersion;
    USHORT minorVersion;
    const char16_t* name;  // "Vistrel 1.0 Type Library"
};

// Counts a library's live objects and server locks; the library may be
// unloaded only while both are zero.
class ComModule {
public:
    constexpr ComModule() = default;
    ComModule(const ComModule&) = delete;
    ComModule& operator=(const ComModule&) = delete;

    void lock() { count_.fetch_add(1, std::memory_order_relaxed); }
    void unlock() { count_.fetch_sub(1, std::memory_order_acq_rel); }
    LONG lockCount() const { return count_.load(std::memory_order_acquire); }
    // S_OK with no live object and no lock, else S_FALSE.
    HRESULT canUnloadNow() const { return lockCount() == 0 ? S_OK : S_FALSE; }

    // The class object of the entry with that id; CLASS_E_CLASSNOTAVAILABLE
    // for an id not in the table.
    HRESULT getClassObject(std::span<const ClassEntry> classes, REFCLSID clsid, REFIID iid,
                           void** object);

    // Absolute path of the library file holding this module object (the
    // library's global); empty when it cannot be told.
    std::string libraryPath() const;

    // Writes (removes) the classes and the type library under
    // HKEY_CLASSES_ROOT; see registration.h.
    HRESULT registerServer(std::span<const ClassEntry> classes,
                           const TypeLibRegistration* typeLib) const;
    HRESULT unregisterServer(std::span<const ClassEntry> classes,
                             const TypeLibRegistration* typeLib) const;

private:
    std::atomic<LONG> count_{0};
};

// An object of class T with its reference count; it counts in the module
// from construction to destruction and deletes itself at the last Release.
template <class T>
class ComObject final : public T {
public:
    template <class... Args>
    explicit ComObject(ComModule& module, Args&&... args)
        : T(std::forward<Args>(args)...), module_(module) {
        module_.lock();
    }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    ~ComObject() { module_.unlock(); }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        IUnknown* found = T::interfaceFor(iid);
        if (!found) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        found->AddRef();
        *object = found;
        return S_OK;
    }
    ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override {
        ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

    // A new object held by the returned pointer; null when memory runs out.
    template <class... Args>
    static ComPtr<ComObject> create(ComModule& module, Args&&... args) {
        auto* object = new (std::nothrow) ComObject(module, std::forward<Args>(args)...);
        return ComPtr<ComObject>(object);
    }

    // A new object's interface for iid in *object; the object is gone again
    // when it has no such interface.
    template <class... Args>
    static HRESULT createInstance(ComModule& module, REFIID iid, void** object, Args&&... args) {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        ComPtr<ComObject> made = create(module, std::forward<Args>(args)...);
        if (!made)
            return E_OUTOFMEMORY;
        return made->QueryInterface(iid, object);
    }

private:
    ComModule& module_;
    std::atomic<ULONG> refs_{0};
};

// The class object of T: makes T objects (no aggregation) and keeps the
// module loaded while locked. It counts in the module as a live object.
template <class T>
class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(ComModule& module) : module_(module) {}

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return ComObject<T>::createInstance(module_, iid, object);
    }
    HRESULT LockServer(BOOL lock) override {
        if (lock) {
            module_.lock();
        } else {
            module_.unlock();
        }
        return S_OK;
    }

    IUnknown* interfaceFor(REFIID iid) {
        return iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
    }

    // What DllGetClassObject answers for T (a ClassEntry's getClassObject).
    static HRESULT getClassObject(ComModule& module, REFIID iid, void** object) {
        return ComObject<ClassFactory>::createInstance(module, iid, object, module);
    }

private:
    ComModule& module_;
};

// The exports of a library of classes, looked up by name when the library
// is loaded.
extern "C" {
__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid,
                                                                 void** object);
__attribute__((visibility("default"))) HRESULT DllCanUnloadNow();
__attribute__((visibility("default"))) HRESULT DllRegisterServer();
__attribute__((visibility("default"))) HRESULT DllUnregisterServer();
}

using DllGetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();

}  // namespace win
