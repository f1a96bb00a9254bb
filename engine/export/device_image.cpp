#include "engine/export/device_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VISTREL_MAP_VECTORS 1
#include <immintrin.h>
#else
#define VISTREL_MAP_VECTORS 0
#endif

namespace vistrel {

const std::array<PreviewColor, 16> kPreview16 = {{
    {0, 0, 0},
    {8, 8, 0},
    {16, 16, 8},
    {24, 28, 16},
    {33, 36, 24},
    {41, 44, 24},
    {49, 56, 33},
    {57, 65, 41},
    {66, 83, 49},
    {74, 85, 49},
    {82, 93, 57},
    {90, 101, 66},
    {99, 113, 74},
    {107, 121, 74},
    {115, 130, 82},
    {123, 140, 99},
}};

const std::array<PreviewColor, 4> kPreview4 = {{
    {123, 140, 90},
    {82, 94, 60},
    {41, 47, 30},
    {0, 0, 0},
}};

namespace {

#if defined(__SSE2__)
// How far ahead of the pixels being read the grey pass asks for theirs: the
// page has left the processor's nearest caches while it was drawn, and the
// prefetcher alone stops at every memory page.
constexpr std::size_t kPrefetchAhead = 1024;
#endif

// The page is worked through in bands of rows copied into a canvas of about
// this many bytes, which stays in the processor's cache.
constexpr std::size_t kBandBytes = 256 * 1024;

// A memory device context compatible with another one (the screen for none)
// holding a top-down 32-bit DIB section of width x rows pixels: 32 bits as
// the page bitmaps the control renders into have, so that copying rows in
// and out moves the bytes as they are.
class Band {
public:
    Band(win::HDC compatibleWith, int32_t width, int32_t rows) {
        dc_ = win::CreateCompatibleDC(compatibleWith);
        if (!dc_)
            return;
        win::BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -rows;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = win::BI_RGB;
        void* bits = nullptr;
        bitmap_ = win::CreateDIBSection(dc_, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_ || !bits)
            return;
        old_ = win::SelectObject(dc_, bitmap_);
        bits_ = static_cast<std::uint8_t*>(bits);
        width_ = width;
        rows_ = rows;
    }
    ~Band() {
        if (old_)
            win::SelectObject(dc_, old_);
        if (bitmap_)
            win::DeleteObject(bitmap_);
        if (dc_)
            win::DeleteDC(dc_);
    }
    Band(const Band&) = delete;
    Band& operator=(const Band&) = delete;

    explicit operator bool() const { return bits_ != nullptr; }
    int32_t rows() const { return rows_; }
    // Pixels of a row: blue, green, red and a byte the copy out leaves 0.
    std::uint8_t* row(int32_t y) const { return bits_ + std::size_t(y) * std::size_t(width_) * 4; }

    // Copies `rows` rows of the page held by source, from row top on, into
    // the band; where the page does not reach, the band is black, as a new
    // bitmap is.
    bool copyIn(win::HDC source, int32_t top, int32_t rows) const {
        std::memset(bits_, 0, std::size_t(rows) * std::size_t(width_) * 4);
        return win::BitBlt(dc_, 0, 0, width_, rows, source, 0, top, win::SRCCOPY) != 0;
    }
    // Shows the first `rows` rows of the band from row top on in target.
    bool copyOut(win::HDC target, int32_t top, int32_t rows) const {
        return win::BitBlt(target, 0, top, width_, rows, dc_, 0, 0, win::SRCCOPY) != 0;
    }

private:
    win::HDC dc_;
    win::HBITMAP bitmap_;
    win::HGDIOBJ old_;
    std::uint8_t* bits_ = nullptr;
    int32_t width_ = 0;
    int32_t rows_ = 0;
};

// The rows of the 32-bit DIB section a device context holds, reached
// straight where a band's copies would move exactly their bytes: the bitmap
// holds every pixel of the page and, for painting, its clip lets every one
// through.
class DirectPixels {
public:
    DirectPixels(win::HDC dc, int32_t width, int32_t height, bool painting) {
        win::DIBSECTION ds{};
        if (win::GetObject(win::GetCurrentObject(dc, win::OBJ_BITMAP), sizeof ds, &ds) !=
                int(sizeof ds) ||
            !ds.dsBm.bmBits || ds.dsBm.bmBitsPixel != 32 || ds.dsBm.bmWidth < width ||
            ds.dsBm.bmHeight < height) {
            return;
        }
        if (painting) {
            win::RECT visible;
            if (win::GetClipBox(dc, &visible) != win::SIMPLEREGION || visible.left > 0 ||
                visible.top > 0 || visible.right < width || visible.bottom < height) {
                return;
            }
        }
        bits_ = static_cast<std::uint8_t*>(ds.dsBm.bmBits);
        stride_ = std::size_t(ds.dsBm.bmWidthBytes);
        topDown_ = ds.dsBmih.biHeight < 0;
        bitmapHeight_ = ds.dsBm.bmHeight;
    }

