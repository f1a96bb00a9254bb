#include "engine/render/content/content_interpreter.h"

#include <algorithm>

#include "engine/render/content/font_renderer.h"
#include "engine/render/content/matrix.h"
#include "engine/render/raster/geometry.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {

ContentInterpreter::ContentInterpreter(const OperatorStateMap& map, std::int32_t state,
                                       bool withTextState)
    : map_(&map), hasTextState_(withTextState) {
    setMode(state);
    link_ = Ref<InterpreterLink>::adopt(new InterpreterLink(this));
    graphics_.reset(new GraphicsState);
    if (!graphics_)
        return;
    if (withTextState) {
        text_.reset(new TextState);
        if (!text_) {
            graphics_.reset();
            return;
        }
    }
    ok_ = true;
}

ContentInterpreter::~ContentInterpreter() {
    if (link_)
        link_->interpreter_ = nullptr;
    text_.reset();
    graphics_.reset();
    savedGraphics_.clear();
    savedText_.clear();
    operands_.clear();
}

void ContentInterpreter::setDevice(OutputDevice* device) {
    device_ = device;
    if (device_)
        device_->setWorkMeter(&meter_);
    else
        meter_.detach();
}

void ContentInterpreter::setMode(std::int32_t state) {
    state_ = state;
    table_ = map_ ? map_->find(state) : nullptr;
}

PdfObject* ContentInterpreter::findResource(const PdfObject& category,
                                            const PdfObject& name) const {
    if (!resources_)
        return nullptr;
    PdfDict* dict = asDict(resources_->get(category));
    return dict ? dict->get(name) : nullptr;
}

void ContentInterpreter::setBaseMatrix(const Matrix& base) {
    base_ = base;
    updateDeviceMatrix();
}

void ContentInterpreter::updateDeviceMatrix() {
    deviceMatrix_ = multiply(graphics_ ? graphics_->ctm : Matrix{}, base_);
}

double ContentInterpreter::deviceLineWidth() const {
    return graphics_->lineWidth * lengthScale(deviceMatrix_);
}

void ContentInterpreter::setDeviceDash() const {
    if (!device_)
        return;
    const GraphicsState& g = *graphics_;
    const double scale = lengthScale(deviceMatrix_);
    const std::size_t count = g.dashes.size() % 2 ? 2 * g.dashes.size() : g.dashes.size();
    std::vector<std::int32_t> dashes;
    dashes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double v = g.dashes[i % g.dashes.size()] * scale;
        std::int32_t d = v < 0 ? truncateToInt(v) : roundCoord(v);
        // A dash of some length keeps a pixel.
        if (i % 2 == 0 && v > 0 && d < 1)
            d = 1;
        dashes.push_back(d);
    }
    device_->SetDash(dashes, roundCoord(g.dashPhase * scale));
}

void ContentInterpreter::saveGraphicsState() {
    if (std::unique_ptr<GraphicsState> copy = graphics_->copy()) {
        savedGraphics_.push_back(std::move(graphics_));
        graphics_ = std::move(copy);
    }
    updateDeviceMatrix();
    if (text_) {
        std::unique_ptr<TextState> copy(new TextState(*text_));
        if (copy) {
            savedText_.push_back(std::move(text_));
            text_ = std::move(copy);
        }
    }
    if (device_ && device_->IsAttached())
        device_->SaveClip();
}

void ContentInterpreter::restoreGraphicsState() {
    if (!savedGraphics_.empty()) {
        graphics_ = std::move(savedGraphics_.back());
        savedGraphics_.pop_back();
    } else if (std::unique_ptr<GraphicsState> fresh{new GraphicsState}) {
        graphics_ = std::move(fresh);
    }
    updateDeviceMatrix();
    if (text_) {
        if (!savedText_.empty()) {
            text_ = std::move(savedText_.back());
            savedText_.pop_back();
        } else if (std::unique_ptr<TextState> fresh{new TextState}) {
            text_ = std::move(fresh);
        }
    }
    applyStateToDevice();
}

void ContentInterpreter::applyStateToDevice() {
    if (device_ && device_->IsAttached()) {
        applyPaintStateToDevice();
        device_->RestoreClip();
    }
    if (FontRenderer* font = currentFont(*this))
        applyTextState(*font);
}

void ContentInterpreter::applyPaintStateToDevice() {
    if (!device_ || !device_->IsAttached())
        return;
    const GraphicsState& g = *graphics_;
    if (g.fillColor)
        device_->SetFillColor(*g.fillColor);
    if (g.strokeColor)
        device_->SetStrokeColor(*g.strokeColor);
    device_->SetLineCap(g.lineCap);
    device_->SetLineJoin(g.lineJoin);
    setDeviceDash();
    device_->SetLineWidth(deviceLineWidth());
    device_->SetMiterLimit(g.miterLimit);
}

void ContentInterpreter::applyTextState(FontRenderer& font) const {
    if (!text_)
        return;
    const TextState& t = *text_;
    font.setWordSpacing(t.wordSpacing);
    font.setCharSpacing(t.charSpacing);
    font.setLeading(t.leading);
    font.setHorizontalScale(t.horizontalScaling);
    font.setRenderMode(t.renderMode);
    font.setRise(t.rise);
    font.setFontSize(t.fontSize);
    const Matrix lm = multiply(t.lineMatrix, deviceMatrix_);
    font.setTextMatrix(multiply(t.textMatrix, deviceMatrix_), &lm);
}

bool ContentInterpreter::enterNested(const void* key) {
    if (std::int32_t(nested_.size()) >= kMaxNesting)
        return false;
    if (std::find(nested_.begin(), nested_.end(), key) != nested_.end())
        return false;
    nested_.push_back(key);
    return true;
}

void ContentInterpreter::leaveNested(const void* key) {
    auto it = std::find(nested_.begin(), nested_.end(), key);
    if (it != nested_.end())
        nested_.erase(it);
}

FontRenderer* currentFont(ContentInterpreter& interpreter) {
    TextState* text = interpreter.textState();
    if (!text || !text->font)
        return nullptr;
    if (FontRenderer* font = text->font->currentFont())
        return font;
    // A font made again by the registry knows nothing of this run yet.
    FontRenderer* font = text->font->font();
    if (font) {
        font->attachDevice(interpreter.device(), &interpreter);
        interpreter.applyTextState(*font);
    }
    return font;
}

}  // namespace vistrel
