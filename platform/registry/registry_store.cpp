#include "platform/registry/registry_store.h"

#include <algorithm>
#include <cstring>

#include "platform/registry/registry.h"
#include "platform/registry/utf16_text.h"

namespace win {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr char kHex[] = "0123456789abcdef";

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Appends text between double quotes with the store's escapes.
void appendQuoted(std::string& out, std::u16string_view text) {
    out += '"';
    size_t i = 0;
    while (i < text.size()) {
        char16_t c = text[i];
        size_t run = 1;
        switch (c) {
            case u'\\':
                out += "\\\\";
                break;
            case u'"':
                out += "\\\"";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\t':
                out += "\\t";
                break;
            case 0:
                out += "\\0";
                break;
            default:
                if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                    text[i + 1] <= 0xDFFF) {
                    out += utf8FromUtf16(text.substr(i, 2));
                    run = 2;
                } else if (c < 0x20 || c == 0x7F || isSurrogate(c)) {
                    out += "\\u";
                    for (int shift = 12; shift >= 0; shift -= 4)
                        out += kHex[(c >> shift) & 0xF];
                } else {
                    out += utf8FromUtf16(text.substr(i, 1));
                }
        }
        i += run;
    }
    out += '"';
}

// Reads a quoted string at the start of s; on success s is left after the
// closing quote.
bool readQuoted(std::string_view& s, std::u16string& out) {
    if (s.empty() || s.front() != '"')
        return false;
    size_t i = 1;
    std::string plain;  // UTF-8 gathered between escapes
    // Only well-formed UTF-8 is accepted: anything else would not come back
    // as the same bytes.
    auto flush = [&]() {
        std::u16string units = utf16FromUtf8(plain);
        if (utf8FromUtf16(units) != plain)
            return false;
        out += units;
        plain.clear();
        return true;
    };
    while (i < s.size()) {
        char c = s[i];
        if (c == '"') {
            if (!flush())
                return false;
            s.remove_prefix(i + 1);
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
        if (c != '\\') {
            plain += c;
            ++i;
            continue;
        }
        if (!flush() || i + 1 >= s.size())
            return false;
        char e = s[i + 1];
        i += 2;
        switch (e) {
            case '\\':
                out += u'\\';
                break;
            case '"':
                out += u'"';
                break;
            case 'n':
                out += u'\n';
                break;
            case 'r':
                out += u'\r';
                break;
            case 't':
                out += u'\t';
                break;
            case '0':
                out += char16_t(0);
                break;
            case 'u': {
                if (i + 4 > s.size())
                    return false;
                unsigned value = 0;
                for (size_t k = 0; k < 4; ++k) {
                    int d = hexDigit(s[i + k]);
                    if (d < 0)
                        return false;
                    value = value * 16 + unsigned(d);
                }
                out += static_cast<char16_t>(value);
                i += 4;
                break;
            }
            default:
                return false;
        }
    }
    return false;
}

// A value line: @=... or "name"=... followed by "text", hex:.. or dword:...
bool parseValue(std::string_view s, StoredValue& value) {
    value = StoredValue{};
    if (!s.empty() && s.front() == '@') {
        s.remove_prefix(1);
    } else if (!readQuoted(s, value.name)) {
        return false;
    }
    if (s.empty() || s.front() != '=')
        return false;
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '"') {
        std::u16string text;
        if (!readQuoted(s, text) || !s.empty())
            return false;
        value.type = REG_SZ;
        value.data.resize(text.size() * sizeof(char16_t));
        if (!text.empty())
            std::memcpy(value.data.data(), text.data(), value.data.size());
        return true;
    }
    if (s.starts_with("hex:")) {
        s.remove_prefix(4);
        value.type = REG_BINARY;
        while (!s.empty()) {
            if (s.size() < 2)
                return false;
            int hi = hexDigit(s[0]), lo = hexDigit(s[1]);
            if (hi < 0 || lo < 0)
                return false;
            value.data.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            s.remove_prefix(2);
            if (s.empty())
                break;
            if (s.front() != ',' || s.size() == 1)
                return false;
            s.remove_prefix(1);
        }
        return true;
    }
    if (s.starts_with("dword:")) {
        s.remove_prefix(6);
        if (s.empty() || s.size() > 8)
            return false;
        std::uint32_t n = 0;
        for (char c : s) {
            int d = hexDigit(c);
            if (d < 0)
                return false;
            n = n * 16 + std::uint32_t(d);
        }
        value.type = REG_DWORD;
        for (int k = 0; k < 4; ++k)
            value.data.push_back(static_cast<std::uint8_t>(n >> (8 * k)));
        return true;
    }
    return false;
}

