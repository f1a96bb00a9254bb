#include "platform/com/guid.h"

namespace win {

namespace {

// Positions of the 32 hex digits in "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
constexpr int kDigits[32] = {1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12, 13, 15, 16, 17, 18,
                             20, 21, 22, 23, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36};
constexpr int kTextLength = 38;

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

}  // namespace

HRESULT IIDFromString(LPCOLESTR text, IID* id) {
    if (!text || !id)
        return E_INVALIDARG;
    for (int i = 0; i < kTextLength; ++i)
        if (text[i] == 0)
            return E_INVALIDARG;
    if (text[kTextLength] != 0 || text[0] != u'{' || text[37] != u'}' || text[9] != u'-' ||
        text[14] != u'-' || text[19] != u'-' || text[24] != u'-')
        return E_INVALIDARG;
    std::uint8_t nibbles[32];
    for (int i = 0; i < 32; ++i) {
        int v = hexValue(text[kDigits[i]]);
        if (v < 0)
            return E_INVALIDARG;
        nibbles[i] = std::uint8_t(v);
    }
    auto number = [&](int from, int count) {
        std::uint32_t n = 0;
        for (int i = from; i < from + count; ++i)
            n = n * 16 + nibbles[i];
        return n;
    };
    GUID result;
    result.Data1 = number(0, 8);
    result.Data2 = std::uint16_t(number(8, 4));
    result.Data3 = std::uint16_t(number(12, 4));
    for (int i = 0; i < 8; ++i)
        result.Data4[i] = std::uint8_t(number(16 + 2 * i, 2));
    *id = result;
    return S_OK;
}

int StringFromGUID2(REFGUID id, LPOLESTR buffer, int bufferLength) {
    if (!buffer || bufferLength < kTextLength + 1)
        return 0;
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::uint8_t nibbles[32];
    for (int i = 0; i < 8; ++i)
        nibbles[i] = (id.Data1 >> (28 - 4 * i)) & 0xF;
    for (int i = 0; i < 4; ++i)
        nibbles[8 + i] = (id.Data2 >> (12 - 4 * i)) & 0xF;
    for (int i = 0; i < 4; ++i)
        nibbles[12 + i] = (id.Data3 >> (12 - 4 * i)) & 0xF;
    for (int i = 0; i < 8; ++i) {
        nibbles[16 + 2 * i] = id.Data4[i] >> 4;
        nibbles[17 + 2 * i] = id.Data4[i] & 0xF;
    }
    const char16_t pattern[] = u"{........-....-....-....-............}";
    for (int i = 0; i <= kTextLength; ++i)
        buffer[i] = pattern[i];
    for (int i = 0; i < 32; ++i)
        buffer[kDigits[i]] = kHex[nibbles[i]];
    return kTextLength + 1;
}

}  // namespace win
