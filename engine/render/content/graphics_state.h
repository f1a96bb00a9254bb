// The graphics state and the text state of a content run: what the content
// operators set and the painting and text operators use. "q" continues with
// copies of both and keeps the originals; "Q" brings them back.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/render/color/color_space.h"
#include "engine/render/content/font_handle.h"
#include "engine/render/raster/device_color.h"
#include "engine/render/raster/shape.h"

namespace vistrel {

class GraphicsState {
    VISTREL_POOLED_CLASS(GraphicsState)

public:
    // Values of pendingClip (the fill-rule coding of Shape).
    static constexpr std::int32_t kClipEvenOdd = 0;
    static constexpr std::int32_t kClipNonZero = 1;
    static constexpr std::int32_t kNoClip = 2;

    GraphicsState() = default;
    GraphicsState(const GraphicsState&) = delete;
    GraphicsState& operator=(const GraphicsState&) = delete;

    // The copy "q" continues with: the same values, the colour spaces shared,
    // the device colours cloned, no current path. Null when memory runs out.
    std::unique_ptr<GraphicsState> copy() const;

    std::int32_t flatness = 0;
    double lineWidth = 1.0;  // user-space units
    double miterLimit = 0.0;
    std::int32_t lineCap = 0;
    std::vector<double> dashes;  // user-space units; empty: solid
    double dashPhase = 0.0;
    std::int32_t lineJoin = 0;
    Matrix ctm;
    Ref<ColorSpace> fillSpace;
    Ref<ColorSpace> strokeSpace;
    std::unique_ptr<DeviceColor> fillColor;
    std::unique_ptr<DeviceColor> strokeColor;
    // The side's colour is a pattern, which the engine does not paint:
    // painting with it leaves the page as it is.
    bool fillPattern = false;
    bool strokePattern = false;
    // The path under construction, in device pixels.
    std::unique_ptr<Shape> path;
    // The clip "W" or "W*" asks for, applied by the painter that ends the
    // path.
    std::int32_t pendingClip = kNoClip;
};

// Copies share the font handle with one more reference.
class TextState {
    VISTREL_POOLED_CLASS(TextState)

public:
    TextState() = default;
    TextState(const TextState&) = default;
    TextState& operator=(const TextState&) = default;

    double wordSpacing = 0.0;
    double charSpacing = 0.0;
    double leading = 0.0;
    double horizontalScaling = 100.0;  // percent
    double rise = 0.0;
    std::int32_t renderMode = 0;
    double fontSize = 0.0;
    Matrix textMatrix;
    Matrix lineMatrix;
    Ref<FontHandle> font;
};

}  // namespace vistrel
