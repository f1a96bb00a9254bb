#include "engine/render/raster/coverage_bitmap.h"

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

#include "engine/render/raster/output_device.h"
#include "engine/render/raster/raster_settings.h"
#include "platform/gdi/gdi.h"

#include <algorithm>

namespace vistrel {

bool CoverageBitmap::validSize(int width, int height) {
    return width >= 0 && height >= 0 && std::int64_t(width) * height <= kMaxBytes;
}

namespace {

// n zeroed bytes (at least one), or null when memory runs out.
std::unique_ptr<std::uint8_t[]> newBytes(std::int64_t n) {
    try {
        return std::make_unique<std::uint8_t[]>(std::size_t(n > 0 ? n : 1));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

CoverageBitmap::CoverageBitmap(int width, int height) {
    if (!validSize(width, height))
        return;
    std::int64_t n = std::int64_t(width) * height;
    buffer_ = newBytes(n);
    if (!buffer_)
        return;
    capacity_ = n;
    width_ = width;
    height_ = height;
}

CoverageBitmap::~CoverageBitmap() = default;

std::unique_ptr<DrawableBase> CoverageBitmap::clone() const {
    auto b = std::make_unique<CoverageBitmap>(width_, height_);
    if (b && b->buffer_ && buffer_)
        std::memcpy(b->buffer_.get(), buffer_.get(), std::size_t(width_) * height_);
    return b;
}

bool CoverageBitmap::Resize(int width, int height) {
    if (!validSize(width, height))
        return false;
    std::int64_t n = std::int64_t(width) * height;
    if (n > capacity_ || !buffer_) {
        buffer_ = newBytes(n);
        if (!buffer_) {
            capacity_ = 0;
            width_ = height_ = 0;
            return false;
        }
        capacity_ = n;
    }
    width_ = width;
    height_ = height;
    return true;
}

std::uint64_t CoverageBitmap::compositeWork() const {
    const std::uint64_t rows = std::uint64_t(std::max(height_, 0));
    return WorkMeter::paintWork(rows, 0) +
           WorkMeter::kGlyphPixelWork * std::uint64_t(std::max(width_, 0)) * rows;
}

bool CoverageBitmap::Composite(IntPoint position, OutputDevice& device) {
    if (!device.chargeWork(compositeWork()))
        return true;
    return CompositePlain(position, device);
}

bool CoverageBitmap::CompositePlain(IntPoint p, OutputDevice& device) {
    if (!buffer_)
        return false;
    const std::uint32_t kr = color_ & 0xFF, kg = (color_ >> 8) & 0xFF, kb = (color_ >> 16) & 0xFF;
    const std::uint8_t* cov = buffer_.get();
    for (int row = 0; row < height_; ++row) {
        for (int col = 0; col < width_; ++col) {
            std::uint32_t c = *cov++;
            if (c == 0)
                continue;
            int x = clampCoord(std::int64_t(p.x) + col), y = clampCoord(std::int64_t(p.y) + row);
            if (c > 250) {
                device.SetPixel(x, y, color_);
                continue;
            }
            std::uint32_t b = readBackground_ ? device.GetPixelValue(x, y) : background_;
            std::uint32_t r = blendChannel(b & 0xFF, kr, c);
            std::uint32_t g = blendChannel((b >> 8) & 0xFF, kg, c);
            std::uint32_t bl = blendChannel((b >> 16) & 0xFF, kb, c);
            device.SetPixel(x, y, r | (g << 8) | (bl << 16));
        }
    }
    return true;
}

}  // namespace vistrel

// ---- the shared DIB kind ---------------------------------------------------

namespace vistrel {

namespace {

// The blend of every page value d toward one colour value k by every
// coverage c, at [c << 8 | d]: d for 0, k above 250. The tables of the last
// few colour values are kept (text mostly comes in one colour); null when
// memory runs out.
const std::uint8_t* blendTable(std::uint8_t k) {
    constexpr int kKept = 8;
    struct Table {
        std::unique_ptr<std::uint8_t[]> values;
        std::uint8_t k = 0;
    };
    static Table tables[kKept];
    static int next = 0;
    for (const Table& t : tables) {
        if (t.values && t.k == k)
            return t.values.get();
    }
    Table& t = tables[next];
    next = (next + 1) % kKept;
    if (!t.values)
        t.values = newBytes(256 * 256);
    if (!t.values)
        return nullptr;
    t.k = k;
    for (std::uint32_t c = 0; c < 256; ++c) {
        for (std::uint32_t d = 0; d < 256; ++d)
            t.values[c << 8 | d] = std::uint8_t(c == 0 ? d : c > 250 ? k : blendChannel(d, k, c));
    }
    return t.values.get();
}

// Blends n pixels of Bytes bytes (blue, green, red and, for 4, a byte
// cleared) by their coverage. The tables give the page value itself for no
// coverage, so every pixel goes through them: a branch on the coverage
// would be mispredicted at every edge of a glyph.
template <int Bytes>
void blendPixels(std::uint8_t* d, const std::uint8_t* cov, std::size_t n, const std::uint8_t* blue,
                 const std::uint8_t* green, const std::uint8_t* red) {
    for (const std::uint8_t* end = cov + n; cov != end; ++cov, d += Bytes) {
        const std::size_t c = std::size_t(*cov) << 8;
        d[0] = blue[c | d[0]];
        d[1] = green[c | d[1]];
        d[2] = red[c | d[2]];
        if constexpr (Bytes == 4)
            d[3] = 0;
    }
}

#if defined(__SSE2__)
// Sixteen page bytes d blended toward the colour bytes k by the coverage
// bytes c, to the tables' values: d - (d - k) x c / 255 (the quotient cut
// toward zero) up to a coverage of 250, k above.
inline __m128i blendBytes(__m128i d, __m128i k, __m128i c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i kAbove = _mm_subs_epu8(k, d);
    const __m128i diff = _mm_or_si128(_mm_subs_epu8(d, k), kAbove);
    const __m128i down = _mm_cmpeq_epi8(kAbove, zero);
    // |d - k| x c / 255 in 16 bits: x / 255 is (x + 1 + x / 256) / 256 for
    // x up to 255 x 255.
    const __m128i one = _mm_set1_epi16(1);
    __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(diff, zero), _mm_unpacklo_epi8(c, zero));
    __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(diff, zero), _mm_unpackhi_epi8(c, zero));
    lo = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(lo, one), _mm_srli_epi16(lo, 8)), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(hi, one), _mm_srli_epi16(hi, 8)), 8);
    const __m128i q = _mm_packus_epi16(lo, hi);
    const __m128i toward = _mm_or_si128(_mm_and_si128(down, _mm_sub_epi8(d, q)),
                                        _mm_andnot_si128(down, _mm_add_epi8(d, q)));
    const __m128i partial = _mm_cmpeq_epi8(_mm_subs_epu8(c, _mm_set1_epi8(char(250))), zero);
    return _mm_or_si128(_mm_and_si128(partial, toward), _mm_andnot_si128(partial, k));
}

