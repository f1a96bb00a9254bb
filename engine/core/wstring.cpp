#include "engine/core/wstring.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/core/allocator.h"

namespace vistrel {

namespace {

// WString buffers come from their own general handle (the default heap).
constinit AllocatorHandle gTextHandle{kAllocGeneral, 0};

char16_t gEmptyUnits[1] = {0};

constexpr int32_t kMaxUnits = INT32_MAX - 64;

// The next multiple of 32 at or above n.
int32_t grownCapacity(int64_t n) {
    return static_cast<int32_t>(((n - 1) / 32) * 32 + 32);
}

char16_t* allocUnits(int64_t units) {
    if (units <= 0 || units > kMaxUnits)
        return nullptr;
    return static_cast<char16_t*>(gTextHandle.allocate(static_cast<size_t>(units) * 2));
}

void freeUnits(char16_t* units) {
    gTextHandle.free(units, 0);
}

bool isSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isCSpace(char16_t c) {
    return isSpace(c) || c == '\v';
}

template <class T>
T* poolArray(size_t count) {
    size_t bytes;
    if (!checkedMultiply(count, sizeof(T), &bytes))
        return nullptr;
    return static_cast<T*>(blockPool().allocate(bytes));
}

// Writes the decimal form of value; returns the number of characters.
int formatInt(int32_t value, char* out) {
    auto result = std::to_chars(out, out + 16, value);
    return static_cast<int>(result.ptr - out);
}

// "%f" of value into out (large enough for any double); returns the length.
int formatReal(double value, char* out, size_t size) {
    if (std::isnan(value)) {
        std::memcpy(out, std::signbit(value) ? "-nan" : "nan", std::signbit(value) ? 4 : 3);
        return std::signbit(value) ? 4 : 3;
    }
    auto result = std::to_chars(out, out + size, value, std::chars_format::fixed, 6);
    return static_cast<int>(result.ptr - out);
}

}  // namespace

// ---------------------------------------------------------------------------
// Wide-text functions

int32_t WideLength(const char16_t* text) {
    if (!text)
        return 0;
    int32_t n = 0;
    while (text[n])
        ++n;
    return n;
}

char16_t* WideCopy(char16_t* dest, const char16_t* src, int32_t n) {
    if (n < 0) {
        int32_t i = 0;
        do {
            dest[i] = src[i];
        } while (src[i++]);
        return dest;
    }
    int32_t i = 0;
    for (; i < n && src[i]; ++i)
        dest[i] = src[i];
    for (; i < n; ++i)
        dest[i] = 0;
    return dest;
}

int WideCompare(const char16_t* a, const char16_t* b, int32_t n) {
    for (int32_t i = 0; n < 0 || i < n; ++i) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
        if (!a[i])
            return 0;
    }
    return 0;
}