    explicit operator bool() const { return bits_ != nullptr; }
    std::uint8_t* row(int32_t y) const {
        return bits_ + std::size_t(topDown_ ? y : bitmapHeight_ - 1 - y) * stride_;
    }

private:
    std::uint8_t* bits_ = nullptr;
    std::size_t stride_ = 0;
    bool topDown_ = false;
    int32_t bitmapHeight_ = 0;
};

// The rows of a band for a page of width x height pixels.
int32_t bandRows(int32_t width, int32_t height) {
    const std::size_t rows = std::max<std::size_t>(kBandBytes / (std::size_t(width) * 4), 1);
    return int32_t(std::min<std::size_t>(rows, std::size_t(height)));
}

// Calls work(top, rows) for the bands of `rows` rows of a page of `height`
// rows, top to bottom, as long as it returns true.
template <typename Work>
bool eachBand(int32_t height, int32_t rows, Work work) {
    for (int32_t top = 0; top < height; top += rows) {
        if (!work(top, std::min(rows, height - top)))
            return false;
    }
    return true;
}

inline std::uint32_t weightedSum(const std::uint8_t* bgr) {
    return 306u * bgr[2] + 601u * bgr[1] + 116u * bgr[0];
}

// Eight bytes of one value, and whether eight bytes at p all hold p[0].
constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
inline bool uniform8(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v == p[0] * kEveryByte;
}

#if defined(__SSE2__)
// The 8-bit greys (weightedSum >> 10) of four band pixels, the first in the
// lowest byte: the same sums in 32-bit lanes.
inline std::int32_t grey4(__m128i v) {
    // Blue, green and red of a pixel times their weights in two 32-bit
    // sums (the fourth byte times 0), added in pairs.
    const __m128i weights = _mm_setr_epi16(116, 601, 306, 0, 116, 601, 306, 0);
    const __m128i zero = _mm_setzero_si128();
    const __m128 low = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weights));
    const __m128 high = _mm_castsi128_ps(_mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weights));
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
    __m128i grey = _mm_srli_epi32(_mm_add_epi32(even, odd), 10);
    grey = _mm_packs_epi32(grey, grey);
    grey = _mm_packus_epi16(grey, grey);
    return _mm_cvtsi128_si32(grey);
}

// Whether the eight pixels in a and b all equal the pixel in every lane of
// run.
inline bool allEqual(__m128i a, __m128i b, __m128i run) {
    return _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi32(a, run), _mm_cmpeq_epi32(b, run))) ==
           0xFFFF;
}
#endif

// Counts greys. A page of one colour sends nearly every pixel to one
// counter, and each increment of it would wait for the one before: runs of
// one grey are added up in a register, the other greys go to eight counter
// tables in turn, one for each place of a block of eight pixels (so that no
// two greys of a block wait for each other), summed at the end.
class GreyCounter {
public:
    void addRun(std::uint8_t grey, std::uint32_t n) {
        if (grey != runGrey_) {
            counts_[0][runGrey_] += run_;
            runGrey_ = grey;
            run_ = 0;
        }
        run_ += n;
    }
    void add8(const std::uint8_t* g) {
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k)
            ++counts_[k][g[k]];
    }
    void add(std::uint8_t grey) {
        ++counts_[1][grey];
    }
    // Adds the counts to histogram (as many increments of its counters
    // would: modulo 2^32).
    void addTo(std::uint32_t* histogram) {
        counts_[0][runGrey_] += run_;
        run_ = 0;
        for (std::size_t i = 0; i < 256; ++i)
            histogram[i] += counts_[0][i] + counts_[1][i] + counts_[2][i] + counts_[3][i] +
                            counts_[4][i] + counts_[5][i] + counts_[6][i] + counts_[7][i];
    }

private:
    std::uint32_t counts_[8][256] = {};
    std::uint8_t runGrey_ = 0;
    std::uint32_t run_ = 0;
};

