// What a library's DllRegisterServer and DllUnregisterServer write and remove
// under HKEY_CLASSES_ROOT (the user's Software\Classes):
//
//   CLSID\{id}                         @ description
//   CLSID\{id}\InprocServer32          @ library path, ThreadingModel "Apartment"
//   CLSID\{id}\ProgID                  @ ProgID
//   CLSID\{id}\VersionIndependentProgID @ version-independent ProgID
//   CLSID\{id}\TypeLib                 @ {type library id}
//   <ProgID>                           @ description;  <ProgID>\CLSID @ {id}
//   <version-independent ProgID>       @ description;  \CLSID @ {id};  \CurVer @ ProgID
//   TypeLib\{type library id}\<major>.<minor>  @ type library name
//
// (the ProgID and type library parts only when the entry names them).
#pragma once

#include <string>

#include "platform/com/server_module.h"

namespace win {

HRESULT RegisterClassEntry(const ClassEntry& entry, const std::string& libraryPath,
                           const TypeLibRegistration* typeLib);
HRESULT UnregisterClassEntry(const ClassEntry& entry);
HRESULT RegisterTypeLibEntry(const TypeLibRegistration& typeLib);
HRESULT UnregisterTypeLibEntry(const TypeLibRegistration& typeLib);

// "{...}" text of an id.
std::u16string GuidText(REFGUID id);

}  // namespace win