char16_t WideToLower(char16_t c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

char16_t WideToUpper(char16_t c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

int32_t WideToLong(const char16_t* text, int radix) {
    if (!text || radix < 0 || radix == 1 || radix > 36)
        return 0;
    const char16_t* p = text;
    while (isCSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    auto digit = [](char16_t c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'Z')
            return c - 'A' + 10;
        return 99;
    };
    bool hexPrefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && digit(p[2]) < 16;
    if (radix == 0) {
        radix = hexPrefix ? 16 : (p[0] == '0' ? 8 : 10);
    }
    if (radix == 16 && hexPrefix)
        p += 2;
    int64_t value = 0;
    bool overflow = false;
    for (; digit(*p) < radix; ++p) {
        value = value * radix + digit(*p);
        if (value > int64_t(INT32_MAX) + 1) {
            overflow = true;
            value = int64_t(INT32_MAX) + 1;
        }
    }
    if (negative) {
        return overflow || value > int64_t(INT32_MAX) + 1 ? INT32_MIN
                                                          : static_cast<int32_t>(-value);
    }
    return overflow || value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

double WideToDouble(const char16_t* text) {
    if (!text)
        return 0.0;
    const char16_t* p = text;
    while (isCSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    std::string digits;
    int intDigits = 0, leadingFractionZeros = 0;
    bool anyDigit = false, seenNonZero = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        digits += static_cast<char>(*p);
        anyDigit = true;
        if (*p != '0')
            seenNonZero = true;
        if (seenNonZero)
            ++intDigits;
    }
    if (*p == '.') {
        digits += '.';
        ++p;
        for (; *p >= '0' && *p <= '9'; ++p) {
            digits += static_cast<char>(*p);
            anyDigit = true;
            if (*p != '0') {
                seenNonZero = true;
            } else if (!seenNonZero) {
                ++leadingFractionZeros;
            }
        }
    }
    if (!anyDigit)
        return 0.0;
    long exponent = 0;
    if ((*p == 'e' || *p == 'E')) {
        const char16_t* q = p + 1;
        bool expNegative = false;
        if (*q == '+' || *q == '-') {
            expNegative = *q == '-';
            ++q;
        }
        if (*q >= '0' && *q <= '9') {
            digits += 'e';
            if (expNegative)
                digits += '-';
            for (; *q >= '0' && *q <= '9'; ++q) {
                if (exponent < 100000)
                    exponent = exponent * 10 + (*q - '0');
                digits += static_cast<char>(*q);
            }
            if (expNegative)
                exponent = -exponent;
        }
    }
    double value = 0.0;
    auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                  std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        long magnitude = exponent + (intDigits > 0 ? intDigits : -leadingFractionZeros);
        value = magnitude > 0 ? HUGE_VAL : 0.0;
    }
    return negative ? -value : value;
}

char16_t* WideFromNarrow(const char* narrow) {
    if (!narrow)
        return nullptr;
    size_t n = std::strlen(narrow);
    auto* out = poolArray<char16_t>(n + 1);
    if (!out)
        return nullptr;
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(narrow[i]);
    out[n] = 0;
    return out;
}

char* NarrowFromWide(const char16_t* text) {
    int32_t n = WideLength(text);
    auto* out = poolArray<char>(static_cast<size_t>(n) + 1);
    if (!out)
        return nullptr;
    for (int32_t i = 0; i < n; ++i)
        out[i] = static_cast<char>(text[i] & 0xFF);
    out[n] = 0;
    return out;
}

char* NarrowDupFromWide(const char16_t* text) {
    int32_t n = WideLength(text);
    auto* out = poolArray<char>(static_cast<size_t>(n) + 1);
    if (!out)
        return nullptr;
    for (int32_t i = 0; i < n; ++i)
        out[i] = text[i] > 0xFF ? '?' : static_cast<char>(text[i]);
    out[n] = 0;
    return out;
}

char* NarrowFromWideN(const char16_t* text, int32_t n) {
    if (n < 0)
        return nullptr;
    auto* out = poolArray<char>(n == 0 ? 1 : static_cast<size_t>(n));
    if (!out)
        return nullptr;
    for (int32_t i = 0; i < n; ++i)
        out[i] = static_cast<char>(text[i] & 0xFF);
    return out;
}

char16_t* WideFromBytes(const uint8_t* bytes, int32_t n) {
    if (n < 0)
        return nullptr;
    auto* out = poolArray<char16_t>(static_cast<size_t>(n) + 1);
    if (!out)
        return nullptr;
    for (int32_t i = 0; i < n; ++i)
        out[i] = bytes[i];
    out[n] = 0;
    return out;
}

const char16_t* WideFindChar(const char16_t* text, char16_t c) {
    for (;; ++text) {
        if (*text == c)
            return text;
        if (!*text)
            return nullptr;
    }
}

const char16_t* WideFindText(const char16_t* text, const char16_t* sub) {
    if (!*sub)
        return text;
    for (; *text; ++text) {
        int32_t i = 0;
        while (sub[i] && text[i] == sub[i])
            ++i;
        if (!sub[i])
            return text;
    }
    return nullptr;
}

namespace {

char16_t* copyNarrowInto(const char* text, int length, char16_t* buffer, int32_t n) {
    if (n <= 0)
        return buffer;
    int32_t m = std::min<int32_t>(length, n - 1);
    for (int32_t i = 0; i < m; ++i)
        buffer[i] = static_cast<unsigned char>(text[i]);
    buffer[m] = 0;
    return buffer;
}

}  // namespace

char16_t* WideFormat(int32_t value, char16_t* buffer, int32_t n) {
    char text[16];
    return copyNarrowInto(text, formatInt(value, text), buffer, n);
}

char16_t* WideFormatHex2(uint8_t byte, char16_t* buffer) {
    static constexpr char kDigits[] = "0123456789abcdef";
    buffer[0] = kDigits[byte >> 4];
    buffer[1] = kDigits[byte & 15];
    buffer[2] = 0;
    return buffer;
}

char16_t* WideFormatReal(double value, char16_t* buffer, int32_t n) {
    char text[400];
    return copyNarrowInto(text, formatReal(value, text, sizeof text), buffer, n);
}

int compareText(const WString& a, const WString& b) {
    std::u16string_view x = a.view(), y = b.view();
    size_t n = x.size() < y.size() ? x.size() : y.size();
    for (size_t i = 0; i < n; ++i) {
        if (x[i] != y[i])
            return static_cast<uint16_t>(x[i]) < static_cast<uint16_t>(y[i]) ? -1 : 1;
    }
    if (x.size() == y.size())
        return 0;
    return x.size() < y.size() ? -1 : 1;
}

bool isHexDigit(int c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexDigitValue(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char16_t hexDigitChar(int v) {
    return static_cast<char16_t>(v < 10 ? v + 48 : v + 55);
}

void sortArray(void* base, size_t count, size_t width, int (*compare)(const void*, const void*)) {
    if (count > 1)
        std::qsort(base, count, width, compare);
}

std::string Utf8FromWide(const char16_t* text, int32_t n) {
    std::string out;
    if (!text)
        return out;
    if (n < 0)
        n = WideLength(text);
    out.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // unpaired surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string WideFromUtf8(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        auto b = static_cast<unsigned char>(utf8[i]);
        uint32_t c;
        size_t extra;
        uint32_t minimum;
        if (b < 0x80) {
            c = b;
            extra = 0;
            minimum = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra && i + j < utf8.size(); ++j) {
            auto t = static_cast<unsigned char>(utf8[i + j]);
            if ((t & 0xC0) != 0x80)
                break;
            c = (c << 6) | (t & 0x3F);
        }
        if (j <= extra || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\xFFFD';
            i += j;
            continue;
        }
        i += j;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// WString

WString::WString(int32_t capacity) {
    int32_t cap = capacity <= 0 ? 16 : (capacity > kMaxUnits ? 0 : capacity + 1);
    chars_ = allocUnits(cap);
    if (!chars_) {
        chars_ = gEmptyUnits;
        length_ = capacity_ = 1;
        constant_ = true;
        return;
    }
    chars_[0] = 0;
    length_ = 1;
    capacity_ = cap;
}

WString::WString(const char16_t* text, int32_t n, bool literal) {
    if (!text)
        text = gEmptyUnits;
    int32_t len = WideLength(text);
    if (literal) {
        chars_ = const_cast<char16_t*>(text);
        length_ = capacity_ = len + 1;
        hash_ = computeHash(text);
        constant_ = true;
        return;
    }
    int32_t m = n < 0 ? len : std::min(len, n);
    chars_ = allocUnits(static_cast<int64_t>(m) + 1);
    if (!chars_) {
        chars_ = gEmptyUnits;
        length_ = capacity_ = 1;
        constant_ = true;
        return;
    }
    std::memcpy(chars_, text, static_cast<size_t>(m) * 2);
    chars_[m] = 0;
    length_ = capacity_ = m + 1;
}

WString::WString(Adopt, char16_t* buffer, int32_t length, int32_t capacity)
    : chars_(buffer), length_(length), capacity_(capacity) {}

WString::WString(const WString& other) {
    chars_ = allocUnits(other.capacity_);
    if (!chars_) {
        chars_ = gEmptyUnits;
        length_ = capacity_ = 1;
        constant_ = true;
        return;
    }
    std::memcpy(chars_, other.chars_, static_cast<size_t>(other.length_) * 2);
    length_ = other.length_;
    capacity_ = other.capacity_;
}

WString::WString(WString&& other) noexcept
    : chars_(other.chars_),
      length_(other.length_),
      capacity_(other.capacity_),
      constant_(other.constant_),
      hash_(other.hash_) {
    other.chars_ = gEmptyUnits;
    other.length_ = other.capacity_ = 1;
    other.constant_ = true;
    other.hash_ = 0;
}

// assign leaves a string assigned to itself as it is.
WString& WString::operator=(const WString& other) {  // NOLINT(bugprone-unhandled-self-assignment)
    assign(other);
    return *this;
}

WString& WString::operator=(WString&& other) noexcept {
    if (this != &other) {
        release();
        chars_ = other.chars_;
        length_ = other.length_;
        capacity_ = other.capacity_;
        constant_ = other.constant_;
        hash_ = other.hash_;
        other.chars_ = gEmptyUnits;
        other.length_ = other.capacity_ = 1;
        other.constant_ = true;
        other.hash_ = 0;
    }
    return *this;
}

WString::~WString() {
    release();
}

void WString::release() {
    if (chars_ && !constant_)
        freeUnits(chars_);
}

WString WString::fromUtf8(std::string_view utf8) {
    std::u16string units = WideFromUtf8(utf8);
    return WString(units.c_str(), static_cast<int32_t>(units.size()));
}

WString WString::fromLatin1(std::string_view bytes) {
    if (bytes.size() > static_cast<size_t>(kMaxUnits))
        return WString();
    auto n = static_cast<int32_t>(bytes.size());
    char16_t* buffer = allocUnits(static_cast<int64_t>(n) + 1);
    if (!buffer)
        return WString();
    for (int32_t i = 0; i < n; ++i)
        buffer[i] = static_cast<unsigned char>(bytes[i]);
    buffer[n] = 0;
    return WString(Adopt{}, buffer, n + 1, n + 1);
}

bool WString::reserveUnits(int64_t n) {
    if (n > kMaxUnits)
        return false;
    if (constant_) {
        int64_t want = std::max<int64_t>(n, length_);
        int32_t cap = grownCapacity(want);
        char16_t* buffer = allocUnits(cap);
        if (!buffer)
            return false;
        std::memcpy(buffer, chars_, static_cast<size_t>(length_) * 2);
        chars_ = buffer;
        capacity_ = cap;
        constant_ = false;
        hash_ = 0;
        return true;
    }
    if (n <= capacity_)
        return true;
    int32_t cap = grownCapacity(n);
    auto* buffer =
        static_cast<char16_t*>(gTextHandle.reallocate(chars_, static_cast<size_t>(cap) * 2));
    if (!buffer)
        return false;
    chars_ = buffer;
    capacity_ = cap;
    return true;
}

char16_t* WString::data() {
    return reserveUnits(1) ? chars_ : nullptr;
}

bool WString::equals(const WString& other) const {
    return length_ == other.length_ &&
           std::memcmp(chars_, other.chars_, static_cast<size_t>(length_ - 1) * 2) == 0;
}

bool WString::equalsText(const char16_t* text) const {
    return WideLength(text) == length_ - 1 &&
           std::memcmp(chars_, text, static_cast<size_t>(length_ - 1) * 2) == 0;
}

bool WString::setLength(int32_t n) {
    if (n < 1 || !reserveUnits(n))
        return false;
    length_ = n;
    return true;
}

bool WString::assign(const WString& other) {
    if (&other == this)
        return true;
    if (!reserveUnits(other.length_))
        return false;
    std::memcpy(chars_, other.chars_, static_cast<size_t>(other.length_) * 2);
    length_ = other.length_;
    return true;
}

bool WString::assignText(const char16_t* text) {
    if (text == chars_)
        return true;
    if (!text)
        text = gEmptyUnits;
    int32_t n = WideLength(text) + 1;
    // A text inside this buffer is shorter than it, so no reallocation moves it.
    if (!reserveUnits(n))
        return false;
    std::memmove(chars_, text, static_cast<size_t>(n) * 2);
    length_ = n;
    return true;
}

// Replaces `removed` units at index by `count` units (which may lie in this buffer).
bool WString::replaceUnits(int32_t index, int32_t removed, const char16_t* units, int32_t count) {
    std::u16string copy;
    if (units >= chars_ && units < chars_ + capacity_) {
        copy.assign(units, static_cast<size_t>(count));
        units = copy.data();
    }
    int64_t newLength = int64_t(length_) - removed + count;
    if (!reserveUnits(newLength))
        return false;
    std::memmove(chars_ + index + count, chars_ + index + removed,
                 static_cast<size_t>(length_ - index - removed) * 2);
    if (count)
        std::memcpy(chars_ + index, units, static_cast<size_t>(count) * 2);
    length_ = static_cast<int32_t>(newLength);
    return true;
}

bool WString::insert(char16_t c, int32_t index) {
    if (index < 0 || index >= length_)
        return false;
    return replaceUnits(index, 0, &c, 1);
}

bool WString::insertText(const char16_t* text, int32_t index) {
    if (!text || index < 0 || index >= length_)
        return false;
    return replaceUnits(index, 0, text, WideLength(text));
}

bool WString::append(const WString& other) {
    return replaceUnits(length_ - 1, 0, other.chars_, other.length_ - 1);
}

bool WString::appendText(const char16_t* text) {
    if (!text)
        return true;
    return replaceUnits(length_ - 1, 0, text, WideLength(text));
}

void WString::erase(int32_t index, int32_t count) {
    if (count == 0 || index < 0 || index > length_ - 1)
        return;
    int32_t available = length_ - 1 - index;
    int32_t n = count < 0 ? available : std::min(count, available);
    if (n == 0)
        return;
    replaceUnits(index, n, nullptr, 0);
}

void WString::trimLeft() {
    int32_t n = 0;
    while (n < length_ - 1 && isSpace(chars_[n]))
        ++n;
    if (n)
        erase(0, n);
}

WString WString::substr(int32_t index, int32_t count) const {
    if (count == 0 || index < 0 || index > length_ - 2) {
        // Capacity count + 2, or length - index + 2 to the end, or 16.
        int64_t cap = count > 0 ? int64_t(count) + 1 : count < 0 ? int64_t(length_) - index + 1 : 0;
        return WString(cap > 0 && cap <= kMaxUnits ? static_cast<int32_t>(cap) : 0);
    }
    int32_t available = length_ - 1 - index;
    int32_t m = count < 0 ? available : std::min(count, available);
    return WString(chars_ + index, m);
}

bool WString::mid(const WString& source, int32_t index, int32_t count) {
    if (index < 0 || index >= source.length_ - 1 || count == 0) {
        if (!reserveUnits(1))
            return false;
        chars_[0] = 0;
        length_ = 1;
        return true;
    }
    int32_t available = source.length_ - 1 - index;
    int32_t m = count < 0 ? available : std::min(count, available);
    if (&source == this) {
        if (!reserveUnits(1))
            return false;  // a constant becomes its own copy first
        std::memmove(chars_, chars_ + index, static_cast<size_t>(m) * 2);
        chars_[m] = 0;
        length_ = m + 1;
        return true;
    }
    if (!reserveUnits(int64_t(m) + 1))
        return false;
    std::memcpy(chars_, source.chars_ + index, static_cast<size_t>(m) * 2);
    chars_[m] = 0;
    length_ = m + 1;
    return true;
}

void WString::toLower() {
    if (!reserveUnits(1))
        return;
    for (int32_t i = 0; i < length_ - 1; ++i)
        chars_[i] = WideToLower(chars_[i]);
}

void WString::toUpper() {
    if (!reserveUnits(1))
        return;
    for (int32_t i = 0; i < length_ - 1; ++i)
        chars_[i] = WideToUpper(chars_[i]);
}

namespace {

// Joins two unit runs into a new string whose capacity starts at `capacity`.
WString join(const char16_t* a, int32_t na, const char16_t* b, int32_t nb, int32_t capacity) {
    WString result(capacity > 1 ? capacity - 1 : 1);
    char16_t* out = result.data();
    if (!out || !result.setLength(na + nb + 1))
        return WString();
    out = result.data();
    std::memcpy(out, a, static_cast<size_t>(na) * 2);
    std::memcpy(out + na, b, static_cast<size_t>(nb) * 2);
    out[na + nb] = 0;
    return result;
}

}  // namespace

WString operator+(const WString& a, const WString& b) {
    return join(a.chars_, a.length_ - 1, b.chars_, b.length_ - 1, a.capacity_);
}

WString operator+(const WString& a, const char16_t* b) {
    if (!b)
        b = gEmptyUnits;
    return join(a.chars_, a.length_ - 1, b, WideLength(b), a.capacity_);
}

WString operator+(const char16_t* a, const WString& b) {
    if (!a)
        a = gEmptyUnits;
    int32_t na = WideLength(a);
    return join(a, na, b.chars_, b.length_ - 1, na + 1);
}

WString operator+(const WString& a, char16_t b) {
    return join(a.chars_, a.length_ - 1, &b, 1, a.capacity_);
}

WString operator+(char16_t a, const WString& b) {
    return join(&a, 1, b.chars_, b.length_ - 1, 2);
}

int32_t WString::toInt(int radix) const {
    return empty() ? 0 : WideToLong(chars_, radix);
}

double WString::toDouble() const {
    return empty() ? 0.0 : WideToDouble(chars_);
}

bool WString::fromInt(int32_t value) {
    if (!reserveUnits(capacity_ < 33 ? 64 : 1))
        return false;
    char text[16];
    int n = formatInt(value, text);
    for (int i = 0; i < n; ++i)
        chars_[i] = static_cast<unsigned char>(text[i]);
    chars_[n] = 0;
    length_ = n + 1;
    return true;
}

bool WString::fromDouble(double value) {
    char text[400];
    int n = formatReal(value, text, sizeof text);
    if (!reserveUnits(capacity_ < 64 ? 64 : 1) || !reserveUnits(n + 1))
        return false;
    for (int i = 0; i < n; ++i)
        chars_[i] = static_cast<unsigned char>(text[i]);
    chars_[n] = 0;
    length_ = n + 1;
    return true;
}

bool WString::appendColonTriple(int32_t a, int32_t b, int32_t c) {
    char text[64];
    int n = formatInt(a, text);
    text[n++] = ':';
    n += formatInt(b, text + n);
    text[n++] = ':';
    n += formatInt(c, text + n);
    char16_t units[64];
    for (int i = 0; i < n; ++i)
        units[i] = static_cast<unsigned char>(text[i]);
    return replaceUnits(length_ - 1, 0, units, n);
}

int32_t WString::find(const char16_t* text, int32_t start, int32_t limit) const {
    if (!text || start < 0)
        return -1;
    int32_t k = WideLength(text);
    if (limit >= 0 && limit < k)
        k = limit;
    if (int64_t(start) + k > length_ || start >= length_ - k)
        return -1;
    for (int32_t p = start; p < length_ - k; ++p) {
        if (WideCompare(chars_ + p, text, k) == 0)
            return p;
    }
    return -1;
}

int32_t WString::findChar(char16_t c, int32_t start) const {
    if (start < 0)
        return -1;
    for (int32_t i = start; i < length_; ++i) {
        if (chars_[i] == c)
            return i;
    }
    return -1;
}

int32_t WString::findLast(char16_t c) const {
    for (int32_t i = length_ - 1; i >= 0; --i) {
        if (chars_[i] == c)
            return i;
    }
    return -1;
}

WString WString::splitPath() const {
    int32_t cut = std::max(findLast(u'\\'), findLast(u'/'));
    if (cut < 0)
        return *this;
    return WString(chars_ + cut + 1, length_ - 2 - cut);
}

std::string WString::toUtf8() const {
    return Utf8FromWide(chars_, length_ - 1);
}

std::string WString::toLatin1() const {
    std::string out(static_cast<size_t>(length_ - 1), '\0');
    for (int32_t i = 0; i < length_ - 1; ++i)
        out[i] = static_cast<char>(chars_[i] & 0xFF);
    return out;
}

const WString& emptyWString() {
    static const WString empty;
    return empty;
}

}  // namespace vistrel
