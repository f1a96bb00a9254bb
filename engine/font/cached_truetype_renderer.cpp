#include "engine/font/cached_truetype_renderer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/constants/font_constants.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/gdi_device.h"

namespace vistrel {
namespace {

// What the private device may do, and its page: large enough for any glyph
// box.
constexpr std::uint32_t kPrivateCapabilities = 0x20000111;
constexpr std::int32_t kPrivatePageSize = 10000;

// A copy of the description without its "underline" and "strikeout" words,
// so that the inner renderer draws the glyphs without the lines.
Ref<TrueTypeFontDescription> withoutDecorations(const TrueTypeFontDescription& description) {
    auto copy = makeRef<TrueTypeFontDescription>();
    if (!copy)
        return nullptr;
    WString& name = copy->name();
    name.assign(description.name());
    for (const WString* word : {&static_cast<const WString&>(fontwords::underline),
                                &static_cast<const WString&>(fontwords::strikeout)}) {
        const std::int32_t at = name.find(word->chars());
        if (at >= 0)
            name.erase(at, word->size());
    }
    copy->encodingName().assign(description.encodingName());
    if (const Differences* differences = description.differences())
        copy->setDifferences(std::make_unique<Differences>(*differences));
    copy->widths().assign(description.widths());
    copy->avgWidth = description.avgWidth;
    copy->maxWidth = description.maxWidth;
    copy->ascent = description.ascent;
    copy->descent = description.descent;
    copy->embeddedProgram() = description.embeddedProgram();
    return copy;
}

// Bit 7 of four pixels: lit.
constexpr std::uint32_t kLitMask = 0x80808080u;

std::int64_t roundUp(std::int64_t v, std::int64_t step) {
    return (v + step - 1) / step * step;
}

}  // namespace

std::unique_ptr<GdiDevice> createGdiDevice(std::uint32_t capabilities, win::HDC dc,
                                           IntPoint pageSize) {
    if (capabilities & ~GdiDevice::kCapabilities)
        return nullptr;
    return std::unique_ptr<GdiDevice>(new GdiDevice(dc, pageSize));
}

std::uint8_t blockCoverage(int factor, int lit) {
    if (factor == 2) {
        static constexpr std::uint8_t kSteps[5] = {0, 64, 128, 192, 255};
        return kSteps[std::clamp(lit, 0, 4)];
    }
    return std::uint8_t(std::clamp(lit, 0, 16) * 255 / 16);
}

std::unique_ptr<GdiTrueTypeRenderer> CachedTrueTypeRenderer::makeInner(
    const TrueTypeFontDescription& description) {
    if (!description.isUnderline() && !description.isStrikeout())
        return std::unique_ptr<GdiTrueTypeRenderer>(new GdiTrueTypeRenderer(description, nullptr));
    Ref<TrueTypeFontDescription> plain = withoutDecorations(description);
    if (!plain)
        return nullptr;
    return std::unique_ptr<GdiTrueTypeRenderer>(new GdiTrueTypeRenderer(*plain, nullptr));
}

CachedTrueTypeRenderer::CachedTrueTypeRenderer(const TrueTypeFontDescription& description,
                                               OutputDevice* device)
    : CachedTrueTypeRenderer(description, device, makeInner(description)) {}

CachedTrueTypeRenderer::CachedTrueTypeRenderer(const TrueTypeFontDescription& description,
                                               OutputDevice* device,
                                               std::unique_ptr<GdiTrueTypeRenderer> inner)
    : CachedGlyphRenderer(&description.widths(), device), inner_(std::move(inner)) {
    makeContext();
    std::uint8_t decorations = 0;
    if (description.isUnderline())
        decorations |= kUnderline;
    if (description.isStrikeout())
        decorations |= kStrikeout;
    setDecorations(decorations);
    if (!inner_ || !inner_->isUsable())
        return;
    widthsForUpdate().assign(inner_->widths());
    setAscent(inner_->ascent());
    setDescent(inner_->descent());
    fillBitmapInfo();
    if (privateDevice_)
        inner_->attachDevice(privateDevice_.get(), nullptr);
    shift_ = description.weight() >= 700 ? 1 : 2;
    FontRenderer::setFontSize(1.0);
    inner_->setFontSize(factor());
}

CachedTrueTypeRenderer::CachedTrueTypeRenderer(const CachedTrueTypeRenderer& source)
    : CachedGlyphRenderer(&source.widths(), source.device()), shift_(source.shift_) {
    makeContext();
    setDecorations(source.decorations());
    if (source.inner_) {
        std::unique_ptr<DrawableBase> copy = source.inner_->clone();
        inner_.reset(static_cast<GdiTrueTypeRenderer*>(copy.release()));
    }
    if (!inner_)
        return;
    // The copy came attached to the source's private device.
    inner_->detachDevice();
    setAscent(source.ascent());
    setDescent(source.descent());
    fillBitmapInfo();
    if (privateDevice_)
        inner_->attachDevice(privateDevice_.get(), nullptr);
    FontRenderer::setFontSize(1.0);
    inner_->setFontSize(factor());
}

CachedTrueTypeRenderer::~CachedTrueTypeRenderer() {
    inner_.reset();
    privateDevice_.reset();
    if (dib_) {
        win::SelectObject(dc_, previousBitmap_);
        win::DeleteObject(dib_);
    }
    if (dc_)
        win::DeleteDC(dc_);
}

std::unique_ptr<DrawableBase> CachedTrueTypeRenderer::clone() const {
    return std::unique_ptr<DrawableBase>(new CachedTrueTypeRenderer(*this));
}

void CachedTrueTypeRenderer::makeContext() {
    dc_ = win::CreateCompatibleDC(nullptr);
    if (dc_)
        privateDevice_ = createGdiDevice(kPrivateCapabilities, dc_,
                                         IntPoint(kPrivatePageSize, kPrivatePageSize));
}

void CachedTrueTypeRenderer::fillBitmapInfo() {
    win::BITMAPINFOHEADER& h = info_.header;
    h.biSize = sizeof(win::BITMAPINFOHEADER);
    h.biWidth = 0;
    h.biHeight = 0;
    h.biPlanes = 1;
    h.biBitCount = 8;
    h.biCompression = win::BI_RGB;
    h.biSizeImage = 0;
    h.biXPelsPerMeter = h.biYPelsPerMeter = 100;
    h.biClrUsed = h.biClrImportant = 0;
    for (int i = 0; i < 256; ++i)
        info_.colors[i] = {win::BYTE(i), win::BYTE(i), win::BYTE(i), 0};
}

// --- Text state, handed on ---

void CachedTrueTypeRenderer::setFontSize(double size) {
    if (size == fontSize())
        return;
    dirty_ = true;
    FontRenderer::setFontSize(size);
    if (inner_)
        inner_->setFontSize(factor() * size);
}

void CachedTrueTypeRenderer::setHorizontalScale(double tz) {
    if (tz == horizontalScale())
        return;
    dirty_ = true;
    FontRenderer::setHorizontalScale(tz);
    if (inner_)
        inner_->setHorizontalScale(tz);
}

void CachedTrueTypeRenderer::setTextMatrix(const Matrix& tm, const Matrix* lm) {
    dirty_ = true;
    FontRenderer::setTextMatrix(tm, lm);
    if (inner_)
        inner_->setTextMatrix(tm, lm);
}

// The inner renderer keeps drawing white on black whatever the mode: the
// mode and the text colour are this renderer's, which composites the glyphs.
void CachedTrueTypeRenderer::setRenderMode(std::int32_t mode) {
    dirty_ = true;
    FontRenderer::setRenderMode(mode);
    if (device())
        fillColorChanged();
}

void CachedTrueTypeRenderer::setCharHeight(double h) {
    dirty_ = true;
    FontRenderer::setCharHeight(h);
    if (inner_)
        inner_->setFontSize(factor() * deviceSize());
}

void CachedTrueTypeRenderer::refresh() {
    dirty_ = true;
    if (inner_)
        inner_->refresh();
}

// --- Measures in page pixels ---

std::int32_t CachedTrueTypeRenderer::roundedWidth(std::uint16_t code) {
    if (!inner_)
        return 0;
    return std::int32_t((std::int64_t(inner_->roundedWidth(code)) + factor() - 1) >> shift_);
}

std::int32_t CachedTrueTypeRenderer::glyphHeight(std::uint16_t code) {
    return inner_ ? inner_->glyphHeight(code) >> shift_ : 0;
}

std::int32_t CachedTrueTypeRenderer::stringHeight(const WString& text) {
    return inner_ ? inner_->stringHeight(text) >> shift_ : 0;
}

double CachedTrueTypeRenderer::programAdvance(std::uint16_t code) {
    return inner_ ? inner_->programAdvance(code) / factor() : 0.0;
}

void CachedTrueTypeRenderer::description(WString& text) const {
    if (inner_)
        inner_->description(text);
}

const WString& CachedTrueTypeRenderer::defaultEncodingName() const {
    return encodings::WinAnsiEncoding;
}

// --- Glyphs ---

bool CachedTrueTypeRenderer::prepareBitmap() {
    if (!device() || !inner_ || !dc_)
        return false;
    if (!dirty_)
        return bool(dib_) || boxWidth_ == 0;
    inner_->selectGdiFont();

    // The box holds the size and the descent, and at least the system
    // font's whole text cell, which the inner renderer draws from the box's
    // top: faces whose ascent and descent exceed an em keep their
    // descenders.
    const std::int64_t h =
        std::max<std::int64_t>(roundToInt32(inner_->deviceSize() * (1 + descent())),
                               std::int64_t(std::ceil(inner_->cellHeight())));
    const std::uint32_t bits = matrixClass(textMatrix());
    const bool turned = bits & (kMatrixQuarterTurn | kMatrixHalfTurn);
    std::int64_t width = turned ? roundToInt32(std::sqrt(2.0) * double(h)) : 2 * h;
    std::int64_t height = turned ? width : h;
    width = roundUp(width, std::max(4, factor()));
    height = roundUp(height, factor());
    // Sizes come from the document: a box too large (or none at all) draws
    // no glyph.
    if (width <= 0 || height <= 0 || width > kMaxBox || height > kMaxBox) {
        boxWidth_ = boxHeight_ = 0;
        dirty_ = false;
        return true;
    }

    win::SetBkMode(dc_, win::TRANSPARENT);
    win::SetTextColor(dc_, 0xFFFFFF);
    win::BITMAPINFOHEADER& header = info_.header;
    if (!dib_ || width > header.biWidth || height > header.biHeight) {
        const std::int32_t dibWidth = std::max<std::int32_t>(std::int32_t(width), header.biWidth);
        const std::int32_t dibHeight = std::max<std::int32_t>(std::int32_t(height), header.biHeight);
        if (dib_) {
            win::SelectObject(dc_, previousBitmap_);
            win::DeleteObject(dib_);
            dib_ = nullptr;
            pixels_ = nullptr;
        }
        header.biWidth = dibWidth;
        header.biHeight = dibHeight;
        void* storage = nullptr;
        dib_ = win::CreateDIBSection(dc_, reinterpret_cast<const win::BITMAPINFO*>(&info_),
                                     win::DIB_RGB_COLORS, &storage, nullptr, 0);
        if (!dib_ || !storage) {
            if (dib_)
                win::DeleteObject(dib_);
            dib_ = nullptr;
            header.biWidth = header.biHeight = 0;
            return false;
        }
        pixels_ = static_cast<std::uint8_t*>(storage);
        previousBitmap_ = win::SelectObject(dc_, dib_);
        // A new section is black throughout.
        drawn_ = win::RECT{};
    }

    // Where the inner renderer puts a glyph's text cell so that the glyph
    // stays inside the box: text turned upside down runs left from the
    // bottom right, text turned upright runs up from the bottom left or down
    // from the top right.
    std::int64_t x = 0, y = 0;
    if (bits & kMatrixHalfTurn) {
        x = width;
        y = height;
    } else if (bits & kMatrixQuarterTurn) {
        if (textMatrix().b >= 0)
            x = height;
        else
            y = width;
    }
    originX_ = std::int32_t(x);
    originY_ = std::int32_t(y);
    boxWidth_ = std::int32_t(width);
    boxHeight_ = std::int32_t(height);
    dirty_ = false;
    return true;
}

template <int F>
bool CachedTrueTypeRenderer::countBlocks(std::uint8_t* out, int c0, int c1, int r) const {
    const std::uint8_t* rows[F];
    for (int i = 0; i < F; ++i)
        rows[i] = imageRow(r * F + i);
    int c = c0;
    std::uint64_t any = 0;
    if constexpr (F == 4) {
#if defined(__SSE2__)
        // Four blocks at a time: a lit byte compares below zero (-1), four
        // rows of them added, and the four bytes of each block summed.
        const __m128i zero = _mm_setzero_si128();
        const __m128i lowBytes = _mm_set1_epi16(0x00FF);
        const __m128i ones = _mm_set1_epi16(1);
        for (; c + 3 <= c1; c += 4) {
            __m128i negative = zero;
            for (int i = 0; i < F; ++i) {
                const __m128i pixels = _mm_loadu_si128(
                    reinterpret_cast<const __m128i*>(rows[i] + std::size_t(c) * F));
                negative = _mm_add_epi8(negative, _mm_cmplt_epi8(pixels, zero));
            }
            const __m128i lit = _mm_sub_epi8(zero, negative);
            const __m128i pairs =
                _mm_add_epi16(_mm_and_si128(lit, lowBytes), _mm_srli_epi16(lit, 8));
            const __m128i blocks = _mm_madd_epi16(pairs, ones);
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(blocks, zero), zero);
            const auto four = std::uint32_t(_mm_cvtsi128_si32(bytes));
            std::memcpy(out, &four, sizeof four);
            out += 4;
            any |= four;
        }
#endif
        // Two blocks at a time: the lit bits of the four rows moved to bit 0
        // of each byte and added (at most 4 a byte), then the four bytes of
        // each block added into its first.
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        for (; c < c1; c += 2) {
            std::uint64_t sum = 0;
            for (int i = 0; i < F; ++i) {
                std::uint64_t word;
                std::memcpy(&word, rows[i] + std::size_t(c) * F, sizeof word);
                sum += (word >> 7) & kOnes;
            }
            any |= sum;
            sum += sum >> 8;
            sum += sum >> 16;
            *out++ = std::uint8_t(sum & 0xFF);
            *out++ = std::uint8_t((sum >> 32) & 0xFF);
        }
    }
    for (; c <= c1; ++c) {
        int lit = 0;
        for (int i = 0; i < F; ++i) {
            std::uint32_t word = 0;
            std::memcpy(&word, rows[i] + std::size_t(c) * F, F);
            // The lit bits moved to bit 0 of each byte, the bytes summed.
            lit += int((((word & kLitMask) >> 7) * 0x01010101u) >> 24);
        }
        *out++ = std::uint8_t(lit);
        any |= std::uint64_t(lit);
    }
    return any != 0;
}