// The first m (up to 8) coverage values from cov, the others zero.
std::uint64_t firstCoverage(const std::uint8_t* cov, std::size_t m) {
    std::uint64_t values = 0;
    for (std::size_t j = 0; j < m; ++j)
        values |= std::uint64_t(cov[j]) << (8 * j);
    return values;
}

// Four 4-byte pixels at a time. The last of a row, when the pixel memory
// (up to `end`) reaches 16 bytes on, go through one load and store too: the
// pixels past the row get no coverage and keep their fourth byte, which
// leaves them as they were.
void blendRow4(std::uint8_t* d, const std::uint8_t* cov, std::size_t n, const std::uint8_t* end,
               const std::uint8_t* blue, const std::uint8_t* green, const std::uint8_t* red) {
    const std::uint32_t kb = blue[255 << 8], kg = green[255 << 8], kr = red[255 << 8];
    const __m128i k = _mm_set1_epi32(int(kb | kg << 8 | kr << 16));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        std::uint32_t four;
        std::memcpy(&four, cov + i, sizeof four);
        const __m128i c8 = _mm_cvtsi32_si128(int(four));
        const __m128i c16 = _mm_unpacklo_epi8(c8, c8);
        const __m128i c = _mm_unpacklo_epi16(c16, c16);
        auto* p = reinterpret_cast<__m128i*>(d + i * 4);
        _mm_storeu_si128(p, _mm_and_si128(blendBytes(_mm_loadu_si128(p), k, c), colour));
    }
    if (i < n && d + i * 4 + 16 <= end) {
        const std::size_t m = n - i;
        const __m128i c8 = _mm_cvtsi32_si128(int(firstCoverage(cov + i, m)));
        const __m128i c16 = _mm_unpacklo_epi8(c8, c8);
        const __m128i c = _mm_unpacklo_epi16(c16, c16);
        const __m128i inRow = _mm_cmpgt_epi32(_mm_set1_epi32(int(m)), _mm_setr_epi32(0, 1, 2, 3));
        const __m128i keep = _mm_or_si128(colour, _mm_andnot_si128(inRow, _mm_set1_epi32(-1)));
        auto* p = reinterpret_cast<__m128i*>(d + i * 4);
        _mm_storeu_si128(p, _mm_and_si128(blendBytes(_mm_loadu_si128(p), k, c), keep));
        return;
    }
    blendPixels<4>(d + i * 4, cov + i, n - i, blue, green, red);
}