// The 8-bit greys of the rows of a page, counted. Most of a page is one
// colour: pixels equal to the last eight equal pixels met take their grey
// without the sums (at first that of black, pixel 0), sixteen at a time.
class GreyPass {
public:
    void row(const std::uint8_t* px, std::uint8_t* out, int32_t n) {
        int32_t x = 0;
#if VISTREL_MAP_VECTORS
        static const bool wide = __builtin_cpu_supports("avx2");
        if (wide) {
            while (x + 8 <= n)
                x = wideBlocks(px, out, n, x);
        }
#endif
#if defined(__SSE2__)
        while (x + 8 <= n)
            x = blocks(px, out, n, x);
#else
        for (; x + 8 <= n; x += 8) {
            for (int k = 0; k < 8; ++k)
                out[x + k] = std::uint8_t(weightedSum(px + std::size_t(x + k) * 4) >> 10);
            if (uniform8(out + x))
                counter_.addRun(out[x], 8);
            else
                counter_.add8(out + x);
        }
#endif
        for (; x < n; ++x) {
            out[x] = std::uint8_t(weightedSum(px + std::size_t(x) * 4) >> 10);
            counter_.add(out[x]);
        }
    }
    // Counts n pixels of one grey that were not read.
    void addKnown(std::uint8_t grey, std::uint32_t n) {
        counter_.addRun(grey, n);
    }
    void addTo(std::uint32_t* histogram) {
        counter_.addTo(histogram);
    }

private:
#if defined(__SSE2__)
    // The blocks of eight pixels of a row from x on, with the run in
    // registers, until the row's last whole block or a block that starts a
    // new run; returns where it stopped.
    int32_t blocks(const std::uint8_t* px, std::uint8_t* out, int32_t n, int32_t x) {
        const __m128i run = _mm_set1_epi32(std::int32_t(runPixel_));
        const __m128i runGreys = _mm_set1_epi8(char(runGrey_));
        // Pixels equal to the run's since its count was last added.
        std::uint32_t same = 0;
        for (; x + 8 <= n; x += 8) {
            const std::uint8_t* p = px + std::size_t(x) * 4;
            _mm_prefetch(reinterpret_cast<const char*>(p) + kPrefetchAhead, _MM_HINT_T0);
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            if (allEqual(a, b, run)) {
                if (x + 16 <= n &&
                    allEqual(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), run)) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), runGreys);
                    same += 16;
                    x += 8;
                } else {
                    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), runGreys);
                    same += 8;
                }
                continue;
            }
            counter_.addRun(runGrey_, same);
            same = 0;
            const std::int32_t low = grey4(a), high = grey4(b);
            std::memcpy(out + x, &low, 4);
            std::memcpy(out + x + 4, &high, 4);
            if (const __m128i first = _mm_shuffle_epi32(a, 0); allEqual(a, b, first)) {
                runPixel_ = std::uint32_t(_mm_cvtsi128_si32(first));
                runGrey_ = out[x];
                counter_.addRun(runGrey_, 8);
                return x + 8;
            }
            counter_.add8(out + x);
        }
        counter_.addRun(runGrey_, same);
        return x;
    }
#endif

#if VISTREL_MAP_VECTORS
    // As blocks, with the run's pixels compared sixteen at a time and the
    // greys of a block made in one pass.
    __attribute__((target("avx2"))) int32_t wideBlocks(const std::uint8_t* px, std::uint8_t* out,
                                                       int32_t n, int32_t x) {
        const __m256i run = _mm256_set1_epi32(std::int32_t(runPixel_));
        const __m128i runGreys = _mm_set1_epi8(char(runGrey_));
        std::uint32_t same = 0;
        while (x + 8 <= n) {
            const std::uint8_t* p = px + std::size_t(x) * 4;
            _mm_prefetch(reinterpret_cast<const char*>(p) + kPrefetchAhead, _MM_HINT_T0);
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i aRun = _mm256_cmpeq_epi32(a, run);
            if (x + 16 <= n) {
                const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
                if (_mm256_movemask_epi8(_mm256_and_si256(aRun, _mm256_cmpeq_epi32(b, run))) ==
                    -1) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), runGreys);
                    same += 16;
                    x += 16;
                    continue;
                }
            }
            if (_mm256_movemask_epi8(aRun) == -1) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), runGreys);
                same += 8;
                x += 8;
                continue;
            }
            counter_.addRun(runGrey_, same);
            same = 0;
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), grey8(a));
            if (const __m256i first = _mm256_broadcastd_epi32(_mm256_castsi256_si128(a));
                _mm256_movemask_epi8(_mm256_cmpeq_epi32(a, first)) == -1) {
                runPixel_ = std::uint32_t(_mm256_cvtsi256_si32(first));
                runGrey_ = out[x];
                counter_.addRun(runGrey_, 8);
                return x + 8;
            }
            counter_.add8(out + x);
            x += 8;
        }
        counter_.addRun(runGrey_, same);
        return x;
    }

    // The 8-bit greys of eight band pixels in the low eight bytes, the
    // first lowest: grey4's sums, four pixels in each half.
    __attribute__((target("avx2"))) static __m128i grey8(__m256i v) {
        const __m256i weights = _mm256_setr_epi16(116, 601, 306, 0, 116, 601, 306, 0, 116, 601, 306,
                                                  0, 116, 601, 306, 0);
        const __m256i zero = _mm256_setzero_si256();
        const __m256 low =
            _mm256_castsi256_ps(_mm256_madd_epi16(_mm256_unpacklo_epi8(v, zero), weights));
        const __m256 high =
            _mm256_castsi256_ps(_mm256_madd_epi16(_mm256_unpackhi_epi8(v, zero), weights));
        const __m256i even =
            _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m256i odd =
            _mm256_castps_si256(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
        __m256i grey = _mm256_srli_epi32(_mm256_add_epi32(even, odd), 10);
        grey = _mm256_packs_epi32(grey, grey);
        grey = _mm256_packus_epi16(grey, grey);
        return _mm_unpacklo_epi32(_mm256_castsi256_si128(grey), _mm256_extracti128_si256(grey, 1));
    }
#endif

    GreyCounter counter_;
    std::uint32_t runPixel_ = 0;
    std::uint8_t runGrey_ = 0;
};

