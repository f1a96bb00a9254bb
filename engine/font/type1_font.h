// Type 1 fonts drawn from their embedded program. The whole program is read
// once: the charstring of every glyph the encoding reaches is interpreted
// into a glyph path at load time, and the subroutines and charstrings are
// dropped afterwards; drawing is the outline font base's.
//
// The font's encoding is the one the description names (a built-in table)
// when it names one, else the program's /Encoding, else the standard
// encoding; the description's differences apply to whichever it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/font/differences.h"
#include "engine/font/font_program_reader.h"
#include "engine/font/ps_font.h"

namespace vistrel {

class Path;

// The subroutines of a program by number.
using SubrList = std::vector<CharString>;

// The five values of an accented character (seac) that a charstring hands
// back: the accent's side bearing, the offset of its side bearing point from
// the character's, and the standard-encoding codes of base and accent.
struct AccentRequest {
    std::int32_t asb = 0;
    std::int32_t adx = 0;
    std::int32_t ady = 0;
    std::int32_t bchar = 0;
    std::int32_t achar = 0;
};

// What runCharString reports.
enum CharStringResult : int {
    kCharStringFailed = -1,
    kCharStringAccent = 0,
    kCharStringDone = 1,
};

// Interprets a charstring from its start into the path, with its origin at
// (baseX, baseY) for the side bearing and setcurrentpoint. Done at its end
// (the open subpath closed), at endchar or return; Accent, with the request
// filled, at seac; Failed for a flex end with too little recorded, a
// subroutine number outside the list, subroutines nested more than
// kMaxSubrDepth deep or more than kMaxOperations operators and numbers in
// all. Hints are ignored.
int runCharString(const CharString& charstring, const SubrList& subrs, Path& path,
                  std::int32_t baseX, std::int32_t baseY, OperandStack& stack,
                  AccentRequest& accent);

// Nested subroutine calls a charstring may make.
constexpr int kMaxSubrDepth = 10;
// Operators and numbers one glyph may run, subroutines included.
constexpr std::int32_t kMaxOperations = 100000;

class Type1Font final : public PsFont {
public:
    // Most entries a /Subrs or /CharStrings list is read with.
    static constexpr std::int32_t kMaxEntries = 65536;

    // The encoding of a description naming a built-in one is made here, with
    // the description's differences; the outline cache is a table of 256
    // codes; lenIV 4.
    Type1Font(const FontDescription& description, OutputDevice* device);

    // Reads the program; loaded when it was read. The subroutines are
    // dropped either way.
    bool loadProgram(InputStream* stream) override;
    // Scans the program (a PFB file or plain, eexec-encrypted after
    // "eexec") for its font matrix, lenIV, subroutines, encoding and
    // charstrings and builds the glyph paths. False when a section ends
    // early or an accented character's parts fail.
    bool parseProgram(InputStream* stream) override;

    std::int32_t lenIV() const { return lenIV_; }
    std::int32_t subrCount() const { return subrCount_; }

    bool hasTexLigatures() const override { return texLigatures_; }

private:
    using CharStringTable = std::unordered_map<std::string, CharString>;

    bool readFontBBox(InputStream& in);
    bool readSubrs(InputStream& in);
    bool readCharStrings(InputStream& in);
    bool readEncoding(InputStream& in);
    // Reads "length RD bytes": the length, the token after it, then the
    // bytes, decrypted. False when the data ends early.
    bool readCharStringData(InputStream& in, CharString& charstring);
    // The glyph path of a charstring, an accented character composed from
    // the charstrings of its parts; null when a part fails.
    std::unique_ptr<Path> buildGlyph(const CharString& charstring, const CharStringTable& table);
    std::unique_ptr<Path> newPath() const;

    std::unique_ptr<Differences> differences_;
    SubrList subrs_;
    std::int32_t subrCount_ = 0;
    std::int32_t lenIV_ = 4;
    bool texLigatures_ = false;
};

}  // namespace vistrel
