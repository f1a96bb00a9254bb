// What the targets that drive the control object share: the input written
// to a temporary file (the control opens documents by name) and opened as a
// host opens it, with an empty password, then "user" when that is refused.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com/com.h"
#include "typelib/vistrel_typelib.h"

namespace vistrel::fuzz {

// A new BSTR of an ASCII text; the caller frees it.
inline win::BSTR newText(const std::string& s) {
    std::u16string wide(s.begin(), s.end());
    return win::SysAllocStringLen(wide.data(), win::UINT(wide.size()));
}

// The temporary file of the inputs, made by makeInputFile (from
// LLVMFuzzerInitialize) and removed when the program ends.
inline std::string& inputFile() {
    static std::string path;
    return path;
}

inline void makeInputFile(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        std::abort();
    close(fd);
    inputFile() = pattern;
    std::atexit([] { unlink(inputFile().c_str()); });
}

// Writes the input into the file and opens it in the control; whether it
// opened.
inline bool openInput(VISTRELLib::IVistrel& v, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(inputFile().c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();
    win::BSTR name = newText(inputFile()), empty = newText(""), user = newText("user");
    win::HRESULT opened = v.open(name, empty);
    if (opened == win::E_ACCESSDENIED)
        opened = v.open(name, user);
    win::SysFreeString(name);
    win::SysFreeString(empty);
    win::SysFreeString(user);
    return opened == win::S_OK;
}

}  // namespace vistrel::fuzz
