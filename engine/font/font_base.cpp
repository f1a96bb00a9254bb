#include "engine/font/font_base.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/font/font_description.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

// A stored outline is reused while each normalised matrix term stays this
// close.
constexpr double kMatrixTolerance = 0.0001;
// Outlines are flattened with their upward chains reversed (every chain
// runs downward from its start) and their chains ordered left to right,
// the order crossings at one x keep.
constexpr int kOutlineFlags = Outline::DropEmptyAndReverse | Outline::OrderContours;
constexpr std::int32_t kDefaultAASize = 2;
constexpr std::int32_t kMaxAASize = 16;

const DoubleArray* widthsOf(const FontDescription& description) {
    const auto* simple = dynamic_cast<const SimpleFontDescription*>(&description);
    return simple ? &simple->widths() : nullptr;
}

bool drawsUpright(std::int32_t renderMode) {
    return renderMode == 8 || renderMode == 9;
}

bool near(double stored, double wanted) {
    return std::fabs(stored - wanted) <= kMatrixTolerance;
}

std::int32_t toInt32(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

// A whole number within the 64-bit range the callers need (their values
// are bounded by the glyph-size cap or by the coordinate range).
std::int64_t toInt64(double whole) {
    constexpr double kLimit = 9.0e18;
    return std::int64_t(std::clamp(whole, -kLimit, kLimit));
}

// v truncated toward zero (within the range, the conversion truncates by
// itself).
[[gnu::noinline]] std::int64_t truncatedOutside(double v) {
    return toInt64(std::trunc(v));
}

std::int64_t truncated(double v) {
#if defined(__SSE2__)
    // The conversion instruction gives the truncated value, or INT64_MIN
    // for what it cannot convert: one integer test stands for both bounds.
    const std::int64_t t = _mm_cvttsd_si64(_mm_set_sd(v));
    const bool inside = std::uint64_t(t) + 9000000000000000000u <= 18000000000000000000u;
    return inside ? t : truncatedOutside(v);
#else
    return v > -9.0e18 && v < 9.0e18 ? std::int64_t(v) : truncatedOutside(v);
#endif
}

// Adds coverage, saturating at 255.
void gain(std::uint8_t& pixel, std::int64_t amount) {
    if (amount > 0)
        pixel = std::uint8_t(std::min<std::int64_t>(255, pixel + amount));
}

// Covers [xa, xb) of one pixel row (pixel units, one pixel of left margin
// already added) with `step` per full pixel. The row's buffer holds 15 bytes
// past `width` that may be read and written again unchanged.
void coverSpan(std::uint8_t* row, std::int32_t width, double xa, double xb, std::int32_t step) {
    const std::int64_t ia = truncated(xa), ib = truncated(xb);
    auto at = [&](std::int64_t i) -> std::uint8_t* {
        return std::uint64_t(i) < std::uint64_t(width) ? row + i : nullptr;
    };
    // Within the row, an end lies less than two pixels from its pixel's
    // left edge, so the amounts convert as they are.
    if (ia == ib) {
        if (std::uint8_t* p = at(ia))
            gain(*p, std::int64_t((xb - xa) * step));
        return;
    }
    // The full pixels between the ends are covered first: the wide load
    // there would otherwise wait on the byte just written at the right end.
    // The ends are other pixels, so the order changes no value.
    const std::int64_t from = std::max<std::int64_t>(ia + 1, 0);
    const std::int64_t to = std::min<std::int64_t>(ib, width);
    std::int64_t i = from;
#if defined(__SSE2__)
    // Sixteen pixels at a time, added with saturation.
    if (step > 0 && step <= 255) {
        const __m128i amount = _mm_set1_epi8(char(step));
        for (; i + 16 <= to; i += 16) {
            auto* p = reinterpret_cast<__m128i*>(row + i);
            _mm_storeu_si128(p, _mm_adds_epu8(_mm_loadu_si128(p), amount));
        }
        // The last few at once, nothing added past them.
        if (i < to) {
            const __m128i lanes =
                _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
            const __m128i live = _mm_cmplt_epi8(lanes, _mm_set1_epi8(char(to - i)));
            auto* p = reinterpret_cast<__m128i*>(row + i);
            _mm_storeu_si128(p, _mm_adds_epu8(_mm_loadu_si128(p), _mm_and_si128(amount, live)));
            i = to;
        }
    }
#endif
    for (; i < to; ++i)
        gain(row[i], step);
    if (std::uint8_t* p = at(ia))
        gain(*p, std::int64_t((double(ia) - xa + 1) * step));
    if (std::uint8_t* p = at(ib))
        gain(*p, std::int64_t((xb - double(ib)) * step));
}

// The first and the last pixel of a row with any coverage (found eight at a
// time), -1 when none has.
std::int32_t firstCovered(const std::uint8_t* row, std::int32_t width) {
    std::int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        std::uint64_t word;
        std::memcpy(&word, row + x, sizeof word);
        if (word != 0)
            break;
    }
    for (; x < width; ++x) {
        if (row[x])
            return x;
    }
    return -1;
}

