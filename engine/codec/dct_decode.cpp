#include "engine/codec/dct_decode.h"

#include "engine/codec/jpeg_error.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vistrel {

namespace {

// Bound on what libjpeg may allocate for one image (the whole-image
// coefficient buffers of progressive and multi-scan files); a larger image
// fails as a fatal library error instead of exhausting memory.
constexpr long kJpegMemoryLimit = 512L * 1024 * 1024;

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

}  // namespace

struct DctDecodeStream::Source {
    jpeg_source_mgr pub;  // first: libjpeg's pointer is this record
    DctDecodeStream* owner;
    bool endFed;  // an end-of-image marker was fed after the input ran out

    static void initSource(j_decompress_ptr cinfo) {
        cinfo->src->next_input_byte = nullptr;
        cinfo->src->bytes_in_buffer = 0;
    }

    static boolean fillInputBuffer(j_decompress_ptr cinfo) {
        auto* self = reinterpret_cast<Source*>(cinfo->src);
        DctDecodeStream* owner = self->owner;
        InputStream* inner = owner->inner_;
        int64_t n = 0;
        if (inner != nullptr && inner->isOpen())
            n = inner->read(owner->input_.get(), owner->inputSize_);
        if (n > 0) {
            cinfo->src->next_input_byte = owner->input_.get();
            cinfo->src->bytes_in_buffer = size_t(n);
            return TRUE;
        }
        // The input ran out before the image was complete: an end-of-image
        // marker lets the library finish it (once; after that it must stop).
        if (self->endFed)
            return FALSE;
        self->endFed = true;
        cinfo->src->next_input_byte = kEndOfImage;
        cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }

    static void skipInputData(j_decompress_ptr cinfo, long count) {
        if (count <= 0)
            return;
        jpeg_source_mgr* src = cinfo->src;
        if (size_t(count) > src->bytes_in_buffer) {
            auto* self = reinterpret_cast<Source*>(src);
            long rest = count - long(src->bytes_in_buffer);
            InputStream* inner = self->owner->inner_;
            if (inner != nullptr && inner->isOpen())
                inner->skip(size_t(rest));
            src->next_input_byte = nullptr;
            src->bytes_in_buffer = 0;
        } else {
            src->next_input_byte += count;
            src->bytes_in_buffer -= size_t(count);
        }
    }

    static void termSource(j_decompress_ptr) {}
};

struct DctDecodeStream::Library {
    JpegErrorManager err;
    jpeg_decompress_struct cinfo{};
    std::unique_ptr<JSAMPROW[]> rows;
};

DctDecodeStream::DctDecodeStream(InputStream* inner, std::unique_ptr<FilterParams> params,
                                 bool inlineImage)
    : ImageStream(inner, std::move(params)), lib_(new (std::nothrow) Library) {
    if (!lib_)
        openFlag_ = false;
    if (!openFlag_)
        return;
    // An inline image is read a byte at a time, so that nothing behind its
    // data is taken; a stream in large blocks, as libjpeg decodes its
    // Huffman codes quickly only with some kilobytes in hand.
    inputSize_ = inlineImage ? 1 : 65536;
    lib_->cinfo.err = initJpegErrorManager(lib_->err);
    if (!guardedJpegCall(lib_->err, [this] { jpeg_create_decompress(&lib_->cinfo); })) {
        jpeg_destroy_decompress(&lib_->cinfo);
        dead_ = true;
        openFlag_ = false;
        return;
    }
    created_ = true;
    lib_->cinfo.mem->max_memory_to_use = kJpegMemoryLimit;
    source_.reset(new (std::nothrow) Source{});
    input_.reset(new (std::nothrow) uint8_t[inputSize_]);
    if (!source_ || !input_) {
        openFlag_ = false;
        return;
    }
    source_->owner = this;
    source_->pub.init_source = Source::initSource;
    source_->pub.fill_input_buffer = Source::fillInputBuffer;
    source_->pub.skip_input_data = Source::skipInputData;
    source_->pub.resync_to_restart = jpeg_resync_to_restart;
    source_->pub.term_source = Source::termSource;
    lib_->cinfo.src = &source_->pub;
    start();
}

DctDecodeStream::~DctDecodeStream() {
    close();
    if (created_ && !dead_)
        jpeg_destroy_decompress(&lib_->cinfo);
}

void DctDecodeStream::fail() {
    if (created_ && !dead_)
        jpeg_destroy_decompress(&lib_->cinfo);
    dead_ = true;
    error_ = true;
    ended_ = true;
    started_ = false;
}

bool DctDecodeStream::open() {
    if (started_)
        return true;
    return start();
}

