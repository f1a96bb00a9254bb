#include "engine/render/content/image_dict.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/constants/keyword_constants.h"
#include "engine/constants/name_constants.h"
#include "engine/render/color/make_color_space.h"
#include "engine/render/content/content_interpreter.h"

namespace vistrel {

// ---------------------------------------------------------------------------
// Samples and Decode

bool SampleRow::init(std::uint8_t* row, std::size_t byteCount, std::int32_t components,
                     std::int32_t bitsPerSample) {
    row_ = row;
    byteCount_ = byteCount;
    components_ = components;
    bitsPerSample_ = bitsPerSample;
    cursor_.reset(new (std::nothrow) RowCursor);
    if (!cursor_)
        return false;
    cursor_->init(bitsPerSample, row, byteCount);
    return true;
}

namespace {

// Writes samples of a fixed width back over a row, most significant bit
// first, at the places a RowCursor read them from.
class SampleWriter {
public:
    SampleWriter(std::uint8_t* row, int bits) : at_(row), bits_(bits) {}
    void put(std::uint32_t value) {
        int left = bits_;
        while (left > 0) {
            const int room = 8 - used_;
            const int take = left < room ? left : room;
            const std::uint32_t part = (value >> (left - take)) & ((1u << take) - 1);
            const int shift = room - take;
            *at_ = std::uint8_t((*at_ & ~(((1u << take) - 1) << shift)) | (part << shift));
            used_ += take;
            left -= take;
            if (used_ == 8) {
                used_ = 0;
                ++at_;
            }
        }
    }

private:
    std::uint8_t* at_;
    int bits_;
    int used_ = 0;
};

// Into 0 .. top, truncated.
std::uint32_t clampSample(double v, std::uint32_t top) {
    if (!(v > 0))
        return 0;
    return v >= double(top) ? top : std::uint32_t(v);
}

}  // namespace

bool applyDecode(SampleRow& samples, const PdfArray& decode, bool indexed) {
    const std::int32_t components = samples.components();
    RowCursor* cursor = samples.cursor();
    if (components < 1 || decode.count() != 2 * components || !cursor)
        return false;
    std::vector<double> d(std::size_t(decode.count()));
    for (std::int32_t i = 0; i < decode.count(); ++i) {
        PdfNumber* n = asNumber(decode.at(i));
        if (!n)
            return false;
        d[std::size_t(i)] = n->realValue();
    }
    bool identity = true;
    for (std::int32_t k = 0; k < components && identity; ++k)
        identity = d[2 * k] == 0.0 && d[2 * k + 1] == 1.0;
    if (identity)
        return true;
    const std::int32_t bits = samples.bitsPerSample();
    if (components * bits == 1) {
        if (d[0] > d[1]) {
            std::uint8_t* row = samples.row();
            for (std::size_t i = 0; i < samples.byteCount(); ++i)
                row[i] = std::uint8_t(~row[i]);
        }
        return true;
    }
    if (bits < 1 || bits > 16)
        return false;
    const std::uint32_t top = (1u << bits) - 1;
    SampleWriter writer(samples.row(), bits);
    for (std::int32_t k = 0;; k = (k + 1) % components) {
        const std::uint16_t x = cursor->readSample();
        if (cursor->endFlag)
            break;
        const double dMin = d[2 * k], dMax = d[2 * k + 1];
        const double value = dMin + x * (dMax - dMin) / top;
        // Indexed samples are table indices: the value as it is, truncated;
        // other samples are fractions of the full range.
        writer.put(indexed ? clampSample(std::trunc(value), top)
                           : clampSample(std::trunc(value * top + 0.5), top));
    }
    return true;
}

// ---------------------------------------------------------------------------
// ImageDict

namespace {

// The integer value of a number entry; false when missing or no number.
bool integerEntry(const PdfDict& dict, const PdfObject& key, std::int32_t& out) {
    PdfNumber* n = asNumber(dict.get(key));
    if (!n)
        return false;
    out = n->intValue();
    return true;
}

std::uint64_t bytesFor(std::uint64_t bits) {
    return (bits + 7) / 8;
}

}  // namespace

ImageDict::ImageDict(const PdfDict& dict, InputStream* data, bool inlineFlag,
                     const uint8_t* fileKey)
    : PdfStream(dict, data, inlineFlag, fileKey) {
    if (PdfArray* array = asArray(get(names::Decode)))
        decode_ = Ref<PdfArray>::share(array);
    if (!usable())
        return;
    if (PdfObject* mask = get(names::ImageMask)) {
        PdfObject* d = mask->direct();
        if (d && d->kind() == kKindBoolean)
            imageMask_ = static_cast<PdfBoolean*>(d)->value();
    }
    // A mask has one bit per sample, with or without /BitsPerComponent.
    std::int32_t bits = 1;
    if (!integerEntry(*this, names::Width, width_) ||
        !integerEntry(*this, names::Height, height_) ||
        (!integerEntry(*this, names::BitsPerComponent, bits) && !imageMask_))
        return;
    if (width_ < 1 || height_ < 1)
        return;
    if (imageMask_ ? bits != 1 : bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
        return;
    colorSpace_ = imageMask_ ? makeColorSpace(&names::DeviceGray)
                             : makeColorSpace(get(names::ColorSpace));
    if (!colorSpace_ || !colorSpace_->valid())
        return;
    sixteenBits_ = bits == 16;
    bitsPerComponent_ = sixteenBits_ ? 8 : bits;

    const std::uint64_t components = std::uint64_t(colorSpace_->components());
    const std::int32_t outBits = colorSpace_->outputBitsPerPixel(bitsPerComponent_);
    if (components < 1 || outBits < 1)
        return;
    const std::uint64_t in = bytesFor(components * std::uint64_t(bits) * std::uint64_t(width_));
    const std::uint64_t out = bytesFor(std::uint64_t(outBits) * std::uint64_t(width_));
    const std::uint64_t cap = inlineFlag ? kMaxInlineBytes : kMaxXObjectBytes;
    if ((in > out ? in : out) > cap / std::uint64_t(height_))
        return;
    inBytesPerRow_ = std::size_t(in);
    outBytesPerRow_ = std::size_t(out);
    valid_ = true;
}

ImageDict::~ImageDict() = default;

uint16_t ImageDict::classKind() const {
    return kClassImageXObject;
}

bool ImageDict::readStoredRow(InputStream& from, std::uint8_t* buffer) {
    std::size_t got = 0;
    while (got < inBytesPerRow_) {
        const std::int64_t n = from.read(buffer + got, inBytesPerRow_ - got);
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    if (got == 0)
        return false;
    std::memset(buffer + got, 0, inBytesPerRow_ - got);
    if (sixteenBits_) {
        // The high byte of each big-endian sample.
        for (std::size_t i = 0; 2 * i < inBytesPerRow_; ++i)
            buffer[i] = buffer[2 * i];
    }
    return true;
}

bool ImageDict::decodeRow(std::uint8_t* buffer, std::size_t byteCount, std::int32_t bits) {
    if (!decode_)
        return true;
    if (!samples_.init(buffer, byteCount, colorSpace_->components(), bits))
        return false;
    return applyDecode(samples_, *decode_, colorSpace_->family() == ColorSpaceFamily::Indexed);
}

// ---------------------------------------------------------------------------
// ImageXObject

ImageXObject::ImageXObject(const PdfDict& dict, InputStream* data, const uint8_t* fileKey)
    : ImageDict(dict, data, false, fileKey) {}

std::size_t ImageXObject::storedBytes() const {
    if (height_ < 1 || inBytesPerRow_ == 0 || inBytesPerRow_ > SIZE_MAX / std::size_t(height_))
        return 0;
    return inBytesPerRow_ * std::size_t(height_);
}

bool ImageXObject::openRows() {
    if (isStreamOpen())
        close();
    rowIndex_ = 0;
    dataEnded_ = false;
    keeping_ = {};
    source_ = kept_;
    sourceRow_ = 0;
    if (source_)
        return true;
    if (!open())
        return false;
    if (KeptImageRows* keeper = KeptImageRows::current()) {
        const std::size_t bytes = storedBytes();
        if (bytes > 0)
            keeping_ = keeper->rowMemory(bytes);
    }
    return true;
}

void ImageXObject::closeRows() {
    inPlace_.reset();
    if (source_) {
        source_.reset();
        rowIndex_ = height_;
    }
    keeping_ = {};
    if (isStreamOpen()) {
        close();
        rowIndex_ = height_;
    }
}

bool ImageXObject::readRow(std::uint8_t* buffer) {
    if (!colorSpace_ || (!source_ && !isStreamOpen()) || rowIndex_ >= height_)
        return false;
    std::uint8_t* const stored =
        keeping_.bytes ? keeping_.bytes.get() + std::size_t(rowIndex_) * inBytesPerRow_ : nullptr;
    if (source_) {
        // The rows as the data gave them, one after the other.
        if (sourceRow_ >= std::size_t(height_)) {
            dataEnded_ = true;
            return false;
        }
        std::memcpy(buffer, source_.get() + sourceRow_++ * inBytesPerRow_, inBytesPerRow_);
    } else if (!readStoredRow(*this, buffer)) {
        dataEnded_ = true;
        keeping_ = {};
        return false;
    } else if (stored) {
        std::memcpy(stored, buffer, inBytesPerRow_);
    }
    // Decode works on the samples as stored, before the conversion.
    const std::size_t sampleBytes = sixteenBits_ ? inBytesPerRow_ / 2 : inBytesPerRow_;
    if (!decodeRow(buffer, sampleBytes, bitsPerComponent_)) {
        keeping_ = {};
        return false;
    }
    colorSpace_->convertSamples(buffer, bitsPerComponent_, std::size_t(width_),
                                colorSpace_->family() == ColorSpaceFamily::Lab && decode_);
    ++rowIndex_;
    keepRows();
    return true;
}

void ImageXObject::keepRows() {
    // The last row completes the rows kept.
    if (keeping_.bytes && rowIndex_ == height_) {
        KeptImageRows* keeper = KeptImageRows::current();
        std::shared_ptr<std::uint8_t[]> rows = keeping_.bytes;
        if (keeper && keeper->add(*this, std::move(keeping_)))
            kept_ = std::move(rows);
        keeping_ = {};
    }
}

std::uint8_t* ImageXObject::readRowInPlace(std::uint8_t* buffer) {
    inPlace_.reset();
    const ColorSpaceFamily family = colorSpace_ ? colorSpace_->family() : ColorSpaceFamily::Lab;
    // Samples as stored are what device grey and RGB deliver.
    if (decode_ || rowIndex_ >= height_ ||
        (family != ColorSpaceFamily::DeviceGray && family != ColorSpaceFamily::DeviceRGB))
        return readRow(buffer) ? buffer : nullptr;
    if (source_) {
        // The kept rows are delivered where they lie.
        if (sourceRow_ >= std::size_t(height_)) {
            dataEnded_ = true;
            return nullptr;
        }
        ++rowIndex_;
        inPlace_ = source_;
        return source_.get() + sourceRow_++ * inBytesPerRow_;
    }
    if (!keeping_.bytes || !isStreamOpen())
        return readRow(buffer) ? buffer : nullptr;
    std::uint8_t* const stored = keeping_.bytes.get() + std::size_t(rowIndex_) * inBytesPerRow_;
    if (!readStoredRow(*this, stored)) {
        dataEnded_ = true;
        keeping_ = {};
        return nullptr;
    }
    ++rowIndex_;
    inPlace_ = keeping_.bytes;
    keepRows();
    return stored;
}

ObjectRef makeImageXObject(const PdfDict& dict, InputStream* data, const uint8_t* fileKey) {
    Ref<ImageXObject> image = Ref<ImageXObject>::adopt(new ImageXObject(dict, data, fileKey));
    if (!image || !image->isValid())
        return nullptr;
    return image;
}

// ---------------------------------------------------------------------------
// Inline images

ContentStreamView::ContentStreamView(InputStream* inner) : inner_(inner) {
    openFlag_ = inner_ != nullptr;
}

// The content goes on after the image: closing the view leaves it open.
void ContentStreamView::close() {
    openFlag_ = false;
}

std::int64_t ContentStreamView::read(void* buffer, std::size_t count) {
    return openFlag_ ? inner_->read(buffer, count) : 0;
}

std::uint16_t ContentStreamView::getByte() {
    return openFlag_ ? inner_->getByte() : kEndOfData;
}

void ContentStreamView::unread(std::uint16_t byte) {
    if (openFlag_)
        inner_->unread(byte);
}

bool ContentStreamView::atEnd() {
    return openFlag_ ? inner_->atEnd() : true;
}

std::int64_t ContentStreamView::skip(std::size_t count) {
    return openFlag_ ? inner_->skip(count) : 0;
}

void ContentStreamView::detach() {
    inner_ = nullptr;
    openFlag_ = false;
}

InlineImage::InlineImage(const PdfDict& dict, std::unique_ptr<ContentStreamView> content)
    : ImageDict(dict, content.get(), true, nullptr), content_(std::move(content)) {
    readRows();
    // The rows are all read: the view must not reach the content later.
    content_->detach();
}

void InlineImage::readRows() {
    if (!valid_ || !usable())
        return;
    valid_ = false;
    const std::size_t rowBytes = outBytesPerRow_;
    std::unique_ptr<std::uint8_t[]> scratch(new (std::nothrow) std::uint8_t[bufferSize()]);
    if (!scratch)
        return;
    // The white-space byte after "ID".
    if (content_->getByte() == kEndOfData || !open())
        return;
    std::size_t capacity = 0;  // in rows
    for (std::int32_t y = 0; y < height_; ++y) {
        if (!readStoredRow(*this, scratch.get()))
            break;  // the data ended
        colorSpace_->convertSamples(scratch.get(), bitsPerComponent_, std::size_t(width_), false);
        if (std::size_t(rowsHeld_) == capacity) {
            // Twice the room, at most for every row.
            const std::size_t grown =
                std::min(std::max<std::size_t>(2 * capacity, 16), std::size_t(height_));
            std::unique_ptr<std::uint8_t[]> larger(new (std::nothrow)
                                                       std::uint8_t[grown * rowBytes]);
            if (!larger) {
                close();
                rows_.reset();
                rowsHeld_ = 0;
                return;
            }
            if (rowsHeld_ > 0)
                std::memcpy(larger.get(), rows_.get(), std::size_t(rowsHeld_) * rowBytes);
            rows_ = std::move(larger);
            capacity = grown;
        }
        std::memcpy(rows_.get() + std::size_t(rowsHeld_) * rowBytes, scratch.get(), rowBytes);
        ++rowsHeld_;
    }
    close();
    valid_ = true;
}

InlineImage::~InlineImage() = default;

bool InlineImage::openRows() {
    if (rowsOpen_)
        closeRows();
    rowIndex_ = 0;
    rowsOpen_ = true;
    return true;
}

void InlineImage::closeRows() {
    if (rowsOpen_) {
        rowsOpen_ = false;
        rowIndex_ = height_;
    }
}

bool InlineImage::readRow(std::uint8_t* buffer) {
    if (!colorSpace_ || !rowsOpen_ || rowIndex_ >= rowsHeld_)
        return false;
    std::memcpy(buffer, rows_.get() + outBytesPerRow_ * std::size_t(rowIndex_), outBytesPerRow_);
    ++rowIndex_;
    // The stored row is converted already: Decode comes after the conversion.
    const std::int32_t outComponents = colorSpace_->outputComponents();
    const std::int32_t bits =
        outComponents > 0 ? colorSpace_->outputBitsPerPixel(bitsPerComponent_) / outComponents : 0;
    const std::size_t sampleBytes = sixteenBits_ ? inBytesPerRow_ / 2 : inBytesPerRow_;
    return decodeRow(buffer, sampleBytes < outBytesPerRow_ ? sampleBytes : outBytesPerRow_, bits);
}

namespace {

// The full form of an abbreviated colour-space or filter-free value name.
const PdfObject* expandedValueName(const PdfObject& name) {
    if (name.equals(&names::CMYK))
        return &names::DeviceCMYK;
    if (name.equals(&names::G))
        return &names::DeviceGray;
    if (name.equals(&names::RGB))
        return &names::DeviceRGB;
    if (name.equals(&names::I))
        return &names::Indexed;
    return nullptr;
}

const PdfObject* expandedKey(const PdfObject& name) {
    if (name.equals(&names::BPC))
        return &names::BitsPerComponent;
    if (name.equals(&names::CS))
        return &names::ColorSpace;
    if (name.equals(&names::D))
        return &names::Decode;
    if (name.equals(&names::H))
        return &names::Height;
    if (name.equals(&names::IM))
        return &names::ImageMask;
    if (name.equals(&names::I))
        return &names::Interpolate;
    if (name.equals(&names::W))
        return &names::Width;
    return nullptr;
}

ObjectRef constantRef(const PdfObject* constant) {
    return ObjectRef::share(const_cast<PdfObject*>(constant));
}

// A value with its abbreviated names expanded: a name, or the names that
// are elements of an array (in a new array that shares the other elements).
ObjectRef expandedValue(ObjectRef value) {
    PdfObject* d = value ? value->direct() : nullptr;
    if (!d)
        return value;
    if (d->kind() == kKindName) {
        const PdfObject* full = expandedValueName(*d);
        return full ? constantRef(full) : value;
    }
    if (d->kind() == kKindArray) {
        const PdfArray& source = static_cast<const PdfArray&>(*d);
        Ref<PdfArray> copy = makeRef<PdfArray>();
        if (!copy)
            return value;
        for (std::int32_t i = 0; i < source.count(); ++i) {
            PdfObject* element = source.at(i);
            const PdfObject* full =
                element && element->kind() == kKindName ? expandedValueName(*element) : nullptr;
            copy->append(full ? constantRef(full) : ObjectRef::share(element));
        }
        return copy;
    }
    return value;
}

bool isKeywordObject(const PdfObject* object, const PdfObject& keyword) {
    return object && object->kind() == kKindKeyword && object->equals(&keyword);
}

}  // namespace

Ref<PdfDict> parseInlineImageDict(ContentInterpreter& interpreter) {
    ContentOperandStack& stack = interpreter.operands();
    Ref<PdfDict> dict = makeRef<PdfDict>();
    if (!dict)
        return nullptr;
    ObjectRef pending;
    bool expectKey = false;
    bool reachedMarker = false;
    while (stack.count() > 0) {
        ObjectRef top = stack.pop();
        const PdfObject* d = top ? top->direct() : nullptr;
        if (d && d->kind() == kKindKeyword) {
            if (isKeywordObject(d, keywords::BI)) {
                reachedMarker = true;
                break;
            }
            if (isKeywordObject(d, keywords::true_) || isKeywordObject(d, keywords::false_)) {
                // Taken again as an ordinary value on the next pass.
                stack.push(makeRef<PdfBoolean>(isKeywordObject(d, keywords::true_)));
                continue;
            }
            stack.push(std::move(top));
            return nullptr;
        }
        if (!expectKey) {
            pending = expandedValue(std::move(top));
            expectKey = true;
            continue;
        }
        if (!d || d->kind() != kKindName) {
            stack.push(std::move(top));
            return nullptr;
        }
        const PdfObject* full = expandedKey(*d);
        dict->put(full ? constantRef(full) : std::move(top), std::move(pending));
        pending = nullptr;
        expectKey = false;
    }
    if (!reachedMarker) {
        if (pending)
            stack.push(std::move(pending));
        return nullptr;
    }
    PdfObject* space = dict->get(names::ColorSpace);
    PdfObject* spaceName = space ? space->direct() : nullptr;
    if (spaceName && spaceName->kind() == kKindName) {
        if (PdfObject* resource = interpreter.findResource(names::ColorSpace, *spaceName))
            dict->put(constantRef(&names::ColorSpace), ObjectRef::share(resource));
    }
    return dict;
}

Ref<InlineImage> parseInlineImage(ContentInterpreter& interpreter) {
    Ref<PdfDict> dict = parseInlineImageDict(interpreter);
    if (!dict)
        return nullptr;
    std::unique_ptr<ContentStreamView> view(new (std::nothrow)
                                                ContentStreamView(interpreter.contentInput()));
    if (!view)
        return nullptr;
    Ref<InlineImage> image = Ref<InlineImage>::adopt(new InlineImage(*dict, std::move(view)));
    if (!image || !image->isValid())
        return nullptr;
    return image;
}

}  // namespace vistrel
