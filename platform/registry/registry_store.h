// The registry's text file in memory: one section per key path, one line per
// value. Lines that cannot be read (and every line of a section whose header
// cannot be read) are kept as they stand and written back unchanged, so a
// hand edit that went wrong is never lost by a later change.
//
//   [HKEY_CURRENT_USER\Software\Corvane\LumbraGUI]
//   @="default value"
//   "Show Splash"="text with \"escapes\"\n"
//   "Main Form"=hex:2c,00,00,00
//   "Count"=dword:0000002a
//
// Strings are UTF-8 between double quotes with the escapes \\ \" \n \r \t \0
// and \uXXXX (other control characters and lone surrogates). Key paths
// compare without regard to case, and so do value names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace win {

// Components of a key path below HKEY_CURRENT_USER.
using KeyPath = std::vector<std::u16string>;

struct StoredValue {
    std::u16string name;     // empty: the key's default value
    std::uint32_t type = 0;  // REG_SZ, REG_BINARY or REG_DWORD
    // REG_SZ: the 16-bit units without a terminator; REG_BINARY: the bytes;
    // REG_DWORD: the four bytes of the number, least significant first.
    std::vector<std::uint8_t> data;

    friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

class RegistryStore {
public:
    static RegistryStore parse(std::string_view text);
    std::string serialize() const;

    // A key exists while a section names it or a key below it; the root
    // always exists.
    bool keyExists(const KeyPath& path) const;
    bool hasSubkeys(const KeyPath& path) const;
    const StoredValue* findValue(const KeyPath& path, std::u16string_view name) const;

    // Adds a section for a key that does not exist yet (ancestors spelled as
    // they already are); answers whether it did.
    bool createKey(const KeyPath& path);
    // Replaces the value of that name (keeping the name's stored spelling) or
    // adds it to the key's section. False when the key does not exist.
    bool setValue(const KeyPath& path, const StoredValue& value);
    // Removes every value of that name; false when there was none.
    bool deleteValue(const KeyPath& path, std::u16string_view name);

    enum class DeleteResult { Deleted, NotFound, HasSubkeys };
    // Removes a key that has no keys below it, with its values.
    DeleteResult deleteKey(const KeyPath& path);

private:
    struct Line {
        bool readable = false;
        std::string raw;  // the text of a line that could not be read
        StoredValue value;
    };
    struct Section {
        bool readable = false;  // false: its header (if any) and lines are kept as text
        bool hasHeader = true;  // false only for lines before the first header
        std::string rawHeader;
        KeyPath path;
        std::vector<Line> lines;
    };

    std::vector<Section> sections_;
};

}  // namespace win
