#include "engine/render/raster/gdi_shape.h"

#include "engine/render/raster/output_device.h"

namespace vistrel {

GdiShape::~GdiShape() = default;

std::unique_ptr<SpanList> GdiShape::buildSpanList(Shape& shape, int rule, int mask) {
    auto list = std::make_unique<SpanList>(rule);
    if (!list)
        return nullptr;
    list->setMask(mask);
    for (const auto& path : shape.paths()) {
        const auto& pts = path->points();
        if (!pts.empty() && pts.back().kind != PathPoint::Close)
            path->ClosePath();
        list->AddPath(*path);
    }
    list->Finish();
    return list;
}

SpanList* GdiShape::Edges(int mask) {
    if (!spans_)
        spans_ = buildSpanList(*this, fillRule_, mask);
    return spans_.get();
}

bool GdiShape::FillShape(IntPoint offset, OutputDevice& device) {
    if (IsRectangle()) {
        IntPoint mn, mx;
        BoundingBox(mn, mx);
        device.FillRect(IntRect(mn, mx - mn));
        return true;
    }
    SpanList* list = Edges(3);
    if (!list)
        return false;
    const IntPoint page = device.GetPageSize();
    list->Limit(IntPoint(0, 0), page);
    device.BeginSpans();
    if (!list->empty()) {
        for (std::int32_t y = list->minY(); y <= list->maxY(); ++y) {
            const std::vector<std::int32_t>* row = list->SpanRow(y);
            if (!row)
                continue;
            const std::int32_t dy = clampCoord(std::int64_t(y) + offset.y);
            for (std::size_t i = 0; i + 1 < row->size(); i += 2) {
                device.MoveTo(IntPoint((*row)[i], dy));
                device.HorizontalRun((*row)[i + 1] - (*row)[i]);
            }
        }
    }
    device.EndSpans();
    return true;
}

}  // namespace vistrel
