// Helpers shared by the tests of this folder: a memory DC over a 24-bit
// DIB section, pictures of its pixels, fixtures, and a device that records
// what it is asked to draw.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/render/raster/output_device.h"
#include "platform/gdi/gdi.h"

#include "tests/support/test_files.h"

namespace vistrel::test {

struct Canvas {
    win::HDC dc;
    win::HBITMAP bitmap;
    win::HGDIOBJ old;
    std::uint8_t* bits = nullptr;
    int width, height;

    Canvas(int w, int h) : width(w), height(h) {
        win::BITMAPINFO info{};
        info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), w, -h, 1, 24, win::BI_RGB, 0, 0, 0, 0, 0};
        dc = win::CreateCompatibleDC(nullptr);
        void* p = nullptr;
        bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint8_t*>(p);
        old = win::SelectObject(dc, bitmap);
        win::PatBlt(dc, 0, 0, w, h, win::WHITENESS);
    }
    ~Canvas() {
        win::SelectObject(dc, old);
        win::DeleteObject(bitmap);
        win::DeleteDC(dc);
    }
    std::uint32_t pixel(int x, int y) const {
        const std::uint8_t* p =
            bits + std::size_t(y) * ((std::size_t(width) * 3 + 3) & ~std::size_t(3)) + x * 3;
        return p[2] | (p[1] << 8) | (p[0] << 16);
    }
    // One character per pixel: '.' white, '#' black, 'r' red, 'g' green,
    // 'b' blue, '?' anything else; rows end with '\n'.
    std::string picture() const {
        std::string s;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                switch (pixel(x, y)) {
                    case 0xFFFFFF:
                        s += '.';
                        break;
                    case 0x000000:
                        s += '#';
                        break;
                    case 0x0000FF:
                        s += 'r';
                        break;
                    case 0x00FF00:
                        s += 'g';
                        break;
                    case 0xFF0000:
                        s += 'b';
                        break;
                    default:
                        s += '?';
                        break;
                }
            }
            s += '\n';
        }
        return s;
    }
};

// A fixture under tests/fixtures/raster/.
inline std::string readFixture(const std::string& name) {
    return testing::readFile(testing::sourcePath("tests/fixtures/raster/" + name));
}

// A device-context device whose pixels go to SetPixel of the context and
// that records pixels and rectangle fills.
class RecordingDevice : public DcDevice {
public:
    std::vector<std::pair<int, int>> pixels;
    std::vector<IntRect> rects;
    bool drawPixels = true;

    bool SelectStrokePen() override { return true; }
    bool SetPixel(int x, int y, std::uint32_t color) override {
        pixels.emplace_back(x, y);
        if (drawPixels && dc_)
            win::SetPixel(dc_, x, y, color);
        return true;
    }
    bool FillRect(const IntRect& r) override {
        rects.push_back(r);
        return DcDevice::FillRect(r);
    }
    bool BlitImage(ImageView&, IntPoint) override { return false; }
    bool ReservedOp1(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {
        return true;
    }
    bool ReservedOp2(std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
    bool ReservedOp3(std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
};

}  // namespace vistrel::test
