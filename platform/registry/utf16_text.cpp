#include "platform/registry/utf16_text.h"

#include <cstdint>

namespace win {

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (isHigh(c) && i + 1 < text.size() && isLow(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((std::uint32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (isHigh(c) || isLow(c)) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::u16string utf16FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = 0xFFFD;
        size_t length = 1;
        size_t more = b >= 0xC2 && b <= 0xDF   ? 1
                      : b >= 0xE0 && b <= 0xEF ? 2
                      : b >= 0xF0 && b <= 0xF4 ? 3
                                               : 0;
        if (b < 0x80) {
            cp = b;
        } else if (more != 0 && more < text.size() - i) {
            std::uint32_t value = b & (0x3F >> more);
            bool ok = true;
            for (size_t k = 1; k <= more && ok; ++k) {
                auto t = static_cast<unsigned char>(text[i + k]);
                ok = (t & 0xC0) == 0x80;
                value = (value << 6) | (t & 0x3F);
            }
            // Overlong forms, encoded surrogates and values past U+10FFFF
            // are not well-formed.
            std::uint32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
            if (ok && value >= least && value <= 0x10FFFF &&
                !(value >= 0xD800 && value <= 0xDFFF)) {
                cp = value;
                length = more + 1;
            }
        }
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return out;
}

char16_t upperCaseUnit(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return c - 0x20;
    if (c < 0xE0)
        return c;
    if (c <= 0xFE && c != 0xF7)
        return c - 0x20;  // Latin-1 letters
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs upper case with the lower case after it,
        // on even positions up to U+0137 and from U+014A, on odd ones between.
        bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddPairs)
            return (c & 1) ? c : c - 1;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return (c & 1) ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return c - 0x20;  // Greek
    if (c >= 0x430 && c <= 0x44F)
        return c - 0x20;  // Cyrillic
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && upperCaseUnit(a[i]) != upperCaseUnit(b[i]))
            return false;
    return true;
}

}  // namespace win