void appendValue(std::string& out, const StoredValue& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        appendQuoted(out, value.name);
    }
    out += '=';
    if (value.type == REG_SZ) {
        std::u16string text(value.data.size() / sizeof(char16_t), u'\0');
        if (!text.empty())
            std::memcpy(text.data(), value.data.data(), text.size() * sizeof(char16_t));
        appendQuoted(out, text);
    } else if (value.type == REG_DWORD) {
        std::uint32_t n = 0;
        for (size_t k = 0; k < 4 && k < value.data.size(); ++k)
            n |= std::uint32_t(value.data[k]) << (8 * k);
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            out += kHex[(n >> shift) & 0xF];
    } else {
        out += "hex:";
        for (size_t k = 0; k < value.data.size(); ++k) {
            if (k)
                out += ',';
            out += kHex[value.data[k] >> 4];
            out += kHex[value.data[k] & 0xF];
        }
    }
}

// A section header [HKEY_CURRENT_USER\a\b] with well-formed UTF-8 and no
// control characters in its components.
bool parseHeader(std::string_view s, KeyPath& path) {
    if (s.size() < 2 || s.front() != '[' || s.back() != ']')
        return false;
    s = s.substr(1, s.size() - 2);
    size_t slash = s.find('\\');
    std::string_view root = s.substr(0, slash);
    if (!equalsIgnoringCase(utf16FromUtf8(root), utf16FromUtf8(kRoot)))
        return false;
    path.clear();
    while (slash != std::string_view::npos) {
        s.remove_prefix(slash + 1);
        slash = s.find('\\');
        std::string_view part = s.substr(0, slash);
        std::u16string name = utf16FromUtf8(part);
        if (name.empty() || utf8FromUtf16(name) != part)
            return false;
        for (char16_t c : name)
            if (c < 0x20 || c == 0x7F)
                return false;
        path.push_back(std::move(name));
    }
    return true;
}

bool samePath(const KeyPath& a, const KeyPath& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto& x, auto& y) {
               return equalsIgnoringCase(x, y);
           });
}

// Whether path lies at or below base.
bool startsWith(const KeyPath& path, const KeyPath& base) {
    return path.size() >= base.size() &&
           std::equal(base.begin(), base.end(), path.begin(),
                      [](auto& x, auto& y) { return equalsIgnoringCase(x, y); });
}

}  // namespace

RegistryStore RegistryStore::parse(std::string_view text) {
    RegistryStore store;
    Section* current = nullptr;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::string_view line = trim(raw);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            Section section;
            section.rawHeader = std::string(line);
            section.readable = parseHeader(line, section.path);
            store.sections_.push_back(std::move(section));
            current = &store.sections_.back();
            continue;
        }
        if (!current) {
            Section preamble;
            preamble.hasHeader = false;
            store.sections_.push_back(std::move(preamble));
            current = &store.sections_.back();
        }
        Line entry;
        entry.readable = current->readable && parseValue(line, entry.value);
        if (!entry.readable)
            entry.raw = std::string(raw.substr(0, raw.find_last_not_of('\r') + 1));
        current->lines.push_back(std::move(entry));
    }
    return store;
}