// A preview colour as the four bytes of a band pixel, the fourth 0 (as a
// copy into a 24-bit bitmap and back leaves it), to be stored at once.
std::uint32_t bandPixel(const PreviewColor& c) {
    const std::uint8_t bytes[4] = {c.blue, c.green, c.red, 0};
    std::uint32_t pixel;
    std::memcpy(&pixel, bytes, 4);
    return pixel;
}

// Packs a row of the device values valueAt(x) of Bits bits (2 or 4), the
// first in the most significant bits of its byte, the unused bits of the
// last byte 0; returns the end of the packed row.
template <int Bits, typename ValueAt>
std::uint8_t* packRow(int32_t width, std::uint8_t* out, ValueAt valueAt) {
    constexpr int kPerByte = 8 / Bits;
    int32_t x = 0;
    for (; x + kPerByte <= width; x += kPerByte) {
        unsigned byte = 0;
        for (int k = 0; k < kPerByte; ++k)
            byte = byte << Bits | valueAt(x + k);
        *out++ = std::uint8_t(byte);
    }
    if (x < width) {
        unsigned byte = 0;
        for (int k = 0; k < kPerByte; ++k)
            byte = byte << Bits | (x + k < width ? valueAt(x + k) : 0u);
        *out++ = std::uint8_t(byte);
    }
    return out;
}

// The 8-bit grey of white, weightedSum(255, 255, 255) >> 10.
constexpr std::uint8_t kWhiteGrey = 254;

// The columns [left, right) and rows [top, bottom) of a page that may differ
// from white: the drawn rectangle clipped to the page, the whole page when
// none is given. Empty (left == right or top == bottom) when nothing may.
struct DrawnArea {
    int32_t left, top, right, bottom;

    DrawnArea(const win::RECT* drawn, int32_t width, int32_t height) {
        if (!drawn) {
            left = top = 0;
            right = width;
            bottom = height;
            return;
        }
        left = int32_t(std::clamp<long long>(drawn->left, 0, width));
        right = int32_t(std::clamp<long long>(drawn->right, left, width));
        top = int32_t(std::clamp<long long>(drawn->top, 0, height));
        bottom = int32_t(std::clamp<long long>(drawn->bottom, top, height));
        if (left == right)
            top = bottom;
    }
    bool holdsRow(int32_t y) const { return y >= top && y < bottom; }
};

// The 8-bit greys of the page held by source into grey, counted in
// histogram when given; pixels outside area are white and not read.
bool greyPage(win::HDC source, int32_t width, int32_t height, std::uint8_t* grey,
              std::uint32_t* histogram, const DrawnArea& area) {
    GreyPass pass;
    // A row of the page whose pixels are px (null when not read).
    const auto greyRow = [&](int32_t y, const std::uint8_t* px, std::uint8_t* out) {
        if (!area.holdsRow(y)) {
            std::memset(out, kWhiteGrey, std::size_t(width));
            pass.addKnown(kWhiteGrey, std::uint32_t(width));
            return;
        }
        std::memset(out, kWhiteGrey, std::size_t(area.left));
        std::memset(out + area.right, kWhiteGrey, std::size_t(width - area.right));
        pass.addKnown(kWhiteGrey, std::uint32_t(width - (area.right - area.left)));
        pass.row(px + std::size_t(area.left) * 4, out + area.left, area.right - area.left);
    };
    std::uint8_t* out = grey;
    if (const DirectPixels page(source, width, height, false); page) {
        for (int32_t y = 0; y < height; ++y, out += width)
            greyRow(y, area.holdsRow(y) ? page.row(y) : nullptr, out);
    } else {
        const Band band(source, width, bandRows(width, height));
        if (!band)
            return false;
        const bool done = eachBand(height, band.rows(), [&](int32_t top, int32_t rows) {
            if (!band.copyIn(source, top, rows))
                return false;
            for (int32_t y = 0; y < rows; ++y, out += width)
                greyRow(top + y, band.row(y), out);
            return true;
        });
        if (!done)
            return false;
    }
    if (histogram)
        pass.addTo(histogram);
    return true;
}

