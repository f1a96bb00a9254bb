#include "viewer/components/gif_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "viewer/components/animated_cursor.h"
#include "viewer/components/colour_reduction.h"
#include "viewer/components/gif_lzw.h"
#include "viewer/components/graphic_errors.h"
#include "viewer/components/icon.h"

namespace brevant {
namespace {

bool g_loadCorrupted = false;

constexpr int kMaxRepeatCount = 30000;
const char* const kVersionTexts[] = {"", "87a", "89a"};

bool equalNoCase(ByteSpan bytes, const char* text) {
    std::size_t n = std::strlen(text);
    if (bytes.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(bytes[i]) != lower(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

// The exponent of a power of two from 2 to 256, else -1.
int powerOfTwo(int count) {
    for (int b = 1; b <= 8; ++b)
        if (count == 1 << b)
            return b;
    return -1;
}

int bitsToHold(int count) {
    int b = 1;
    while (b < 8 && (1 << b) < count)
        ++b;
    return b;
}

int firstExactMatch(const ColourTable& table, Colour c) {
    if (!isRgbColour(c))
        return -1;
    for (int i = 0; i < table.count; ++i)
        if (colourOf(table.entries[std::size_t(i)]) == c)
            return i;
    return -1;
}

std::vector<std::string> readSubBlocks(ByteReader& r) {
    std::vector<std::string> blocks;
    while (!r.atEnd()) {
        std::size_t n = r.u8();
        if (n == 0)
            break;
        if (n > r.remaining()) {
            if (!g_loadCorrupted)
                throw StreamReadError();
            n = r.remaining();
        }
        ByteSpan b = r.take(n);
        blocks.emplace_back(b.begin(), b.end());
    }
    return blocks;
}

void writeSubBlocks(Bytes& out, const std::vector<std::string>& blocks) {
    for (const std::string& s : blocks) {
        if (s.empty())
            continue;
        std::size_t n = std::min<std::size_t>(s.size(), 255);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), s.begin(), s.begin() + std::ptrdiff_t(n));
    }
    out.push_back(0);
}

GifExtension readExtension(ByteReader& r) {
    GifExtension ext;
    std::uint8_t label = r.u8();
    switch (label) {
        case 0xF9: {
            ByteSpan b = r.take(6);  // block size 4, four bytes, terminator
            ext.kind = GifExtensionKind::GraphicControl;
            ext.fixed.assign(b.begin(), b.begin() + 5);
            return ext;
        }
        case 0xFE:
            ext.kind = GifExtensionKind::Comment;
            break;
        case 0x01: {
            ByteSpan b = r.take(13);
            ext.kind = GifExtensionKind::PlainText;
            ext.fixed.assign(b.begin(), b.end());
            break;
        }
        case 0xFF: {
            ByteSpan b = r.take(12);
            ext.kind = GifExtensionKind::Application;
            ext.fixed.assign(b.begin(), b.end());
            break;
        }
        default: {
            char text[128];
            std::snprintf(text, sizeof text, componentString(kSGifExtension).c_str(), label);
            throw GraphicError(kSGifExtension, text);
        }
    }
    ext.blocks = readSubBlocks(r);
    return ext;
}

// The repeat count of a looping extension; -1 when the extension is none.
int loopCount(const GifExtension& ext) {
    static const char* const kIds[] = {"NETSCAPE2.0", "ANIMEXTS1.0"};
    if (ext.fixed.size() != 12 || ext.fixed[0] != 11)
        return -1;
    bool known = false;
    for (const char* id : kIds)
        known = known || std::memcmp(ext.fixed.data() + 1, id, 11) == 0;
    if (!known)
        return -1;
    for (const std::string& b : ext.blocks)
        if (b.size() >= 3 && b[0] == 1)
            return std::uint8_t(b[1]) | (std::uint8_t(b[2]) << 8);
    return -1;
}

void putColourTable(Bytes& out, const ColourTable& table, int entries) {
    for (int i = 0; i < entries; ++i) {
        const Rgb& c = table.entries[std::size_t(i)];
        Rgb v = i < table.count ? c : Rgb{};
        out.push_back(v.r);
        out.push_back(v.g);
        out.push_back(v.b);
    }
}

ColourTable readColourTable(ByteReader& r, int count) {
    ColourTable t;
    t.count = count;
    ByteSpan b = r.take(std::size_t(count) * 3);
    for (int i = 0; i < count; ++i)
        t.entries[std::size_t(i)] = {b[3 * std::size_t(i)], b[3 * std::size_t(i) + 1],
                                     b[3 * std::size_t(i) + 2]};
    return t;
}

}  // namespace

void setGifLoadCorrupted(bool on) {
    g_loadCorrupted = on;
}
bool gifLoadCorrupted() {
    return g_loadCorrupted;
}

// ---------------------------------------------------------------------------
// GifFrame

GifFrame::GifFrame(GifImage* owner) : owner_(owner), item_(std::make_shared<GifItem>()) {}

const Bitmap& GifFrame::bitmap() {
    if (!bitmap_)
        decode();
    return *bitmap_;
}

int GifFrame::width() const {
    if (bitmap_)
        return bitmap_->width();
    return hasData() ? item_->width : 0;
}

int GifFrame::height() const {
    if (bitmap_)
        return bitmap_->height();
    return hasData() ? item_->height : 0;
}

std::vector<std::string> GifFrame::comment() const {
    std::vector<std::string> lines;
    for (const GifExtension& e : extensions_)
        if (e.kind == GifExtensionKind::Comment)
            lines.insert(lines.end(), e.blocks.begin(), e.blocks.end());
    return lines;
}

void GifFrame::decode() {
    if (!hasData()) {
        bitmap_ = std::make_unique<Bitmap>();
        return;
    }
    const GifItem& item = *item_;
    int depth;
    if (item.bitsPerPixel == 1)
        depth = 1;
    else if (item.bitsPerPixel >= 2 && item.bitsPerPixel <= 4)
        depth = 4;
    else if (item.bitsPerPixel >= 5 && item.bitsPerPixel <= 8)
        depth = 8;
    else
        throw GraphicError(kSGifColours);
    // A size the data cannot fill, or past what a bitmap may hold, is refused
    // before anything is allocated.
    std::uint64_t pixels = std::uint64_t(item.width) * std::uint64_t(item.height);
    if (pixels > kMaxBitmapPixels || pixels > maxLzwPixels(item.data.size()))
        throw StreamReadError();
    Bitmap bmp(item.width, item.height, depth);
    bmp.palette().assign(std::size_t(1) << depth, Rgb{128, 128, 128});
    for (int i = 0; i < item.colourTable.count && i < (1 << depth); ++i)
        bmp.palette()[std::size_t(i)] = item.colourTable.entries[std::size_t(i)];

    LzwDecodeOptions options;
    options.bitsPerPixel = item.bitsPerPixel;
    options.interlaced = interlaced;
    options.loadCorrupted = g_loadCorrupted;
    options.progress = [this](int percent) { owner_->progress(ProgressStage::Running, percent); };
    owner_->progress(ProgressStage::Starting, 0);
    try {
        if (decodeGifLzw(item.data, bmp, options))
            corrupted = true;
    } catch (const std::exception& e) {
        owner_->progress(ProgressStage::Ending, 0, e.what());
        throw;
    }
    owner_->progress(ProgressStage::Ending, 100);
    bitmap_ = std::make_unique<Bitmap>(std::move(bmp));
}

void GifFrame::encode() {
    if (!bitmap_ || bitmap_->empty())
        throw GraphicError(kSGifNoData);
    Bitmap dib = *bitmap_;
    int depth = dib.bitsPerPixel();
    if (depth != 1 && depth != 4 && depth != 8) {
        dib = convertToDib(dib, 8, greyScale ? ReductionMethod::Grey : kDefaultReduction);
        depth = dib.bitsPerPixel();
    }
    if (depth != 1 && depth != 4 && depth != 8)
        throw GraphicError(kSGifEncode);
    // The colour table is the image's full table of 2^depth entries.
    auto item = std::make_shared<GifItem>();
    item->colourTable.count = 1 << depth;
    for (std::size_t i = 0; i < dib.palette().size() && i < 256u; ++i)
        item->colourTable.entries[i] = dib.palette()[i];
    item->bitsPerPixel = bitsToHold(item->colourTable.count);
    item->width = dib.width();
    item->height = dib.height();
    item->data = encodeGifLzw(dib, item->bitsPerPixel, [this, &dib](int row) {
        owner_->progress(ProgressStage::Running, (row + 1) * 100 / dib.height());
    });
    interlaced = false;
    if (owner_->data().colourTable.count == 0) {
        GifData& d = owner_->mutableData();
        d.colourTable = item->colourTable;
        d.bitsPerPixel = item->bitsPerPixel;
        d.colourResolution = item->bitsPerPixel;
        localColourTable = false;
    } else {
        localColourTable = true;
    }
    item->packed = std::uint8_t(localColourTable ? 0x80 + item->bitsPerPixel - 1 : 0);
    item_ = std::move(item);
    owner_->screenWidth = std::max(owner_->screenWidth, left + item_->width);
    owner_->screenHeight = std::max(owner_->screenHeight, top + item_->height);
}

void GifFrame::updateGraphicControl() {
    auto isGc = [](const GifExtension& e) { return e.kind == GifExtensionKind::GraphicControl; };
    bool needed = delay != 0 || transparentColour != kColourNone || disposal != 0;
    if (needed && std::none_of(extensions_.begin(), extensions_.end(), isGc))
        extensions_.push_back({GifExtensionKind::GraphicControl, {4, 0, 0, 0, 0}, {}});
    for (GifExtension& e : extensions_) {
        if (!isGc(e))
            continue;
        e.fixed.resize(5);
        e.fixed[0] = 4;
        // The field holds hundredths of a second in 16 bits.
        int d = std::clamp(delay / 10, 0, 0xFFFF);
        e.fixed[2] = std::uint8_t(d);
        e.fixed[3] = std::uint8_t(d >> 8);
        int index = firstExactMatch(item_->colourTable, transparentColour);
        std::uint8_t packed = e.fixed[1];
        if (index >= 0) {
            packed |= 1;
            e.fixed[4] = std::uint8_t(index);
        } else {
            packed &= std::uint8_t(~1);
        }
        e.fixed[1] = std::uint8_t((packed & 0xE3) | ((disposal & 7) << 2));
    }
    std::erase_if(extensions_, [](const GifExtension& e) {
        return e.kind == GifExtensionKind::Comment &&
               std::all_of(e.blocks.begin(), e.blocks.end(),
                           [](const std::string& s) { return s.empty(); });
    });
    if (!extensions_.empty())
        owner_->version = 2;
}

void GifFrame::reset() {
    item_ = std::make_shared<GifItem>();
    bitmap_.reset();
    extensions_.clear();
    left = top = 0;
    transparentColour = kColourNone;
    delay = disposal = 0;
    interlaced = localColourTable = greyScale = corrupted = false;
}

void GifFrame::assign(const GifFrame& src) {
    if (&src == this)
        return;
    item_ = src.item_;
    left = src.left;
    top = src.top;
    interlaced = src.interlaced;
    localColourTable = src.localColourTable;
    bitmap_ = src.bitmap_ ? std::make_unique<Bitmap>(*src.bitmap_) : nullptr;
    transparentColour = src.transparentColour;
    delay = src.delay;
    disposal = src.disposal;
    greyScale = src.greyScale;
    corrupted = src.corrupted;
    extensions_.clear();
    for (const GifExtension& e : src.extensions_)
        if (e.kind == GifExtensionKind::Comment)
            extensions_.push_back(e);
}

void GifFrame::assign(GifImage& src) {
    if (src.count() == 0) {
        reset();
        return;
    }
    assign(src.frame(std::max(src.frameIndex(), 0)));
}

void GifFrame::assign(const Bitmap& src) {
    item_ = std::make_shared<GifItem>();
    bitmap_ = std::make_unique<Bitmap>(src);
    bitmap_->transparent = false;
    if (src.transparent)
        transparentColour = src.effectiveTransparentColour();
}

void GifFrame::assign(const Icon& src) {
    item_ = std::make_shared<GifItem>();
    Bitmap b(src.width(), src.height(), 24);
    fillBitmap(b, kColourMagenta);
    src.drawOn(b, 0, 0, b.width(), b.height());
    bitmap_ = std::make_unique<Bitmap>(std::move(b));
    transparentColour = kColourMagenta;
}

void GifFrame::assignTo(Bitmap& dst) {
    dst = bitmap();
    dst.transparent = false;
    if (transparentColour != kColourNone && !dst.empty()) {
        dst.transparent = true;
        Rgb c = rgbOf(transparentColour);
        dst.transparentColour =
            dst.bitsPerPixel() <= 8 && !dst.palette().empty()
                ? colourOf(dst.palette()[std::size_t(nearestIndex(dst.palette(), c))])
                : transparentColour;
    }
}

// ---------------------------------------------------------------------------
// GifImage

GifImage::GifImage() : data_(std::make_shared<GifData>()) {}
GifImage::~GifImage() = default;

GifData& GifImage::mutableData() {
    if (data_.use_count() > 1)
        data_ = std::make_shared<GifData>(*data_);
    return *data_;
}

void GifImage::changed() {
    if (onChange)
        onChange();
}

void GifImage::progress(ProgressStage stage, int percent, const std::string& message) {
    if (onProgress)
        onProgress(stage, percent, message);
}

void GifImage::clear() {
    data_ = std::make_shared<GifData>();
    frames_.clear();
    current_ = -1;
    backgroundColour = kColourNone;
    looping = false;
    repeatCount = 1;
    version = 0;
    screenWidth = screenHeight = 0;
}

void GifImage::setFrameIndex(int i) {
    current_ = std::clamp(i, -1, count() - 1);
}

bool GifImage::empty() const {
    std::size_t i = std::size_t(std::max(current_, 0));
    if (i >= frames_.size())
        return true;
    return !frames_[i]->hasBitmap() && !frames_[i]->hasData();
}

int GifImage::width() {
    if (empty() || current_ < 0 || current_ >= count())
        return 0;
    return frames_[std::size_t(current_)]->bitmap().width();
}

int GifImage::height() {
    if (empty() || current_ < 0 || current_ >= count())
        return 0;
    return frames_[std::size_t(current_)]->bitmap().height();
}

std::vector<Rgb> GifImage::palette() {
    if (frames_.empty())
        return {};
    return frames_[std::size_t(std::clamp(current_, 0, count() - 1))]->bitmap().palette();
}

bool GifImage::isTransparent() const {
    return transparent && std::any_of(frames_.begin(), frames_.end(), [](const auto& f) {
               return f->transparentColour != kColourNone;
           });
}

void GifImage::setWidth(int) {
    throw GraphicError(kSGifResize);
}
void GifImage::setHeight(int) {
    throw GraphicError(kSGifResize);
}

void GifImage::assign(const GifImage& src) {
    if (&src == this)
        return;
    data_ = src.data_;
    version = src.version;
    backgroundColour = src.backgroundColour;
    looping = src.looping;
    repeatCount = src.repeatCount;
    screenWidth = src.screenWidth;
    screenHeight = src.screenHeight;
    frames_.clear();
    for (const auto& f : src.frames_) {
        frames_.push_back(std::make_unique<GifFrame>(this));
        frames_.back()->assign(*f);
    }
    current_ = src.current_;
    changed();
}

void GifImage::assign(GifFrame& src) {
    // The frame may belong to this image: keep what it needs first.
    GifData owner = src.owner_->data();
    GifFrame copy(this);
    copy.assign(src);
    clear();
    GifData& d = mutableData();
    d.aspectRatio = owner.aspectRatio;
    d.bitsPerPixel = owner.bitsPerPixel;
    d.colourResolution = owner.colourResolution;
    d.colourTable = owner.colourTable;
    addFrame(copy);
    changed();
}

void GifImage::assign(const Bitmap& src) {
    clear();
    addFrame(src);
    changed();
}

void GifImage::assign(const AnimatedCursorImage& src) {
    clear();
    backgroundColour = kColourWindow;
    for (int i = 0; i < src.frameCount(); ++i) {
        int index = addFrame(src.frame(i));
        std::int64_t ms = std::int64_t(src.frameRate(i)) * 100 / 6;
        frames_[std::size_t(index)]->delay = int(std::min<std::int64_t>(ms, INT32_MAX));
    }
    changed();
}

void GifImage::assignTo(Bitmap& dst) {
    if (frames_.empty()) {
        dst = Bitmap();
        return;
    }
    frames_[std::size_t(std::max(current_, 0))]->assignTo(dst);
}

namespace {

template <class Source>
int appendFrame(GifImage& image, std::vector<std::unique_ptr<GifFrame>>& frames, Source& src) {
    auto frame = std::make_unique<GifFrame>(&image);
    frame->assign(src);
    frames.push_back(std::move(frame));
    image.setFrameIndex(int(frames.size()) - 1);
    if (image.version == 0)
        image.version = 1;
    if (frames.size() > 1)
        image.version = 2;
    return int(frames.size()) - 1;
}

}  // namespace

int GifImage::addFrame(const Bitmap& src) {
    return appendFrame(*this, frames_, src);
}
int GifImage::addFrame(const Icon& src) {
    return appendFrame(*this, frames_, src);
}
int GifImage::addFrame(GifFrame& src) {
    return appendFrame(*this, frames_, src);
}

void GifImage::loadFromBytes(ByteSpan file) {
    read(file, true);
}

void GifImage::readData(ByteSpan data, bool decodeFirst) {
    ByteReader r(data);
    std::uint32_t n = r.le32();
    read(r.take(n), decodeFirst);
}

Bytes GifImage::writeData() {
    Bytes file = saveToBytes();
    Bytes out;
    out.reserve(file.size() + 4);
    putLe32(out, std::uint32_t(file.size()));
    putBytes(out, file);
    return out;
}

void GifImage::read(ByteSpan file, bool decodeFirst) {
    clear();
    if (!file.empty()) {
        ByteReader r(file);
        if (!equalNoCase(r.take(3), "GIF"))
            throw GraphicError(kSGifVersion);
        ByteSpan v = r.take(3);
        version = 0;
        for (int i = 1; i < 3 && version == 0; ++i)
            if (equalNoCase(v, kVersionTexts[i]))
                version = i;
        if (version == 0)
            throw GraphicError(kSGifVersion);
        screenWidth = r.le16();
        screenHeight = r.le16();
        std::uint8_t packed = r.u8();
        std::uint8_t background = r.u8();
        GifData& d = mutableData();
        d.aspectRatio = r.u8();
        d.bitsPerPixel = (packed & 7) + 1;
        d.colourResolution = ((packed >> 4) & 7) + 1;
        if (packed & 0x80) {
            d.colourTable = readColourTable(r, 1 << d.bitsPerPixel);
            if (background < d.colourTable.count)
                backgroundColour = colourOf(d.colourTable.entries[background]);
        }

        auto readMarker = [&r]() -> std::uint8_t {
            while (!r.atEnd())
                if (std::uint8_t b = r.u8())
                    return b;
            return 0;
        };
        std::vector<GifExtension> collected;
        std::uint8_t marker = readMarker();
        while (marker != 0 && marker != ';' && !r.atEnd()) {
            while (marker == '!') {
                GifExtension ext = readExtension(r);
                if (ext.kind == GifExtensionKind::PlainText) {
                    collected.clear();
                } else if (ext.kind == GifExtensionKind::Application) {
                    if (int n = loopCount(ext); n >= 0) {
                        looping = true;
                        repeatCount = std::min(n, kMaxRepeatCount);
                    }
                } else {
                    collected.push_back(std::move(ext));
                }
                marker = r.atEnd() ? 0 : readMarker();
            }
            if (marker == ',') {
                auto frame = std::make_unique<GifFrame>(this);
                if (d.colourTable.count > 0) {
                    int b = powerOfTwo(d.colourTable.count);
                    if (b < 0)
                        throw GraphicError(kSGifColours);
                    frame->item_->bitsPerPixel = b;
                }
                frame->extensions_ = std::move(collected);
                collected.clear();
                readFrame(r, *frame);
                frames_.push_back(std::move(frame));
                marker = r.atEnd() ? ';' : readMarker();
                if (marker != '!' && marker != ',' && marker != ';')
                    marker = 0;
            } else if (data_->comment.empty() && !collected.empty()) {
                bool first = true;
                for (const GifExtension& e : collected) {
                    if (e.kind != GifExtensionKind::Comment)
                        continue;
                    if (!first)
                        d.comment.push_back("\r\n\r\n");
                    d.comment.insert(d.comment.end(), e.blocks.begin(), e.blocks.end());
                    first = false;
                }
                collected.clear();
            } else if (marker != 0 && marker != ';') {
                throw StreamReadError();
            }
        }
    }
    if (!frames_.empty()) {
        current_ = 0;
        if (decodeFirst) {
            try {
                frames_[0]->bitmap();
            } catch (...) {
                frames_.erase(frames_.begin());
                current_ = frames_.empty() ? -1 : 0;
                throw;
            }
        }
    }
    changed();
}

void GifImage::readFrame(ByteReader& r, GifFrame& frame) {
    GifItem& item = *frame.item_;
    frame.left = r.le16();
    frame.top = r.le16();
    item.width = r.le16();
    item.height = r.le16();
    item.packed = r.u8();
    frame.interlaced = (item.packed & 0x40) != 0;
    if (item.packed & 0x80) {
        item.bitsPerPixel = (item.packed & 7) + 1;
        item.colourTable = readColourTable(r, 1 << item.bitsPerPixel);
        frame.localColourTable = true;
    } else {
        item.colourTable = data_->colourTable;
    }

    bool damaged = false;
    item.data.push_back(r.u8());
    for (;;) {
        if (r.atEnd()) {
            damaged = true;
            break;
        }
        std::size_t n = r.u8();
        if (n > r.remaining()) {
            damaged = true;
            n = r.remaining();
        }
        if (n == 0)
            break;
        item.data.push_back(std::uint8_t(n));
        putBytes(item.data, r.take(n));
    }
    // The data keep their terminating empty sub-block, so that a damaged
    // frame kept under load-corrupted is written back as well-formed blocks.
    item.data.push_back(0);
    if (damaged) {
        frame.corrupted = true;
        if (!g_loadCorrupted)
            throw StreamReadError();
    }

    if (item.width == 0)
        item.width = screenWidth;
    if (item.height == 0)
        item.height = screenHeight;
    for (const GifExtension& e : frame.extensions_) {
        if (e.kind != GifExtensionKind::GraphicControl)
            continue;
        std::uint8_t packed = e.fixed[1];
        int index = e.fixed[4];
        if (!(packed & 1))
            frame.transparentColour = kColourNone;
        else if (index < item.colourTable.count)
            frame.transparentColour = colourOf(item.colourTable.entries[std::size_t(index)]);
        frame.delay = std::max(le16At(e.fixed, 2) * 10, frame.delay);
        frame.disposal = (packed >> 2) & 7;
    }
}

Bytes GifImage::saveToBytes() {
    if (frames_.empty())
        throw GraphicError(kSGifNoData);
    for (auto& f : frames_) {
        if (!f->hasData())
            f->encode();
        f->updateGraphicControl();
    }
    if (!data_->comment.empty())
        version = 2;

    Bytes out;
    putText(out, "GIF");
    putText(out, kVersionTexts[version == 0 ? 1 : version]);
    screenWidth = screenHeight = 0;
    for (const auto& f : frames_) {
        screenWidth = std::max(screenWidth, f->left + f->width());
        screenHeight = std::max(screenHeight, f->top + f->height());
    }
    putLe16(out, std::uint32_t(screenWidth));
    putLe16(out, std::uint32_t(screenHeight));
    const GifData& d = *data_;
    if (d.colourTable.count > 0) {
        int c = powerOfTwo(d.colourTable.count);
        if (c < 0)
            throw GraphicError(kSGifColours);
        out.push_back(std::uint8_t(128 + 16 * (c - 1) + (d.bitsPerPixel - 1)));
        out.push_back(std::uint8_t(std::max(firstExactMatch(d.colourTable, backgroundColour), 0)));
    } else {
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(d.aspectRatio);
    putColourTable(out, d.colourTable, d.colourTable.count);

    if (looping && frames_.size() > 1) {
        out.push_back('!');
        out.push_back(0xFF);
        out.push_back(11);
        putText(out, "NETSCAPE2.0");
        out.push_back(3);
        out.push_back(1);
        putLe16(out, std::uint32_t(repeatCount));
        out.push_back(0);
    }

    static const std::uint8_t kLabels[] = {0xF9, 0x01, 0xFF, 0xFE};
    for (const auto& f : frames_) {
        for (const GifExtension& e : f->extensions_) {
            out.push_back('!');
            out.push_back(kLabels[int(e.kind)]);
            putBytes(out, e.fixed);
            writeSubBlocks(out, e.blocks);
        }
        const GifItem& item = *f->item_;
        out.push_back(',');
        putLe16(out, std::uint32_t(f->left));
        putLe16(out, std::uint32_t(f->top));
        putLe16(out, std::uint32_t(f->width()));
        putLe16(out, std::uint32_t(f->height()));
        std::uint8_t packed = 0;
        int b = bitsToHold(item.colourTable.count);
        if (f->localColourTable)
            packed = std::uint8_t(0x80 + b - 1);
        if (f->interlaced)
            packed |= 0x40;
        out.push_back(packed);
        // A local table is written in full, 2^b entries, as its size field says.
        if (f->localColourTable)
            putColourTable(out, item.colourTable, 1 << b);
        putBytes(out, item.data);
    }
    if (!d.comment.empty()) {
        out.push_back('!');
        out.push_back(0xFE);
        writeSubBlocks(out, d.comment);
    }
    out.push_back(';');
    return out;
}

}  // namespace brevant