std::int32_t lastCovered(const std::uint8_t* row, std::int32_t width) {
    std::int32_t x = width;
    for (; x >= 8; x -= 8) {
        std::uint64_t word;
        std::memcpy(&word, row + x - 8, sizeof word);
        if (word != 0)
            break;
    }
    for (; x > 0; --x) {
        if (row[x - 1])
            return x - 1;
    }
    return -1;
}

// The pixel column, from the glyph origin, of the bitmap's first column: the
// margin column left of the pixel that holds the outline's left edge.
std::int64_t firstColumn(const Outline& outline, double k) {
    return toInt64(std::floor(outline.minX() * k)) - 1;
}

}  // namespace

FontBase::FontBase(const FontDescription& description, OutputDevice* device)
    : CachedGlyphRenderer(widthsOf(description), device) {
    FontBase::readOptions();
    setDecorations(std::uint8_t((description.isUnderline() ? kUnderline : 0) |
                                (description.isStrikeout() ? kStrikeout : 0)));
}

FontBase::~FontBase() = default;

void FontBase::readOptions() {
    // A missing value takes the default; a value of no known kind reads as
    // off and 0.
    SettingsStore& store = settingsStore();
    const SettingValue* edges = store.find(settings::FontSystem, settings::CacheEdges);
    cacheEdges_ = edges ? readSettingSwitch(edges, false) : true;
    cacheGlyphs_ =
        readSettingNumber(store.find(settings::FontSystem, settings::CacheGlyphs), 0) != 2;
    const SettingValue* threshold = store.find(settings::FontSystem, settings::CurveThreshold);
    curveThreshold_ = threshold ? readSettingNumber(threshold, 0) : 13;
}

void FontBase::description(WString& text) const {
    text.assign(text_);
}

bool FontBase::trimCache(int level) {
    if (!CachedGlyphRenderer::trimCache(level))
        return false;
    if (outlines_) {
        std::uint32_t code = 0;
        GlyphOutline* entry = nullptr;
        for (bool more = outlines_->first(code, entry); more; more = outlines_->next(code, entry)) {
            if (code != lastCode_)
                entry->edges.reset();
        }
    }
    return true;
}

GlyphOutline* FontBase::entryOf(std::uint16_t code) const {
    if (!outlines_)
        return nullptr;
    GlyphOutline* entry = outlines_->lookup(code);
    return entry ? entry : notdef_.get();
}

double FontBase::programAdvance(std::uint16_t code) {
    const GlyphOutline* entry = entryOf(code);
    if (!entry || !entry->path)
        return 0.0;
    // Scaled horizontally as the widths of the font dictionary are, since
    // it stands in for them.
    return entry->path->AdvanceWidth() * 0.001 * horizontalScale() * 0.01;
}

GlyphOutline* FontBase::getEdges(std::uint16_t code) {
    GlyphOutline* entry = entryOf(code);
    if (!entry || !entry->path)
        return nullptr;
    const double s = deviceSize();
    const Matrix& r = renderingMatrix();
    const double a = r.a / s, b = r.b / s, c = r.c / s, d = r.d / s;
    if (entry->edges && near(entry->a, a) && near(entry->b, b) && near(entry->c, c) &&
        near(entry->d, d))
        return entry;

    double m[4] = {a, b, c, d};
    if (drawsUpright(renderMode())) {
        const double upright[4] = {1.0, 0.0, 0.0, -1.0};
        std::copy(std::begin(upright), std::end(upright), m);
    }
    if (entry->edges) {
        entry->edges->Clear();
    } else {
        entry->edges.reset(new (std::nothrow) Outline());
        if (!entry->edges)
            return nullptr;
    }
    entry->edges->setCurrent(0, 0);
    entry->edges->Build(*entry->path, curveThreshold_, m, kOutlineFlags);
    return entry;
}