// Sixteen 3-byte pixels at a time: the coverage spread over their 48 bytes
// by byte shuffles. The last of a row go five at a time through one 16-byte
// load and store while the pixel memory (up to `end`) reaches that far: the
// bytes past them get no coverage, which leaves them as they were.
__attribute__((target("ssse3"))) void blendRow3Shuffled(std::uint8_t* d, const std::uint8_t* cov,
                                                        std::size_t n, const std::uint8_t* end,
                                                        const std::uint8_t* blue,
                                                        const std::uint8_t* green,
                                                        const std::uint8_t* red) {
    // The colour's three bytes, repeated from each of them: built in
    // registers, as a pattern made byte by byte in memory would be read
    // back at a stall for every row.
    const __m128i k =
        _mm_cvtsi32_si128(int(std::uint32_t(blue[255 << 8]) | std::uint32_t(green[255 << 8]) << 8 |
                              std::uint32_t(red[255 << 8]) << 16));
    const __m128i k0 =
        _mm_shuffle_epi8(k, _mm_setr_epi8(0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0));
    const __m128i k1 =
        _mm_shuffle_epi8(k, _mm_setr_epi8(1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1));
    const __m128i k2 =
        _mm_shuffle_epi8(k, _mm_setr_epi8(2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2));
    const __m128i s0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i s1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i s2 =
        _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cov + i));
        auto* p = reinterpret_cast<__m128i*>(d + i * 3);
        _mm_storeu_si128(p, blendBytes(_mm_loadu_si128(p), k0, _mm_shuffle_epi8(c, s0)));
        _mm_storeu_si128(p + 1, blendBytes(_mm_loadu_si128(p + 1), k1, _mm_shuffle_epi8(c, s1)));
        _mm_storeu_si128(p + 2, blendBytes(_mm_loadu_si128(p + 2), k2, _mm_shuffle_epi8(c, s2)));
    }
    // The rest, up to fifteen pixels, as up to three runs of five, each
    // through one 16-byte load and store: all loaded before any is stored,
    // since a load overlapping an earlier store waits for it. Each run's
    // sixteenth byte, the next run's first, gets no coverage and is written
    // back as it was before that run stores its own.
    const std::size_t rest = n - i;
    if (rest == 0)
        return;
    const std::size_t runs = (rest + 4) / 5;
    std::uint8_t* t = d + i * 3;
    if (t + 15 * (runs - 1) + 16 <= end) {
        std::uint64_t low, high = 0;
        if (rest >= 8) {
            std::memcpy(&low, cov + i, sizeof low);
            high = firstCoverage(cov + i + 8, rest - 8);
        } else {
            low = firstCoverage(cov + i, rest);
        }
        const __m128i c = _mm_set_epi64x(std::int64_t(high), std::int64_t(low));
        const char z = char(0x80);
        const __m128i s5 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, z);
        const __m128i s10 = _mm_setr_epi8(5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, z);
        const __m128i s15 =
            _mm_setr_epi8(10, 10, 10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, z);
        auto* p0 = reinterpret_cast<__m128i*>(t);
        auto* p1 = reinterpret_cast<__m128i*>(t + 15);
        auto* p2 = reinterpret_cast<__m128i*>(t + 30);
        const __m128i v0 = _mm_loadu_si128(p0);
        const __m128i v1 = runs >= 2 ? _mm_loadu_si128(p1) : v0;
        const __m128i v2 = runs >= 3 ? _mm_loadu_si128(p2) : v0;
        _mm_storeu_si128(p0, blendBytes(v0, k0, _mm_shuffle_epi8(c, s5)));
        if (runs >= 2)
            _mm_storeu_si128(p1, blendBytes(v1, k0, _mm_shuffle_epi8(c, s10)));
        if (runs >= 3)
            _mm_storeu_si128(p2, blendBytes(v2, k0, _mm_shuffle_epi8(c, s15)));
        return;
    }
    blendPixels<3>(d + i * 3, cov + i, n - i, blue, green, red);
}
#endif