void CachedTrueTypeRenderer::clearDrawn() {
    const std::int32_t left = std::clamp<std::int32_t>(drawn_.left, 0, info_.header.biWidth);
    const std::int32_t right = std::clamp<std::int32_t>(drawn_.right, 0, info_.header.biWidth);
    const std::int32_t top = std::clamp<std::int32_t>(drawn_.top, 0, info_.header.biHeight);
    const std::int32_t bottom = std::clamp<std::int32_t>(drawn_.bottom, 0, info_.header.biHeight);
    for (std::int32_t y = top; y < bottom && left < right; ++y)
        std::memset(const_cast<std::uint8_t*>(imageRow(y)) + left, 0, std::size_t(right - left));
}

bool CachedTrueTypeRenderer::renderGlyph(std::uint16_t code, CachedGlyph& glyph) {
    if (dirty_ && !prepareBitmap())
        return false;
    OutputDevice* dev = device();
    if (!dev || !inner_)
        return false;
    if (boxWidth_ == 0)
        return true;
    if (!dib_)
        return false;
    // Only what the last glyph drew is cleared, and only what this one
    // draws is looked at: the rest of the box stays black.
    clearDrawn();
    win::SetBoundsRect(dc_, nullptr, win::DCB_RESET | win::DCB_ENABLE);
    inner_->drawGlyph(code, IntPoint(originX_, originY_));
    win::GetBoundsRect(dc_, &drawn_, win::DCB_RESET);

    // The bitmap lands where the system font would draw the glyph on the
    // page: the corner of its text cell at the glyph origin moved by the
    // em-top offset.
    const int f = factor();
    glyph.left = roundToInt32((inner_->emTopX() - originX_) / f);
    glyph.top = roundToInt32(-double(originY_) / f);
    glyph.baseline = roundToInt32((originY_ - inner_->emTopY()) / f);

    // The lit pixels (bit 7 set) of each block of what was drawn are
    // counted; the blocks from the first to the last row and column with a
    // lit pixel make the bitmap, since glyphs are composited block by block
    // and the box is far larger than most.
    const int left = std::clamp<int>(drawn_.left, 0, boxWidth_);
    const int right = std::clamp<int>(drawn_.right, 0, boxWidth_);
    const int top = std::clamp<int>(drawn_.top, 0, boxHeight_);
    const int bottom = std::clamp<int>(drawn_.bottom, 0, boxHeight_);
    if (left >= right || top >= bottom)
        return true;  // no ink: nothing to composite
    const int firstColumn = left / f, firstRow = top / f;
    const int columns = (right - 1) / f - firstColumn + 1, rows = (bottom - 1) / f - firstRow + 1;
    counts_.resize(std::size_t(columns) * std::size_t(rows));
    int r0 = -1, r1 = -1, c0 = columns, c1 = -1;
    for (int r = 0; r < rows; ++r) {
        std::uint8_t* counts = counts_.data() + std::size_t(r) * std::size_t(columns);
        const bool lit =
            f == 2 ? countBlocks<2>(counts, firstColumn, firstColumn + columns - 1, firstRow + r)
                   : countBlocks<4>(counts, firstColumn, firstColumn + columns - 1, firstRow + r);
        if (!lit)
            continue;
        r0 = r0 < 0 ? r : r0;
        r1 = r;
        // Only the columns outside those found so far are looked at.
        for (int c = 0; c < c0; ++c) {
            if (counts[c]) {
                c0 = c;
                break;
            }
        }
        for (int c = columns - 1; c > c1; --c) {
            if (counts[c]) {
                c1 = c;
                break;
            }
        }
    }
    if (r0 < 0)
        return true;  // no ink: nothing to composite
    std::unique_ptr<CoverageBitmap> bitmap = dev->NewCoverageBitmap(c1 - c0 + 1, r1 - r0 + 1);
    if (!bitmap || !bitmap->isUsable())
        return false;
    std::uint8_t coverage[17];
    for (int n = 0; n <= f * f; ++n)
        coverage[n] = blockCoverage(f, n);
    for (int r = r0; r <= r1; ++r) {
        const std::uint8_t* counts = counts_.data() + std::size_t(r) * std::size_t(columns);
        std::uint8_t* out = bitmap->data() + std::size_t(r - r0) * bitmap->width();
        for (int c = c0; c <= c1; ++c)
            *out++ = coverage[counts[c]];
    }
    c0 += firstColumn;
    r0 += firstRow;
    glyph.left += c0;
    glyph.top += r0;
    glyph.baseline -= r0;
    glyph.bitmap = bitmap.release();
    return true;
}

}  // namespace vistrel
