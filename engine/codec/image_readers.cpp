#include "engine/codec/image_readers.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

namespace vistrel {

namespace {
bool isDigit(std::uint16_t c) {
    return c >= '0' && c <= '9';
}

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}
std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

bool readExactly(InputStream* in, void* buffer, std::size_t count) {
    return in->read(buffer, count) == static_cast<std::int64_t>(count);
}
}  // namespace

// -------------------------------------------------------------- BmpReadStream

BmpReadStream::BmpReadStream(InputStream* file, std::unique_ptr<FilterParams> params)
    : ImageStream(file, std::move(params)) {}

BmpReadStream::~BmpReadStream() = default;

bool BmpReadStream::open() {
    if (started_)
        return true;
    if (!isOpen())
        return false;
    rowCounter_ = 0;
    inner_->open();
    if (!readHeader()) {
        palette_.reset();
        fileRow_.reset();
        error_ = true;
        return false;
    }
    error_ = false;
    started_ = true;
    return true;
}

bool BmpReadStream::readHeader() {
    std::uint8_t file[14];
    std::uint8_t info[40];
    if (!readExactly(inner_, file, sizeof file))
        return false;
    if (le32(file + 2) != inner_->size())
        return false;
    const std::uint32_t dataOffset = le32(file + 10);
    if (!readExactly(inner_, info, sizeof info))
        return false;
    if (le32(info) != 40)
        return false;  // OS/2 and later headers are not read
    const auto width = static_cast<std::int32_t>(le32(info + 4));
    const auto height = static_cast<std::int32_t>(le32(info + 8));
    const int bits = le16(info + 14);
    if (le32(info + 16) != 0)
        return false;  // compressed
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return false;
    // A negative height is a bitmap stored top row first.
    const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
    if (width <= 0 || rows == 0)
        return false;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(rows) > kMaxImagePixels) {
        return false;
    }
    width_ = width;
    height_ = static_cast<std::int32_t>(rows);
    topDown_ = height < 0;
    bitsPerPixel_ = bits;
    bitsPerComponent_ = 8;
    components_ = 3;
    bytesPerRow_ = 0;

    std::uint64_t consumed = sizeof file + sizeof info;
    if (bits != 24) {
        // The palette holds the colours used (all 2^bits when 0 or more);
        // indexes beyond it show black.
        const std::uint32_t entries = 1u << bits;
        std::uint32_t used = le32(info + 32);
        if (used == 0 || used > entries)
            used = entries;
        palette_.reset(new (std::nothrow) std::uint8_t[entries * 4]());
        if (!palette_)
            return false;
        if (!readExactly(inner_, palette_.get(), used * 4))
            return false;
        consumed += used * 4;
    }
    if (dataOffset < consumed)
        return false;
    const std::uint64_t gap = dataOffset - consumed;
    if (gap > 0 && inner_->skip(gap) != static_cast<std::int64_t>(gap))
        return false;

    pixelBytes_ = static_cast<std::uint32_t>((static_cast<std::uint64_t>(width) * bits + 7) / 8);
    padBytes_ = (4 - pixelBytes_ % 4) % 4;
    fileRow_.reset(new (std::nothrow) std::uint8_t[pixelBytes_]);
    return fileRow_ != nullptr;
}

bool BmpReadStream::readRow(std::uint8_t* buffer) {
    if (!isOpen() || !started_ || error_ || buffer == nullptr)
        return false;
    if (rowCounter_ >= static_cast<std::uint32_t>(height_))
        return false;
    if (!readExactly(inner_, fileRow_.get(), pixelBytes_)) {
        error_ = true;
        return false;
    }
    // The padding of the last row may be missing from a file.
    if (padBytes_ > 0)
        inner_->skip(padBytes_);
    ++rowCounter_;

    const std::uint8_t* in = fileRow_.get();
    std::uint8_t* out = buffer;
    const std::int32_t width = width_;
    if (bitsPerPixel_ == 24) {
        for (std::int32_t x = 0; x < width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        return true;
    }
    const int bits = bitsPerPixel_;
    const unsigned mask = (1u << bits) - 1;
    for (std::int32_t x = 0; x < width; ++x, out += 3) {
        const std::uint64_t bit = static_cast<std::uint64_t>(x) * bits;
        const unsigned index = (in[bit / 8] >> (8 - bits - bit % 8)) & mask;
        const std::uint8_t* entry = palette_.get() + index * 4;
        out[0] = entry[2];
        out[1] = entry[1];
        out[2] = entry[0];
    }
    return true;
}

void BmpReadStream::close() {
    if (isOpen()) {
        palette_.reset();
        fileRow_.reset();
        started_ = false;
    }
    FilterStream::close();
}

bool BmpReadStream::atEnd() {
    if (error_)
        return true;
    return inner_ == nullptr || inner_->atEnd();
}

// -------------------------------------------------------------- PngReadStream

namespace {

// libpng must not show messages; an error jumps back to the point the
// calling method set.
void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

}  // namespace

PngReadStream::PngReadStream(InputStream* file, std::unique_ptr<FilterParams> params)
    : ImageStream(file, std::move(params)) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (png_) {
        info_ = png_create_info_struct(png_);
        if (!info_)
            png_destroy_read_struct(&png_, nullptr, nullptr);
    }
    if (!png_) {
        png_ = nullptr;
        openFlag_ = false;
    }
}

PngReadStream::~PngReadStream() {
    if (png_)
        png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
}