std::string RegistryStore::serialize() const {
    std::string out;
    for (const Section& section : sections_) {
        if (!out.empty())
            out += '\n';
        if (section.hasHeader) {
            if (section.readable) {
                out += '[';
                out += kRoot;
                for (const auto& part : section.path) {
                    out += '\\';
                    out += utf8FromUtf16(part);
                }
                out += ']';
            } else {
                out += section.rawHeader;
            }
            out += '\n';
        }
        for (const Line& line : section.lines) {
            if (line.readable) {
                appendValue(out, line.value);
            } else {
                out += line.raw;
            }
            out += '\n';
        }
    }
    return out;
}

bool RegistryStore::keyExists(const KeyPath& path) const {
    if (path.empty())
        return true;
    return std::any_of(sections_.begin(), sections_.end(),
                       [&](const Section& s) { return s.readable && startsWith(s.path, path); });
}

bool RegistryStore::hasSubkeys(const KeyPath& path) const {
    return std::any_of(sections_.begin(), sections_.end(), [&](const Section& s) {
        return s.readable && s.path.size() > path.size() && startsWith(s.path, path);
    });
}

const StoredValue* RegistryStore::findValue(const KeyPath& path, std::u16string_view name) const {
    for (const Section& section : sections_) {
        if (!section.readable || !samePath(section.path, path))
            continue;
        for (const Line& line : section.lines)
            if (line.readable && equalsIgnoringCase(line.value.name, name))
                return &line.value;
    }
    return nullptr;
}

bool RegistryStore::createKey(const KeyPath& path) {
    if (keyExists(path))
        return false;
    Section section;
    section.readable = true;
    section.path = path;
    // Keys above the new one keep the spelling they already have.
    for (size_t depth = 1; depth < path.size(); ++depth) {
        KeyPath prefix(path.begin(), path.begin() + std::ptrdiff_t(depth));
        for (const Section& other : sections_) {
            if (other.readable && startsWith(other.path, prefix)) {
                section.path[depth - 1] = other.path[depth - 1];
                break;
            }
        }
    }
    sections_.push_back(std::move(section));
    return true;
}

bool RegistryStore::setValue(const KeyPath& path, const StoredValue& value) {
    if (!keyExists(path))
        return false;
    Section* home = nullptr;
    for (Section& section : sections_) {
        if (!section.readable || !samePath(section.path, path))
            continue;
        if (!home)
            home = &section;
        for (Line& line : section.lines) {
            if (line.readable && equalsIgnoringCase(line.value.name, value.name)) {
                line.value.type = value.type;
                line.value.data = value.data;
                return true;
            }
        }
    }
    if (!home) {
        // The key exists only through keys below it (or is the root).
        Section section;
        section.readable = true;
        section.path = path;
        sections_.push_back(std::move(section));
        home = &sections_.back();
    }
    Line line;
    line.readable = true;
    line.value = value;
    home->lines.push_back(std::move(line));
    return true;
}

bool RegistryStore::deleteValue(const KeyPath& path, std::u16string_view name) {
    bool found = false;
    for (Section& section : sections_) {
        if (!section.readable || !samePath(section.path, path))
            continue;
        auto removed = std::remove_if(
            section.lines.begin(), section.lines.end(),
            [&](const Line& l) { return l.readable && equalsIgnoringCase(l.value.name, name); });
        found = found || removed != section.lines.end();
        section.lines.erase(removed, section.lines.end());
    }
    return found;
}

RegistryStore::DeleteResult RegistryStore::deleteKey(const KeyPath& path) {
    if (path.empty() || !keyExists(path))
        return DeleteResult::NotFound;
    if (hasSubkeys(path))
        return DeleteResult::HasSubkeys;
    std::erase_if(sections_,
                  [&](const Section& s) { return s.readable && samePath(s.path, path); });
    return DeleteResult::Deleted;
}

}  // namespace win
