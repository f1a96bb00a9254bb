#include "engine/render/content/font_renderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "engine/constants/font_constants.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {

std::int32_t roundToInt32(double x) {
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (std::isnan(x))
        return 0;
    const double r = x > 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
    if (r >= kMax)
        return std::numeric_limits<std::int32_t>::max();
    if (r <= kMin)
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(r);
}

namespace {

std::int32_t clampToInt32(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

FontRenderer::FontRenderer(const DoubleArray* widths, OutputDevice* device) {
    if (widths)
        widths_.assign(*widths);
    if (device)
        attachDevice(device, nullptr);
}

FontRenderer::~FontRenderer() {
    destroyColors();
    destroyEncoding();
}

void FontRenderer::destroyColors() {
    delete foreground_;
    delete background_;
    delete scratch_;
    foreground_ = background_ = scratch_ = nullptr;
}

void FontRenderer::destroyEncoding() {
    if (encoding_ && encodingDeleter_)
        encodingDeleter_(encoding_);
    encoding_ = nullptr;
    encodingDeleter_ = nullptr;
}

bool FontRenderer::attachDevice(OutputDevice* device, ContentInterpreter* /*interpreter*/) {
    if (device_ || !device)
        return false;
    std::unique_ptr<DeviceColor> foreground(device->NewColor());
    std::unique_ptr<DeviceColor> background(device->NewColor());
    std::unique_ptr<DeviceColor> scratch(device->NewColor());
    if (!foreground || !background || !scratch)
        return false;
    foreground->SetRgb(0, 0, 0);
    background->SetRgb(255, 255, 255);
    device_ = device;
    foreground_ = foreground.release();
    background_ = background.release();
    scratch_ = scratch.release();
    return true;
}

bool FontRenderer::detachDevice() {
    if (!device_)
        return false;
    device_ = nullptr;
    destroyColors();
    return true;
}

bool FontRenderer::trimCache(int /*level*/) {
    return false;
}

// --- Text position ---

void FontRenderer::moveText(double tx, double ty) {
    lineMatrix_.e += tx * lineMatrix_.a + ty * lineMatrix_.c;
    lineMatrix_.f += tx * lineMatrix_.b + ty * lineMatrix_.d;
    textMatrix_ = lineMatrix_;
    updateRenderingMatrix();
}

void FontRenderer::nextLine() {
    moveText(0.0, -leading_);
}

void FontRenderer::translateTextMatrix(double tx, double ty) {
    textMatrix_.e += tx * textMatrix_.a + ty * textMatrix_.c;
    textMatrix_.f += tx * textMatrix_.b + ty * textMatrix_.d;
    updateRenderingMatrix();
}

// --- Showing ---

bool FontRenderer::showString(const WString& text) {
    if (deviceSize() < 6.0 && allowsTextBar()) {
        showStringAsBar(text);
        return true;
    }
    for (std::int32_t i = 0; i < text.size(); ++i) {
        const std::uint16_t code = text.at(i);
        if (!showGlyph(code))
            return false;
        if (code == 32)
            advance(wordSpacing_);
    }
    return true;
}

bool FontRenderer::showGlyph(std::uint16_t code) {
    advance(glyphWidth(code) * fontSize_ + charSpacing_);
    return true;
}

void FontRenderer::advance(double tx) {
    textMatrix_.e += tx * textMatrix_.a;
    textMatrix_.f += tx * textMatrix_.b;
    updateRenderingMatrix();
}

bool FontRenderer::drawString(const WString& text, IntPoint point) {
    IntPoint pen = point;
    for (std::int32_t i = 0; i < text.size(); ++i) {
        const std::uint16_t code = text.at(i);
        if (!drawGlyph(code, pen))
            return false;
        pen.x = clampToInt32(std::int64_t(pen.x) + roundedWidth(code));
    }
    return true;
}

bool FontRenderer::drawGlyph(std::uint16_t /*code*/, IntPoint /*point*/) {
    return true;
}

void FontRenderer::showStringAsBar(const WString& text) {
    const std::int32_t x0 = roundCoord(renderingMatrix_.e);
    const std::int32_t y0 = roundCoord(renderingMatrix_.f);
    for (std::int32_t i = 0; i < text.size(); ++i) {
        const std::uint16_t code = text.at(i);
        FontRenderer::showGlyph(code);
        if (code == 32)
            advance(wordSpacing_);
    }
    // An empty string shows nothing (the bar would otherwise take the width
    // of the device height).
    if (text.size() == 0 || renderMode_ == 3 || renderMode_ == 7 || !device_ || !scratch_)
        return;

    std::int32_t w = roundCoord(renderingMatrix_.e - x0);
    std::int32_t h = roundCoord(renderingMatrix_.f - y0);
    // A horizontal advance: the bar rises from the baseline by the ascent
    // (device y grows downwards).
    if (h == 0)
        h = roundCoord(ascent() * -double(deviceHeight_));
    if (w == 0)
        w = clampCoord(deviceHeight_);

    device_->GetStrokeColor(*scratch_);
    std::unique_ptr<DeviceColor> light = scratch_->clone();
    if (!light)
        return;
    int rgb[3];
    light->getRgb(rgb[0], rgb[1], rgb[2]);
    for (int& v : rgb)
        v = std::min(255, (v + 255) / 2);
    light->SetRgb(rgb[0], rgb[1], rgb[2]);
    fillInColor(IntRect(x0, y0, w, h, true), *light);
}

void FontRenderer::clearBox(std::int32_t x, std::int32_t y, std::int32_t width) {
    if (!device_ || !scratch_ || !background_)
        return;
    device_->GetStrokeColor(*scratch_);
    fillInColor(IntRect(x, y, width, deviceHeight_), *background_);
}

void FontRenderer::fillInColor(const IntRect& rect, const DeviceColor& color) {
    // The device's rectangle fill paints with its fill colour: the colour
    // is set as both stroke and fill colour for the one fill, and both are
    // put back (the stroke colour from the scratch colour the caller saved
    // it in).
    std::unique_ptr<DeviceColor> savedFill(device_->NewColor());
    if (!savedFill)
        return;
    device_->GetFillColor(*savedFill);
    device_->SetStrokeColor(color);
    device_->SetFillColor(color);
    device_->FillRect(rect);
    device_->SetFillColor(*savedFill);
    device_->SetStrokeColor(*scratch_);
}

void FontRenderer::setCharHeight(double h) {
    fontSize_ = ascent() * h;
    updateDeviceHeight();
    updateRenderingMatrix();
}

// --- Measuring ---

double FontRenderer::glyphWidth(std::uint16_t code) {
    if (code < widths_.count())
        return widths_[code] * horizontalScale_ * 0.01;
    return programAdvance(code);
}

std::int32_t FontRenderer::roundedWidth(std::uint16_t code) {
    return roundToInt32(glyphWidth(code) * deviceHeight_);
}

std::int32_t FontRenderer::glyphHeight(std::uint16_t /*code*/) {
    return deviceHeight_;
}

std::int32_t FontRenderer::stringWidth(const WString& text) {
    std::int64_t sum = 0;
    for (std::int32_t i = 0; i < text.size(); ++i)
        sum = std::clamp<std::int64_t>(sum + roundedWidth(text.at(i)), INT32_MIN, INT32_MAX);
    return std::int32_t(sum);
}

std::int32_t FontRenderer::stringHeight(const WString& text) {
    std::int32_t height = 0;
    for (std::int32_t i = 0; i < text.size(); ++i) {
        const std::int32_t h = glyphHeight(text.at(i));
        if (i == 0 || h > height)
            height = h;
    }
    return height;
}

double FontRenderer::programAdvance(std::uint16_t /*code*/) {
    return 0.0;
}

// --- Colours ---

namespace {

void takeValue(const DeviceColor& from, DeviceColor* to) {
    std::uint32_t value = 0;
    if (to && from.getValue(value))
        to->setValue(value);
}

}  // namespace

void FontRenderer::setForegroundFrom(const DeviceColor& color) {
    takeValue(color, foreground_);
}

void FontRenderer::setBackgroundFrom(const DeviceColor& color) {
    takeValue(color, background_);
}

// --- Text state ---

void FontRenderer::setCharSpacing(double tc) {
    charSpacing_ = tc;
}

void FontRenderer::setWordSpacing(double tw) {
    wordSpacing_ = tw;
}

void FontRenderer::setHorizontalScale(double tz) {
    horizontalScale_ = tz;
    updateRenderingMatrix();
}

void FontRenderer::setLeading(double tl) {
    leading_ = tl;
}

void FontRenderer::setFontSize(double size) {
    fontSize_ = size;
    updateDeviceHeight();
    updateRenderingMatrix();
}

void FontRenderer::setTextMatrix(const Matrix& tm, const Matrix* lm) {
    textMatrix_ = tm;
    lineMatrix_ = lm ? *lm : tm;
    updateDeviceHeight();
    updateRenderingMatrix();
}

void FontRenderer::setRenderMode(std::int32_t mode) {
    renderMode_ = mode;
}

void FontRenderer::setRise(double ts) {
    rise_ = ts;
    updateRenderingMatrix();
}

void FontRenderer::description(WString& /*text*/) const {}

const WString& FontRenderer::defaultEncodingName() const {
    return encodings::StandartEncoding;
}

void FontRenderer::updateRenderingMatrix() {
    const Matrix& t = textMatrix_;
    const double a = horizontalScale_ * fontSize_ * 0.01;
    renderingMatrix_.a = a * t.a;
    renderingMatrix_.b = a * t.b;
    renderingMatrix_.c = fontSize_ * t.c;
    renderingMatrix_.d = fontSize_ * t.d;
    renderingMatrix_.e = rise_ * t.c + t.e;
    renderingMatrix_.f = rise_ * t.d + t.f;
}

void FontRenderer::updateDeviceHeight() {
    const Matrix& t = textMatrix_;
    deviceSize_ = fontSize_ * std::sqrt(t.c * t.c + t.d * t.d);
    // The size comes from the document (Tf, Tm): a non-finite one counts as
    // 0, and without a positive ascent there is no height to divide into.
    if (!std::isfinite(deviceSize_))
        deviceSize_ = 0.0;
    const double asc = ascent();
    deviceHeight_ = asc > 0.0 ? roundToInt32(deviceSize_ / asc) : 0;
}

}  // namespace vistrel
