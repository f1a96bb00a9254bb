// The shape of the GDI device: its fill goes through the device's span
// machinery, and its scan-converted spans are built once and cached.
#pragma once

#include <memory>

#include "engine/render/raster/shape.h"
#include "engine/render/raster/span_list.h"

namespace vistrel {

class GdiShape : public Shape {
public:
    GdiShape() = default;
    ~GdiShape() override;

    // Closes every open path, scan-converts the shape with its fill rule and
    // the mask, and caches the result.
    SpanList* Edges(int mask) override;
    bool hasSpanList() const { return bool(spans_); }
    // Hands the cached list to the caller (a clip), or null.
    SpanList* takeSpanList() { return spans_.release(); }
    // A new list for the paths of any shape.
    static std::unique_ptr<SpanList> buildSpanList(Shape& shape, int rule, int mask);

protected:
    bool FillShape(IntPoint offset, OutputDevice& device) override;

private:
    std::unique_ptr<SpanList> spans_;
};

}  // namespace vistrel
