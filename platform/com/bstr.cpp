#include "platform/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace win {

namespace {

constexpr size_t kPrefix = sizeof(std::uint32_t);

}  // namespace

BSTR SysAllocStringLen(LPCOLESTR text, UINT length) {
    // The byte length must fit its 32-bit prefix.
    if (length > (0xFFFFFFFFu - kPrefix - sizeof(OLECHAR)) / sizeof(OLECHAR))
        return nullptr;
    std::uint32_t bytes = length * std::uint32_t(sizeof(OLECHAR));
    auto* block = static_cast<std::uint8_t*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    std::memcpy(block, &bytes, kPrefix);
    auto* string = reinterpret_cast<BSTR>(block + kPrefix);
    if (text) {
        std::memcpy(string, text, bytes);
    } else {
        std::memset(string, 0, bytes);
    }
    string[length] = 0;
    return string;
}

BSTR SysAllocString(LPCOLESTR text) {
    if (!text)
        return nullptr;
    size_t length = std::char_traits<OLECHAR>::length(text);
    if (length > 0xFFFFFFFFu)
        return nullptr;
    return SysAllocStringLen(text, UINT(length));
}

INT SysReAllocString(BSTR* string, LPCOLESTR text) {
    if (!string)
        return 0;
    BSTR copy = nullptr;
    if (text) {
        copy = SysAllocString(text);
        if (!copy)
            return 0;
    }
    SysFreeString(*string);
    *string = copy;
    return 1;
}

void SysFreeString(BSTR string) {
    if (string)
        std::free(reinterpret_cast<std::uint8_t*>(string) - kPrefix);
}

UINT SysStringLen(BSTR string) {
    if (!string)
        return 0;
    std::uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<std::uint8_t*>(string) - kPrefix, kPrefix);
    return bytes / sizeof(OLECHAR);
}

}  // namespace win