template <int Bytes>
void blendRow(std::uint8_t* d, const std::uint8_t* cov, std::size_t n,
              [[maybe_unused]] const std::uint8_t* end, const std::uint8_t* blue,
              const std::uint8_t* green, const std::uint8_t* red) {
#if defined(__SSE2__)
    if constexpr (Bytes == 4) {
        blendRow4(d, cov, n, end, blue, green, red);
        return;
    } else {
        static const bool shuffles = __builtin_cpu_supports("ssse3");
        if (shuffles) {
            blendRow3Shuffled(d, cov, n, end, blue, green, red);
            return;
        }
    }
#endif
    blendPixels<Bytes>(d, cov, n, blue, green, red);
}

struct SharedDib {
    win::HDC dc;
    struct {
        win::BITMAPINFOHEADER header;
        win::RGBQUAD colors[256];
    } info{};
    win::HBITMAP section;
    win::HGDIOBJ oldBitmap;
    std::uint8_t* bits = nullptr;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;
    int live = 0;

    // Makes the context and a section of at least w x h (growing only).
    bool ensure(int w, int h) {
        if (!dc)
            dc = win::CreateCompatibleDC(nullptr);
        if (!dc)
            return false;
        if (section && width >= w && height >= h)
            return true;
        if (section) {
            win::SelectObject(dc, oldBitmap);
            win::DeleteObject(section);
            section = nullptr;
            bits = nullptr;
            w = std::max(w, width);
            h = std::max(h, height);
        }
        w = std::max(w, 1);
        h = std::max(h, 1);
        info.header = {sizeof(win::BITMAPINFOHEADER), w, -h, 1, 24, win::BI_RGB, 0, 100, 100, 0, 0};
        for (int i = 0; i < 256; ++i)
            info.colors[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
        void* p = nullptr;
        section = win::CreateDIBSection(nullptr, reinterpret_cast<const win::BITMAPINFO*>(&info),
                                        win::DIB_RGB_COLORS, &p, nullptr, 0);
        if (!section) {
            width = height = 0;
            return false;
        }
        bits = static_cast<std::uint8_t*>(p);
        width = w;
        height = h;
        stride = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
        win::HGDIOBJ prev = win::SelectObject(dc, section);
        if (!oldBitmap)
            oldBitmap = prev;
        return true;
    }

    void release() {
        if (dc) {
            if (section)
                win::SelectObject(dc, oldBitmap);
            win::DeleteDC(dc);
        }
        if (section)
            win::DeleteObject(section);
        dc = nullptr;
        section = nullptr;
        oldBitmap = nullptr;
        bits = nullptr;
        width = height = 0;
        stride = 0;
    }
};

SharedDib gShared;

}  // namespace

DibCoverageBitmap::DibCoverageBitmap(int width, int height) : CoverageBitmap(width, height) {
    if (!buffer_)
        return;
    counted_ = true;
    ++gShared.live;
    gShared.ensure(width, height);
}

DibCoverageBitmap::~DibCoverageBitmap() {
    if (counted_ && --gShared.live == 0)
        gShared.release();
}

bool DibCoverageBitmap::isUsable() const {
    return buffer_ && gShared.bits;
}

std::unique_ptr<DrawableBase> DibCoverageBitmap::clone() const {
    auto b = std::make_unique<DibCoverageBitmap>(width_, height_);
    if (b && b->buffer_ && buffer_)
        std::memcpy(b->buffer_.get(), buffer_.get(), std::size_t(width_) * height_);
    return b;
}

bool DibCoverageBitmap::Resize(int width, int height) {
    if (!CoverageBitmap::Resize(width, height))
        return false;
    if (!counted_) {
        counted_ = true;
        ++gShared.live;
    }
    gShared.ensure(width, height);
    return true;
}

IntPoint DibCoverageBitmap::sharedSize() {
    return IntPoint(gShared.width, gShared.height);
}

int DibCoverageBitmap::liveCount() {
    return gShared.live;
}

