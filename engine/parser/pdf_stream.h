// Stream objects: a PDF stream's dictionary together with an input stream
// over its decoded data. Opening positions the document's file stream at the
// data, limits it to /Length bytes and builds the chain of decode filters
// from /Filter and /DecodeParms, with RC4 decryption first in an encrypted
// document.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/streams.h"
#include "engine/object/pdf_object.h"
#include "engine/parser/security.h"

namespace vistrel {

class FilterParams;
class FilterStream;
class LengthLimitedStream;
class PdfStream;
class Rc4Stream;

// The decode links of one open stream object, built at every open and
// destroyed at every close.
class FilterChain {
public:
    // objectKey: the stream's 16-byte object key, or null when the document is
    // not encrypted.
    FilterChain(PdfStream* stream, bool inlineFlag, const uint8_t* objectKey);
    virtual ~FilterChain();
    FilterChain(const FilterChain&) = delete;
    FilterChain& operator=(const FilterChain&) = delete;

    // Closes the chain and marks it invalid.
    virtual void closeAndInvalidate();

    // Builds the links over input; false (and invalid) when that fails.
    bool open(InputStream* input);
    // Destroys the links, last first.
    void close();

    bool valid() const { return valid_; }
    bool isOpen() const { return open_; }
    // The stream the next link reads; after open, the last link.
    InputStream* currentInput() const { return current_; }
    size_t linkCount() const { return links_.size(); }
    FilterStream* link(size_t i) const { return links_[i].get(); }
    bool hasRc4Link() const { return rc4_ != nullptr; }

private:
    friend class PdfStream;

    InputStream* current_ = nullptr;
    bool valid_ = false;
    bool open_ = false;
    const uint8_t* objectKey_;
    bool inline_;
    PdfStream* stream_;                  // not counted
    std::vector<ObjectRef> names_;       // one reference on each /Filter name
    std::vector<ObjectRef> parameters_;  // one reference on each /DecodeParms entry
    std::vector<std::unique_ptr<FilterStream>> links_;
    std::unique_ptr<Rc4Stream> rc4_;
};

// A stream object: a typed dictionary (kind 11, class kind 32) whose
// InputStream side reads the decoded data. While open, the stream holds one
// reference on itself, so a reader may drop its own and read on until close.
//
// size() here is the data's size (the InputStream answer); the number of
// dictionary entries is entryCount().
class PdfStream : public PdfDict, public InputStream {
public:
    // /Length value that means "no limit" (also when /Length is missing).
    static constexpr int32_t kNoLength = -1;

    // dict: the parsed stream dictionary (copied); raw: the stream positioned at
    // the first data byte (the document's file stream, or the content stream
    // for inline image data); inlineFlag: the Flate and DCT links read one byte
    // at a time; fileKey: the document's 5-byte file key, or null.
    PdfStream(const PdfDict& dict, InputStream* raw, bool inlineFlag, const uint8_t* fileKey);
    ~PdfStream() override;

    uint16_t classKind() const override;
    WString typeName() const override;

    // Data interface.
    bool open() override;
    void close() override;
    int64_t read(void* buffer, size_t count) override;
    uint16_t getByte() override;
    uint64_t size() override;
    uint64_t position() override;
    bool atEnd() override;

    // The decode parameters of one link from a /DecodeParms dictionary (or the
    // empty set for null): numbers (reals truncated toward zero) and booleans
    // (1 or 0) by key text; other entries are skipped.
    static std::unique_ptr<FilterParams> readDecodeParms(const PdfDict* dict);

    int32_t entryCount() const { return PdfDict::size(); }
    bool usable() const { return usable_; }
    bool isStreamOpen() const { return open_; }
    int32_t length() const { return length_; }
    uint64_t dataStart() const { return dataStart_; }
    bool inlineFlag() const { return inline_; }
    bool hasObjectKey() const { return hasKey_; }
    const uint8_t* objectKey() const { return hasKey_ ? objectKey_ : nullptr; }
    InputStream* rawStream() const { return raw_; }
    // The chain while open, else null.
    const FilterChain* chain() const { return chain_.get(); }

    VISTREL_GLOBAL_ALLOCATOR()

private:
    friend class FilterChain;

    // Makes one link per /Filter name over the chain's current input.
    bool buildFilterChain(FilterChain& chain);
    bool seekRaw(uint64_t position);
    // Discards what a failed open made; the stream stays unusable.
    void failOpen();

    InputStream* current_ = nullptr;  // the chain's last link while open, then raw
    InputStream* raw_;                // not owned
    Seekable* rawSeek_ = nullptr;     // raw_ as a seekable stream, when it is one
    bool inline_;
    std::unique_ptr<LengthLimitedStream> window_;
    std::unique_ptr<FilterChain> chain_;
    int32_t length_ = kNoLength;
    uint64_t dataStart_ = 0;
    uint64_t savedPosition_ = 0;
    bool usable_ = false;
    bool open_ = false;
    uint8_t objectKey_[16] = {};
    bool hasKey_ = false;
};

// The stream object behind an object (a reference is resolved), borrowed;
// null when it is no stream object (of any class kind built on PdfStream).
PdfStream* asStream(PdfObject* object);

// The plain stream object over a parsed stream dictionary (what the document
// parser makes after the "stream" keyword): a new PdfStream, or null when it
// could not be made.
Ref<PdfStream> makePlainStream(const PdfDict& dict, InputStream* raw, const uint8_t* fileKey);

}  // namespace vistrel
