#include "viewer/components/colour_reduction.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "viewer/components/graphic_errors.h"
#include "viewer/components/message_service.h"

namespace brevant {
namespace {

constexpr Rgb kUnusedEntry{128, 128, 128};

Bitmap indexedResult(int w, int h) {
    Bitmap out(w, h, 8);
    out.palette().assign(256, kUnusedEntry);
    return out;
}

// Nearest of n evenly spread levels of 0..255, as a level number.
int levelOf(int v, int levels) {
    return (v * (levels - 1) + 127) / 255;
}

Bitmap truncate(const Bitmap& src, int rl, int gl, int bl) {
    Bitmap out = indexedResult(src.width(), src.height());
    auto level = [](int i, int n) { return std::uint8_t((i * 255 * 2 + (n - 1)) / (2 * (n - 1))); };
    for (int r = 0; r < rl; ++r)
        for (int g = 0; g < gl; ++g)
            for (int b = 0; b < bl; ++b)
                out.palette()[(std::size_t(r) * gl + g) * bl + b] =
                    Rgb{level(r, rl), level(g, gl), level(b, bl)};
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            Rgb c = src.pixel(x, y);
            out.setIndex(x, y,
                         std::uint32_t(levelOf(c.r, rl) * gl * bl + levelOf(c.g, gl) * bl +
                                       levelOf(c.b, bl)));
        }
    return out;
}

Bitmap tripel(const Bitmap& src) {
    Bitmap out = indexedResult(src.width(), src.height());
    for (int i = 0; i < 64; ++i) {
        std::uint8_t v = std::uint8_t(4 * i);
        out.palette()[std::size_t(i)] = {v, 0, 0};
        out.palette()[64 + std::size_t(i)] = {0, v, 0};
        out.palette()[128 + std::size_t(i)] = {0, 0, v};
    }
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            Rgb c = src.pixel(x, y);
            switch ((x + y) % 3) {
                case 0:
                    out.setIndex(x, y, c.r / 4u);
                    break;
                case 1:
                    out.setIndex(x, y, 64 + c.g / 4u);
                    break;
                default:
                    out.setIndex(x, y, 128 + c.b / 4u);
                    break;
            }
        }
    return out;
}

Bitmap grey(const Bitmap& src) {
    Bitmap out = indexedResult(src.width(), src.height());
    for (int i = 0; i < 256; ++i)
        out.palette()[std::size_t(i)] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            Rgb c = src.pixel(x, y);
            out.setIndex(x, y, (77u * c.r + 150u * c.g + 29u * c.b) >> 8);
        }
    return out;
}

// Histogram: distinct colours counted in an open-addressed table of 5191
// slots. Past 2049 colours one channel loses its lowest kept bit (blue first,
// the channel the eye resolves least, then red, then green) and the count
// starts again.
constexpr int kHistogramSlots = 5191;
constexpr int kHistogramMaxColours = 2049;

struct HistogramSlot {
    bool used = false;
    Rgb colour;
    std::uint32_t count = 0;
    int entry = 0;  // palette entry the colour maps to
};

int histogramHash(Rgb c) {
    return int((std::uint32_t(c.r + c.g) * std::uint32_t(c.b + c.g) * std::uint32_t(c.r + c.b)) %
               kHistogramSlots);
}

int findSlot(const std::vector<HistogramSlot>& histogram, Rgb c) {
    int i = histogramHash(c);
    while (histogram[std::size_t(i)].used && !(histogram[std::size_t(i)].colour == c))
        i = i == kHistogramSlots - 1 ? 0 : i + 1;
    return i;
}

}  // namespace