// Whether the n bytes at p all hold p[0].
bool uniformRow(const std::uint8_t* p, int32_t n) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(char(p[0]));
    for (; x + 16 <= n; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(v, first)) != 0xFFFF)
            return false;
    }
#endif
    for (; x < n; ++x) {
        if (p[x] != p[0])
            return false;
    }
    return true;
}

// Stores n copies of a pixel from px on.
void fillPixels(std::uint8_t* px, int32_t n, std::uint32_t pixel) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i four = _mm_set1_epi32(std::int32_t(pixel));
    for (; x + 4 <= n; x += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(px + std::size_t(x) * 4), four);
#endif
    for (; x < n; ++x)
        std::memcpy(px + std::size_t(x) * 4, &pixel, 4);
}

// Packs a row of greys as the device values of Bits bits (2 or 4) that
// value gives them, and with px paints the preview pixels of those values
// (levelPixel) into that row; returns the end of the packed row. Eight
// pixels of one device value, as most of a page is, take one packed byte
// and one pixel for all.
// Packs a row of width pixels of the one device value v, Bits bits (2 or 4)
// each, and with px paints the preview pixel of v into that row; returns the
// end of the packed row.
template <int Bits>
std::uint8_t* fillRow(unsigned v, int32_t width, std::uint8_t* out, const std::uint32_t* levelPixel,
                      std::uint8_t* px) {
    constexpr int kPerByte = 8 / Bits;
    const std::uint8_t byte = std::uint8_t(Bits == 2 ? v * 0x55 : v * 0x11);
    std::memset(out, byte, std::size_t(width / kPerByte));
    out += width / kPerByte;
    if (const int rest = width % kPerByte)
        *out++ = std::uint8_t(byte & (0xFF << (8 - rest * Bits)));
    if (px)
        fillPixels(px, width, levelPixel[v]);
    return out;
}

#if VISTREL_MAP_VECTORS
// The four device values of the 4-level format by grey, as the greys from
// which on each value is one less: a grey of at least cut[k] has at most
// value 2 - k. The values of a table made by thresholds never rise with the
// grey (a grey takes the thresholds before the first not below it, and a
// larger grey takes those too); false for one that does or whose values
// exceed 3, with cut 256 for a value no grey takes.
bool fourLevelCuts(const std::uint8_t* value, int32_t* cut) {
    int k = 0;
    for (int g = 0; g < 256; ++g) {
        if (value[g] > 3 || (g > 0 && value[g] > value[g - 1]))
            return false;
        for (; k < 3 && value[g] <= 2 - k; ++k)
            cut[k] = g;
    }
    for (; k < 3; ++k)
        cut[k] = 256;
    return true;
}

