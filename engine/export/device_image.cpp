#include "engine/export/device_image.h"

#include <cmath>

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

// A memory device context compatible with another one (the screen for none)
// holding a top-down 24-bit DIB section of the page's size.
class DibCanvas {
public:
    DibCanvas(win::HDC compatibleWith, int32_t width, int32_t height) {
        dc_ = win::CreateCompatibleDC(compatibleWith);
        if (!dc_)
            return;
        win::BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = win::BI_RGB;
        void* bits = nullptr;
        bitmap_ = win::CreateDIBSection(dc_, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_ || !bits)
            return;
        old_ = win::SelectObject(dc_, bitmap_);
        bits_ = static_cast<std::uint8_t*>(bits);
        stride_ = (std::size_t(width) * 3 + 3) / 4 * 4;
    }
    ~DibCanvas() {
        if (old_)
            win::SelectObject(dc_, old_);
        if (bitmap_)
            win::DeleteObject(bitmap_);
        if (dc_)
            win::DeleteDC(dc_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    explicit operator bool() const { return bits_ != nullptr; }
    win::HDC dc() const { return dc_; }
    // Pixels of a row: blue, green, red.
    std::uint8_t* row(int32_t y) const { return bits_ + std::size_t(y) * stride_; }

private:
    win::HDC dc_;
    win::HBITMAP bitmap_;
    win::HGDIOBJ old_;
    std::uint8_t* bits_ = nullptr;
    std::size_t stride_ = 0;
};

inline std::uint32_t weightedSum(const std::uint8_t* bgr) {
    return 306u * bgr[2] + 601u * bgr[1] + 116u * bgr[0];
}

inline void paint(std::uint8_t* bgr, const PreviewColor& c) {
    bgr[0] = c.blue;
    bgr[1] = c.green;
    bgr[2] = c.red;
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
                     int32_t height, bool pack, std::uint8_t* packed) {
    if (width < 1 || height < 1)
        return false;
    DibCanvas dib(source, width, height);
    if (!dib || !win::BitBlt(dib.dc(), 0, 0, width, height, source, 0, 0, win::SRCCOPY))
        return false;
    if (pack) {
        std::uint8_t* out = packed;
        for (int32_t y = 0; y < height; ++y) {
            std::uint8_t* px = dib.row(y);
            std::uint8_t byte = 0;
            for (int32_t x = 0; x < width; ++x, px += 3) {
                const std::uint32_t g = weightedSum(px) >> 14;
                const auto value = std::uint8_t(15 - g);
                if ((x & 1) == 0) {
                    byte = std::uint8_t(value << 4);
                } else {
                    *out++ = std::uint8_t(byte | value);
                }
                paint(px, kPreview16[g]);
            }
            if (width & 1)
                *out++ = byte;
        }
        return win::BitBlt(source, 0, 0, width, height, dib.dc(), 0, 0, win::SRCCOPY) != 0;
    }
    std::uint8_t* out = grey;
    for (int32_t y = 0; y < height; ++y) {
        const std::uint8_t* px = dib.row(y);
        for (int32_t x = 0; x < width; ++x, px += 3) {
            const std::uint32_t g = weightedSum(px) >> 10;
            *out++ = std::uint8_t(g);
            if (histogram)
                ++histogram[g];
        }
    }
    return true;
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
                  int32_t width, int32_t height, win::HDC target, std::uint16_t format) {
    if (width < 1 || height < 1)
        return false;
    const bool four = format == kColor4;
    const int n = four ? 3 : 15;
    // Level index of every grey: the first threshold not below it, n above all.
    std::uint8_t level[256];
    for (int g = 0; g < 256; ++g) {
        int i = 0;
        while (i < n && g > thresholds[i])
            ++i;
        level[g] = std::uint8_t(i);
    }

    std::optional<DibCanvas> preview;
    if (target) {
        preview.emplace(target, width, height);
        if (!*preview)
            return false;
    }
    const std::uint8_t* in = grey;
    std::uint8_t* out = packed;
    for (int32_t y = 0; y < height; ++y) {
        std::uint8_t* px = preview ? (*preview).row(y) : nullptr;
        std::uint8_t byte = 0;
        for (int32_t x = 0; x < width; ++x) {
            const int i = level[*in++];
            if (four) {
                const int value = 3 - i;
                const int shift = 6 - 2 * (x & 3);
                byte = std::uint8_t(byte | (value << shift));
                if (shift == 0) {
                    *out++ = byte;
                    byte = 0;
                }
                if (px)
                    paint(px, kPreview4[value]);
            } else {
                const int value = 15 - i;
                if ((x & 1) == 0) {
                    byte = std::uint8_t(value << 4);
                } else {
                    *out++ = std::uint8_t(byte | value);
                }
                if (px)
                    paint(px, kPreview16[i]);
            }
            if (px)
                px += 3;
        }
        if (four ? (width & 3) != 0 : (width & 1) != 0)
            *out++ = byte;
    }
    if (preview)
        return win::BitBlt(target, 0, 0, width, height, (*preview).dc(), 0, 0, win::SRCCOPY) != 0;
    return true;
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
                         false, nullptr)) {
        return false;
    }
    const auto thresholds =
        reducePalette(image.histogram.data(), 256,
                      std::uint64_t(image.width) * std::uint64_t(image.height), image.format - 1);
    if (!thresholds)
        return false;
    image.thresholds = *thresholds;
    return mapToPalette(image.grey, image.packed, image.thresholds.data(), image.width,
                        image.height, paintBack ? source : win::HDC{}, image.format);
}

}  // namespace vistrel
