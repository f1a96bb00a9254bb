// vistrel-regsvr [-u] LIBRARY: loads a library of COM classes and calls its
// DllRegisterServer (with -u its DllUnregisterServer), which records its
// classes in the user's registry store. Exit status 0 when the call answers
// S_OK.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com/server_module.h"

int main(int argc, char** argv) {
    bool unregister = argc == 3 && std::strcmp(argv[1], "-u") == 0;
    if (argc != 2 + (unregister ? 1 : 0) || argv[argc - 1][0] == '-') {
        std::fprintf(stderr, "usage: vistrel-regsvr [-u] LIBRARY\n");
        return 2;
    }
    // A file named without a folder is the one in the current folder, not
    // one on the library search path.
    std::string path = argv[argc - 1];
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved))
        path = resolved;

    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "vistrel-regsvr: cannot load %s: %s\n", path.c_str(), dlerror());
        return 1;
    }
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<win::DllRegisterServerFunction>(dlsym(library, name));
    int status = 1;
    if (!entry) {
        std::fprintf(stderr, "vistrel-regsvr: %s has no %s\n", path.c_str(), name);
    } else if (win::HRESULT hr = entry(); hr != win::S_OK) {
        std::fprintf(stderr, "vistrel-regsvr: %s failed: 0x%08X\n", name, unsigned(hr));
    } else {
        status = 0;
    }
    dlclose(library);
    return status;
}
