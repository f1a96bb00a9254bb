// The outline of a geometric pen: a figure of points stroked with a width,
// end caps, joins, a miter limit and a dash style, painted as the pixel runs
// whose centres it covers.
#pragma once

#include <functional>
#include <vector>

#include "platform/gdi/gdi.h"

namespace win {

struct StrokePoint {
    double x;
    double y;
};

struct StrokeStyle {
    double width = 1.0;
    DWORD endCap = PS_ENDCAP_ROUND;  // PS_ENDCAP_*
    DWORD join = PS_JOIN_ROUND;      // PS_JOIN_*
    double miterLimit = 10.0;
    // Dash and gap lengths, starting with a dash; empty: solid. Every
    // repetition of the list starts with a dash.
    std::vector<DWORD> dashes;
};

// Receives the pixels [x0, x1) of row y; rows and columns are already
// limited to the area the stroker was given.
using SpanSink = std::function<void(int y, int x0, int x1)>;

// Strokes the figure (closed: its last point joins its first) within the
// area of width x height pixels. A pixel belongs to a piece of the outline
// when its centre lies inside it, a centre on the left or top edge counting
// in and one on the right or bottom edge out, so that pieces meeting along
// an edge share no pixel. Each dash, and an undashed figure, starts afresh
// at the figure's first point; a figure whose points all coincide paints a
// dot with round caps and nothing otherwise.
void strokeFigure(const std::vector<StrokePoint>& points, bool closed, const StrokeStyle& style,
                  int width, int height, const SpanSink& sink);

}  // namespace win
