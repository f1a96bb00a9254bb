#include "engine/font/font_program_reader.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <limits>

namespace vistrel {
namespace {

constexpr std::int32_t kSpace = ' ';

bool isDigit(std::int32_t c) {
    return c >= '0' && c <= '9';
}

bool isWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The first character that is not a space (-1 at the end).
std::int32_t skipSpaces(InputStream& in) {
    std::int32_t c = readChar(in);
    while (c == kSpace)
        c = readChar(in);
    return c;
}

// The leading whole number of a text in base 10, clamped to 32 bits.
std::int32_t parseInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isWhite(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        value = std::numeric_limits<std::int32_t>::max();
    return std::int32_t(value);
}

}  // namespace

std::int32_t readInteger(InputStream& in) {
    std::int32_t c = skipSpaces(in);
    if (c < 0)
        return 0;
    std::string text(1, char(c));
    c = readChar(in);
    while (isDigit(c)) {
        // Digits past any 32-bit number change nothing but the clamp.
        if (text.size() < 16)
            text.push_back(char(c));
        c = readChar(in);
    }
    if (c >= 0 && c != kSpace)
        in.unread(std::uint16_t(c));
    return parseInteger(text);
}

bool readToken(InputStream& in, std::string& token) {
    token.clear();
    std::int32_t c = skipSpaces(in);
    if (c < 0)
        return false;
    while (c >= 0 && c != kSpace) {
        // A token longer than any number or name the readers use is cut.
        if (token.size() < 256)
            token.push_back(char(c));
        c = readChar(in);
    }
    return true;
}

double parseReal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isWhite(text[i]))
        ++i;
    if (i < text.size() && text[i] == '+' && i + 1 < text.size() && text[i + 1] != '-')
        ++i;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data() + i, text.data() + text.size(), value,
                                              std::chars_format::general);
    (void)end;
    if (error == std::errc::result_out_of_range)
        return 0.0;
    if (error != std::errc() || !std::isfinite(value))
        return 0.0;
    return value;
}

double readNumber(InputStream& in) {
    std::string token;
    readToken(in, token);
    return parseReal(token) * 1000.0;
}

bool readFontMatrix(InputStream& in, std::array<double, 6>& matrix) {
    if (!skipTo(in, "["))
        return false;
    for (double& v : matrix)
        v = readNumber(in);
    return true;
}

bool skipTo(InputStream& in, std::string_view keyword) {
    if (keyword.empty())
        return true;
    std::size_t matched = 0;
    for (std::int32_t c = readChar(in); c >= 0; c = readChar(in)) {
        if (char(c) == keyword[matched]) {
            if (++matched == keyword.size())
                return true;
        } else {
            matched = 0;
        }
    }
    return false;
}

void KeywordTable::reset() {
    for (Entry& e : entries_)
        e.position = 0;
}

std::int32_t findNextKeyword(InputStream& in, KeywordTable& table) {
    for (std::int32_t c = readChar(in); c >= 0; c = readChar(in)) {
        for (KeywordTable::Entry& e : table.entries()) {
            if (e.position < e.keyword.size() && char(c) == e.keyword[e.position]) {
                if (++e.position == e.keyword.size())
                    return e.kind;
            } else {
                e.position = 0;
            }
        }
    }
    return -1;
}

void buildType1KeywordTable(KeywordTable& table) {
    table.add("eexec", kKeywordEexec);
    table.add("/FontBBox", kKeywordFontBBox);
    table.add("/FontMatrix", kKeywordFontMatrix);
    table.add("/lenIV", kKeywordLenIV);
    table.add("/Subrs", kKeywordSubrs);
    table.add("/CharStrings", kKeywordCharStrings);
    table.add("/Encoding", kKeywordEncoding);
}

// ------------------------------------------------------------ EexecStream

