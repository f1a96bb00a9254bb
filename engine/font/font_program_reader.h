// Reading Type 1 font programs without a PostScript interpreter: the
// program is scanned character by character for the few keywords the font
// readers need, and the values after them are read with small readers.
// Also here: the stream that takes the segment headers of a PFB file and
// the eexec encryption off the program while it is read, the charstring
// decryption and the decoding of charstring numbers.
//
// Characters are bytes 0 to 255; -1 is the end of the stream. Blanks are
// the space character only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/streams.h"

namespace vistrel {

// The next character, or -1 at the end of the stream.
inline std::int32_t readChar(InputStream& in) {
    const std::uint16_t c = in.getByte();
    return c == kEndOfData ? -1 : std::int32_t(c);
}

// Skips spaces, takes the next character whatever it is (a sign is kept),
// then the decimal digits after it, and parses that text in base 10 (0 for
// no number, clamped to the 32-bit range). The character that ends the
// digits is consumed when it is a space and given back otherwise.
std::int32_t readInteger(InputStream& in);
// Skips spaces and collects the characters up to the next space (which is
// consumed) or the end of the stream. False when the stream ended before
// any character.
bool readToken(InputStream& in, std::string& token);
// The leading number of a text as a real (0 when it starts with none).
double parseReal(std::string_view text);
// The next token as a real, times 1000.
double readNumber(InputStream& in);
// Skips to "[" and reads six tokens, each times 1000. False when the stream
// ends before "[".
bool readFontMatrix(InputStream& in, std::array<double, 6>& matrix);
// Scans for the keyword's characters in sequence; a character that does not
// match starts the match again at the keyword's first character with the
// next one. True when found, false at the end of the stream.
bool skipTo(InputStream& in, std::string_view keyword);

// Keywords searched for at once, each with the characters it has matched.
class KeywordTable {
public:
    struct Entry {
        std::string_view keyword;
        std::size_t position;
        std::int32_t kind;
    };

    void add(std::string_view keyword, std::int32_t kind) { entries_.push_back({keyword, 0, kind}); }
    // Every match position back to 0.
    void reset();
    std::vector<Entry>& entries() { return entries_; }

private:
    std::vector<Entry> entries_;
};

// Reads characters until a keyword of the table is complete and gives its
// kind; -1 at the end of the stream. Each character is compared, entry by
// entry in table order, with the entry's next expected character: a match
// advances its position, anything else sets it back to 0. The first entry
// to complete answers at once (entries after it do not see that
// character). Positions carry over to the next call.
std::int32_t findNextKeyword(InputStream& in, KeywordTable& table);

// The keywords of a Type 1 program, by kind.
enum Type1Keyword : std::int32_t {
    kKeywordEexec = 0,
    kKeywordFontBBox = 1,
    kKeywordFontMatrix = 2,
    kKeywordLenIV = 3,
    kKeywordSubrs = 4,
    kKeywordCharStrings = 5,
    kKeywordEncoding = 6,
};
// Fills the table with "eexec", "/FontBBox", "/FontMatrix", "/lenIV",
// "/Subrs", "/CharStrings" and "/Encoding", in that order.
void buildType1KeywordTable(KeywordTable& table);

// A font program as the parser reads it: a PFB file (segments of the form
// 128, type, four length bytes little-endian, data; type 3 ends the file) is
// recognised by its first byte and read without its segment headers; any
// other data is read as it stands. Once decryption is switched on, every
// byte is eexec-decrypted (key 55665). One character can be given back.
class EexecStream final : public InputStream {
public:
    explicit EexecStream(InputStream& inner) : inner_(inner) {}

    std::uint16_t getByte() override;
    // Skips the rest of the line (a CR LF pair ends it as one) and decrypts
    // every byte after it.
    void startDecrypting();
    bool decrypting() const { return decrypting_; }

private:
    // The next byte of the inner stream, -1 at its end.
    std::int32_t rawByte();
    // The next data byte (segment headers taken off), -1 at the end.
    std::int32_t dataByte();
    // Reads a segment header after its marker byte; false when the data
    // ends or the segment type ends the file.
    bool readSegmentHeader();

    InputStream& inner_;
    std::uint8_t block_[4096];
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    bool innerEnded_ = false;
    // 0 not known yet, 1 segmented, -1 plain.
    int form_ = 0;
    std::uint32_t segmentLength_ = 0;
    std::uint32_t segmentPosition_ = 0;
    bool ended_ = false;
    bool decrypting_ = false;
    std::uint16_t key_ = 55665;
    // A data byte read ahead, not yet decrypted; -1 for none.
    std::int32_t readAhead_ = -1;
};

// A charstring: its bytes, decrypted.
using CharString = std::string;

// The number of a charstring whose first byte (at position) is 32 or more:
// 32-246 give v - 139; 247-250 (v - 247) * 256 + w + 108; 251-254
// -(v - 251) * 256 - w - 108; 255 the next four bytes, big-endian. The
// position moves past the number. False, position at the end, when the
// charstring ends inside the number.
bool readCharStringNumber(const CharString& charstring, std::size_t& position,
                          std::int32_t& value);

// Decrypts charstring bytes (key 4330) and drops the first lenIV of them
// (none when lenIV is below 1).
CharString type1Decrypt(std::string_view bytes, std::int32_t lenIV);

}  // namespace vistrel
