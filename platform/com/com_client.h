// The client side: a thread joins the single-threaded apartment with
// CoInitialize(Ex) (counted; every successful call needs its
// CoUninitialize) and creates objects by class id. Only in-process servers
// exist: CoCreateInstance reads the library registered for the class id
// (HKEY_CLASSES_ROOT\CLSID\{id}\InprocServer32), loads it once per path for
// the whole process, and asks its DllGetClassObject for the class object.
// When a thread's last CoUninitialize ends its apartment, every loaded
// library whose DllCanUnloadNow answers S_OK is unloaded.
#pragma once

#include <thread>

#include "platform/com/unknown.h"

namespace win {

constexpr DWORD COINIT_MULTITHREADED = 0;
constexpr DWORD COINIT_APARTMENTTHREADED = 2;

constexpr DWORD CLSCTX_INPROC_SERVER = 1;
constexpr DWORD CLSCTX_LOCAL_SERVER = 4;

// S_OK for the thread's first call, S_FALSE for a further one; E_NOTIMPL
// for the multithreaded apartment, which this layer does not offer.
HRESULT CoInitializeEx(void* reserved, DWORD flags);
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// REGDB_E_CLASSNOTREG when no in-process server is registered for the id
// (or context lacks CLSCTX_INPROC_SERVER); HRESULT_FROM_WIN32
// (ERROR_MOD_NOT_FOUND) when the library cannot be loaded; CO_E_ERRORINDLL
// when it has no DllGetClassObject; CO_E_NOTINITIALIZED outside an
// apartment; otherwise what the class object answers (CLASS_E_NOAGGREGATION
// for an outer object, E_NOINTERFACE, ...). *object is null on failure.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// Beyond COM: loads the library registered for an in-process class on a
// thread of its own (its load-time start-up included), so that a later
// CoCreateInstance finds it loaded while the caller did other work meanwhile.
// Nothing is reported: a class that is not registered or a library that does
// not load fails in CoCreateInstance just as it would without. A
// CoCreateInstance meanwhile waits for the load in progress. The object waits
// for its thread when it goes.
class InprocServerPreload {
public:
    explicit InprocServerPreload(REFCLSID clsid);
    ~InprocServerPreload();
    InprocServerPreload(const InprocServerPreload&) = delete;
    InprocServerPreload& operator=(const InprocServerPreload&) = delete;

private:
    std::thread thread_;
};

}  // namespace win
