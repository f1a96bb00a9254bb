#include "engine/export/jpeg_encode_stream.h"

#include <cstdio>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "engine/codec/jpeg_error.h"

namespace vistrel {

namespace {

constexpr std::size_t kBufferSize = 512;

}  // namespace

struct JpegEncodeStream::Codec {
    jpeg_compress_struct cinfo{};
    JpegErrorManager errors;
    jpeg_destination_mgr destination{};
    std::uint8_t buffer[kBufferSize];
    OutputStream* inner = nullptr;
    bool created = false;  // cinfo holds a library object
    bool started = false;
    bool failed = false;

    // Runs a library call; a fatal error destroys the library object.
    template <class F>
    bool guarded(F&& call) {
        if (failed)
            return false;
        if (!guardedJpegCall(errors, call)) {
            failed = true;
            started = false;
            jpeg_destroy_compress(&cinfo);
            created = false;
            return false;
        }
        return true;
    }

    static Codec& of(j_compress_ptr cinfo) { return *static_cast<Codec*>(cinfo->client_data); }

    // The destination manager: the whole buffer is offered; a full buffer
    // goes to the inner stream, and one it does not take is a fatal error.
    static void initDestination(j_compress_ptr cinfo) {
        Codec& c = of(cinfo);
        c.destination.next_output_byte = c.buffer;
        c.destination.free_in_buffer = kBufferSize;
    }
    static boolean emptyBuffer(j_compress_ptr cinfo) {
        Codec& c = of(cinfo);
        if (!c.inner->isOpen() || c.inner->write(c.buffer, kBufferSize) != kBufferSize)
            ERREXIT(cinfo, JERR_FILE_WRITE);
        initDestination(cinfo);
        return TRUE;
    }
    static void termDestination(j_compress_ptr cinfo) {
        Codec& c = of(cinfo);
        const std::size_t filled = kBufferSize - c.destination.free_in_buffer;
        if (filled && (!c.inner->isOpen() || c.inner->write(c.buffer, filled) != filled))
            ERREXIT(cinfo, JERR_FILE_WRITE);
    }
};

JpegEncodeStream::JpegEncodeStream(OutputStream* inner, std::int32_t width, std::int32_t height,
                                   std::int32_t components) {
    openFlag_ = false;
    if (width <= 0 || height <= 0 || !inner || !inner->isOpen())
        return;
    J_COLOR_SPACE space;
    switch (components) {
        case 1:
            space = JCS_GRAYSCALE;
            break;
        case 3:
            space = JCS_RGB;
            break;
        case 4:
            space = JCS_CMYK;
            break;
        default:
            return;
    }
    codec_.reset(new (std::nothrow) Codec);
    if (!codec_)
        return;
    Codec& c = *codec_;
    c.inner = inner;
    c.cinfo.err = initJpegErrorManager(c.errors);
    c.cinfo.client_data = &c;
    if (!guardedJpegCall(c.errors, [&] { jpeg_create_compress(&c.cinfo); })) {
        jpeg_destroy_compress(&c.cinfo);
        codec_.reset();
        return;
    }
    c.created = true;
    c.cinfo.image_width = JDIMENSION(width);
    c.cinfo.image_height = JDIMENSION(height);
    c.cinfo.input_components = components;
    c.cinfo.in_color_space = space;
    c.destination.init_destination = Codec::initDestination;
    c.destination.empty_output_buffer = Codec::emptyBuffer;
    c.destination.term_destination = Codec::termDestination;
    if (!c.guarded([&] { jpeg_set_defaults(&c.cinfo); })) {
        codec_.reset();
        return;
    }
    c.cinfo.dest = &c.destination;
    openFlag_ = true;
}

JpegEncodeStream::~JpegEncodeStream() {
    if (!codec_)
        return;
    JpegEncodeStream::finish();
    if (codec_->created)
        jpeg_destroy_compress(&codec_->cinfo);
}

bool JpegEncodeStream::open() {
    if (!codec_ || codec_->failed)
        return false;
    Codec& c = *codec_;
    if (c.started)
        return true;
    c.inner->open();
    if (!c.guarded([&] { jpeg_start_compress(&c.cinfo, TRUE); }))
        return false;
    c.started = true;
    return true;
}

bool JpegEncodeStream::writeRow(const std::uint8_t* row) {
    if (!codec_ || !codec_->started || !row)
        return false;
    Codec& c = *codec_;
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    JDIMENSION written = 0;
    if (!c.guarded([&] { written = jpeg_write_scanlines(&c.cinfo, rows, 1); }))
        return false;
    return written == 1;
}

bool JpegEncodeStream::finish() {
    if (!codec_)
        return false;
    Codec& c = *codec_;
    if (c.started) {
        c.started = false;
        c.guarded([&] { jpeg_finish_compress(&c.cinfo); });
    }
    return !c.failed;
}

bool JpegEncodeStream::failed() const {
    return !codec_ || codec_->failed;
}

}  // namespace vistrel
