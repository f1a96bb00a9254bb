// Glyph names by character code: the tables font encodings start from, and
// the four built-in ones (the standard, Mac Roman, Windows ANSI and PDF
// document encodings).
//
// Entries are glyph names with their leading "/" (as the text of a PDF name);
// an empty entry means the code has no glyph.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/wstring.h"

namespace vistrel {

class Differences;

class EncodingTable {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    static constexpr int32_t kCodes = 256;

    // kCodes empty entries.
    EncodingTable();

    int32_t count() const { return int32_t(entries_.size()); }
    // The entry of a code; empty for no glyph and for a code outside the
    // table.
    const WString& entry(int32_t code) const;

    // Drops every entry (the builders refill the table in code order).
    void clear() { entries_.clear(); }
    // Adds a copy of the name (empty for no glyph) at the end.
    void append(const WString& name);
    // Sets the entry of the code to a copy of the name (empty clears it) and
    // gives back the previous entry. A code outside the table changes
    // nothing and gives back an empty name.
    WString setEntry(const WString& name, int32_t code);
    // The lowest code whose entry equals the name; -1 when none does (an
    // empty name is found nowhere).
    int32_t indexOf(const WString& name) const;
    // Sets the entry of every pair's code to the pair's name, in order, so a
    // later pair for the same code wins. Codes outside the table are
    // ignored.
    void applyDifferences(const Differences& differences);

private:
    std::vector<WString> entries_;
};

// Builders of the built-in tables: each drops the table's entries and
// appends kCodes entries in code order, copies of the glyph-name constants.
void buildStandardEncoding(EncodingTable& table);
void buildMacRomanEncoding(EncodingTable& table);
void buildWinAnsiEncoding(EncodingTable& table);
void buildPdfDocEncoding(EncodingTable& table);

// Builds the four built-in tables (nothing when they are built already).
// The engine's start-up calls it once the glyph-name constants exist, and
// so do the test programs of the font layers.
void buildEncodingTables();
// Destroys them (at unload, before the glyph-name constants go).
void destroyEncodingTables();

// The built-in table whose name is exactly the given text:
// "StandartEncoding" (the standard encoding), "MacRomanEncoding",
// "WinAnsiEncoding" or "PDFDocEncoding". Null for any other name
// ("StandardEncoding" included) and while the tables are not built.
const EncodingTable* encodingTableByName(const WString& name);

}  // namespace vistrel
