// Errors raised by the picture classes and the texts of the component string
// table they carry.
#pragma once

#include <stdexcept>
#include <string>

namespace brevant {

// Ids of the component string table.
enum ComponentString {
    kSGifVersion = 61092,      // unknown GIF signature or version
    kSGifEncode = 61093,       // a bitmap that cannot be encoded
    kSGifDecode = 61094,       // LZW code chain longer than the table
    kSGifCodeSize = 61095,     // minimum code size outside 2..9
    kSGifColours = 61096,      // colour count not a power of two
    kSGifExtension = 61097,    // unknown extension label (formatted with it)
    kSGifNoData = 61098,       // nothing to write
    kSGifResize = 61099,       // width or height set
    kSGifDescription = 61100,  // description of the file format
    kSNotImplemented = 61257,  // the not-implemented box
};

// The stored text of a string id; empty for an id the table does not hold.
std::string componentString(int id);

// An operation a picture refuses, with the string id of its message.
class GraphicError : public std::runtime_error {
public:
    GraphicError(int id, const std::string& text) : std::runtime_error(text), id_(id) {}
    explicit GraphicError(int id) : GraphicError(id, componentString(id)) {}
    int id() const { return id_; }

private:
    int id_;
};

// Damaged or missing data in a stream being read.
class StreamReadError : public std::runtime_error {
public:
    StreamReadError() : std::runtime_error("Stream read error") {}
};

// A picture that holds no valid image (a bitmap without pixels, bad icon data).
class InvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Ends an operation silently after the user has been told why.
class Abort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace brevant