bool FontBase::renderGlyph(std::uint16_t code, CachedGlyph& glyph) {
    lastCode_ = code;
    if (!outlines_)
        return false;
    // A code without an outline draws nothing and the text goes on.
    if (!entryOf(code))
        return true;
    const double s = deviceSize();
    if (!(s > 0.0) || !std::isfinite(s))
        return true;
    GlyphOutline* entry = getEdges(code);
    if (!entry)
        return false;
    const Outline& outline = *entry->edges;
    if (outline.contours().size() < 2)
        return true;
    if (drawsUpright(renderMode())) {
        entry->a = 1.0;
        entry->b = 0.0;
        entry->c = 0.0;
        entry->d = -1.0;
    } else {
        const Matrix& r = renderingMatrix();
        entry->a = r.a / s;
        entry->b = r.b / s;
        entry->c = r.c / s;
        entry->d = r.d / s;
    }

    // The bitmap holds the outline's box at the device size with a margin
    // of two pixels on each side; sizes are bounded before they become
    // integers.
    const double k = s / 1000.0;
    const double spanX = (double(outline.maxX()) - outline.minX()) * k;
    const double spanY = (double(outline.maxY()) - outline.minY()) * k;
    if (!(spanX + 4 <= kMaxGlyphSide) || !(spanY + 4 <= kMaxGlyphSide))
        return true;
    const std::int32_t width = 4 + std::int32_t(spanX);
    const std::int32_t height = 4 + std::int32_t(spanY);
    // With room for the last pixels of a row to be covered sixteen at once.
    coverage_.assign(std::size_t(width) * std::size_t(height) + 15, 0);
    scanConvert(outline, s, width, height);

    // Only the covered part becomes the glyph's bitmap: the margins and the
    // rows and columns nothing reached cost compositing time at every
    // showing and change no pixel.
    std::int32_t x0 = width, x1 = -1, y0 = height, y1 = -1;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = coverage_.data() + std::size_t(y) * width;
        const std::int32_t first = firstCovered(row, width);
        if (first < 0)
            continue;
        x0 = std::min(x0, first);
        x1 = std::max(x1, lastCovered(row, width));
        y0 = std::min(y0, y);
        y1 = y;
    }
    if (x1 < 0)
        return true;
    const std::int32_t cropWidth = x1 - x0 + 1, cropHeight = y1 - y0 + 1;
    std::unique_ptr<CoverageBitmap> bitmap =
        device() ? device()->NewCoverageBitmap(cropWidth, cropHeight)
                 : std::make_unique<CoverageBitmap>(cropWidth, cropHeight);
    if (!bitmap || !bitmap->isUsable() || bitmap->width() != cropWidth ||
        bitmap->height() != cropHeight)
        return false;
    for (std::int32_t y = 0; y < cropHeight; ++y) {
        std::memcpy(bitmap->data() + std::size_t(y) * cropWidth,
                    coverage_.data() + std::size_t(y0 + y) * width + x0, std::size_t(cropWidth));
    }

    // The bitmap's top-left corner from the glyph origin, in whole pixels:
    // the first pixel column and row the scan conversion fills (the margin
    // column and row included), moved to the covered part.
    const std::int64_t depth = -truncated(outline.minY() * k - 1) - y0;
    glyph.left = toInt32(firstColumn(outline, k) + x0);
    glyph.top = toInt32(truncated(s) - depth);
    glyph.baseline = toInt32(depth);
    glyph.bitmap = bitmap.release();
    return true;
}

