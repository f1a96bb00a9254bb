// For the TrueType tests: descriptions as the PDF factory makes them, the
// bytes of font files of the pinned font configuration as embedded
// programs, the TrueType settings parked for a test, and a page to draw on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engine/constants/setting_keys.h"
#include "engine/core/streams.h"
#include "engine/font/font_description.h"
#include "engine/font/font_test_util.h"
#include "engine/render/content/matrix.h"
#include "engine/render/raster/gdi_device.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel::testing {

inline const std::string kLiberationSerif =
    "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf";
inline const std::string kDejaVuSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// An embedded program: the bytes of a font file as a stream.
class Program {
public:
    explicit Program(const std::string& path)
        : bytes_(fileBytes(path)),
          stream_(reinterpret_cast<const std::uint8_t*>(bytes_.data()), bytes_.size()) {}
    InputStream* stream() { return &stream_; }
    bool empty() const { return bytes_.empty(); }

private:
    std::string bytes_;
    MemoryInputStream stream_;
};

// A description with a key name (lower case and style suffixes, as the PDF
// factory writes it) and unknown metrics unless given.
inline Ref<TrueTypeFontDescription> trueTypeDescription(const std::u16string& name,
                                                        InputStream* program = nullptr) {
    auto d = makeRef<TrueTypeFontDescription>();
    d->name().assignText(name.c_str());
    d->encodingName().assignText(u"WinAnsiEncoding");
    d->setProgram(program);
    return d;
}

// Every TrueType setting parked for the test: reads see none until set.
struct TrueTypeSettings {
    SettingGuard strict{settings::FontSystem, settings::StrictTTSubst};
    SettingGuard substitute{settings::FontSystem, settings::SubstTTWithT1};
    SettingGuard exactWidth{settings::FontSystem, settings::CalculateTTExactWidth};
    SettingGuard cache{settings::FontSystem, settings::UseTTCache};
    SettingGuard folder{settings::FontSystem, settings::DirToPlaceEmbeddedTT};
    SettingGuard cacheGlyphs{settings::FontSystem, settings::CacheGlyphs};
};

// A white 24-bit page with a device on it.
struct TestPage {
    // Filled in black, as text is by default.
    TestPage(int width, int height)
        : canvas(width, height), device(canvas.dc, IntPoint(width, height)) {
        device.SetFillColor(DeviceColor(0));
    }
    test::Canvas canvas;
    GdiDevice device;

    // The box of the pixels that are not white; x1 < x0 when there are none.
    struct Ink {
        int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
        int count = 0;
    };
    Ink ink() const {
        Ink ink;
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) {
                if (canvas.pixel(x, y) == 0xFFFFFF)
                    continue;
                if (ink.count++ == 0) {
                    ink.x0 = ink.x1 = x;
                    ink.y0 = ink.y1 = y;
                }
                ink.x0 = std::min(ink.x0, x);
                ink.x1 = std::max(ink.x1, x);
                ink.y0 = std::min(ink.y0, y);
                ink.y1 = std::max(ink.y1, y);
            }
        }
        return ink;
    }
    void clear() { win::PatBlt(canvas.dc, 0, 0, canvas.width, canvas.height, win::WHITENESS); }
};

// Puts a font at a device position under a matrix of the given terms (the
// device size is the length of (c, d) times the font size).
inline void placeFont(FontRenderer& font, double size, const Matrix& m) {
    font.setFontSize(size);
    font.setTextMatrix(m, nullptr);
}

}  // namespace vistrel::testing
