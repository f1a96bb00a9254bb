// A list of paths that a device paints as one unit (fill, stroke or both)
// and that can become a clip.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/render/raster/geometry.h"
#include "engine/render/raster/path.h"

namespace vistrel {

class OutputDevice;
class SpanList;

class Shape {
    VISTREL_POOLED_CLASS(Shape)

public:
    enum PaintMode : std::int32_t { Fill = 0, Stroke = 1, FillStroke = 2, Nothing = 3 };

    Shape() { paths_.reserve(8); }
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;
    virtual ~Shape();

    virtual bool isUsable() const { return true; }
    virtual bool Paint(IntPoint offset, OutputDevice& device);
    virtual int reserved() const { return 0; }
    // The scan-converted spans of the shape with a class mask; the plain
    // kind has none.
    virtual SpanList* Edges(int mask);
    // A new empty path; null when memory runs out.
    virtual std::unique_ptr<Path> NewPath() { return std::make_unique<Path>(); }
    virtual bool IsRectangle() const;

    void MoveTo(IntPoint p);
    void LineTo(IntPoint p);
    void CurveTo(IntPoint p1, IntPoint p2, IntPoint p3);
    void ClosePath();
    // The rectangle's corners mapped by m (a b c d e f) as a closed path.
    void AddRectangle(const IntRect& r, const double m[6]);
    // The rectangle x, y, width, height as a closed path: its exact corners
    // mapped by m and rounded once in device space. When its sides lie along
    // the device axes, a side of some length across the rows that would
    // round to nothing covers the row holding its middle, so that the fill
    // covers at least a pixel each way.
    void AddRectangle(double x, double y, double width, double height, const double m[6]);
    // Box over the paths holding more than a lone move; (0,0), (0,0) when
    // there is none.
    void BoundingBox(IntPoint& min, IntPoint& max) const;

    int paintMode() const { return paintMode_; }
    void setPaintMode(int mode) { paintMode_ = mode; }
    int fillRule() const { return fillRule_; }
    void setFillRule(int rule) { fillRule_ = rule; }
    const std::vector<std::unique_ptr<Path>>& paths() const { return paths_; }
    IntPoint currentPoint() const { return current_; }

protected:
    // Fills the shape on the device (paint modes 0 and 2).
    virtual bool FillShape(IntPoint offset, OutputDevice& device);
    // The last path, made when there is none; null when memory runs out.
    Path* lastPath();
    // The closed path through four device corners, then a fresh path.
    void addCorners(const IntPoint (&c)[4]);

    IntPoint current_;
    std::vector<std::unique_ptr<Path>> paths_;
    std::int32_t paintMode_ = Nothing;
    std::uint16_t word_ = 0;
    std::int32_t fillRule_ = 1;
};

}  // namespace vistrel