// The 4-level mapping of the greys of a row from 0 on in blocks of 16, as
// far as whole blocks reach: each grey's value is 3 less one for every cut
// it reaches, four values are packed into a byte, the first in the top
// bits, and with px the preview pixel of each value is painted. Returns the
// pixels done; out moves past their packed bytes.
__attribute__((target("avx2"))) int32_t mapFourLevels(const std::uint8_t* in, int32_t width,
                                                      std::uint8_t*& out, const int32_t* cut,
                                                      const std::uint32_t* levelPixel,
                                                      std::uint8_t* px) {
    // A cut of 256 is reached by no grey: its mask stays 0.
    __m128i cuts[3], reached[3];
    for (int k = 0; k < 3; ++k) {
        cuts[k] = _mm_set1_epi8(char(std::min(cut[k], 255)));
        reached[k] = _mm_set1_epi8(cut[k] < 256 ? char(0xFF) : 0);
    }
    const __m128i three = _mm_set1_epi8(3), lowBytes = _mm_set1_epi16(0x00FF);
    // Blocks of white, most of a page between its lines and letters, take
    // their packed bytes and preview pixels as they are.
    int whiteValue = 3;
    for (int k = 0; k < 3; ++k)
        whiteValue -= cut[k] <= kWhiteGrey;
    const __m128i white = _mm_set1_epi8(char(kWhiteGrey));
    const std::uint32_t whitePacked = std::uint32_t(whiteValue) * 0x55555555u;
    const __m256i whitePixels = _mm256_set1_epi32(int(levelPixel[whiteValue]));
    const __m256i pixels = _mm256_setr_epi32(
        int(levelPixel[0]), int(levelPixel[1]), int(levelPixel[2]), int(levelPixel[3]),
        int(levelPixel[0]), int(levelPixel[1]), int(levelPixel[2]), int(levelPixel[3]));
    int32_t x = 0;
    for (; x + 16 <= width; x += 16, out += 4) {
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(g, white)) == 0xFFFF) {
            std::memcpy(out, &whitePacked, 4);
            if (px) {
                auto* to = reinterpret_cast<__m256i*>(px + std::size_t(x) * 4);
                _mm256_storeu_si256(to, whitePixels);
                _mm256_storeu_si256(to + 1, whitePixels);
            }
            continue;
        }
        // Less one (a mask byte is -1) for every cut reached.
        __m128i v = three;
        for (int k = 0; k < 3; ++k)
            v = _mm_add_epi8(
                v, _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(g, cuts[k]), g), reached[k]));
        // Pairs of values into four bits, the first on top, then pairs of
        // those into bytes.
        __m128i pairs =
            _mm_or_si128(_mm_and_si128(_mm_slli_epi16(v, 2), lowBytes), _mm_srli_epi16(v, 8));
        pairs = _mm_packus_epi16(pairs, pairs);
        __m128i bytes = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(pairs, 4), lowBytes),
                                     _mm_srli_epi16(pairs, 8));
        bytes = _mm_packus_epi16(bytes, bytes);
        const auto packed = std::uint32_t(_mm_cvtsi128_si32(bytes));
        std::memcpy(out, &packed, 4);
        if (px) {
            auto* to = reinterpret_cast<__m256i*>(px + std::size_t(x) * 4);
            _mm256_storeu_si256(to, _mm256_permutevar8x32_epi32(pixels, _mm256_cvtepu8_epi32(v)));
            _mm256_storeu_si256(to + 1, _mm256_permutevar8x32_epi32(
                                            pixels, _mm256_cvtepu8_epi32(_mm_srli_si128(v, 8))));
        }
    }
    return x;
}
#endif

template <int Bits>
std::uint8_t* mapRow(const std::uint8_t* in, int32_t width, std::uint8_t* out,
                     const std::uint8_t* value, const std::uint32_t* levelPixel, std::uint8_t* px,
                     const int32_t* cuts) {
    constexpr int kPerByte = 8 / Bits;
    // A row of one grey (the margins and the space between lines of a
    // page): its packed bytes and preview pixels are all alike.
    if (uniformRow(in, width))
        return fillRow<Bits>(value[in[0]], width, out, levelPixel, px);
    int32_t x = 0;
#if VISTREL_MAP_VECTORS
    if (Bits == 2 && cuts)
        x = mapFourLevels(in, width, out, cuts, levelPixel, px);
#else
    (void)cuts;
#endif
    for (; x + 8 <= width; x += 8) {
        std::uint8_t v[8];
        const bool uniform = uniform8(in + x);
        if (uniform) {
            v[0] = value[in[x]];
        } else {
#pragma GCC unroll 8
            for (int k = 0; k < 8; ++k)
                v[k] = value[in[x + k]];
        }
        if (uniform || uniform8(v)) {
            std::memset(out, Bits == 2 ? v[0] * 0x55 : v[0] * 0x11, 8 / kPerByte);
            out += 8 / kPerByte;
            if (px) {
                const std::uint32_t pixel = levelPixel[v[0]];
                for (int k = 0; k < 8; ++k)
                    std::memcpy(px + std::size_t(x + k) * 4, &pixel, 4);
            }
            continue;
        }
#pragma GCC unroll 4
        for (int b = 0; b < 8; b += kPerByte) {
            unsigned byte = 0;
#pragma GCC unroll 4
            for (int k = 0; k < kPerByte; ++k)
                byte = byte << Bits | v[b + k];
            *out++ = std::uint8_t(byte);
        }
        if (px) {
#pragma GCC unroll 8
            for (int k = 0; k < 8; ++k)
                std::memcpy(px + std::size_t(x + k) * 4, &levelPixel[v[k]], 4);
        }
    }
    const std::uint8_t* rest = in + x;
    out = packRow<Bits>(width - x, out,
                        [value, rest](int32_t i) { return unsigned(value[rest[i]]); });
    for (; px && x < width; ++x)
        std::memcpy(px + std::size_t(x) * 4, &levelPixel[value[in[x]]], 4);
    return out;
}