bool DctDecodeStream::start() {
    if (!openFlag_ || !created_ || dead_ || !source_) {
        error_ = true;
        return false;
    }
    inner_->open();  // file streams answer no; that is not an error
    source_->endFed = false;
    lib_->err.dataEnded = false;
    int header = 0;
    if (!guardedJpegCall(lib_->err, [&] { header = jpeg_read_header(&lib_->cinfo, TRUE); })) {
        fail();
        return false;
    }
    if (header != JPEG_HEADER_OK) {
        error_ = true;
        return false;
    }
    boolean ready = FALSE;
    if (!guardedJpegCall(lib_->err, [&] { ready = jpeg_start_decompress(&lib_->cinfo); })) {
        fail();
        return false;
    }
    if (!ready) {  // the input ran out during the set-up
        guardedJpegCall(lib_->err, [&] { jpeg_abort_decompress(&lib_->cinfo); });
        error_ = true;
        return false;
    }
    width_ = int32_t(lib_->cinfo.image_width);
    height_ = int32_t(lib_->cinfo.image_height);
    components_ = lib_->cinfo.num_components;
    bytesPerRow_ = 0;
    uint64_t rowBytes =
        uint64_t(lib_->cinfo.output_width) * uint64_t(lib_->cinfo.output_components);
    uint32_t batch = uint32_t(std::max(lib_->cinfo.rec_outbuf_height, 1));
    if (rowBytes == 0 || rowBytes * batch > 0x7FFFFFFFu) {
        fail();
        return false;
    }
    if (!lib_->rows || batch != batchCapacity_ || uint32_t(rowBytes) != rowBytes_) {
        releaseRows();
        lib_->rows.reset(new (std::nothrow) JSAMPROW[batch]);
        rowBlock_.reset(new (std::nothrow) uint8_t[size_t(rowBytes) * batch]);
        if (!lib_->rows || !rowBlock_) {
            releaseRows();
            fail();
            openFlag_ = false;
            return false;
        }
        batchCapacity_ = batch;
        rowBytes_ = uint32_t(rowBytes);
        for (uint32_t i = 0; i < batch; ++i)
            lib_->rows[i] = rowBlock_.get() + size_t(i) * rowBytes_;
    }
    rowsInBatch_ = byteIndex_ = rowIndex_ = 0;
    byteCounter_ = 0;
    ended_ = false;
    error_ = false;
    started_ = true;
    return true;
}

void DctDecodeStream::releaseRows() {
    if (lib_)
        lib_->rows.reset();
    rowBlock_.reset();
    batchCapacity_ = rowBytes_ = 0;
}

bool DctDecodeStream::nextBatch() {
    if (!started_ || dead_ || ended_)
        return false;
    if (lib_->cinfo.output_scanline >= lib_->cinfo.output_height) {
        ended_ = true;
        return false;
    }
    JDIMENSION got = 0;
    if (!guardedJpegCall(lib_->err, [&] {
            got = jpeg_read_scanlines(&lib_->cinfo, lib_->rows.get(), batchCapacity_);
        })) {
        fail();
        return false;
    }
    if (got == 0) {  // no row can come any more: end the data
        ended_ = true;
        return false;
    }
    rowsInBatch_ = got;
    return true;
}

void DctDecodeStream::close() {
    if (!started_ || dead_)
        return;
    // Decode and drop the rest of the image so that the input ends behind
    // it; data that already ran out has nothing behind it, and the rest of
    // such an image (perhaps huge) is not worth making up.
    bool dataEnded = source_->endFed || lib_->err.dataEnded;
    if (!dataEnded) {
        while (!ended_ && nextBatch()) {
        }
    }
    if (dead_)
        return;
    bool complete = lib_->cinfo.output_scanline >= lib_->cinfo.output_height && !dataEnded;
    boolean finished = FALSE;
    if (complete &&
        !guardedJpegCall(lib_->err, [&] { finished = jpeg_finish_decompress(&lib_->cinfo); })) {
        fail();
        return;
    }
    if (!finished)
        guardedJpegCall(lib_->err, [&] { jpeg_abort_decompress(&lib_->cinfo); });
    started_ = false;
    ended_ = true;
    rowsInBatch_ = byteIndex_ = rowIndex_ = 0;
}

uint16_t DctDecodeStream::getByte() {
    if (!openFlag_ || error_)
        return kEndOfData;
    uint16_t c;
    if (takePushedBack(c)) {
        ++byteCounter_;
        return c;
    }
    return decodeByte();
}

uint16_t DctDecodeStream::decodeByte() {
    if (!started_ || ended_)
        return kEndOfData;
    if (byteIndex_ == 0 && rowIndex_ == 0 && !nextBatch())
        return kEndOfData;
    uint8_t b = lib_->rows[rowIndex_][byteIndex_];
    if (++byteIndex_ == rowBytes_) {
        byteIndex_ = 0;
        if (++rowIndex_ >= rowsInBatch_)
            rowIndex_ = 0;
    }
    ++byteCounter_;
    return b;
}

int64_t DctDecodeStream::read(void* buffer, size_t count) {
    if (!openFlag_ || count == 0)
        return 0;
    if (buffer == nullptr)
        return skip(count);
    if (error_)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t n = 0;
    uint16_t c;
    if (takePushedBack(c)) {
        out[n++] = uint8_t(c);
        ++byteCounter_;
    }
    while (n < count) {
        if (!started_ || ended_)
            break;
        if (byteIndex_ == 0 && rowIndex_ == 0 && !nextBatch())
            break;
        size_t take = std::min<size_t>(rowBytes_ - byteIndex_, count - n);
        std::memcpy(out + n, lib_->rows[rowIndex_] + byteIndex_, take);
        n += take;
        byteCounter_ += take;
        byteIndex_ += uint32_t(take);
        if (byteIndex_ == rowBytes_) {
            byteIndex_ = 0;
            if (++rowIndex_ >= rowsInBatch_)
                rowIndex_ = 0;
        }
    }
    return int64_t(n);
}

void DctDecodeStream::unread(uint16_t byte) {
    InputStream::unread(byte);
    if (byteCounter_ > 0)
        --byteCounter_;
}

uint64_t DctDecodeStream::position() {
    uint64_t at = inner_ ? inner_->position() : 0;
    return at > inputSize_ ? at - inputSize_ : 0;
}

}  // namespace vistrel
