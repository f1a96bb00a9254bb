#include "engine/core/streams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace vistrel {
namespace {

constexpr std::size_t kMaxCount =
    static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max());
constexpr std::size_t kDefaultCopyBuffer = 8192;

}  // namespace

// ---------------------------------------------------------------- InputStream

bool InputStream::open() {
    return false;
}

void InputStream::close() {
    openFlag_ = false;
}

std::int64_t InputStream::read(void* buffer, std::size_t count) {
    if (!openFlag_ || count == 0)
        return 0;
    if (buffer == nullptr)
        return skip(count);
    count = std::min(count, kMaxCount);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t stored = 0;
    while (stored < count) {
        const std::uint16_t b = getByte();
        if (b == kEndOfData)
            break;
        out[stored++] = static_cast<std::uint8_t>(b);
    }
    return static_cast<std::int64_t>(stored);
}

std::uint64_t InputStream::size() {
    return 0;
}

std::uint64_t InputStream::position() {
    return 0;
}

void InputStream::unread(std::uint16_t byte) {
    pushedBackByte_ = byte;
    pushedBack_ = true;
}

bool InputStream::atEnd() {
    return !openFlag_;
}

std::int64_t InputStream::skip(std::size_t count) {
    if (!openFlag_)
        return 0;
    count = std::min(count, kMaxCount);
    std::size_t done = 0;
    while (done < count && getByte() != kEndOfData)
        ++done;
    return static_cast<std::int64_t>(done);
}

// --------------------------------------------------------------- OutputStream

bool OutputStream::open() {
    return false;
}

void OutputStream::close() {
    openFlag_ = false;
}

std::size_t OutputStream::write(const void* buffer, std::size_t count) {
    if (!openFlag_ || buffer == nullptr)
        return 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    std::size_t written = 0;
    while (written < count && putByte(in[written]) != 0)
        ++written;
    return written;
}

int OutputStream::putByte(std::uint16_t) {
    return 0;
}

bool OutputStream::flush() {
    return openFlag_;
}

// ------------------------------------------------------------ FileInputStream

class FileInputStream::ReadyScope {
public:
    explicit ReadyScope(FileInputStream& stream) : stream_(stream) { stream_.countReady(); }
    ~ReadyScope() { stream_.offerReady(); }
    ReadyScope(const ReadyScope&) = delete;
    ReadyScope& operator=(const ReadyScope&) = delete;

private:
    FileInputStream& stream_;
};

void FileInputStream::offerReady() {
    if (openFlag_ && buffer_ && !pushedBack_ && position_ != kBadPosition &&
        position_ - bufferStart_ == readIndex_ && readIndex_ <= bytesInBuffer_) {
        readyStart_ = buffer_;
        ready_ = buffer_ + readIndex_;
        readyEnd_ = buffer_ + bytesInBuffer_;
    } else {
        readyStart_ = ready_ = readyEnd_ = nullptr;
    }
}

FileInputStream::FileInputStream(std::u16string_view name, std::size_t bufferSize)
    : bufferSize_(std::max<std::size_t>(bufferSize, 1)) {
    buffer_ = static_cast<std::uint8_t*>(fileInputStreamHandle.allocate(bufferSize_));
    if (buffer_ == nullptr) {
        openFlag_ = false;
        return;
    }
    handle_ = FileOpen(name, kFileRead);
    if (isValidFile(handle_)) {
        fileSize_ = FileSize(handle_);
    } else {
        openFlag_ = false;
    }
}

FileInputStream::~FileInputStream() {
    releaseBuffer();
    if (openFlag_)
        FileClose(handle_);
}

void FileInputStream::releaseBuffer() {
    fileInputStreamHandle.free(buffer_, bufferSize_);
    buffer_ = nullptr;
}

void FileInputStream::close() {
    ReadyScope scope(*this);
    releaseBuffer();
    bytesInBuffer_ = 0;
    readIndex_ = 0;
    if (openFlag_) {
        FileClose(handle_);
        handle_ = win::INVALID_HANDLE_VALUE;
        openFlag_ = false;
    }
}

bool FileInputStream::refill() {
    bytesInBuffer_ = 0;
    readIndex_ = 0;
    bufferStart_ = position_;
    bytesInBuffer_ = FileReadAt(handle_, position_, buffer_, bufferSize_);
    // A refill that brings nothing (the file shrank, or a read error) ends the
    // data; the buffer holds no stale bytes.
    return bytesInBuffer_ != 0;
}

std::uint16_t FileInputStream::getByte() {
    ReadyScope scope(*this);
    if (!openFlag_)
        return kEndOfData;
    std::uint16_t b;
    if (takePushedBack(b)) {
        ++position_;
        return b;
    }
    if (readIndex_ >= bytesInBuffer_) {
        if (position_ == kBadPosition || position_ >= fileSize_)
            return kEndOfData;
        if (!refill())
            return kEndOfData;
    }
    ++position_;
    return buffer_[readIndex_++];
}

