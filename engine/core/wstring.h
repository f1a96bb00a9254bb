// WString, the engine's string of UTF-16 units, and the functions on
// zero-terminated UTF-16 texts.
//
// A WString's length counts the terminator (an empty string has length 1).
// Buffers grow to the next multiple of 32 units and never shrink. A constant
// (WString::kConstant) is used in place over a literal, never freed and never
// modified, and carries its hash; constructed with `constinit` it costs nothing
// at load:
//
//     constinit const WString kFontSystem{u"FontSystem", WString::kConstant};
//
// Operations that would need more memory than can be had leave the string
// unchanged and report false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vistrel {

// ---------------------------------------------------------------------------
// Wide-text functions. "New" texts come from BlockPool::allocate and are freed
// by the caller with BlockPool::free (blockPool().free(text)).

int32_t WideLength(const char16_t* text);
// n = -1: the whole text with its terminator; else at most n units, padded with
// zeros like the C library's bounded copy. Returns dest.
char16_t* WideCopy(char16_t* dest, const char16_t* src, int32_t n = -1);
// Negative, 0 or positive; n = -1 compares whole texts, else at most n units.
int WideCompare(const char16_t* a, const char16_t* b, int32_t n = -1);
char16_t WideToLower(char16_t c);  // A-Z only
char16_t WideToUpper(char16_t c);  // a-z only
// Leading white space, sign, digits of the radix (0: decimal, octal or 0x hex);
// clamps to the 32-bit range.
int32_t WideToLong(const char16_t* text, int radix);
// Leading white space, sign, digits, point, exponent; locale-independent.
double WideToDouble(const char16_t* text);

// New wide text, one unit per byte (0 to 255).
char16_t* WideFromNarrow(const char* narrow);
// New narrow text, the low 8 bits of each unit (file names for the file layer).
char* NarrowFromWide(const char16_t* text);
// New narrow text, Latin-1; units above 255 become '?'.
char* NarrowDupFromWide(const char16_t* text);
// New array of n bytes, the low 8 bits of the first n units, not terminated.
char* NarrowFromWideN(const char16_t* text, int32_t n);
// New wide text of n units, one per byte, terminated.
char16_t* WideFromBytes(const uint8_t* bytes, int32_t n);

const char16_t* WideFindChar(const char16_t* text, char16_t c);
const char16_t* WideFindText(const char16_t* text, const char16_t* sub);

// Decimal value into buffer, at most n - 1 units and a terminator; returns buffer.
char16_t* WideFormat(int32_t value, char16_t* buffer, int32_t n);
// Two lower-case hexadecimal digits (leading zero kept) and a terminator.
char16_t* WideFormatHex2(uint8_t byte, char16_t* buffer);
// value as "%f" (six decimals), at most n - 1 units and a terminator.
char16_t* WideFormatReal(double value, char16_t* buffer, int32_t n);

bool isHexDigit(int c);
// The value of a hexadecimal digit of either case (0 to 15), or -1 for any
// other character.
int hexDigitValue(int c);
// v + 48 below 10, v + 55 from 10 (upper-case A-F).
char16_t hexDigitChar(int v);
void sortArray(void* base, size_t count, size_t width, int (*compare)(const void*, const void*));

// Conversions to and from std strings for the platform layers.
std::string Utf8FromWide(const char16_t* text, int32_t n = -1);
std::u16string WideFromUtf8(std::string_view utf8);

// ---------------------------------------------------------------------------

class WString {
public:
    struct ConstantTag {};
    static constexpr ConstantTag kConstant{};

    // Empty string; capacity = capacity + 1, or 16 when 0 is given.
    explicit WString(int32_t capacity = 0);
    // literal: used in place as a constant. Else a copy of the whole text
    // (n = -1) or of its first n units.
    WString(const char16_t* text, int32_t n = -1, bool literal = false);
    // A constant over a literal, built at compile time.
    constexpr WString(const char16_t* literal, ConstantTag)
        : chars_(const_cast<char16_t*>(literal)),
          length_(constLength(literal) + 1),
          capacity_(length_),
          constant_(true),
          hash_(computeHash(literal)) {}
    WString(const WString& other);
    WString(WString&& other) noexcept;
    WString& operator=(const WString& other);
    WString& operator=(WString&& other) noexcept;
    ~WString();

