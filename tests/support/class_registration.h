// Registering libraries of COM classes in tests: vistrel-regsvr run on a
// library, and the values registration left under HKEY_CLASSES_ROOT. Use
// with a TempConfigHome, so that the registry store is a scratch one.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "platform/registry/registry.h"

namespace vistrel::test {

// vistrel-regsvr's exit status for "[-u] LIBRARY" (its messages dropped).
inline int runRegsvr(const std::string& regsvr, const std::string& arguments) {
    int status = std::system((regsvr + " " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A REG_SZ value under HKEY_CLASSES_ROOT (the default value for a null
// name), or "(missing)".
inline std::u16string classesText(const char16_t* keyPath, const char16_t* name = nullptr) {
    win::HKEY key = nullptr;
    if (win::RegOpenKeyExW(win::HKEY_CLASSES_ROOT, keyPath, 0, win::KEY_READ, &key) !=
        win::ERROR_SUCCESS)
        return u"(missing)";
    char16_t text[512] = {};
    win::DWORD size = sizeof text - 2;
    win::LONG status = win::RegQueryValueExW(key, name, nullptr, nullptr,
                                             reinterpret_cast<win::BYTE*>(text), &size);
    win::RegCloseKey(key);
    return status == win::ERROR_SUCCESS ? std::u16string(text) : u"(missing)";
}

}  // namespace vistrel::test