std::int64_t FileInputStream::read(void* buffer, std::size_t count) {
    ReadyScope scope(*this);
    if (!openFlag_ || count == 0)
        return 0;
    if (buffer == nullptr)
        return skip(count);
    count = std::min(count, kMaxCount);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t delivered = 0;
    std::uint16_t b;
    if (takePushedBack(b)) {
        out[delivered++] = static_cast<std::uint8_t>(b);
        ++position_;
    }
    if (position_ == kBadPosition)
        return static_cast<std::int64_t>(delivered);
    while (delivered < count) {
        const std::size_t avail = bytesInBuffer_ - readIndex_;
        const std::size_t want = count - delivered;
        if (want <= avail) {
            std::memcpy(out + delivered, buffer_ + readIndex_, want);
            readIndex_ += want;
            position_ += want;
            delivered += want;
            break;
        }
        std::memcpy(out + delivered, buffer_ + readIndex_, avail);
        readIndex_ += avail;
        position_ += avail;
        delivered += avail;
        const std::size_t rest = want - avail;
        if (rest >= bufferSize_) {
            // A large read goes straight from the file into the caller's memory.
            const std::size_t got = FileReadAt(handle_, position_, out + delivered, rest);
            position_ += got;
            delivered += got;
            break;
        }
        if (position_ >= fileSize_ || !refill())
            break;
    }
    return static_cast<std::int64_t>(delivered);
}

std::int64_t FileInputStream::skip(std::size_t count) {
    ReadyScope scope(*this);
    if (!openFlag_)
        return 0;
    count = std::min(count, kMaxCount);
    std::size_t rest = count;
    std::uint16_t b;
    if (rest > 0 && takePushedBack(b)) {
        ++position_;
        --rest;
    }
    const std::size_t avail = bytesInBuffer_ - readIndex_;
    if (rest <= avail) {
        readIndex_ += rest;
        position_ += rest;
        return static_cast<std::int64_t>(count);
    }
    // Beyond the buffer: the next byte comes from a refill at the target.
    const std::uint64_t start = position_;
    readIndex_ = bytesInBuffer_;
    if (start == kBadPosition || rest > kMaxCount - start || start + rest >= fileSize_) {
        position_ = kBadPosition;
        return -1;
    }
    position_ = start + rest;
    return static_cast<std::int64_t>(count);
}

void FileInputStream::unread(std::uint16_t byte) {
    ReadyScope scope(*this);
    if (!openFlag_)
        return;
    if (!pushedBack_ && position_ != kBadPosition && position_ > 0)
        --position_;
    pushedBackByte_ = byte;
    pushedBack_ = true;
}

bool FileInputStream::atEnd() {
    ReadyScope scope(*this);
    if (!openFlag_)
        return true;
    if (pushedBack_ || readIndex_ < bytesInBuffer_)
        return false;
    return position_ >= fileSize_;
}

bool FileInputStream::seek(std::uint64_t target) {
    ReadyScope scope(*this);
    if (!openFlag_)
        return false;
    std::uint16_t b;
    if (takePushedBack(b) && position_ != kBadPosition)
        ++position_;
    if (target >= bufferStart_ && target - bufferStart_ <= bytesInBuffer_) {
        readIndex_ = static_cast<std::size_t>(target - bufferStart_);
        position_ = target;
        return true;
    }
    // The file is not touched until the next byte is wanted, and the buffer
    // keeps its bytes for a seek back into them (a fetch returns to where it
    // came from, the next one goes on near the last). The target is checked
    // against the size known since opening or the last refreshSize.
    if (target >= fileSize_)
        return false;
    position_ = target;
    readIndex_ = bytesInBuffer_;
    return true;
}

void FileInputStream::refreshSize() {
    ReadyScope scope(*this);
    if (!openFlag_)
        return;
    fileSize_ = FileSize(handle_);
    // The file may have changed under the bytes read ahead: the next byte
    // comes from the file again.
    bufferStart_ = position_;
    bytesInBuffer_ = 0;
    readIndex_ = 0;
}

// ----------------------------------------------------------- FileOutputStream

FileOutputStream::FileOutputStream(std::u16string_view name, std::uint16_t mode) : path_(name) {
    handle_ = FileOpen(name, mode);
    openFlag_ = isValidFile(handle_);
}

FileOutputStream::~FileOutputStream() {
    if (openFlag_)
        FileClose(handle_);
}

void FileOutputStream::close() {
    if (openFlag_) {
        FileClose(handle_);
        handle_ = win::INVALID_HANDLE_VALUE;
        openFlag_ = false;
    }
}

std::size_t FileOutputStream::write(const void* buffer, std::size_t count) {
    if (!openFlag_ || buffer == nullptr)
        return 0;
    return FileWrite(handle_, buffer, count);
}

int FileOutputStream::putByte(std::uint16_t c) {
    if (c == kEndOfData) {
        flush();
        return 1;
    }
    const auto byte = static_cast<std::uint8_t>(c & 0xFF);
    return static_cast<int>(write(&byte, 1));
}

