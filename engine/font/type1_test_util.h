// For the Type 1 tests: charstrings written as text ("50 500 hsbw 0 0
// rmoveto ... endchar"), their encryption, and whole programs built from
// a few parts, plain (binary eexec) or as a PFB file.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace vistrel::testing {

// Charstring bytes: numbers in the shortest form, operators by name (an
// unknown name fails the test through an empty result).
inline std::string charString(const std::string& text) {
    static const std::pair<const char*, int> kOps[] = {
        {"hstem", 1},       {"vstem", 3},          {"vmoveto", 4},     {"rlineto", 5},
        {"hlineto", 6},     {"vlineto", 7},        {"rrcurveto", 8},   {"closepath", 9},
        {"callsubr", 10},   {"return", 11},        {"hsbw", 13},       {"endchar", 14},
        {"rmoveto", 21},    {"hmoveto", 22},       {"vhcurveto", 30},  {"hvcurveto", 31},
        {"dotsection", 32}, {"seac", 38},          {"sbw", 39},        {"div", 44},
        {"callothersubr", 48}, {"pop", 49},        {"setcurrentpoint", 65},
    };
    std::string out;
    std::istringstream in(text);
    for (std::string token; in >> token;) {
        bool op = false;
        for (const auto& [name, code] : kOps) {
            if (token == name) {
                if (code >= 32) {
                    out.push_back(12);
                    out.push_back(char(code - 32));
                } else {
                    out.push_back(char(code));
                }
                op = true;
            }
        }
        if (op)
            continue;
        const std::int64_t v = std::stoll(token);
        if (v >= -107 && v <= 107) {
            out.push_back(char(v + 139));
        } else if (v >= 108 && v <= 1131) {
            out.push_back(char(247 + ((v - 108) >> 8)));
            out.push_back(char((v - 108) & 255));
        } else if (v <= -108 && v >= -1131) {
            out.push_back(char(251 + ((-v - 108) >> 8)));
            out.push_back(char((-v - 108) & 255));
        } else {
            out.push_back(char(255));
            for (int shift = 24; shift >= 0; shift -= 8)
                out.push_back(char((std::uint32_t(v) >> shift) & 255));
        }
    }
    return out;
}

// Encrypts with the Type 1 cipher after `lead` bytes of padding.
inline std::string encrypt(const std::string& plain, std::uint16_t key, int lead) {
    std::string out;
    std::uint16_t r = key;
    const std::string data = std::string(std::size_t(lead > 0 ? lead : 0), 'x') + plain;
    for (char ch : data) {
        const std::uint8_t e = std::uint8_t(std::uint8_t(ch) ^ (r >> 8));
        out.push_back(char(e));
        r = std::uint16_t((e + r) * 52845u + 22719u);
    }
    return out;
}

// A Type 1 program: its parts in text; the charstrings given as charstring
// text are encrypted with lenIV lead bytes.
struct Type1Program {
    // The cleartext /Encoding value ("StandardEncoding", or "256 array" and
    // entries), or empty for none.
    std::string encoding = "StandardEncoding";
    std::string fontMatrix = "[0.001 0 0 0.001 0 0]";
    // "/lenIV n def" is written when it is not 4.
    int lenIV = 4;
    int subrCount = -1;  // -1: the number of subrs
    std::vector<std::pair<int, std::string>> subrs;
    std::vector<std::pair<std::string, std::string>> glyphs;
    // Written after "eexec": "\n", "\r" or "\r\n".
    std::string lineEnd = "\n";

    std::string charStringEntry(const std::string& text) const {
        const std::string data = encrypt(charString(text), 4330, lenIV);
        return std::to_string(data.size()) + " RD " + data;
    }

    std::string clearText() const {
        std::string s = "%!PS-AdobeFont-1.0: Test 001.000\n11 dict begin\n/FontName /Test def\n";
        if (!encoding.empty())
            s += "/Encoding " + encoding + " readonly def\n";
        s += "/FontMatrix " + fontMatrix + " readonly def\n/FontBBox {0 0 1000 1000} readonly def\n";
        return s + "currentdict end\ncurrentfile eexec" + lineEnd;
    }

    std::string privateText() const {
        std::string s = "dup /Private 8 dict dup begin\n";
        if (lenIV != 4)
            s += "/lenIV " + std::to_string(lenIV) + " def\n";
        if (!subrs.empty() || subrCount >= 0) {
            s += "/Subrs " + std::to_string(subrCount >= 0 ? subrCount : int(subrs.size())) +
                 " array\n";
            for (const auto& [n, text] : subrs)
                s += "dup " + std::to_string(n) + " " + charStringEntry(text) + " NP\n";
            s += "ND\n";
        }
        s += "2 index /CharStrings " + std::to_string(glyphs.size()) + " dict dup begin\n";
        for (const auto& [name, text] : glyphs)
            s += "/" + name + " " + charStringEntry(text) + " ND\n";
        return s + "end\nend\nreadonly put\nnoaccess put\nmark currentfile closefile\n";
    }

    static std::string trailer() { return std::string(512, '0') + "\ncleartomark\n"; }

    // Cleartext, then the private part eexec-encrypted in binary.
    std::string plain() const { return clearText() + encrypt(privateText(), 55665, 4) + trailer(); }

    // The same program in PFB segments.
    std::string pfb() const {
        std::string out;
        const std::pair<int, std::string> segments[] = {
            {1, clearText()}, {2, encrypt(privateText(), 55665, 4)}, {1, trailer()}};
        for (const auto& [type, data] : segments) {
            out.push_back(char(128));
            out.push_back(char(type));
            for (int i = 0; i < 4; ++i)
                out.push_back(char((data.size() >> (8 * i)) & 255));
            out += data;
        }
        return out + "\x80\x03";
    }
};

}  // namespace vistrel::testing