// mapRow for row y of a page whose greys outside area are white: the white
// rows, and the blocks of eight pixels left and right of area, are packed
// and painted without reading their greys.
template <int Bits>
std::uint8_t* mapAreaRow(const DrawnArea& area, int32_t y, const std::uint8_t* in, int32_t width,
                         std::uint8_t* out, const std::uint8_t* value,
                         const std::uint32_t* levelPixel, std::uint8_t* px, const int32_t* cuts) {
    const unsigned white = value[kWhiteGrey];
    if (!area.holdsRow(y))
        return fillRow<Bits>(white, width, out, levelPixel, px);
    // Whole blocks of eight pixels keep the packed bytes of the parts
    // apart.
    const int32_t left = area.left & ~7;
    const int32_t right = std::min(width, (area.right + 7) & ~7);
    out = fillRow<Bits>(white, left, out, levelPixel, px);
    out = mapRow<Bits>(in + left, right - left, out, value, levelPixel,
                       px ? px + std::size_t(left) * 4 : nullptr, cuts);
    return fillRow<Bits>(white, width - right, out, levelPixel,
                         px ? px + std::size_t(right) * 4 : nullptr);
}

// Maps every grey to the level of the first threshold not below it, packs
// the device values and, with a target, paints the device's colours into
// it. The greys outside area are white.
bool mapPage(const std::uint8_t* grey, std::uint8_t* packed, const std::uint8_t* thresholds,
             int32_t width, int32_t height, win::HDC target, std::uint16_t format,
             const DrawnArea& area) {
    const bool four = format == kColor4;
    const int n = four ? 3 : 15;
    // Device value of every grey, by its level (n above all thresholds),
    // and preview pixel of every device value.
    std::uint8_t value[256];
    for (int g = 0; g < 256; ++g) {
        int i = 0;
        while (i < n && g > thresholds[i])
            ++i;
        value[g] = std::uint8_t(n - i);
    }
    std::uint32_t pixel[16];
    for (int v = 0; v <= n; ++v)
        pixel[v] = bandPixel(four ? kPreview4[std::size_t(v)] : kPreview16[std::size_t(n - v)]);
    // The 4 levels are mapped with vectors where the processor has them.
    const int32_t* cuts = nullptr;
#if VISTREL_MAP_VECTORS
    static const bool avx2 = __builtin_cpu_supports("avx2");
    int32_t fourCuts[3];
    if (four && avx2 && fourLevelCuts(value, fourCuts))
        cuts = fourCuts;
#endif
    const std::uint8_t* in = grey;
    std::uint8_t* out = packed;
    if (const DirectPixels page(target, width, height, true); target && page) {
        for (int32_t y = 0; y < height; ++y, in += width) {
            out = four ? mapAreaRow<2>(area, y, in, width, out, value, pixel, page.row(y), cuts)
                       : mapAreaRow<4>(area, y, in, width, out, value, pixel, page.row(y), cuts);
        }
        return true;
    }
    std::optional<Band> preview;
    if (target) {
        preview.emplace(target, width, bandRows(width, height));
        if (!*preview)
            return false;
    }
    return eachBand(height, preview ? preview->rows() : height, [&](int32_t top, int32_t rows) {
        for (int32_t y = 0; y < rows; ++y, in += width) {
            std::uint8_t* px = preview ? preview->row(y) : nullptr;
            out = four ? mapAreaRow<2>(area, top + y, in, width, out, value, pixel, px, cuts)
                       : mapAreaRow<4>(area, top + y, in, width, out, value, pixel, px, cuts);
        }
        return !preview || preview->copyOut(target, top, rows);
    });
}

// Slots of the found thresholds among 15, by how many were found (1 to 14).
constexpr int8_t kSlots15[14][14] = {
    {7},
    {4, 10},
    {3, 7, 11},
    {2, 5, 9, 12},
    {1, 4, 7, 10, 13},
    {1, 4, 7, 9, 11, 13},
    {1, 3, 5, 7, 9, 11, 13},
    {1, 3, 5, 7, 8, 9, 11, 13},
    {1, 3, 5, 6, 7, 8, 9, 11, 13},
    {1, 3, 4, 5, 6, 7, 8, 9, 11, 13},
    {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13},
    {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13},
    {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
};

// Valleys of the histogram: the middle between a change to falling and the
// next change to rising. Returns how many were written to found.
int findValleys(const std::uint32_t* h, int size, int* found) {
    enum { kNone, kRising, kFalling } direction = kNone;
    int start = 0;
    int count = 0;
    for (int i = 1; i < size; ++i) {
        if (h[i - 1] == h[i])
            continue;
        const auto now = h[i - 1] < h[i] ? kRising : kFalling;
        if (now != direction) {
            if (now == kFalling) {
                start = i;
            } else if (direction == kFalling) {
                found[count++] = (start + i) / 2;
            }
        }
        direction = now;
    }
    return count;
}

}  // namespace

