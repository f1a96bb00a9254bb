// The engine library: its classes, its four exports, and what runs when it
// is loaded and unloaded.
#include "engine/constants/constant_registry.h"
#include "engine/core/allocator.h"
#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "engine/font/font_registry.h"
#include "platform/com/server_module.h"
#include "typelib/vistrel_typelib.h"

namespace vistrel {
namespace {

using namespace VISTRELLib;

// The classes the library serves and registers: one line per class.
const win::ClassEntry kClasses[] = {
    {&CLSID_Vistrel, &win::ClassFactory<Vistrel>::getClassObject, u"Vistrel Class", kVistrelProgId,
     kVistrelVersionIndependentProgId},
    {&CLSID_TreeNode, &win::ClassFactory<TreeNode>::getClassObject, u"TreeNode Class",
     kTreeNodeProgId, nullptr},
};

const win::TypeLibRegistration kTypeLib = {&LIBID_VISTRELLib, kLibraryMajorVersion,
                                           kLibraryMinorVersion, kLibraryName};

// The last thing the library runs when it unloads: unprioritized and
// higher-numbered destructors (static objects among them) run before it, and
// of those of priority 101 the first file at link time, this one, runs last.
// The engine's memory goes after everything that used it: the allocators the
// class handles made, then the default allocator leaves the allocator list,
// then the block pool gives every chunk back. A host that loads and unloads
// the library keeps nothing of it.
__attribute__((destructor(101))) void releaseAllocators() {
    AllocatorHandle::releaseAll();
    releaseDefaultAllocator();
    blockPool().releaseAll();
}

// Load: the engine's constants and the font layer's static objects exist
// before any class object is asked for. Unload (only once DllCanUnloadNow has
// answered S_OK, so no object of the library is alive): the font objects go
// first (the registry with its fonts), then the constants, newest first.
__attribute__((constructor)) void loadLibrary() {
    engineConstants().buildAll();
    fontStaticObjects().buildAll();
}

__attribute__((destructor)) void unloadLibrary() {
    fontStaticObjects().destroyAll();
    engineConstants().destroyAll();
}

}  // namespace
}  // namespace vistrel

namespace win {

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return vistrel::engineModule().getClassObject(vistrel::kClasses, clsid, iid, object);
}

HRESULT DllCanUnloadNow() {
    return vistrel::engineModule().canUnloadNow();
}

HRESULT DllRegisterServer() {
    return vistrel::engineModule().registerServer(vistrel::kClasses, &vistrel::kTypeLib);
}

HRESULT DllUnregisterServer() {
    return vistrel::engineModule().unregisterServer(vistrel::kClasses, &vistrel::kTypeLib);
}

}  // namespace win
