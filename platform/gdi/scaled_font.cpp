#include "platform/gdi/scaled_font.h"

#include FT_OUTLINE_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "platform/gdi/font_catalog.h"
#include "platform/gdi/gdi_objects.h"

namespace win::font {

namespace {

// Glyphs reaching further than this many ems from their origin (only
// hostile fonts have them) are not drawn: rendering time grows with the
// outline's size, and FreeType refuses outlines beyond 2^18 pixels.
constexpr double kMaxGlyphReach = 8;
// Glyphs whose box holds at most this many pixels keep their coverage.
constexpr long kMaxCachedArea = 256 * 256;
// Outlines drawn straight onto the page go through tiles of at most this
// many pixels a side (FreeType's spans hold 16-bit positions).
constexpr long kTile = 4096;
// Pen positions are kept far inside the range of 64-bit integers.
constexpr double kMaxPen = 1e15;

// std::llround without the library call: the fraction of a double is
// exact, so comparing it with one half rounds halves away from zero. The
// comparisons are added rather than branched on: which way a coordinate
// rounds cannot be predicted.
long long roundHalfAway(double v) {
    if (!(std::abs(v) < 0x1p62))
        return std::llround(v);
    const long long whole = (long long)v;
    const double fraction = v - double(whole);
    return whole + (long long)(fraction >= 0.5) - (long long)(fraction <= -0.5);
}

LONG roundPixels(double v) {
    if (!(v > double(INT_MIN)))
        return INT_MIN;
    if (v >= double(INT_MAX))
        return INT_MAX;
    return LONG(roundHalfAway(v));
}

LONG saturate(long long v) {
    return LONG(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

long floorDiv64(FT_Pos v) {
    return long(v >= 0 ? v / 64 : -((-v + 63) / 64));
}

long ceilDiv64(FT_Pos v) {
    return -floorDiv64(-v);
}

FT_Outline view(Outline& o) {
    FT_Outline v{};
    v.n_points = decltype(v.n_points)(o.points.size());
    v.n_contours = decltype(v.n_contours)(o.contours.size());
    v.points = o.points.data();
    v.tags = o.tags.data();
    v.contours = o.contours.data();
    v.flags = o.flags;
    return v;
}

// Renders an outline moved by (dx, dy) (1/64 pixels) into a frame of
// width x height pixels whose bottom left is the origin; `sink` gets each
// run as (row counted from the top, x, length, coverage).
template <class Sink>
void rasterize(const Outline& source, FT_Pos dx, FT_Pos dy, int width, int height, Sink&& sink) {
    Outline moved = source;
    for (FT_Vector& p : moved.points) {
        p.x += dx;
        p.y += dy;
    }
    FT_Outline outline = view(moved);
    struct Context {
        Sink* sink;
        int height;
    } context{&sink, height};
    FT_Raster_Params params{};
    params.source = &outline;
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = [](int y, int count, const FT_Span* spans, void* user) {
        auto* c = static_cast<Context*>(user);
        for (int i = 0; i < count; ++i)
            (*c->sink)(c->height - 1 - y, spans[i].x, spans[i].len, spans[i].coverage);
    };
    params.user = &context;
    params.clip_box = {0, 0, width, height};
    FT_Outline_Render(FreeType::get()->library(), &outline, &params);
}

// Renders an outline moved by (dx, dy) (1/64 pixels) into black or zeroed
// coverage of width x height pixels whose top row starts at `coverage`, rows
// `pitch` bytes apart (below zero: upwards in memory): FreeType writes the
// lit runs itself, the same values its spans would carry. The outline is
// moved for the call and back.
void rasterizeInto(Outline& source, FT_Pos dx, FT_Pos dy, int width, int height,
                   std::uint8_t* coverage, std::ptrdiff_t pitch) {
    for (FT_Vector& p : source.points) {
        p.x += dx;
        p.y += dy;
    }
    FT_Outline outline = view(source);
    FT_Bitmap target{};
    target.rows = unsigned(height);
    target.width = unsigned(width);
    target.pitch = int(pitch);
    // FreeType takes the buffer's lowest address: the bottom row when rows
    // run upwards.
    target.buffer = pitch >= 0 ? coverage : coverage + pitch * (height - 1);
    target.num_grays = 256;
    target.pixel_mode = FT_PIXEL_MODE_GRAY;
    FT_Raster_Params params{};
    params.target = &target;
    params.source = &outline;
    params.flags = FT_RASTER_FLAG_AA;
    FT_Outline_Render(FreeType::get()->library(), &outline, &params);
    for (FT_Vector& p : source.points) {
        p.x -= dx;
        p.y -= dy;
    }
}

// Whether the w x h pixels from `p` on, rows `pitch` bytes apart, are all 0.
// Rows of eight pixels or more are read eight at a time, the last eight
// overlapping the others.
bool allZero(const std::uint8_t* p, long w, long h, std::ptrdiff_t pitch) {
    const auto eightAt = [](const std::uint8_t* q) {
        std::uint64_t eight;
        std::memcpy(&eight, q, sizeof eight);
        return eight;
    };
    for (long y = 0; y < h; ++y, p += pitch) {
        std::uint64_t any = 0;
        if (w >= 8) {
            for (long x = 0; x + 8 <= w; x += 8)
                any |= eightAt(p + x);
            any |= eightAt(p + w - 8);
        } else {
            for (long x = 0; x < w; ++x)
                any |= p[x];
        }
        if (any)
            return false;
    }
    return true;
}

std::uint8_t mix(unsigned dst, unsigned src, unsigned coverage) {
    return std::uint8_t((dst * (255 - coverage) + src * coverage + 127) / 255);
}

// White blended into n grey pixels by their coverage: over black that is
// the coverage itself.
void blendWhite(std::uint8_t* p, const std::uint8_t* coverage, int n) {
    for (int i = 0; i < n; ++i) {
        if (p[i] == 0)
            p[i] = coverage[i];
        else if (coverage[i] != 0)
            p[i] = mix(p[i], 255, coverage[i]);
    }
}

// Blends coverage in one colour into the pixels a device context may touch.
class Painter {
public:
    Painter(const DcObject& dc, BitmapObject& bm, COLORREF color)
        : dc_(dc), bm_(bm), r_(GetRValue(color)), g_(GetGValue(color)), b_(GetBValue(color)) {
        // An 8-bit bitmap with the identity grey palette takes grey text
        // as plain values.
        greyValues_ = bm.bitsPerPixel == 8 && r_ == g_ && g_ == b_ &&
                      (bm.paletteSize == 0 || bm.paletteSize == 256);
        if (greyValues_) {
            // Every entry looked at, two at a time as one word (blue,
            // green, red and the unused byte each), without a branch, so
            // that the loop runs many entries at a time: text is drawn a
            // glyph a call.
            static_assert(sizeof(RGBQUAD) == 4);
            constexpr std::uint64_t kColours = 0x00FFFFFF00FFFFFFu;
            std::uint64_t differs = 0;
            for (std::uint64_t i = 0; i < 256; i += 2) {
                std::uint64_t two;
                std::memcpy(&two, &bm.palette[i], sizeof two);
                const std::uint64_t grey = i * 0x010101u | (i + 1) * 0x010101u << 32;
                differs |= (two ^ grey) & kColours;
            }
            greyValues_ = differs == 0;
        }
    }

    void paint(ScaledFont::Glyph& g, long long ox, long long oy) {
        if (g.empty())
            return;
        const long long left = ox + g.left, top = oy - g.top;
        const long long x0 = std::max(left, 0LL), x1 = std::min(ox + g.right, (long long)bm_.width);
        const long long y0 = std::max(top, 0LL),
                        y1 = std::min(oy - g.bottom, (long long)bm_.height);
        if (x0 >= x1 || y0 >= y1)
            return;
        const long width = g.right - g.left, height = g.top - g.bottom;
        if (g.small && g.coverage.empty()) {
            // White over black is the coverage itself: a small glyph drawn
            // the first time whole into black pixels of a grey bitmap
            // without a clip is rendered straight into them. Glyphs drawn
            // again keep their coverage.
            if (!g.drawn && !dc_.clip && greyValues_ && r_ == 255 && x0 == left &&
                x1 == left + width && y0 == top && y1 == top + height) {
                const std::ptrdiff_t pitch =
                    bm_.topDown ? std::ptrdiff_t(bm_.stride) : -std::ptrdiff_t(bm_.stride);
                std::uint8_t* first = const_cast<std::uint8_t*>(bm_.row(int(y0))) + x0;
                if (allZero(first, width, height, pitch)) {
                    g.drawn = true;
                    touched_ = unionRect(touched_, RECT{LONG(x0), LONG(y0), LONG(x1), LONG(y1)});
                    bm_.noteChange(int(y0), int(x0), int(x1));
                    bm_.noteChange(int(y1 - 1), int(x0), int(x1));
                    rasterizeInto(g.outline, -g.left * 64, -g.bottom * 64, int(width), int(height),
                                  first, pitch);
                    return;
                }
            }
            g.coverage.assign(std::size_t(width * height), 0);
            rasterizeInto(g.outline, -g.left * 64, -g.bottom * 64, int(width), int(height),
                          g.coverage.data(), width);
        }
        if (!g.coverage.empty()) {
            for (int y = int(y0); y < y1; ++y) {
                const std::uint8_t* row = g.coverage.data() + std::size_t(y - top) * width;
                forEachVisibleSpan(dc_, bm_, y, int(x0), int(x1),
                                   [&](int a, int b) { blend(y, a, b, row + (a - left), 1); });
            }
            return;
        }
        for (long long ty = y0; ty < y1; ty += kTile) {
            const long long tyEnd = std::min(ty + kTile, y1);
            for (long long tx = x0; tx < x1; tx += kTile) {
                const long long txEnd = std::min(tx + kTile, x1);
                rasterize(g.outline, FT_Pos(ox - tx) * 64, FT_Pos(tyEnd - oy) * 64, int(txEnd - tx),
                          int(tyEnd - ty), [&](int row, int x, int length, std::uint8_t coverage) {
                              const int y = int(ty) + row, a = int(tx) + x;
                              forEachVisibleSpan(dc_, bm_, y, a, a + length, [&](int p, int q) {
                                  blend(y, p, q, &coverage, 0);
                              });
                          });
            }
        }
    }

    // The rectangle of the pixels handed to blend so far.
    const RECT& touched() const { return touched_; }

private:
    // Pixels [a, b) of row y; coverage advances by `step` per pixel.
    void blend(int y, int a, int b, const std::uint8_t* coverage, int step) {
        touched_ = unionRect(touched_, RECT{a, y, b, y + 1});
        std::uint8_t* row = bm_.rowToWrite(y, a, b);
        if (bm_.bitsPerPixel == 8) {
            if (greyValues_ && r_ == 255 && step == 1) {
                // White text over black (glyphs drawn to be reduced) is the
                // coverage itself: 32 and then eight black pixels at a time
                // take it.
                std::uint8_t* p = row + a;
                const int n = b - a;
                int i = 0;
                for (; i + 32 <= n; i += 32) {
                    std::uint64_t words[4];
                    std::memcpy(words, p + i, sizeof words);
                    if ((words[0] | words[1] | words[2] | words[3]) != 0)
                        break;
                    std::memcpy(p + i, coverage + i, sizeof words);
                }
                for (; i + 8 <= n; i += 8) {
                    std::uint64_t eight;
                    std::memcpy(&eight, p + i, 8);
                    if (eight == 0)
                        std::memcpy(p + i, coverage + i, 8);
                    else
                        blendWhite(p + i, coverage + i, 8);
                }
                blendWhite(p + i, coverage + i, n - i);
                return;
            }
            for (int x = a; x < b; ++x, coverage += step) {
                unsigned k = *coverage;
                if (k == 0)
                    continue;
                if (greyValues_) {
                    row[x] = mix(row[x], r_, k);
                } else {
                    COLORREF d = bm_.read(x, y);
                    row[x] =
                        bm_.nearestIndex(RGB(mix(GetRValue(d), r_, k), mix(GetGValue(d), g_, k),
                                             mix(GetBValue(d), b_, k)));
                }
            }
            return;
        }
        const int bytes = bm_.bitsPerPixel / 8;
        std::uint8_t* p = row + std::size_t(a) * bytes;
        for (int x = a; x < b; ++x, coverage += step, p += bytes) {
            unsigned k = *coverage;
            if (k == 0)
                continue;
            p[0] = mix(p[0], b_, k);
            p[1] = mix(p[1], g_, k);
            p[2] = mix(p[2], r_, k);
        }
    }

    const DcObject& dc_;
    BitmapObject& bm_;
    unsigned r_, g_, b_;
    bool greyValues_ = false;
    RECT touched_{};
};

// The box of an outline in whole pixels.
void setBox(ScaledFont::Glyph& g) {
    FT_BBox box;
    FT_Outline v = view(g.outline);
    FT_Outline_Get_CBox(&v, &box);
    g.left = floorDiv64(box.xMin);
    g.bottom = floorDiv64(box.yMin);
    g.right = ceilDiv64(box.xMax);
    g.top = ceilDiv64(box.yMax);
}

}  // namespace

std::unique_ptr<ScaledFont> ScaledFont::create(const LOGFONTA& lf) {
    std::string_view name(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE - 1));
    Catalog& catalog = Catalog::instance();
    FaceList faces = catalog.family(name);
    if (faces.empty())
        faces = catalog.substitute(lf.lfPitchAndFamily);
    const int weight = lf.lfWeight <= 0 ? FW_NORMAL : int(std::min<LONG>(lf.lfWeight, 1000));
    const bool italic = lf.lfItalic != 0;
    std::shared_ptr<FaceEntry> entry = chooseStyle(faces, weight, italic);
    std::shared_ptr<Face> face = entry ? entry->open() : nullptr;
    if (!face)
        return nullptr;

    std::unique_ptr<ScaledFont> f(new ScaledFont);
    f->face_ = face;
    const FaceInfo& in = face->info();
    f->bold_ = weight >= 600 && in.weight < 600;
    f->oblique_ = italic && !in.italic;
    f->underline_ = lf.lfUnderline != 0;
    f->strikeout_ = lf.lfStrikeOut != 0;

    const long long height = lf.lfHeight;
    const int cell = in.ascent + in.descent;
    f->em_ = height < 0 ? double(-height) : double(height) * in.unitsPerEm / cell;
    f->scale_ = f->em_ / in.unitsPerEm;
    f->drawable_ = f->em_ > 0 && f->em_ <= kMaxPixelSize;

    int turn = lf.lfEscapement % 3600;
    if (turn < 0)
        turn += 3600;
    switch (turn) {
        case 0:
            break;
        case 900:
            f->cos_ = 0, f->sin_ = 1;
            break;
        case 1800:
            f->cos_ = -1, f->sin_ = 0;
            break;
        case 2700:
            f->cos_ = 0, f->sin_ = -1;
            break;
        default: {
            double a = turn * std::numbers::pi / 1800;
            f->cos_ = std::cos(a);
            f->sin_ = std::sin(a);
        }
    }

    const double s = f->scale_;
    const LONG boldExtra = f->bold_ ? roundPixels(f->em_ * kBoldStrength) : 0;
    TEXTMETRICA& tm = f->metrics_;
    tm.tmAscent = roundPixels(in.ascent * s);
    tm.tmDescent = height > 0 ? saturate(height - tm.tmAscent) : roundPixels(in.descent * s);
    tm.tmHeight = saturate((long long)tm.tmAscent + tm.tmDescent);
    tm.tmInternalLeading = saturate((long long)tm.tmHeight - roundPixels(f->em_));
    tm.tmExternalLeading = roundPixels(in.externalLeading * s);
    tm.tmAveCharWidth = saturate((long long)roundPixels(in.averageWidth * s) + boldExtra);
    tm.tmMaxCharWidth = saturate((long long)roundPixels(in.maximumWidth * s) + boldExtra);
    tm.tmWeight = f->bold_ ? weight : in.weight;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = italic || in.italic;
    tm.tmUnderlined = f->underline_;
    tm.tmStruckOut = f->strikeout_;
    tm.tmPitchAndFamily =
        BYTE(in.familyClass | (in.fixedPitch ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE);
    tm.tmCharSet = in.coversLatin1 ? ANSI_CHARSET : SYMBOL_CHARSET;

    for (unsigned b = 0; b < 256; ++b) {
        double units = double(face->byteAdvance(std::uint8_t(b)));
        f->advances_[b] = saturate((long long)roundPixels(units * s) + boldExtra);
    }
    return f;
}

ScaledFont::Glyph& ScaledFont::glyph(unsigned index) {
    auto [it, added] = glyphs_.try_emplace(index);
    Glyph& g = it->second;
    if (!added || !face_->outline(index, g.outline))
        return g;
    Outline& o = g.outline;
    for (FT_Vector& p : o.points) {
        p.x = FT_Pos(roundHalfAway(double(p.x) * scale_));
        p.y = FT_Pos(roundHalfAway(double(p.y) * scale_));
    }
    if (bold_) {
        // Wider and higher by the strength, the left and bottom kept.
        FT_Pos strength = FT_Pos(std::llround(em_ * kBoldStrength * 64));
        FT_Outline v = view(o);
        FT_Outline_EmboldenXY(&v, strength, strength);
    }
    if (oblique_ || cos_ != 1) {
        for (FT_Vector& p : o.points) {
            double x = double(p.x), y = double(p.y);
            if (oblique_)
                x += y * kObliqueSlant;
            p.x = FT_Pos(std::llround(x * cos_ - y * sin_));
            p.y = FT_Pos(std::llround(x * sin_ + y * cos_));
        }
    }
    setBox(g);
    if (double(std::max({-g.left, -g.bottom, g.right, g.top})) > std::max(64.0, kMaxGlyphReach * em_)) {
        g = Glyph{};
        return g;
    }
    const long width = g.right - g.left, height = g.top - g.bottom;
    g.small = width > 0 && height > 0 && width <= kTile && height <= kTile &&
              width * height <= kMaxCachedArea;
    return g;
}

RECT ScaledFont::draw(const DcObject& dc, BitmapObject& bm, int x, int y, const std::uint8_t* text,
                      std::size_t count, COLORREF color) {
    if (!drawable_)
        return RECT{};
    Painter painter(dc, bm, color);
    // The baseline lies one ascent below the top of the cell, across the
    // baseline's direction (device y grows downwards).
    const double bx = x + metrics_.tmAscent * sin_, by = y + metrics_.tmAscent * cos_;
    long long total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        double px = std::clamp(bx + double(total) * cos_, -kMaxPen, kMaxPen);
        double py = std::clamp(by - double(total) * sin_, -kMaxPen, kMaxPen);
        painter.paint(glyph(face_->glyphForByte(text[i])), std::llround(px), std::llround(py));
        total += advances_[text[i]];
    }
    if ((!underline_ && !strikeout_) || total <= 0)
        return painter.touched();

    // Underline and strike-out: bars along the baseline, as long as the
    // advances, cut to the part that can reach the bitmap.
    const long long ox = std::llround(bx), oy = std::llround(by);
    double nearest = std::numeric_limits<double>::infinity(), farthest = -nearest;
    for (double cx : {0.0, double(bm.width)}) {
        for (double cy : {0.0, double(bm.height)}) {
            double along = (cx - double(ox)) * cos_ - (cy - double(oy)) * sin_;
            nearest = std::min(nearest, along);
            farthest = std::max(farthest, along);
        }
    }
    const FaceInfo& in = face_->info();
    auto bar = [&](int position, int thickness) {
        const LONG top = roundPixels(position * scale_);
        const LONG bottom =
            saturate((long long)top - std::max<LONG>(1, roundPixels(thickness * scale_)));
        const double pad = std::max(std::abs(double(top)), std::abs(double(bottom))) + 1;
        const double from = std::max(0.0, std::floor(nearest - pad));
        const double to = std::min(double(total), std::ceil(farthest + pad));
        if (from >= to)
            return;
        Glyph g;
        const double corners[4][2] = {
            {from, double(bottom)}, {to, double(bottom)}, {to, double(top)}, {from, double(top)}};
        for (const auto& c : corners) {
            g.outline.points.push_back({FT_Pos(std::llround((c[0] * cos_ - c[1] * sin_) * 64)),
                                        FT_Pos(std::llround((c[0] * sin_ + c[1] * cos_) * 64))});
            g.outline.tags.push_back(FT_CURVE_TAG_ON);
        }
        g.outline.contours.push_back(3);
        setBox(g);
        painter.paint(g, ox, oy);
    };
    if (underline_)
        bar(in.underlinePosition, in.underlineThickness);
    if (strikeout_)
        bar(in.strikeoutPosition, in.strikeoutThickness);
    return painter.touched();
}

}  // namespace win::font
