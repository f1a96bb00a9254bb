#include "engine/export/png_encode_stream.h"

#include <csetjmp>
#include <new>

#include <png.h>

namespace vistrel {

struct PngEncodeStream::Codec {
    png_structp png = nullptr;
    png_infop info = nullptr;
    OutputStream* inner = nullptr;
    std::uint32_t height = 0;
    std::uint32_t rows = 0;
    bool headerWritten = false;
    bool ended = false;
    bool failed = false;

    ~Codec() {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
    }

    // Runs a library call with the jump point set; an error fails the stream
    // for good.
    template <class F>
    [[gnu::noinline]] bool guarded(F&& call) {
        if (failed)
            return false;
        if (setjmp(png_jmpbuf(png))) {
            failed = true;
            return false;
        }
        call();
        return true;
    }

    [[noreturn]] static void error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
    static void warning(png_structp, png_const_charp) {}
    static void write(png_structp png, png_bytep data, png_size_t length) {
        Codec& c = *static_cast<Codec*>(png_get_io_ptr(png));
        if (!c.inner->isOpen() || c.inner->write(data, length) != length)
            png_error(png, "the output refused the bytes");
    }
    static void flush(png_structp) {}
};

PngEncodeStream::PngEncodeStream(OutputStream* inner, std::int32_t width, std::int32_t height,
                                 std::int32_t components)
    : inner_(inner) {
    openFlag_ = false;
    if (!inner || !inner->isOpen() || (components != 1 && components != 3))
        return;
    codec_.reset(new (std::nothrow) Codec);
    if (!codec_)
        return;
    Codec& c = *codec_;
    c.inner = inner;
    c.height = std::uint32_t(height > 0 ? height : 0);
    c.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &c, Codec::error, Codec::warning);
    if (!c.png)
        return;
    c.info = png_create_info_struct(c.png);
    if (!c.info)
        return;
    png_set_write_fn(c.png, &c, Codec::write, Codec::flush);
    inner->open();
    // libpng refuses sizes it cannot write (zero, or beyond its limits).
    if (!c.guarded([&] {
            png_set_IHDR(c.png, c.info, png_uint_32(width > 0 ? width : 0), c.height, 8,
                         components == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY,
                         PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                         PNG_FILTER_TYPE_DEFAULT);
            png_write_info(c.png, c.info);
        }))
        return;
    c.headerWritten = true;
    openFlag_ = true;
}

PngEncodeStream::~PngEncodeStream() {
    if (codec_ && codec_->headerWritten)
        PngEncodeStream::finish();
}

bool PngEncodeStream::open() {
    return codec_ && codec_->headerWritten && !codec_->failed;
}

bool PngEncodeStream::writeRow(const std::uint8_t* row) {
    if (!codec_ || !codec_->headerWritten || codec_->ended || !row)
        return false;
    Codec& c = *codec_;
    if (c.rows >= c.height)
        return false;
    if (!c.guarded([&] { png_write_row(c.png, row); }))
        return false;
    ++c.rows;
    return true;
}

bool PngEncodeStream::finish() {
    if (!codec_ || !codec_->headerWritten)
        return false;
    Codec& c = *codec_;
    if (!c.ended) {
        c.ended = true;
        if (c.rows != c.height)
            c.failed = true;
        else
            c.guarded([&] { png_write_end(c.png, c.info); });
    }
    return !c.failed;
}

bool PngEncodeStream::failed() const {
    return !codec_ || codec_->failed;
}

}  // namespace vistrel
