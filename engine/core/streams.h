// Byte streams: the InputStream and OutputStream interfaces every reader and
// writer of the engine goes through, the buffered file streams, a stream over
// bytes in memory, and copyStream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/core/allocator.h"
#include "engine/core/file_layer.h"

// Class allocation through a handle, with the nothrow form of new as well.
#define VISTREL_STREAM_ALLOCATOR(handle)                                          \
    VISTREL_CLASS_ALLOCATOR(handle)                                               \
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept { \
        return (handle).allocate(size);                                           \
    }                                                                             \
    static void operator delete(void* block, const std::nothrow_t&) noexcept {    \
        (handle).free(block, 0);                                                  \
    }

namespace vistrel {

// Allocator handles of the stream classes and their buffers (general heap).
inline constinit AllocatorHandle fileInputStreamHandle{kAllocGeneral, 0};
inline constinit AllocatorHandle fileOutputStreamHandle{kAllocGeneral, 0};
inline constinit AllocatorHandle memoryInputStreamHandle{kAllocGeneral, 0};

// What InputStream::getByte returns at the end of the data or when not open.
constexpr std::uint16_t kEndOfData = 0xFFFF;

class StreamBase {
public:
    StreamBase() = default;
    StreamBase(const StreamBase&) = delete;
    StreamBase& operator=(const StreamBase&) = delete;
    virtual ~StreamBase() = default;
};

class InputStream : public StreamBase {
public:
    // Returns false in every stream of the core; readers that can restart
    // (memory streams) rewind here.
    virtual bool open();
    // Marks the stream not open.
    virtual void close();
    // Delivers up to count bytes into buffer and returns how many came; with a
    // null buffer it skips count bytes. Base: getByte until count bytes or the
    // end. Some streams return -1 on a decoding error.
    virtual std::int64_t read(void* buffer, std::size_t count);
    // The next byte (0 to 255), or kEndOfData at the end or when not open.
    virtual std::uint16_t getByte() = 0;
    virtual std::uint64_t size();
    // Bytes delivered so far, that is the offset of the next byte.
    virtual std::uint64_t position();
    // The next getByte or read delivers this byte first (one byte at most).
    virtual void unread(std::uint16_t byte);
    virtual bool atEnd();
    // Skips up to count bytes and returns how many were skipped (-1 when a file
    // stream cannot move there). Base: getByte until count bytes or the end.
    virtual std::int64_t skip(std::size_t count);

    bool isOpen() const { return openFlag_; }

    // What getByte gives, taken without a call from the bytes the stream
    // holds ready in memory while it has any: for readers of one byte at a
    // time (the tokenizer).
    std::uint16_t nextByte() {
        if (ready_ < readyEnd_)
            return *ready_++;
        return getByte();
    }
    // What unread does with the byte before the next one: a step back over
    // the ready bytes when that byte is there, else unread.
    void giveBack(std::uint16_t byte) {
        if (ready_ > readyStart_ && ready_[-1] == byte) {
            --ready_;
            return;
        }
        unread(byte);
    }

protected:
    // Hands out a byte given back with unread, if there is one.
    bool takePushedBack(std::uint16_t& byte) {
        if (!pushedBack_)
            return false;
        pushedBack_ = false;
        byte = pushedBackByte_;
        return true;
    }

    bool openFlag_ = true;
    bool pushedBack_ = false;
    std::uint16_t pushedBackByte_ = 0;
    // The ready bytes: the next one at ready_, up to readyEnd_; from
    // readyStart_ on, the bytes before ready_ are those before the next one.
    // All null in a stream that offers none. A stream that offers them counts
    // the bytes nextByte took, and the steps giveBack made, before it does
    // anything else.
    const std::uint8_t* readyStart_ = nullptr;
    const std::uint8_t* ready_ = nullptr;
    const std::uint8_t* readyEnd_ = nullptr;
};

// Second interface of the input streams that can be positioned.
class Seekable {
public:
    virtual ~Seekable() = default;
    virtual bool seek(std::uint64_t position) = 0;
};

class OutputStream : public StreamBase {
public:
    // Returns false; encoder streams give it a meaning.
    virtual bool open();
    // Marks the stream not open.
    virtual void close();
    // Writes count bytes and returns how many were written. Base: putByte for
    // each byte until one fails.
    virtual std::size_t write(const void* buffer, std::size_t count);
    // Writes one byte; returns 1, or 0 when it was not written. Base: 0.
    virtual int putByte(std::uint16_t c);
    // Base: whether the stream is open.
    virtual bool flush();

    bool isOpen() const { return openFlag_; }

protected:
    bool openFlag_ = true;
};

// Buffered input stream over a file opened for reading. The file's size is
// taken once when it opens: seeks and refills ask the system nothing but the
// bytes, and whoever changes the file under the stream calls refreshSize.
class FileInputStream : public InputStream, public Seekable {
    VISTREL_STREAM_ALLOCATOR(fileInputStreamHandle)

public:
    FileInputStream(std::u16string_view name, std::size_t bufferSize);
    ~FileInputStream() override;

