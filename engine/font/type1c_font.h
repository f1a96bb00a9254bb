// Type 1C fonts: embedded compact font programs (CFF) of name-keyed fonts.
// Loading reads the whole program, each part at its offset, then runs the
// Type 2 charstring of every glyph the font's encoding reaches into a Path
// (in glyph units, through the font matrix) and keeps it in the outline
// cache by code; drawing is the font base's.
//
// The encoding is the description's when it names a built-in one, else the
// program's own (builtInEncoding), the description's differences applied
// either way.
//
// Hostile programs end cleanly: a glyph program stops at a subroutine nested
// more than kMaxCallDepth deep, at a subroutine number outside its list, at
// an operator short of operands, at an operand stack deeper than
// kMaxStackDepth and after kMaxGlyphSteps bytes run; it keeps what it drew.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "engine/core/wstring.h"
#include "engine/font/differences.h"
#include "engine/font/encoding_table.h"
#include "engine/font/font_base.h"

namespace vistrel {

class Type1CFont final : public FontBase {
public:
    static constexpr int kMaxCallDepth = 10;
    static constexpr std::size_t kMaxStackDepth = 1024;
    static constexpr std::int64_t kMaxGlyphSteps = 65536;
    // Programs larger than this are refused.
    static constexpr std::size_t kMaxProgramSize = std::size_t(64) << 20;

    // The encoding from the description when it names a built-in one; an
    // outline table for one-byte codes.
    Type1CFont(const FontDescription& description, OutputDevice* device);
    ~Type1CFont() override;

    // load(); sets the loaded flag on success.
    bool loadProgram(InputStream* stream) override;
    // Reads the program from the stream (open, at its start). False, with no
    // outlines, for a program without CharStrings or Private DICT, with an
    // INDEX whose offsets are wrong, or larger than kMaxProgramSize.
    bool load(InputStream* stream);

    // The bias of a subroutine list of that many entries.
    static std::int32_t subrBias(std::size_t count);

    // What the program declared, kept after loading.
    const EncodingTable& builtInEncoding() const { return builtInEncoding_; }
    bool hasTexLigatures() const override;
    // The SID of each glyph, glyph 0 first; a charset cut short names fewer
    // glyphs than there are.
    const std::vector<std::int32_t>& charset() const { return charset_; }
    std::size_t glyphCount() const { return glyphCount_; }
    std::size_t globalSubrCount() const { return globalSubrCount_; }
    std::size_t localSubrCount() const { return localSubrCount_; }
    const std::array<std::int32_t, 4>& fontBBox() const { return fontBBox_; }
    // The name of a SID: a standard string below 391, else the font's
    // string SID - 391; empty when there is none.
    const WString& sidName(std::int32_t sid) const;
    // The SID of a glyph name (with its "/"): a standard string first, then
    // the font's strings; -1 when none matches.
    std::int32_t sidOf(const WString& name) const;

private:
    using Bytes = std::span<const std::uint8_t>;
    enum class Outcome { Returned, Ended, Failed };
    // One glyph being built: its path, stem count, what is left of its
    // steps (shared with the glyphs it composes) and whether it is a part
    // of an accented glyph.
    struct GlyphRun {
        Path& path;
        std::int32_t stems;
        std::int64_t& steps;
        bool composing;
    };

    // Reads the charset and the encoding into charset_, codes_ and
    // supplements_.
    void readCharset(std::span<const std::uint8_t> program, std::int32_t offset);
    void readEncoding(std::span<const std::uint8_t> program, std::int32_t offset);
    void buildBuiltInEncoding(std::int32_t encodingOffset);
    // Builds the outline of every code the encoding reaches.
    bool buildGlyphs();
    // The glyph's outline, run from its charstring.
    std::unique_ptr<Path> buildGlyph(std::size_t glyph);

    // Runs a charstring from the position into the run's path: Returned at
    // its end or at return, Ended at endchar, Failed when the glyph stops.
    Outcome runCharString(Bytes charString, std::size_t& position, GlyphRun& run, int depth);
    // The accented glyph of endchar: base and accent by standard code.
    void compose(GlyphRun& run, std::int32_t adx, std::int32_t ady, std::int32_t baseCode,
                 std::int32_t accentCode);
    // The glyph of a standard-encoding code; -1 when there is none.
    std::int64_t glyphOfStandardCode(std::int32_t code) const;
    // Drops the program data kept while loading.
    void dropProgram();

    std::unique_ptr<Differences> differences_;
    std::array<double, 6> fontMatrix1000_{1, 0, 0, 1, 0, 0};
    std::array<std::int32_t, 4> fontBBox_{};
    std::vector<WString> strings_;
    std::vector<std::int32_t> charset_;
    // The code of each glyph of a custom encoding (-1: none); supplements
    // as (code, SID).
    std::vector<std::int32_t> codes_;
    std::vector<std::pair<std::int32_t, std::int32_t>> supplements_;
    EncodingTable builtInEncoding_;
    std::size_t glyphCount_ = 0;
    std::size_t globalSubrCount_ = 0;
    std::size_t localSubrCount_ = 0;

    // While loading: the program's charstrings and subroutines, the first
    // glyph of each SID, and the charstring operand stack.
    std::vector<Bytes> charStrings_;
    std::vector<Bytes> globalSubrs_;
    std::vector<Bytes> localSubrs_;
    std::int32_t globalBias_ = 0;
    std::int32_t localBias_ = 0;
    std::unordered_map<std::int32_t, std::size_t> glyphBySid_;
    std::vector<std::int32_t> stack_;
};

}  // namespace vistrel
