#include "engine/font/cached_glyph_renderer.h"

#include <cmath>
#include <limits>

#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/render/raster/coverage_bitmap.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {
namespace {

// Key terms: x truncated toward zero; beyond the 32-bit range clamped to it,
// NaN 0.
std::int32_t truncToInt32(double x) {
    if (std::isnan(x))
        return 0;
    if (x >= double(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (x <= double(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(x);
}

bool drawsNothing(std::int32_t renderMode) {
    return renderMode == 3 || renderMode == 7;
}

bool drawsInForeground(std::int32_t renderMode) {
    return renderMode == 8 || renderMode == 9;
}

constexpr std::uint16_t kSpace = 32;
constexpr std::int32_t kCachingOff = 2;

}  // namespace

CachedGlyphRenderer::CachedGlyphRenderer(const DoubleArray* widths, OutputDevice* device)
    : FontRenderer(widths, device) {
    fillColorChanged();
    readOptions();
}

CachedGlyphRenderer::~CachedGlyphRenderer() {
    if (GlyphCache* cache = glyphCache())
        cache->removeFont(this);
}

GlyphKey CachedGlyphRenderer::matrixKey(std::uint16_t code) const {
    const Matrix& m = renderingMatrix();
    return GlyphKey{truncToInt32(m.a * 1000),
                    truncToInt32(m.b * 1000),
                    truncToInt32(m.c * 1000),
                    truncToInt32(m.d * 1000),
                    code,
                    this};
}

bool CachedGlyphRenderer::trimCache(int level) {
    if (GlyphCache* cache = glyphCache()) {
        if (level == 0) {
            const GlyphKey k = matrixKey(0);
            cache->purge(k.a, k.b, k.c, k.d, true);
        } else {
            cache->purge(0, 0, 0, 0, false);
        }
    }
    return true;
}

void CachedGlyphRenderer::readOptions() {
    cachingMode_ =
        readSettingNumber(settingsStore().find(settings::FontSystem, settings::CacheGlyphs), 0);
    if (cachingMode_ == 1)
        trimCache(0);
    else if (cachingMode_ == kCachingOff)
        trimCache(-1);
}

void CachedGlyphRenderer::fillColorChanged() {
    OutputDevice* dev = device();
    if (!dev || drawsInForeground(renderMode()))
        return;
    std::unique_ptr<DeviceColor> color = dev->NewColor();
    std::uint32_t value = 0;
    if (color && dev->GetFillColor(*color) && color->getValue(value))
        textColor_ = value;
}

bool CachedGlyphRenderer::obtainGlyph(const GlyphKey& key, std::uint16_t code, CachedGlyph& glyph,
                                      std::unique_ptr<CoverageBitmap>& owned) {
    GlyphCache* cache = glyphCache();
    if (cache && cache->lookup(key, glyph))
        return true;
    glyph = CachedGlyph();
    const bool rendered = renderGlyph(code, glyph);
    owned.reset(glyph.bitmap);
    if (!rendered) {
        glyph.bitmap = nullptr;
        return false;
    }
    // A glyph without a bitmap (a space) is kept too: it is not rendered again.
    if (cachingMode_ != kCachingOff && cache && cache->insert(key, glyph))
        (void)owned.release();
    return true;
}

bool CachedGlyphRenderer::composite(const CachedGlyph& glyph, IntPoint p) {
    CoverageBitmap* bitmap = glyph.bitmap;
    OutputDevice* dev = device();
    if (!bitmap || !dev)
        return true;
    bitmap->setColor(textColor_);
    bitmap->setBackground(0xFFFFFF);
    bitmap->setReadBackground(true);
    return bitmap->Composite(p, *dev);
}

void CachedGlyphRenderer::drawDecorations(std::int32_t x0, std::int32_t x1, std::int32_t underlineY,
                                          std::int32_t strikeoutY, std::uint32_t color,
                                          bool restoreFill) {
    OutputDevice* dev = device();
    if (!dev)
        return;
    std::unique_ptr<DeviceColor> lineColor = dev->NewColor();
    std::unique_ptr<DeviceColor> savedFill = dev->NewColor();
    std::unique_ptr<DeviceColor> savedStroke = dev->NewColor();
    if (!lineColor || !savedFill || !savedStroke)
        return;
    lineColor->setValue(color);
    dev->GetFillColor(*savedFill);
    dev->GetStrokeColor(*savedStroke);
    dev->SetFillColor(*lineColor);
    // Lines are drawn with the stroke pen: it takes the colour for them.
    dev->SetStrokeColor(*lineColor);
    if (decorations_ & kUnderline)
        dev->Line(IntPoint(x0, underlineY), IntPoint(x1, underlineY));
    if (decorations_ & kStrikeout)
        dev->Line(IntPoint(x0, strikeoutY), IntPoint(x1, strikeoutY));
    dev->SetStrokeColor(*savedStroke);
    if (restoreFill)
        dev->SetFillColor(*savedFill);
}

bool CachedGlyphRenderer::showGlyph(std::uint16_t code) {
    if (drawsNothing(renderMode()))
        return FontRenderer::showGlyph(code);

    CachedGlyph glyph;
    std::unique_ptr<CoverageBitmap> owned;
    if (!obtainGlyph(matrixKey(code), code, glyph, owned))
        return false;
    const Matrix& m = renderingMatrix();
    const bool drawn =
        composite(glyph, IntPoint(roundCoord(m.e + glyph.left), roundCoord(m.f - glyph.baseline)));
    // A bitmap the cache did not take goes now; one lent by the cache stays.
    owned.reset();

    if (decorations_ && code != kSpace) {
        const double w = roundedWidth(code);
        drawDecorations(roundCoord(m.e), roundCoord(m.e + w), roundCoord(m.f + 2.0),
                        roundCoord(m.f - deviceSize() * 0.3), textColor_, true);
    }
    const bool advanced = FontRenderer::showGlyph(code);
    return advanced && drawn;
}

bool CachedGlyphRenderer::drawGlyph(std::uint16_t code, IntPoint point) {
    if (renderMode() == 9)
        clearBox(point.x, point.y, roundedWidth(code));

    const std::int32_t s = truncToInt32(deviceSize() * 1000);
    CachedGlyph glyph;
    std::unique_ptr<CoverageBitmap> owned;
    if (!obtainGlyph(GlyphKey{s, 0, 0, s, code, this}, code, glyph, owned))
        return false;

    std::uint32_t value = 0;
    if (drawsInForeground(renderMode()) && foreground() && foreground()->getValue(value))
        textColor_ = value;
    const bool drawn = composite(glyph, point + IntPoint(glyph.left, glyph.top));
    owned.reset();

    if (decorations_ && code != kSpace && foreground() && foreground()->getValue(value)) {
        const std::int64_t baseline = std::int64_t(point.y) + glyph.top + glyph.baseline;
        const std::int32_t x1 = clampCoord(std::int64_t(point.x) + roundedWidth(code));
        drawDecorations(point.x, x1, clampCoord(baseline + 2),
                        clampCoord(baseline - roundCoord(deviceSize() * 0.3)), value, false);
    }
    return drawn;
}

}  // namespace vistrel