void PngReadStream::fail() {
    failed_ = true;
    started_ = false;
    image_.reset();
    imageRows_.reset();
    FilterStream::close();
}

void PngReadStream::readData(png_structp png, png_bytep data, std::size_t length) {
    auto* self = static_cast<PngReadStream*>(png_get_io_ptr(png));
    InputStream* file = self ? self->fileStream() : nullptr;
    // A short read is an error: libpng would otherwise go on with stale bytes.
    if (file == nullptr || !file->isOpen() || !readExactly(file, data, length)) {
        png_error(png, "short read");
    }
}

// The methods that call libpng keep no objects with destructors in their
// own frame: an error leaves them by a long jump.
bool PngReadStream::open() {
    if (started_)
        return true;
    if (!isOpen() || failed_ || png_ == nullptr)
        return false;
    inner_->open();
    if (setjmp(png_jmpbuf(png_))) {
        fail();
        return false;
    }
    png_set_read_fn(png_, this, &PngReadStream::readData);
    png_read_info(png_, info_);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    int interlace = 0;
    png_get_IHDR(png_, info_, &width, &height, &bitDepth, &colourType, &interlace, nullptr,
                 nullptr);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
        std::uint64_t{width} * height > kMaxImagePixels) {
        png_error(png_, "picture too large");
    }
    png_set_strip_16(png_);
    png_set_strip_alpha(png_);
    png_set_packing(png_);
    png_set_packswap(png_);
    png_set_expand(png_);
    // Grey files would give one sample per pixel: widen them to the three
    // components the reader reports.
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png_);
    if (interlace != PNG_INTERLACE_NONE)
        png_set_interlace_handling(png_);
    png_read_update_info(png_, info_);
    const std::size_t rowBytes = std::size_t{width} * 3;
    if (png_get_rowbytes(png_, info_) != rowBytes)
        png_error(png_, "unexpected row size");

    width_ = static_cast<std::int32_t>(width);
    height_ = static_cast<std::int32_t>(height);
    bitsPerComponent_ = 8;
    components_ = 3;
    bytesPerRow_ = 0;
    rowIndex_ = 0;
    if (interlace != PNG_INTERLACE_NONE) {
        // libpng de-interlaces only over the whole picture.
        image_.reset(new (std::nothrow) std::uint8_t[rowBytes * height]);
        imageRows_.reset(new (std::nothrow) std::uint8_t*[height]);
        if (!image_ || !imageRows_)
            png_error(png_, "out of memory");
        for (png_uint_32 y = 0; y < height; ++y)
            imageRows_[y] = image_.get() + rowBytes * y;
        png_read_image(png_, imageRows_.get());
    }
    started_ = true;
    return true;
}

bool PngReadStream::readRow(std::uint8_t* buffer) {
    if (!started_ || !isOpen() || failed_ || buffer == nullptr)
        return false;
    if (rowIndex_ >= static_cast<std::uint32_t>(height_))
        return false;
    if (image_) {
        std::memcpy(buffer, imageRows_[rowIndex_], std::size_t(width_) * 3);
    } else {
        if (setjmp(png_jmpbuf(png_))) {
            fail();
            return false;
        }
        png_bytep row = buffer;
        png_read_rows(png_, &row, nullptr, 1);
    }
    ++rowIndex_;
    if (rowIndex_ == static_cast<std::uint32_t>(height_))
        close();
    return true;
}

void PngReadStream::close() {
    if (started_ && !failed_) {
        if (setjmp(png_jmpbuf(png_))) {
            fail();
            return;
        }
        png_read_end(png_, nullptr);
        started_ = false;
        image_.reset();
        imageRows_.reset();
    }
    FilterStream::close();
}

// ----------------------------------------------------------- NumberTextStream

NumberTextStream::NumberTextStream(InputStream* inner) : inner_(inner) {
    openFlag_ = inner_ != nullptr && inner_->isOpen();
}

void NumberTextStream::close() {
    if (inner_)
        inner_->close();
    openFlag_ = false;
}

std::int64_t NumberTextStream::read(void* buffer, std::size_t count) {
    return inner_ ? inner_->read(buffer, count) : 0;
}

std::uint16_t NumberTextStream::getByte() {
    return inner_ ? inner_->getByte() : kEndOfData;
}

std::uint64_t NumberTextStream::size() {
    return inner_ ? inner_->size() : 0;
}

std::uint64_t NumberTextStream::position() {
    return inner_ ? inner_->position() : 0;
}

void NumberTextStream::unread(std::uint16_t byte) {
    if (inner_)
        inner_->unread(byte);
}

bool NumberTextStream::atEnd() {
    return inner_ ? inner_->atEnd() : true;
}

std::int64_t NumberTextStream::skip(std::size_t count) {
    return inner_ ? inner_->skip(count) : 0;
}

std::int32_t NumberTextStream::readNumber() {
    std::uint16_t c = getByte();
    if (!isDigit(c)) {
        unread(c);
        return -1;
    }
    std::int32_t value = 0;
    int digits = 0;
    while (isDigit(c)) {
        // Nine digits always fit; a longer number is no picture size.
        if (++digits > kMaxDigits)
            return -1;
        value = value * 10 + (c - '0');
        c = getByte();
    }
    unread(c);
    return value;
}

std::int64_t NumberTextStream::skipPast(char c) {
    std::int64_t reads = 0;
    for (;;) {
        std::uint16_t b = getByte();
        ++reads;
        if (b == kEndOfData || b == static_cast<std::uint8_t>(c))
            return reads;
    }
}

}  // namespace vistrel
