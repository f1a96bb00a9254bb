// The lexer of PDF syntax: splits an InputStream into tokens for the object
// parser, the document reader, the content loop and the calculator functions.
// Every input yields a token; the end of the stream yields kind 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/wstring.h"

namespace vistrel {

class InputStream;

class Tokenizer {
public:
    // Token kinds.
    enum Kind : int {
        kNone = 0,          // no token read yet
        kEnd = 1,           // end of the stream (also with no stream)
        kNumber = 2,        // value in intValue / realValue
        kName = 3,          // "/Type"; also a run that starts like a number but is none
        kKeyword = 4,       // true, obj, R, content operators...
        kString = 5,        // literal, hexadecimal or ASCII85 string
        kLeftBrace = 6,     // {
        kRightBrace = 7,    // }
        kLeftBracket = 8,   // [
        kRightBracket = 9,  // ]
        kDictOpen = 10,     // <<
        kDictClose = 11,    // >>
    };

    explicit Tokenizer(InputStream* stream = nullptr);
    virtual ~Tokenizer();
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    // Replaces the stream; the current token stays.
    void setStream(InputStream* stream) { stream_ = stream; }
    InputStream* stream() const { return stream_; }

    // Reads the next token, sets kind, text and the number fields, returns kind.
    int NextToken();

    // Bytes taken from the streams, less those given back, since the
    // tokenizer was made.
    std::uint64_t bytesTaken() const { return taken_; }

    // Whether a number token sets text as well (on by default). A reader that
    // takes numbers by value only turns it off: text then keeps what the last
    // other token left.
    void setNumberText(bool on) { numberText_ = on; }

    // A copy of text in a buffer of the token's own length: text keeps the
    // capacity of the longest token read so far, which objects made from
    // short tokens need not carry.
    WString textCopy() const;

    // The bytes of the last string token as they stood in the file (escapes
    // resolved, before the FE FF form is turned into UTF-16). Encrypted strings
    // are decrypted from these and then decoded with decodeStringBytes.
    const std::uint8_t* rawBytes() const { return raw_.data; }
    std::size_t rawSize() const { return raw_.size; }
    // Whether the last string token was written in hexadecimal.
    bool rawIsHex() const { return rawIsHex_; }

    int kind = kNone;
    WString text;
    bool isReal = false;
    std::int32_t intValue = 0;
    double realValue = 0.0;

    // Growable buffer whose growth is checked: when memory runs out the token
    // keeps what it has and further units are dropped.
    template <class T>
    struct Buffer {
        ~Buffer();
        void clear() {
            size = 0;
            overflow = false;
        }
        void push(T unit) {
            if (size == capacity && !grow())
                return;
            data[size++] = unit;
        }
        bool grow();

        T* data = nullptr;
        std::size_t size = 0;
        std::size_t capacity = 0;
        bool overflow = false;  // a unit was dropped for want of memory
    };

private:
    std::uint16_t get();
    void pushBack(std::uint16_t c);
    int finish(int k);
    void readRun();
    bool readNumber();
    void readLiteralString();
    void readHexString();
    void skipAscii85String();

    InputStream* stream_;
    std::uint64_t taken_ = 0;
    bool numberText_ = true;
    Buffer<char16_t> units_;
    Buffer<std::uint8_t> raw_;
    bool rawIsHex_ = false;
};

// The text of a PDF string from its bytes, as the tokenizer builds it: when the
// first two bytes are FE FF the rest is UTF-16BE (a final odd byte is dropped
// for a literal string; for a hexadecimal one it is the high byte of a last
// character, kept when not 0); otherwise one character per byte. False when
// memory runs out.
bool decodeStringBytes(const std::uint8_t* bytes, std::size_t n, bool hexForm, WString& out);

// Whether a character ends a token: white space (space, tab, line feed,
// carriage return, form feed) or one of % < > [ ] { } ( ) /. A tilde is a
// regular character: it ends nothing outside ASCII85 data.
bool isDelimiter(std::uint16_t c);

}  // namespace vistrel
