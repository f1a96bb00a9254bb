#include "engine/object/tokenizer.h"

#include <cstring>
#include <limits>

#include "engine/core/allocator.h"
#include "engine/core/streams.h"

namespace vistrel {
namespace {

// Token characters and string bytes grow in buffers from the general heap.
constinit AllocatorHandle tokenBufferHandle{kAllocGeneral, 0};

// Character classes. Units above 255 (streams over wide text can deliver
// them) are regular characters.
enum : std::uint8_t {
    kWhite = 1,      // space, tab, line feed, carriage return, form feed
    kDelim = 2,      // % < > [ ] { } ( ) / and the white space
    kNumberEnd = 4,  // what ends a number without making it a name
};

struct Classes {
    std::uint8_t bits[256] = {};
    constexpr Classes() {
        for (char c : {' ', '\t', '\n', '\r', '\f'})
            bits[static_cast<std::uint8_t>(c)] |= kWhite | kDelim;
        for (char c : {'%', '<', '>', '[', ']', '{', '}', '(', ')', '/'})
            bits[static_cast<std::uint8_t>(c)] |= kDelim;
        for (char c : {'%', '<', '>', '[', ']', '{', '}', '/', '(', ')', '.', 'E', 'e', ' ', '\t',
                       '\v', '\n', '\r'}) {
            bits[static_cast<std::uint8_t>(c)] |= kNumberEnd;
        }
    }
};
constexpr Classes kClasses;

bool isWhite(std::uint16_t c) {
    return c < 256 && (kClasses.bits[c] & kWhite);
}
bool isNumberEnd(std::uint16_t c) {
    return c < 256 && (kClasses.bits[c] & kNumberEnd);
}
bool isDigit(std::uint16_t c) {
    return c >= '0' && c <= '9';
}
bool isOctal(std::uint16_t c) {
    return c >= '0' && c <= '7';
}

// Escape letters of literal strings and what they stand for.
int escapeValue(std::uint16_t e) {
    switch (e) {
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 'b':
            return '\b';
        case 't':
            return '\t';
        case 'f':
            return '\f';
        case '\\':
            return '\\';
        case ')':
            return ')';
        case '(':
            return '(';
        default:
            return -1;
    }
}

// Number magnitudes stop growing here; intValue is clamped to 32 bits.
constexpr std::int64_t kMagnitudeCap = std::int64_t{1} << 53;

// Longest token text a WString can hold (its length counts the terminator).
constexpr std::size_t kMaxUnits =
    static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 1;

bool storeText(WString& text, const char16_t* units, std::size_t n) {
    if (n > kMaxUnits)
        n = kMaxUnits;
    if (!text.setLength(static_cast<std::int32_t>(n + 1))) {
        if (text.setLength(1))
            text.data()[0] = 0;
        return false;
    }
    char16_t* d = text.data();
    if (d == nullptr)
        return false;
    if (n > 0)
        std::memcpy(d, units, n * sizeof(char16_t));
    d[n] = 0;
    return true;
}

}  // namespace

bool isDelimiter(std::uint16_t c) {
    return c < 256 && (kClasses.bits[c] & kDelim);
}

// --------------------------------------------------------------------- Buffer

template <class T>
Tokenizer::Buffer<T>::~Buffer() {
    tokenBufferHandle.free(data, capacity * sizeof(T));
}

template <class T>
bool Tokenizer::Buffer<T>::grow() {
    if (capacity >= kMaxUnits) {
        overflow = true;
        return false;
    }
    std::size_t next = capacity == 0 ? 64 : capacity * 2;
    if (next > kMaxUnits)
        next = kMaxUnits;
    void* p = tokenBufferHandle.reallocate(data, next * sizeof(T));
    if (p == nullptr) {
        overflow = true;
        return false;
    }
    data = static_cast<T*>(p);
    capacity = next;
    return true;
}

template struct Tokenizer::Buffer<char16_t>;
template struct Tokenizer::Buffer<std::uint8_t>;

// ------------------------------------------------------------------ Tokenizer

Tokenizer::Tokenizer(InputStream* stream) : stream_(stream) {}

Tokenizer::~Tokenizer() = default;

inline std::uint16_t Tokenizer::get() {
    const std::uint16_t c = stream_->nextByte();
    if (c != kEndOfData)
        ++taken_;
    return c;
}

inline void Tokenizer::pushBack(std::uint16_t c) {
    // The end of the data is never given back: it would come again as a byte.
    if (c != kEndOfData) {
        stream_->giveBack(c);
        --taken_;
    }
}

WString Tokenizer::textCopy() const {
    WString copy(text.size());
    if (!copy.setLength(text.length()))
        return text;
    std::memcpy(copy.data(), text.chars(), static_cast<std::size_t>(text.length()) * 2);
    return copy;
}

int Tokenizer::finish(int k) {
    kind = k;
    storeText(text, units_.data, units_.size);
    return k;
}

int Tokenizer::NextToken() {
    kind = kNone;
    isReal = false;
    intValue = 0;
    realValue = 0.0;
    units_.clear();
    if (stream_ == nullptr)
        return finish(kEnd);

    // White space and comments.
    std::uint16_t c = get();
    for (;;) {
        if (c == kEndOfData)
            return finish(kEnd);
        if (isWhite(c)) {
            c = get();
        } else if (c == '%') {
            do {
                c = get();
            } while (c != kEndOfData && c != '\n' && c != '\r');
        } else {
            break;
        }
    }

    // Dispatch on the first significant character. Stray characters that are
    // dropped loop back here rather than recurse.
    for (;;) {
        switch (c) {
            case kEndOfData:
                return finish(kEnd);
            case '(':
                readLiteralString();
                return finish(kString);
            case '<': {
                const std::uint16_t d = get();
                if (d == '<')
                    return finish(kDictOpen);
                if (d == '~') {
                    skipAscii85String();
                    return finish(kString);
                }
                pushBack(d);
                readHexString();
                return finish(kString);
            }
            case '>': {
                const std::uint16_t d = get();
                if (d == '>')
                    return finish(kDictClose);
                c = d;  // the single '>' is dropped
                continue;
            }
            case '[':
                return finish(kLeftBracket);
            case ']':
                return finish(kRightBracket);
            case '{':
                return finish(kLeftBrace);
            case '}':
                return finish(kRightBrace);
            case ')':
            case '%':
                c = get();
                continue;
            case '+':
            case '-':
            case '.':
                break;
            case '/':
                kind = kName;
                units_.push(u'/');
                readRun();
                return finish(kName);
            default:
                if (isWhite(c)) {
                    c = get();
                    continue;
                }
                if (!isDigit(c)) {
                    kind = kKeyword;
                    pushBack(c);
                    readRun();
                    return finish(kKeyword);
                }
                break;
        }
        // A sign, a full stop or a digit: a number, or a name when it is none.
        pushBack(c);
        if (readNumber())
            return numberText_ ? finish(kNumber) : kNumber;
        kind = kName;
        readRun();
        return finish(kName);
    }
}

void Tokenizer::readRun() {
    for (;;) {
        const std::uint16_t c = get();
        if (c == kEndOfData)
            return;
        if (isDelimiter(c)) {
            pushBack(c);
            return;
        }
        if (c != '#') {
            units_.push(static_cast<char16_t>(c));
            continue;
        }
        const std::uint16_t h1 = get();
        const int v1 = hexDigitValue(h1);
        if (v1 < 0) {
            pushBack(h1);
            units_.push(u'#');
            continue;
        }
        const std::uint16_t h2 = get();
        const int v2 = hexDigitValue(h2);
        if (v2 < 0) {
            pushBack(h2);
            units_.push(static_cast<char16_t>(v1));
        } else {
            units_.push(static_cast<char16_t>(v1 * 16 + v2));
        }
    }
}

bool Tokenizer::readNumber() {
    kind = kNumber;
    std::uint16_t b = get();
    int sign = 1;
    if (b == '-' || b == '+') {
        units_.push(static_cast<char16_t>(b));
        if (b == '-')
            sign = -1;
        b = get();
    }
    // Integer part, accumulated wide: the magnitude saturates, and intValue is
    // clamped to the 32-bit range, for integers and reals alike.
    std::int64_t magnitude = 0;
    while (isDigit(b)) {
        units_.push(static_cast<char16_t>(b));
        if (magnitude < kMagnitudeCap)
            magnitude = magnitude * 10 + (b - '0');
        b = get();
    }
    const std::int64_t signedValue = sign * magnitude;
    intValue = static_cast<std::int32_t>(signedValue > std::numeric_limits<std::int32_t>::max()
                                             ? std::numeric_limits<std::int32_t>::max()
                                         : signedValue < std::numeric_limits<std::int32_t>::min()
                                             ? std::numeric_limits<std::int32_t>::min()
                                             : signedValue);
    if (b == kEndOfData)
        return true;
    if (!isNumberEnd(b)) {
        // Not a number after all: the run goes on as a name.
        units_.push(static_cast<char16_t>(b));
        return false;
    }
    if (b != '.') {
        pushBack(b);
        return true;
    }
    units_.push(u'.');
    double fraction = 0.0;
    double scale = 0.1;
    for (;;) {
        b = get();
        if (!isDigit(b))
            break;
        units_.push(static_cast<char16_t>(b));
        fraction += (b - '0') * scale;
        scale *= 0.1;
    }
    pushBack(b);
    isReal = true;
    const double whole = static_cast<double>(signedValue);
    realValue = sign > 0 ? whole + fraction : whole - fraction;
    return true;
}

void Tokenizer::readLiteralString() {
    raw_.clear();
    rawIsHex_ = false;
    // Characters are one byte each until the string opens with FE FF; then
    // two bytes (UTF-16BE, first byte high) make one character.
    bool wide = false;
    std::uint32_t partial = 0;
    int partialBytes = 0;
    auto addByte = [&](std::uint16_t value) {
        raw_.push(static_cast<std::uint8_t>(value & 0xFF));
        if (!wide) {
            units_.push(static_cast<char16_t>(value));
            if (units_.size == 2 && units_.data[0] == 0xFE && units_.data[1] == 0xFF) {
                units_.clear();
                wide = true;
            }
            return;
        }
        partial = (partial << 8) | (value & 0xFF);
        if (++partialBytes == 2) {
            units_.push(static_cast<char16_t>(partial));
            partial = 0;
            partialBytes = 0;
        }
    };

    std::size_t depth = 1;
    for (;;) {
        std::uint16_t b = get();
        if (b == kEndOfData)
            return;
        if (b == '(') {
            ++depth;
            addByte(b);
        } else if (b == ')') {
            if (--depth == 0)
                return;
            addByte(b);
        } else if (b == '\\') {
            const std::uint16_t e = get();
            if (e == kEndOfData)
                return;
            const int value = escapeValue(e);
            if (value >= 0) {
                addByte(static_cast<std::uint16_t>(value));
            } else if (e == '\n' || e == '\r') {
                // Line continuation: this and every line end right after it vanish.
                do {
                    b = get();
                } while (b == '\n' || b == '\r');
                pushBack(b);
            } else if (isOctal(e)) {
                int octal = e - '0';
                for (int i = 1; i < 3; ++i) {
                    b = get();
                    if (!isOctal(b)) {
                        pushBack(b);
                        break;
                    }
                    octal = octal * 8 + (b - '0');
                }
                addByte(static_cast<std::uint16_t>(octal & 0xFF));
            } else {
                addByte(e);
            }
        } else {
            addByte(b);
        }
    }
}

void Tokenizer::readHexString() {
    raw_.clear();
    rawIsHex_ = true;
    int digitsPerChar = 2;
    std::uint32_t value = 0;
    int digits = 0;
    std::uint8_t rawValue = 0;
    bool rawHalf = false;
    for (;;) {
        std::uint16_t c = get();
        // The end of the data ends the string as '>' does.
        if (c == kEndOfData || c == '>')
            break;
        if (c >= 'A' && c <= 'Z')
            c = static_cast<std::uint16_t>(c + ('a' - 'A'));
        const int d = hexDigitValue(c);
        if (d < 0)
            continue;  // white space and other characters are skipped
        if (rawHalf) {
            raw_.push(static_cast<std::uint8_t>(rawValue | d));
            rawHalf = false;
        } else {
            rawValue = static_cast<std::uint8_t>(d << 4);
            rawHalf = true;
        }
        value = value * 16 + static_cast<std::uint32_t>(d);
        if (++digits == digitsPerChar) {
            units_.push(static_cast<char16_t>(value));
            value = 0;
            digits = 0;
            if (digitsPerChar == 2 && units_.size == 2 && units_.data[0] == 0xFE &&
                units_.data[1] == 0xFF) {
                units_.clear();
                digitsPerChar = 4;
            }
        }
    }
    // A partly filled character counts its missing digits as 0 and is kept
    // when not 0.
    if (digits > 0) {
        value <<= 4 * (digitsPerChar - digits);
        if (value != 0)
            units_.push(static_cast<char16_t>(value));
    }
    if (rawHalf && rawValue != 0)
        raw_.push(rawValue);
}

void Tokenizer::skipAscii85String() {
    raw_.clear();
    rawIsHex_ = false;
    std::uint16_t c;
    do {
        c = get();
    } while (c != kEndOfData && c != '~');
    if (c != kEndOfData)
        get();  // the closing '>'
}

// ------------------------------------------------------------ string decoding

bool decodeStringBytes(const std::uint8_t* bytes, std::size_t n, bool hexForm, WString& out) {
    Tokenizer::Buffer<char16_t> units;
    if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        std::size_t i = 2;
        for (; i + 1 < n; i += 2)
            units.push(static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]));
        if (i < n && hexForm && bytes[i] != 0)
            units.push(static_cast<char16_t>(bytes[i] << 8));
    } else {
        for (std::size_t i = 0; i < n; ++i)
            units.push(bytes[i]);
    }
    return storeText(out, units.data, units.size) && !units.overflow;
}

}  // namespace vistrel