void FontBase::scanConvert(const Outline& outline, double s, std::int32_t width,
                           std::int32_t height) {
    const std::int32_t aaSize = std::clamp(
        readSettingNumber(settingsStore().find(settings::FontSystem, settings::AASize),
                          kDefaultAASize),
        1, kMaxAASize);
    const std::int32_t step = 255 / aaSize;
    const double k = s / 1000.0;
    // Columns count from a whole pixel, so that glyphs keep their place
    // within a pixel: column 0 is the margin column left of the pixel that
    // holds the outline's left edge.
    const double origin = double(firstColumn(outline, k)) + 1;

    // Chains that only run sideways bound nothing. The others begin in the
    // order of their tops; a chain that has used its steps leaves.
    chains_.clear();
    for (const auto& contour : outline.contours()) {
        if (contour->orientation != 0 && !contour->steps.empty())
            chains_.push_back(
                Chain{contour->steps.data(), contour->steps.size(), 0, 0, 0, contour->startX,
                      contour->startY,
                      std::uint64_t(chains_.size()) << 32 | std::uint32_t(contour->orientation)});
    }
    std::stable_sort(chains_.begin(), chains_.end(),
                     [](const Chain& a, const Chain& b) { return a.startY < b.startY; });
    const std::size_t chainCount = chains_.size();
    std::size_t waiting = 0;
    // The chains under way, in the order they began.
    active_.resize(chainCount);
    Chain* active = active_.data();
    std::size_t activeCount = 0;

    // Sub-scanline y stands for the glyph ordinate 1000 y / (A s); every A
    // of them make one pixel row.
    const std::int64_t first = truncated(outline.minY() * k - 1) * aaSize;
    const std::int64_t last = 1 + truncated(double(outline.maxY()) * aaSize * k);
    const double unitsPerSub = 1000.0 / (aaSize * s);
    int fillDirection = 0;
    // At most one crossing a chain on a sub-scanline.
    crossings_.resize(chains_.size());
    std::int64_t row = 0;
    std::int32_t sub = 0;
    for (std::int64_t y = first; y <= last; ++y) {
        if (row >= height)
            break;
        const double ordinate = double(y) * unitsPerSub;
        const std::int64_t Y =
            truncated(ordinate > 0 ? ordinate + 0.5 : ordinate - 0.5);

        for (; waiting < chainCount && chains_[waiting].startY <= Y; ++waiting) {
            Chain& chain = active[activeCount++];
            chain = chains_[waiting];
            chain.x = chain.startX;
            chain.y = chain.startY;
        }
        Crossing* crossings = crossings_.data();
        std::size_t count = 0, kept = 0;
        for (std::size_t a = 0; a < activeCount; ++a) {
            Chain& chain = active[a];
            const Outline::Step* steps = chain.steps;
            const std::size_t stepCount = chain.stepCount;
            while (chain.step < stepCount && chain.y + steps[chain.step].dy < Y) {
                chain.x += steps[chain.step].dx;
                chain.y += steps[chain.step].dy;
                ++chain.step;
            }
            if (chain.step >= stepCount)
                continue;
            const Outline::Step& st = steps[chain.step];
            std::int64_t x = chain.x + st.dx;
            if (st.dy != 0 && st.dx == 0) {
                x = chain.x;
            } else if (st.dy != 0) {
                // Most products fit 32 bits, whose division is the faster one.
                const std::int64_t along = (Y - chain.y) * st.dx;
                x = chain.x + (along > INT32_MIN && along <= INT32_MAX
                                   ? std::int64_t(std::int32_t(along) / st.dy)
                                   : along / st.dy);
            }
            crossings[count].x = x;
            crossings[count].key = chain.key;
            ++count;
            if (kept != a)
                active[kept] = chain;
            ++kept;
        }
        activeCount = kept;

        // Chains are ordered left to right only where they share rows (a
        // contour that starts halfway down a side leaves two chains there),
        // so the crossings are put in x order here, the outline's chain
        // order kept among equal x. The fill direction of the whole glyph is
        // that of the leftmost crossing on the first sub-scanline whose
        // crossings do not all stand at one x; until then every crossing
        // qualifies. Each crossing of the fill direction pairs with the first
        // later crossing of the other direction that is not left of it.
        // The few crossings come mostly in order already: sorted by
        // insertion (no two share x and chain, so any sort gives this order).
        // A crossing moves as its two words, the way it was written, so that
        // a load never waits on stores of another width.
        for (std::size_t i = 1; i < count; ++i) {
            const std::int64_t x = crossings[i].x;
            const std::uint64_t key = crossings[i].key;
            std::size_t j = i;
            for (; j > 0 && (x < crossings[j - 1].x ||
                             (x == crossings[j - 1].x && key < crossings[j - 1].key));
                 --j) {
                crossings[j].x = crossings[j - 1].x;
                crossings[j].key = crossings[j - 1].key;
            }
            crossings[j].x = x;
            crossings[j].key = key;
        }
        if (fillDirection == 0 && count > 0 && crossings[0].x < crossings[count - 1].x)
            fillDirection = crossings[0].direction();
        std::uint8_t* pixels = coverage_.data() + row * width;
        for (std::size_t i = 0; i < count; ++i) {
            const int direction = fillDirection != 0 ? fillDirection : crossings[i].direction();
            if (crossings[i].direction() != direction)
                continue;
            for (std::size_t j = i + 1; j < count; ++j) {
                if (crossings[j].direction() == -direction && crossings[j].x >= crossings[i].x) {
                    coverSpan(pixels, width, double(crossings[i].x) * k - origin + 1,
                              double(crossings[j].x) * k - origin + 1, step);
                    break;
                }
            }
        }
        // Every aaSize sub-scanlines make one pixel row.
        if (++sub == aaSize) {
            sub = 0;
            ++row;
        }
    }
}

}  // namespace vistrel