bool convertToGrey16(win::HDC source, std::uint32_t* histogram, std::uint8_t* grey, int32_t width,
                     int32_t height, bool pack, std::uint8_t* packed, const win::RECT* drawn) {
    if (width < 1 || height < 1)
        return false;
    if (!pack)
        return greyPage(source, width, height, grey, histogram, DrawnArea(drawn, width, height));
    const Band band(source, width, bandRows(width, height));
    if (!band)
        return false;
    std::uint32_t pixel[16];
    for (int g = 0; g < 16; ++g)
        pixel[g] = bandPixel(kPreview16[std::size_t(g)]);
    std::uint8_t* out = packed;
    return eachBand(height, band.rows(), [&](int32_t top, int32_t rows) {
        if (!band.copyIn(source, top, rows))
            return false;
        for (int32_t y = 0; y < rows; ++y) {
            std::uint8_t* row = band.row(y);
            out = packRow<4>(width, out, [row, &pixel](int32_t x) {
                std::uint8_t* px = row + std::size_t(x) * 4;
                const std::uint32_t g = weightedSum(px) >> 14;
                std::memcpy(px, &pixel[g], 4);
                return 15 - g;
            });
        }
        return band.copyOut(source, top, rows);
    });
}

std::optional<std::array<std::uint8_t, 15>> reducePalette(std::uint32_t* h, int size,
                                                          std::uint64_t pixels, int n) {
    if (n > size || (n != 3 && n != 15) || size > 256)
        return std::nullopt;

    // Every counter becomes its share of the page in tenths of a percent.
    const double tenth = double(pixels) * 0.001;
    for (int i = 0; i < size; ++i) {
        if (pixels == 0) {
            h[i] = 0;
            continue;
        }
        const double share = std::trunc(h[i] / tenth + 0.5);
        h[i] = share >= 4294967295.0 ? UINT32_MAX : std::uint32_t(share);
    }

    int found[256];
    int k = findValleys(h, size, found);
    while (k > n) {
        for (int i = 0; i < size; ++i)
            h[i] = std::uint32_t(std::uint64_t(h[i]) * 99 / 100);
        k = findValleys(h, size, found);
    }

    std::array<std::uint8_t, 15> t{};
    if (k == 0) {
        for (int s = 0; s < n; ++s)
            t[s] = std::uint8_t((s + 1) * 256 / (n + 1));
        return t;
    }
    if (k == n) {
        for (int s = 0; s < n; ++s)
            t[s] = std::uint8_t(found[s]);
        return t;
    }

    // The found thresholds anchor fixed slots; the others are spread evenly
    // between the nearest anchors (slot -1 holds 0 and slot n 256).
    int anchor[16];
    for (int s = 0; s < n; ++s)
        anchor[s] = -1;
    if (n == 15) {
        for (int j = 0; j < k; ++j)
            anchor[kSlots15[k - 1][j]] = found[j];
    } else if (k == 1) {
        anchor[found[0] < 3 ? 0 : found[0] > 253 ? 2 : 1] = found[0];
    } else {
        anchor[0] = found[0];
        anchor[2] = found[1];
    }
    int below = -1;
    int belowValue = 0;
    for (int s = 0; s < n; ++s) {
        if (anchor[s] >= 0) {
            below = s;
            belowValue = anchor[s];
            t[s] = std::uint8_t(anchor[s]);
            continue;
        }
        int above = s + 1;
        while (above < n && anchor[above] < 0)
            ++above;
        const int aboveValue = above < n ? anchor[above] : 256;
        t[s] = std::uint8_t(belowValue + (aboveValue - belowValue) * (s - below) / (above - below));
    }
    return t;
}

bool mapToPalette(const std::uint8_t* grey, std::uint8_t* packed, const std::uint8_t* thresholds,
                  int32_t width, int32_t height, win::HDC target, std::uint16_t format,
                  const win::RECT* drawn) {
    if (width < 1 || height < 1)
        return false;
    return mapPage(grey, packed, thresholds, width, height, target, format,
                   DrawnArea(drawn, width, height));
}

bool convertPageImage(win::HDC source, DeviceImage& image, bool paintBack) {
    if (image.format == kColor16) {
        return convertToGrey16(source, nullptr, image.grey, image.width, image.height, true,
                               image.packed);
    }
    if (image.format == kColor16a)
        image.format = kColor16;
    image.histogram.fill(0);
    if (!convertToGrey16(source, image.histogram.data(), image.grey, image.width, image.height,
                         false, nullptr, image.drawn ? &*image.drawn : nullptr)) {
        return false;
    }
    const auto thresholds =
        reducePalette(image.histogram.data(), 256,
                      std::uint64_t(image.width) * std::uint64_t(image.height), image.format - 1);
    if (!thresholds)
        return false;
    image.thresholds = *thresholds;
    return mapToPalette(image.grey, image.packed, image.thresholds.data(), image.width,
                        image.height, paintBack ? source : win::HDC{}, image.format,
                        image.drawn ? &*image.drawn : nullptr);
}

}  // namespace vistrel