std::int32_t EexecStream::rawByte() {
    if (next_ == filled_) {
        if (innerEnded_)
            return -1;
        const std::int64_t n = inner_.read(block_, sizeof block_);
        if (n <= 0) {
            innerEnded_ = true;
            return -1;
        }
        next_ = 0;
        filled_ = std::size_t(n);
    }
    return block_[next_++];
}

bool EexecStream::readSegmentHeader() {
    const std::int32_t type = rawByte();
    if (type < 0 || type == 3)
        return false;
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        const std::int32_t b = rawByte();
        if (b < 0)
            return false;
        length |= std::uint32_t(b) << (8 * i);
    }
    segmentLength_ = length;
    segmentPosition_ = 0;
    return true;
}

std::int32_t EexecStream::dataByte() {
    if (ended_)
        return -1;
    if (form_ == 0) {
        const std::int32_t first = rawByte();
        if (first != 128) {
            form_ = -1;
            return first;
        }
        form_ = 1;
        if (!readSegmentHeader()) {
            ended_ = true;
            return -1;
        }
    }
    if (form_ < 0)
        return rawByte();
    // A segment used up (an empty one at once) is followed by the next
    // header: marker byte, type, length.
    while (segmentPosition_ >= segmentLength_) {
        if (rawByte() < 0 || !readSegmentHeader()) {
            ended_ = true;
            return -1;
        }
    }
    const std::int32_t b = rawByte();
    if (b < 0) {
        ended_ = true;
        return -1;
    }
    ++segmentPosition_;
    return b;
}

void EexecStream::startDecrypting() {
    std::int32_t c = readChar(*this);
    while (c >= 0 && c != '\r' && c != '\n')
        c = readChar(*this);
    if (c == '\r') {
        const std::int32_t next = dataByte();
        if (next != '\n')
            readAhead_ = next;
    }
    decrypting_ = true;
}

std::uint16_t EexecStream::getByte() {
    std::uint16_t pushed;
    if (takePushedBack(pushed))
        return pushed;
    std::int32_t c = readAhead_;
    if (c >= 0)
        readAhead_ = -1;
    else
        c = dataByte();
    if (c < 0)
        return kEndOfData;
    if (!decrypting_)
        return std::uint16_t(c);
    const std::uint16_t plain = std::uint16_t(c ^ (key_ >> 8));
    key_ = std::uint16_t((c + key_) * 52845u + 22719u);
    return plain;
}

// ------------------------------------------------------------ charstrings

bool readCharStringNumber(const CharString& charstring, std::size_t& position,
                          std::int32_t& value) {
    const std::size_t size = charstring.size();
    if (position >= size)
        return false;
    const std::int32_t v = std::uint8_t(charstring[position]);
    if (v <= 246) {
        value = v - 139;
        position += 1;
        return true;
    }
    if (v <= 254) {
        if (position + 1 >= size) {
            position = size;
            return false;
        }
        const std::int32_t w = std::uint8_t(charstring[position + 1]);
        value = v <= 250 ? (v - 247) * 256 + w + 108 : -(v - 251) * 256 - w - 108;
        position += 2;
        return true;
    }
    if (position + 4 >= size) {
        position = size;
        return false;
    }
    std::uint32_t u = 0;
    for (std::size_t i = 1; i <= 4; ++i)
        u = (u << 8) | std::uint8_t(charstring[position + i]);
    value = std::int32_t(u);
    position += 5;
    return true;
}

CharString type1Decrypt(std::string_view bytes, std::int32_t lenIV) {
    CharString plain;
    const std::size_t skip = lenIV > 0 ? std::size_t(lenIV) : 0;
    if (bytes.size() > skip)
        plain.reserve(bytes.size() - skip);
    std::uint16_t key = 4330;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t c = std::uint8_t(bytes[i]);
        if (i >= skip)
            plain.push_back(char(c ^ (key >> 8)));
        key = std::uint16_t((c + key) * 52845u + 22719u);
    }
    return plain;
}

}  // namespace vistrel