Bitmap reduceByHistogram(const Bitmap& src, int colours) {
    colours = std::clamp(colours, 1, 256);
    std::array<std::uint8_t, 3> masks{255, 255, 255};  // red, green, blue
    const std::array<int, 3> turnOrder{2, 0, 1};
    int turn = 0;
    std::vector<HistogramSlot> histogram;
    for (;;) {
        histogram.assign(kHistogramSlots, {});
        int distinct = 0;
        bool overflow = false;
        for (int y = 0; y < src.height() && !overflow; ++y)
            for (int x = 0; x < src.width(); ++x) {
                Rgb c = src.pixel(x, y);
                c = {std::uint8_t(c.r & masks[0]), std::uint8_t(c.g & masks[1]),
                     std::uint8_t(c.b & masks[2])};
                HistogramSlot& s = histogram[std::size_t(findSlot(histogram, c))];
                if (!s.used) {
                    if (distinct == kHistogramMaxColours) {
                        overflow = true;
                        break;
                    }
                    s.used = true;
                    s.colour = c;
                    ++distinct;
                }
                ++s.count;
            }
        if (!overflow)
            break;
        std::uint8_t& m = masks[std::size_t(turnOrder[std::size_t(turn)])];
        m = std::uint8_t(m << 1);
        turn = (turn + 1) % 3;
    }

    std::vector<int> order;
    for (int i = 0; i < kHistogramSlots; ++i)
        if (histogram[std::size_t(i)].used)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return histogram[std::size_t(a)].count > histogram[std::size_t(b)].count;
    });
    Bitmap out = indexedResult(src.width(), src.height());
    std::vector<Rgb> table;
    for (std::size_t i = 0; i < order.size() && i < std::size_t(colours); ++i)
        table.push_back(histogram[std::size_t(order[i])].colour);
    std::copy(table.begin(), table.end(), out.palette().begin());
    for (int i : order)
        histogram[std::size_t(i)].entry = nearestIndex(table, histogram[std::size_t(i)].colour);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            Rgb c = src.pixel(x, y);
            c = {std::uint8_t(c.r & masks[0]), std::uint8_t(c.g & masks[1]),
                 std::uint8_t(c.b & masks[2])};
            out.setIndex(x, y, std::uint32_t(histogram[std::size_t(findSlot(histogram, c))].entry));
        }
    return out;
}

namespace {

// Median cut over the 4096 cells of 4-bit channels.
struct CutBox {
    std::vector<int> cells;
    std::uint64_t total = 0;
    std::array<int, 3> lo{}, hi{};
};

int cellChannel(int cell, int axis) {
    return (cell >> (8 - 4 * axis)) & 15;
}

Bitmap medianCut(const Bitmap& src, int wanted) {
    std::vector<std::uint32_t> counts(4096, 0);
    std::vector<std::uint16_t> cellOf(std::size_t(src.width()) * std::size_t(src.height()));
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            Rgb c = src.pixel(x, y);
            int cell = (c.r >> 4) * 256 + (c.g >> 4) * 16 + (c.b >> 4);
            ++counts[std::size_t(cell)];
            cellOf[std::size_t(y) * std::size_t(src.width()) + std::size_t(x)] =
                std::uint16_t(cell);
        }
    std::vector<CutBox> boxes(1);
    boxes[0].lo = {15, 15, 15};
    for (int cell = 0; cell < 4096; ++cell) {
        if (!counts[std::size_t(cell)])
            continue;
        CutBox& b = boxes[0];
        b.cells.push_back(cell);
        b.total += counts[std::size_t(cell)];
        for (int a = 0; a < 3; ++a) {
            b.lo[std::size_t(a)] = std::min(b.lo[std::size_t(a)], cellChannel(cell, a));
            b.hi[std::size_t(a)] = std::max(b.hi[std::size_t(a)], cellChannel(cell, a));
        }
    }
    if (boxes[0].cells.empty())
        boxes.clear();
    while (int(boxes.size()) < wanted) {
        int pick = -1, axis = 0, extent = -1;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].cells.size() < 2)
                continue;
            for (int a = 0; a < 3; ++a) {
                int e = boxes[i].hi[std::size_t(a)] - boxes[i].lo[std::size_t(a)];
                if (e > extent) {
                    extent = e;
                    pick = int(i);
                    axis = a;
                }
            }
        }
        if (pick < 0)
            break;
        CutBox& b = boxes[std::size_t(pick)];
        // Cells with equal values on the axis keep their cell order, so the
        // cut does not depend on the sort.
        std::sort(b.cells.begin(), b.cells.end(), [axis](int p, int q) {
            int vp = cellChannel(p, axis), vq = cellChannel(q, axis);
            return vp != vq ? vp < vq : p < q;
        });
        std::uint64_t running = 0;
        std::size_t cut = 0;
        while (cut + 1 < b.cells.size()) {
            running += counts[std::size_t(b.cells[cut])];
            ++cut;
            if (running * 2 > b.total)
                break;
        }
        CutBox upper;
        upper.cells.assign(b.cells.begin() + std::ptrdiff_t(cut), b.cells.end());
        b.cells.resize(cut);
        for (int c : upper.cells)
            upper.total += counts[std::size_t(c)];
        b.total -= upper.total;
        upper.lo = b.lo;
        upper.hi = b.hi;
        b.hi[std::size_t(axis)] = cellChannel(b.cells.back(), axis);
        upper.lo[std::size_t(axis)] = cellChannel(upper.cells.front(), axis);
        boxes.push_back(std::move(upper));
    }

    Bitmap out(src.width(), src.height(), 8);
    out.palette().assign(256, Rgb{0, 0, 0});
    std::vector<std::uint8_t> boxOfCell(4096, 0);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        std::array<int, 3> sum{};
        for (int c : boxes[i].cells) {
            for (int a = 0; a < 3; ++a)
                sum[std::size_t(a)] += cellChannel(c, a);
            boxOfCell[std::size_t(c)] = std::uint8_t(i);
        }
        int n = int(boxes[i].cells.size());
        std::array<int, 3> v{};
        for (int a = 0; a < 3; ++a)
            v[std::size_t(a)] = (sum[std::size_t(a)] * 16 + 15) / n;
        if (v[0] <= 16 && v[1] <= 16 && v[2] <= 16)
            v = {0, 0, 0};
        out.palette()[i] = {std::uint8_t(v[0]), std::uint8_t(v[1]), std::uint8_t(v[2])};
    }
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            out.setIndex(
                x, y,
                boxOfCell[cellOf[std::size_t(y) * std::size_t(src.width()) + std::size_t(x)]]);
    return out;
}