bool FileOutputStream::flush() {
    return openFlag_ && FileFlush(handle_);
}

bool FileOutputStream::truncate(std::uint64_t size) {
    if (!openFlag_ || !FileSetSize(handle_, size))
        return false;
    FileFlush(handle_);
    close();
    return true;
}

bool FileOutputStream::hasFreeSpace(std::uint64_t n) const {
    if (!openFlag_)
        return false;
    const std::size_t sep = path_.find_last_of(u"\\/");
    const std::u16string_view folder = sep == std::u16string::npos
                                           ? std::u16string_view(path_)
                                           : std::u16string_view(path_).substr(0, sep + 1);
    const std::int64_t free = FileFreeSpace(folder);
    if (free < 0)
        return false;
    return n < static_cast<std::uint64_t>(free);
}

// ---------------------------------------------------------- MemoryInputStream

MemoryInputStream::MemoryInputStream(const void* data, std::size_t length)
    : data_(static_cast<const std::uint8_t*>(data)), length_(data == nullptr ? 0 : length) {
    openFlag_ = data != nullptr || length == 0;
}

bool MemoryInputStream::open() {
    if (!openFlag_)
        return false;
    index_ = 0;
    pushedBack_ = false;
    return true;
}

std::uint16_t MemoryInputStream::getByte() {
    if (!openFlag_)
        return kEndOfData;
    std::uint16_t b;
    if (takePushedBack(b))
        return b;
    if (index_ >= length_)
        return kEndOfData;
    return data_[index_++];
}

std::int64_t MemoryInputStream::read(void* buffer, std::size_t count) {
    if (!openFlag_ || count == 0)
        return 0;
    if (buffer == nullptr)
        return skip(count);
    count = std::min(count, kMaxCount);
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t delivered = 0;
    std::uint16_t b;
    if (takePushedBack(b))
        out[delivered++] = static_cast<std::uint8_t>(b);
    const std::size_t n = std::min(count - delivered, length_ - index_);
    if (n > 0)
        std::memcpy(out + delivered, data_ + index_, n);
    index_ += n;
    return static_cast<std::int64_t>(delivered + n);
}

void MemoryInputStream::unread(std::uint16_t byte) {
    if (!openFlag_)
        return;
    pushedBackByte_ = byte;
    pushedBack_ = true;
}

bool MemoryInputStream::atEnd() {
    return !openFlag_ || (!pushedBack_ && index_ >= length_);
}

std::int64_t MemoryInputStream::skip(std::size_t count) {
    if (!openFlag_)
        return 0;
    std::size_t done = 0;
    std::uint16_t b;
    if (count > 0 && takePushedBack(b))
        done = 1;
    const std::size_t n = std::min(std::min(count, kMaxCount) - done, length_ - index_);
    index_ += n;
    return static_cast<std::int64_t>(done + n);
}

bool MemoryInputStream::seek(std::uint64_t target) {
    if (!openFlag_ || target > length_)
        return false;
    pushedBack_ = false;
    index_ = static_cast<std::size_t>(target);
    return true;
}

// ----------------------------------------------------------------- MappedFile

MappedView MappedFile::map(std::u16string_view name) {
    MappedView mapped;
    void* view = FileMapOpen(name, kFileRead, &mapped.file, &mapped.mapping);
    if (view != nullptr) {
        mapped.view = static_cast<const std::uint8_t*>(view);
        mapped.fileSize = FileSize(mapped.file);
    }
    return mapped;
}

MappedFile::MappedFile(std::u16string_view name) : MappedFile(map(name)) {}

MappedFile::MappedFile(const MappedView& mapped)
    : MappedView(mapped), MemoryInputStream(mapped.view, std::size_t(mapped.fileSize)) {
    openFlag_ = view != nullptr;
}

MappedFile::~MappedFile() {
    close();
}

void MappedFile::close() {
    if (view != nullptr || isValidFile(file))
        FileMapClose(view, file, mapping);
    view = nullptr;
    file = win::INVALID_HANDLE_VALUE;
    mapping = nullptr;
    openFlag_ = false;
}

// ----------------------------------------------------------------- copyStream

std::uint64_t copyStream(InputStream& input, OutputStream& output, std::size_t bufferSize) {
    if (bufferSize == 0)
        bufferSize = kDefaultCopyBuffer;
    struct Buffer {
        explicit Buffer(std::size_t n) : data(static_cast<std::uint8_t*>(globalNewArray(n))) {}
        ~Buffer() { globalDeleteArray(data); }
        std::uint8_t* get() const { return data; }
        std::uint8_t* data;
    } buffer(bufferSize);
    if (buffer.get() == nullptr)
        return 0;
    std::uint64_t total = 0;
    for (;;) {
        const std::int64_t got = input.read(buffer.get(), bufferSize);
        if (got <= 0)
            break;
        total += output.write(buffer.get(), static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) != bufferSize)
            break;
    }
    return total;
}

}  // namespace vistrel
