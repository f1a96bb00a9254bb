// The encoding of one font: the glyph name of every one-byte code. It starts
// from a built-in table chosen by name, or from a table the font program
// brings, and applies the font's /Differences on top; the result, the
// effective table, answers the lookups. The font that uses it owns it.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/allocator.h"
#include "engine/core/wstring.h"
#include "engine/font/differences.h"
#include "engine/font/encoding_table.h"

namespace vistrel {

class FontEncoding {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // A named encoding: the base is the built-in table of the name, none for
    // any other name. With differences given (even an empty list) they are
    // copied, and the effective table is a copy of the base (of an empty
    // table when there is none) with them applied.
    explicit FontEncoding(const WString& name, const Differences* differences = nullptr);
    // An encoding over a font program's table: no name, the base an owned
    // copy of the table. A non-empty list of differences is copied and
    // applied to a copy of it.
    FontEncoding(const EncodingTable& table, const Differences* differences);
    // The same name, base and differences, the effective table rebuilt.
    FontEncoding(const FontEncoding& other);
    FontEncoding& operator=(const FontEncoding&) = delete;
    virtual ~FontEncoding();

    // Empty for an encoding made from a table.
    const WString& name() const { return name_; }
    // Null when the name names no built-in table.
    const EncodingTable* base() const { return base_; }
    // The table that answers lookups; null when there is none.
    const EncodingTable* effective() const { return effective_; }
    // Null when none were given.
    const Differences* differences() const { return differences_.get(); }
    bool hasDifferences() const { return differences_ && differences_->count() > 0; }

    // The glyph name of a code (with its "/"); empty when the code has no
    // glyph, lies outside 0 to 255, or the encoding has no table.
    const WString& glyphName(int32_t code) const;

    // Visiting the codes of a glyph name: findFirst puts the search position
    // on the lowest code whose glyph is the name and answers whether there
    // is one. Each findNext then gives the position as the code, moves it to
    // the next higher code of the name and answers whether there is one;
    // once the position has passed the last code it answers false and gives
    // nothing. So the code given by the findNext that answers false is
    // still one of the name's.
    bool findFirst(const WString& name);
    bool findNext(int32_t& code, const WString& name);

    // The text the font information shows: "WinANSI", "Standard",
    // "MacRoman", "MaxExpert" or "Custom" (any other name, the empty one
    // and "PDFDocEncoding" included), followed by "(Modified)" when the
    // encoding has differences.
    void describe(WString& text) const;

private:
    // The effective table from the base and the differences.
    void buildEffective();
    // The lowest code from `from` on whose glyph is the name; kCodes when
    // none.
    int32_t codeOf(const WString& name, int32_t from) const;

    WString name_;
    const EncodingTable* base_ = nullptr;
    std::unique_ptr<EncodingTable> ownedBase_;
    std::unique_ptr<Differences> differences_;
    const EncodingTable* effective_ = nullptr;
    std::unique_ptr<EncodingTable> ownedEffective_;
    int32_t position_ = EncodingTable::kCodes;
};

// The glyph name of a code in a font's encoding; empty also for a font
// without one.
inline const WString& glyphNameOf(const FontEncoding* encoding, int32_t code) {
    return encoding ? encoding->glyphName(code) : emptyWString();
}

}  // namespace vistrel