    void close() override;
    std::int64_t read(void* buffer, std::size_t count) override;
    std::uint16_t getByte() override;
    std::uint64_t size() override { return fileSize_; }
    std::uint64_t position() override {
        countReady();
        return position_;
    }
    void unread(std::uint16_t byte) override;
    bool atEnd() override;
    std::int64_t skip(std::size_t count) override;
    bool seek(std::uint64_t target) override;
    // Takes the file size from the file again and drops the bytes read
    // ahead, which the file may no longer hold.
    virtual void refreshSize();
    // Whether the named file is the one this stream reads, whatever the
    // path spelling.
    bool isFile(std::u16string_view name) const { return openFlag_ && FileIsSame(handle_, name); }

    // Position after a skip that could not move the file pointer.
    static constexpr std::uint64_t kBadPosition = ~std::uint64_t{0};

private:
    // Reads the next piece of the file into the buffer; false when none came.
    bool refill();
    void releaseBuffer();
    // Moves readIndex_ and position_ over the bytes taken from (or given
    // back to) the ready window since it was last counted.
    void countReady() {
        if (ready_) {
            const std::ptrdiff_t moved = ready_ - (buffer_ + readIndex_);
            readIndex_ += moved;
            position_ += moved;
        }
    }
    // Offers the rest of the buffer as ready bytes while the position is in
    // it and no byte is pushed back; none otherwise.
    void offerReady();
    // Counts the ready bytes when made and offers them anew when gone.
    class ReadyScope;

    FileHandle handle_ = win::INVALID_HANDLE_VALUE;
    std::uint64_t position_ = 0;
    std::uint64_t fileSize_ = 0;
    std::size_t bufferSize_ = 0;
    std::size_t bytesInBuffer_ = 0;
    std::size_t readIndex_ = 0;
    // File offset of buffer_[0]. While bytes remain in the buffer, position_
    // is bufferStart_ + readIndex_ (less one for a pushed-back byte); once
    // readIndex_ reaches bytesInBuffer_ the next refill reads at position_.
    // Reads name their offset, so the file pointer plays no part.
    std::uint64_t bufferStart_ = 0;
    std::uint8_t* buffer_ = nullptr;  // from the class's handle
};

// Output stream over a file opened with the FileOpen mode bits.
class FileOutputStream : public OutputStream {
    VISTREL_STREAM_ALLOCATOR(fileOutputStreamHandle)

public:
    FileOutputStream(std::u16string_view name, std::uint16_t mode);
    ~FileOutputStream() override;

    void close() override;
    std::size_t write(const void* buffer, std::size_t count) override;
    // Writes the low byte of c; c = kEndOfData flushes instead (and returns 1).
    int putByte(std::uint16_t c) override;
    bool flush() override;

    // Cuts the file to size bytes (only shorter), flushes and closes it; false
    // and nothing changed otherwise.
    bool truncate(std::uint64_t size);
    // Whether more than n bytes are free in the file's folder.
    bool hasFreeSpace(std::uint64_t n) const;

    std::u16string_view path() const { return path_; }
    FileHandle handle() const { return handle_; }

private:
    std::u16string path_;
    FileHandle handle_ = win::INVALID_HANDLE_VALUE;
};

// Input stream over bytes the caller keeps alive; open() rewinds it.
class MemoryInputStream : public InputStream, public Seekable {
    VISTREL_STREAM_ALLOCATOR(memoryInputStreamHandle)

public:
    MemoryInputStream(const void* data, std::size_t length);

    bool open() override;
    std::int64_t read(void* buffer, std::size_t count) override;
    std::uint16_t getByte() override;
    std::uint64_t size() override { return length_; }
    std::uint64_t position() override { return pushedBack_ && index_ > 0 ? index_ - 1 : index_; }
    void unread(std::uint16_t byte) override;
    bool atEnd() override;
    std::int64_t skip(std::size_t count) override;
    // Refused beyond the length.
    bool seek(std::uint64_t target) override;
    void rewind() { open(); }

private:
    const std::uint8_t* data_;
    std::size_t length_;
    std::size_t index_ = 0;
};

// The view of a mapped file and its handles; the base of MappedFile, built
// before the memory stream over the view.
struct MappedView {
    const std::uint8_t* view = nullptr;
    std::uint64_t fileSize = 0;
    FileHandle file = win::INVALID_HANDLE_VALUE;
    FileHandle mapping = nullptr;
};

// Input stream over a whole file mapped into memory (read only): open when
// the file could be mapped (an empty file cannot). Reads as a memory stream;
// close and the destructor unmap the view and close both handles.
class MappedFile : private MappedView, public MemoryInputStream {
public:
    explicit MappedFile(std::u16string_view name);
    ~MappedFile() override;

    void close() override;

private:
    static MappedView map(std::u16string_view name);
    explicit MappedFile(const MappedView& mapped);
};

// Copies what is left of input to output in pieces of bufferSize bytes (8192
// when 0) while each read fills a whole piece; returns the bytes written.
std::uint64_t copyStream(InputStream& input, OutputStream& output, std::size_t bufferSize);

}  // namespace vistrel