bool DibCoverageBitmap::CompositeInPlace(IntPoint p, win::HDC page, const std::uint8_t* blue,
                                         const std::uint8_t* green, const std::uint8_t* red) {
    win::DIBSECTION ds{};
    const win::HGDIOBJ pageBitmap = win::GetCurrentObject(page, win::OBJ_BITMAP);
    if (win::GetObject(pageBitmap, sizeof ds, &ds) != int(sizeof ds) || !ds.dsBm.bmBits ||
        (ds.dsBm.bmBitsPixel != 24 && ds.dsBm.bmBitsPixel != 32)) {
        return false;
    }
    win::RECT visible;
    const int region = win::GetClipBox(page, &visible);
    if (region == win::NULLREGION)
        return true;
    if (region != win::SIMPLEREGION)
        return false;
    // The block's part that the copy back would reach: every pixel of it
    // is blended in place, and a 32-bit page gets its fourth byte cleared
    // there, as the copies through the section would leave it.
    const std::int64_t x0 = std::max<std::int64_t>(p.x, visible.left);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t(p.x) + width_, visible.right);
    const std::int64_t y0 = std::max<std::int64_t>(p.y, visible.top);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t(p.y) + height_, visible.bottom);
    if (x0 >= x1 || y0 >= y1)
        return true;
    // Written past the bitmap's own drawing calls: the block is added to
    // what the bitmap records as changed.
    const win::RECT block{win::LONG(x0), win::LONG(y0), win::LONG(x1), win::LONG(y1)};
    win::AddBitmapChange(win::HBITMAP(pageBitmap), &block);
    const std::size_t bytes = ds.dsBm.bmBitsPixel / 8;
    auto* bits = static_cast<std::uint8_t*>(ds.dsBm.bmBits);
    const bool topDown = ds.dsBmih.biHeight < 0;
    const std::uint8_t* end =
        bits + std::size_t(ds.dsBm.bmHeight) * std::size_t(ds.dsBm.bmWidthBytes);
    const auto rowStart = [&](std::int64_t y) {
        const std::int64_t row = topDown ? y : ds.dsBm.bmHeight - 1 - y;
        return bits + std::size_t(row) * std::size_t(ds.dsBm.bmWidthBytes) +
               std::size_t(x0) * bytes;
    };
    // The block's rows lie a page row apart, beyond what the processor
    // fetches ahead by itself: all of them are asked for first, so that
    // their misses overlap.
    const std::size_t last = std::size_t(x1 - x0) * bytes - 1;
    for (std::int64_t y = y0; y < y1; ++y) {
        const std::uint8_t* d = rowStart(y);
        __builtin_prefetch(d, 1);
        __builtin_prefetch(d + last, 1);
    }
    for (std::int64_t y = y0; y < y1; ++y) {
        std::uint8_t* d = rowStart(y);
        const std::uint8_t* cov =
            buffer_.get() + std::size_t(y - p.y) * std::size_t(width_) + std::size_t(x0 - p.x);
        const std::size_t n = std::size_t(x1 - x0);
        if (bytes == 4)
            blendRow<4>(d, cov, n, end, blue, green, red);
        else
            blendRow<3>(d, cov, n, end, blue, green, red);
    }
    return true;
}

bool DibCoverageBitmap::Composite(IntPoint p, OutputDevice& device) {
    if (!device.chargeWork(compositeWork()))
        return true;
    const IntegerSetting& method = device.coverageMethod();
    if ((method.present && method.value == 0) || !method.knownKind)
        return CompositePlain(p, device);
    if (!buffer_ || !gShared.ensure(width_, height_))
        return false;
    const std::uint8_t kr = color_ & 0xFF, kg = (color_ >> 8) & 0xFF, kb = (color_ >> 16) & 0xFF;
    const std::uint8_t* blue = blendTable(kb);
    const std::uint8_t* green = blendTable(kg);
    const std::uint8_t* red = blendTable(kr);
    if (!blue || !green || !red)
        return false;
    win::HDC page = win::HDC::fromValue(device.deviceHandle());
    // A page whose pixels can be reached, clipped to one rectangle, takes
    // the glyph straight; others through the shared section.
    if (CompositeInPlace(p, page, blue, green, red))
        return true;
    win::BitBlt(gShared.dc, 0, 0, width_, height_, page, p.x, p.y, win::SRCCOPY);
    const std::uint8_t* cov = buffer_.get();
    for (int row = 0; row < height_; ++row) {
        std::uint8_t* d = gShared.bits + std::size_t(row) * gShared.stride;
        for (int col = 0; col < width_; ++col, d += 3) {
            const std::size_t c = *cov++;
            if (c == 0)
                continue;
            d[0] = blue[c << 8 | d[0]];
            d[1] = green[c << 8 | d[1]];
            d[2] = red[c << 8 | d[2]];
        }
    }
    win::BitBlt(page, p.x, p.y, width_, height_, gShared.dc, 0, 0, win::SRCCOPY);
    return true;
}

}  // namespace vistrel