// Maps every pixel to the nearest of a fixed table (the depth's default
// table when the bitmap brings too few colours).
Bitmap mapToTable(const Bitmap& src, int bpp) {
    std::size_t n = std::size_t(1) << bpp;
    std::vector<Rgb> table;
    if (src.bitsPerPixel() <= 8 && src.palette().size() >= n) {
        table.assign(src.palette().begin(), src.palette().begin() + std::ptrdiff_t(n));
    } else if (bpp == 1) {
        table = {{0, 0, 0}, {255, 255, 255}};
    } else {
        table = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                 {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                 {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                 {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    }
    Bitmap out(src.width(), src.height(), bpp);
    out.palette() = table;
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            out.setIndex(x, y, std::uint32_t(nearestIndex(table, src.pixel(x, y))));
    return out;
}

}  // namespace

Bitmap reduceColours(const Bitmap& src, ReductionMethod method) {
    switch (method) {
        case ReductionMethod::Histogram:
            return reduceByHistogram(src, 256);
        case ReductionMethod::Quantize:
            return medianCut(src, 256);
        case ReductionMethod::Truncate784:
            return truncate(src, 7, 8, 4);
        case ReductionMethod::Truncate666:
            return truncate(src, 6, 6, 6);
        case ReductionMethod::Tripel:
            return tripel(src);
        case ReductionMethod::Grey:
            return grey(src);
    }
    return grey(src);
}

Bitmap convertToDib(const Bitmap& src, int bitsPerPixel, ReductionMethod method) {
    if (src.empty())
        throw InvalidGraphic("Bitmap image is not valid");
    if (src.bitsPerPixel() == bitsPerPixel && method != ReductionMethod::Grey)
        return src;
    Bitmap out;
    if (bitsPerPixel == 1 || bitsPerPixel == 4)
        out = mapToTable(src, bitsPerPixel);
    else if (bitsPerPixel == 8)
        out = reduceColours(src, method);
    else
        notImplemented();
    out.transparent = src.transparent;
    out.transparentColour = src.transparentColour;
    return out;
}

Bytes bitmapToDibFile(const Bitmap& src, int bitsPerPixel, ReductionMethod method) {
    return writeBmpFile(convertToDib(src, bitsPerPixel, method));
}

int bitsForColours(int colours) {
    if (colours <= 2)
        return 1;
    if (colours <= 16)
        return 4;
    if (colours <= 256)
        return 8;
    return 24;
}

Bitmap convertForColours(const Bitmap& src, int colours) {
    return convertToDib(src, bitsForColours(colours), kDefaultReduction);
}

}  // namespace brevant