    static WString fromUtf8(std::string_view utf8);
    static WString fromLatin1(std::string_view bytes);

    const char16_t* chars() const { return chars_; }
    // Writable units (owned buffer; a constant is copied first). Null when that fails.
    char16_t* data();
    int32_t length() const { return length_; }
    int32_t capacity() const { return capacity_; }
    bool isConstant() const { return constant_; }
    // Number of units before the terminator.
    int32_t size() const { return length_ - 1; }
    bool empty() const { return length_ <= 1; }
    char16_t at(int32_t index) const { return chars_[index]; }
    std::u16string_view view() const { return {chars_, static_cast<size_t>(length_ - 1)}; }

    // Same length and units.
    bool equals(const WString& other) const;
    bool equalsText(const char16_t* text) const;
    bool operator==(const WString& other) const { return equals(other); }

    // length = n, grown to n; writes no terminator.
    bool setLength(int32_t n);
    bool assign(const WString& other);
    bool assignText(const char16_t* text);
    bool insert(char16_t c, int32_t index);
    bool insertText(const char16_t* text, int32_t index);
    bool append(const WString& other);
    bool appendText(const char16_t* text);
    bool appendChar(char16_t c) {
        if (length_ < capacity_ && !constant_) {
            chars_[length_ - 1] = c;
            chars_[length_++] = 0;
            return true;
        }
        return insert(c, length_ - 1);
    }
    void erase(int32_t index, int32_t count);
    void trimLeft();
    WString substr(int32_t index, int32_t count) const;
    bool mid(const WString& source, int32_t index, int32_t count);
    void toLower();
    void toUpper();

    friend WString operator+(const WString& a, const WString& b);
    friend WString operator+(const WString& a, const char16_t* b);
    friend WString operator+(const char16_t* a, const WString& b);
    friend WString operator+(const WString& a, char16_t b);
    friend WString operator+(char16_t a, const WString& b);

    int32_t toInt(int radix = 10) const;
    double toDouble() const;
    bool fromInt(int32_t value);
    bool fromDouble(double value);
    bool appendColonTriple(int32_t a, int32_t b, int32_t c);

    // Index of text (its first `limit` units when limit != -1) at or after start.
    int32_t find(const char16_t* text, int32_t start = 0, int32_t limit = -1) const;
    int32_t findChar(char16_t c, int32_t start = 0) const;
    int32_t findLast(char16_t c) const;
    uint32_t hash() const { return constant_ ? hash_ : computeHash(chars_); }
    // The part behind the last slash or backslash.
    WString splitPath() const;

    std::string toUtf8() const;
    // The low 8 bits of each unit.
    std::string toLatin1() const;

    static constexpr uint32_t computeHash(const char16_t* text) {
        uint32_t h = 0;
        for (; *text; ++text)
            h = (h * 2) ^ (static_cast<uint32_t>(*text) * 7);
        return h;
    }

private:
    struct Adopt {};
    WString(Adopt, char16_t* buffer, int32_t length, int32_t capacity);

    static constexpr int32_t constLength(const char16_t* text) {
        int32_t n = 0;
        while (text[n])
            ++n;
        return n;
    }
    // Makes room for n units (terminator included) by the growth rule; a
    // constant becomes an owned copy. False when memory cannot be had.
    bool reserveUnits(int64_t n);
    bool replaceUnits(int32_t index, int32_t removed, const char16_t* units, int32_t count);
    void release();

    char16_t* chars_;
    int32_t length_;
    int32_t capacity_;
    bool constant_ = false;
    uint32_t hash_ = 0;
};

// The shared empty string (capacity 16).
const WString& emptyWString();

// Three-way order of two texts by their 16-bit units as unsigned values, the
// shorter first when one is a prefix of the other: -1, 0 or 1.
int compareText(const WString& a, const WString& b);

}  // namespace vistrel
