// Pages of the rendering fixtures drawn as the control draws them, through
// the GDI device, compared pixel for pixel with images kept in
// tests/fixtures/render/; and the bitmap size and orientation of rotated and
// cropped pages.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/codec/image_readers.h"
#include "engine/core/settings_store.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "engine/doc/typed_objects.h"
#include "engine/font/font_registry.h"
#include "engine/parser/pdf_document.h"
#include "engine/render/content/progress_sink.h"
#include "tools/page_raster.h"
#include "tools/render_presets.h"

#include "tests/support/test_files.h"

namespace vistrel {
namespace {

class NoProgress : public ProgressSink {
public:
    void startProgressIndicator() override {}
    void stopProgressIndicator() override {}
    void setProgressIndicator(std::uint16_t) override {}
};

struct OpenFixture {
    explicit OpenFixture(const std::string& name)
        : bytes(testing::readFile(std::string(VISTREL_RENDER_FIXTURE_DIR) + "/" + name)),
          input(bytes.data(), bytes.size()),
          document(&input, false),
          catalog(&document) {}
    // Closed as the control closes a document: once the catalog is gone,
    // the fonts only the registry holds go while their document is there.
    struct FontPurge {
        ~FontPurge() {
            if (FontRegistry* registry = fontRegistry())
                registry->purge(-1);
        }
    };
    std::string bytes;
    MemoryInputStream input;
    PdfDocument document;
    FontPurge purge;
    PdfCatalog catalog;
};

// Rows of red, green, blue bytes.
struct Rgb {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const Rgb&) const = default;
};

Rgb pixelsOf(const PageBitmap& bitmap) {
    Rgb out{bitmap.width(), bitmap.height(), {}};
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* bgr = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            out.bytes.push_back(bgr[x * 3 + 2]);
            out.bytes.push_back(bgr[x * 3 + 1]);
            out.bytes.push_back(bgr[x * 3]);
        }
    }
    return out;
}

Rgb readPng(const std::string& path) {
    const std::string file = testing::readFile(path);
    MemoryInputStream stream(file.data(), file.size());
    PngReadStream reader(&stream, nullptr);
    Rgb out;
    if (!reader.open())
        return out;
    out.width = reader.width();
    out.height = reader.height();
    out.bytes.resize(std::size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        if (!reader.readRow(out.bytes.data() + std::size_t(y) * out.width * 3))
            return Rgb{};
    }
    return out;
}

// The engine start-up of the control, once for the whole program.
class RenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { startRendering(4, 4, WString::fromUtf8(VISTREL_FONTS_DIR)); }
};

// Each page at zoom 1 with the default presets (quality 4: the ink model
// for CMYK), and the colours and CMYK images once more with the quick CMYK
// model.
TEST_F(RenderTest, FixturePagesMatchTheirImages) {
    const WString quality(u"Quality");
    const WString pathConversion(u"FullColorPathConversion");
    const WString imageConversion(u"FullColorImageConversion");
    const struct {
        const char* fixture;
        int first, last;
        const WString* quick;  // set to 0 for the "-quick" images; null: the preset
    } cases[] = {
        {"colours.pdf", 1, 2, nullptr}, {"colours.pdf", 1, 1, &pathConversion},
        {"strokes.pdf", 1, 1, nullptr}, {"fills.pdf", 1, 1, nullptr},
        {"rotate.pdf", 1, 6, nullptr},  {"links.pdf", 1, 1, nullptr},
        {"contents.pdf", 1, 3, nullptr}, {"type3.pdf", 1, 2, nullptr},
        {"images.pdf", 1, 8, nullptr},  {"images.pdf", 3, 3, &imageConversion},
        {"standard_fonts.pdf", 1, 3, nullptr},
        {"spaces.pdf", 1, 4, nullptr},
    };
    // Renders that differ are written here, to be looked at (and, once
    // checked, copied over the kept image).
    const std::string written = VISTREL_RENDER_OUTPUT_DIR;
    for (const auto& c : cases) {
        SettingValue preset;
        if (c.quick) {
            preset = *settingsStore().find(quality, *c.quick);
            settingsStore().set(quality, *c.quick, SettingValue::ofInteger(0));
        }
        OpenFixture fixture(c.fixture);
        ASSERT_GE(fixture.catalog.getPageCount(), c.last) << c.fixture;
        for (int number = c.first; number <= c.last; ++number) {
            std::string name = std::string(c.fixture);
            name = name.substr(0, name.size() - 4) + "-" + std::to_string(number);
            if (c.quick)
                name += "-quick";
            name += ".png";
            Ref<PdfPage> page = fixture.catalog.getPage(number);
            ASSERT_NE(page.get(), nullptr) << name;
            PageBitmap bitmap;
            NoProgress sink;
            std::string why;
            ASSERT_TRUE(renderPageBitmap(*page, 1.0, sink, bitmap, why)) << name << ": " << why;
            const Rgb expected = readPng(testing::sourcePath("tests/fixtures/render/" + name));
            if (pixelsOf(bitmap) != expected) {
                std::filesystem::create_directories(written);
                const std::string actual = (std::filesystem::path(written) / name).string();
                writePageImage(bitmap, actual, why);
                ADD_FAILURE() << name << " differs from its image; this render: " << actual;
            }
        }
        if (c.quick)
            settingsStore().set(quality, *c.quick, preset);
    }
}

// A bitmap kept from page to page of one size is cleared only where the
// last page drew: every page drawn into it after the others, both ways
// round, equals the page drawn into a bitmap of its own.
TEST_F(RenderTest, KeptBitmapDrawsEachPageAsANewOne) {
    const struct {
        const char* fixture;
        int page;
    } pages[] = {{"strokes.pdf", 1}, {"fills.pdf", 1}, {"images.pdf", 1},    {"images.pdf", 2},
                 {"images.pdf", 3},  {"type3.pdf", 1}, {"type3.pdf", 2},     {"spaces.pdf", 2},
                 {"rules.pdf", 1},   {"rules.pdf", 2}, {"predictors.pdf", 1}};
    const auto render = [](PdfPage& page, PageBitmap& bitmap) {
        NoProgress sink;
        std::string why;
        EXPECT_TRUE(renderPageBitmap(page, 1.0, sink, bitmap, why)) << why;
        return pixelsOf(bitmap);
    };
    // Every document stays open for the whole test.
    std::map<std::string, std::unique_ptr<OpenFixture>> open;
    for (const auto& p : pages) {
        if (!open.count(p.fixture))
            open[p.fixture] = std::make_unique<OpenFixture>(p.fixture);
    }
    PageBitmap kept;
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < std::size(pages); ++i) {
            const auto& p = pages[round == 0 ? i : std::size(pages) - 1 - i];
            Ref<PdfPage> page = open[p.fixture]->catalog.getPage(p.page);
            ASSERT_NE(page.get(), nullptr) << p.fixture;
            PageBitmap own;
            const Rgb expected = render(*page, own);
            ASSERT_EQ(expected.width, 200) << p.fixture << " " << p.page;
            EXPECT_TRUE(render(*page, kept) == expected) << p.fixture << " " << p.page;
        }
    }
}

// The PPM and PNG files hold the bitmap's pixels as red, green, blue, for
// widths of whole blocks of 16 pixels, of blocks and a rest, and of a rest
// alone.
TEST_F(RenderTest, WrittenImagesHoldThePixels) {
    const struct {
        double zoom;
        int width;
    } cases[] = {{0.973, 144}, {1.0, 148}, {0.1, 14}};
    OpenFixture fixture("colours.pdf");
    Ref<PdfPage> page = fixture.catalog.getPage(1);
    ASSERT_NE(page.get(), nullptr);
    testing::TempDir dir;
    ASSERT_TRUE(dir.ok());
    for (const auto& c : cases) {
        PageBitmap bitmap;
        NoProgress sink;
        std::string why;
        ASSERT_TRUE(renderPageBitmap(*page, c.zoom, sink, bitmap, why)) << why;
        ASSERT_EQ(bitmap.width(), c.width) << c.zoom;
        const Rgb pixels = pixelsOf(bitmap);
        ASSERT_TRUE(writePageImage(bitmap, dir.path("page.ppm"), why)) << why;
        const std::string header = "P6\n" + std::to_string(bitmap.width()) + " " +
                                   std::to_string(bitmap.height()) + "\n255\n";
        EXPECT_EQ(testing::readFile(dir.path("page.ppm")),
                  header + std::string(pixels.bytes.begin(), pixels.bytes.end()))
            << c.width;
        ASSERT_TRUE(writePageImage(bitmap, dir.path("page.png"), why)) << why;
        EXPECT_TRUE(readPng(dir.path("page.png")) == pixels) << c.width;
    }
}

// The bitmap size is the box at the zoom, truncated, turned for 90 and 270;
// the box's corner (x1, y1), marked red, lands bottom-left, top-left,
// top-right and bottom-right for 0, 90, 180 and 270.
TEST_F(RenderTest, RotationAndCropBox) {
    enum Corner { BottomLeft, TopLeft, TopRight, BottomRight };
    const struct {
        int page;
        double zoom;
        int width, height;
        Corner red;
    } cases[] = {
        {1, 1.5, 150, 90, BottomLeft},  {2, 1.5, 90, 150, TopLeft},  {3, 1.5, 150, 90, TopRight},
        {4, 1.5, 90, 150, BottomRight}, {5, 1.5, 90, 150, TopLeft},  // -270
        {6, 1.5, 90, 60, BottomLeft},                                // the /CropBox [20 10 80 50]
        {1, 0.333, 33, 19, BottomLeft}, {2, 0.333, 19, 33, TopLeft},
    };
    OpenFixture fixture("rotate.pdf");
    for (const auto& c : cases) {
        Ref<PdfPage> page = fixture.catalog.getPage(c.page);
        ASSERT_NE(page.get(), nullptr);
        PageBitmap bitmap;
        NoProgress sink;
        std::string why;
        ASSERT_TRUE(renderPageBitmap(*page, c.zoom, sink, bitmap, why)) << why;
        EXPECT_EQ(bitmap.width(), c.width) << c.page << " at " << c.zoom;
        EXPECT_EQ(bitmap.height(), c.height) << c.page << " at " << c.zoom;
        // The pixel one in from the corner.
        const int x = c.red == BottomLeft || c.red == TopLeft ? 1 : bitmap.width() - 2;
        const int y = c.red == TopLeft || c.red == TopRight ? 1 : bitmap.height() - 2;
        const std::uint8_t* p = bitmap.row(y) + x * 3;
        EXPECT_EQ((p[2] << 16) | (p[1] << 8) | p[0], 0xFF0000)
            << "page " << c.page << " at " << c.zoom << ": red expected at " << x << ", " << y;
    }
}

// Page 1 of rules.pdf (its geometry as make_render_fixtures.py writes it)
// at zooms 1, 1.5 and 2: every rule of 0.1 to 1.0 points draws an unbroken
// line of ink, the grey cells that meet at fractional edges leave no white
// column between them, and the boxes filled then stroked inside their edges
// or framed by thin rules leave no white between fill and frame.
TEST_F(RenderTest, RulesAndBoxesOffTheWholeUnits) {
    OpenFixture fixture("rules.pdf");
    Ref<PdfPage> page = fixture.catalog.getPage(1);
    ASSERT_NE(page.get(), nullptr);
    for (const double zoom : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE("zoom " + std::to_string(zoom));
        PageBitmap bitmap;
        NoProgress sink;
        std::string why;
        ASSERT_TRUE(renderPageBitmap(*page, zoom, sink, bitmap, why)) << why;
        // Device pixels of a user point (the page is 150 points high).
        auto column = [&](double x) { return int(std::floor(x * zoom)); };
        auto row = [&](double y) { return int(std::floor((150 - y) * zoom)); };
        auto grey = [&](int x, int y) {
            const std::uint8_t* p = bitmap.row(y) + x * 3;
            return (p[0] + p[1] + p[2]) / 3;
        };
        // Ink all along a row (across) or a column between from and to, its
        // ends left aside, on line `at` or one next to it.
        auto inkedLine = [&](bool across, int at, int from, int to) {
            for (int k = at - 1; k <= at + 1; ++k) {
                bool all = true;
                for (int i = from + 1; i < to && all; ++i)
                    all = (across ? grey(i, k) : grey(k, i)) < 128;
                if (all)
                    return true;
            }
            return false;
        };
        for (int i = 0; i < 10; ++i) {
            const double thickness = (i + 1) / 10.0;
            const double y = 143.15 - i * 6.45, x = 112.35 + i * 8.45;
            EXPECT_TRUE(inkedLine(true, row(y + thickness / 2), column(10), column(90)))
                << "rule across, " << thickness << " points";
            EXPECT_TRUE(inkedLine(false, column(x + thickness / 2), row(144.3), row(78.3)))
                << "rule down, " << thickness << " points";
        }
        // The cells from x 10.3 to 183.7, y 52.4 to 66.4.
        const int middle = row(59.4);
        for (int x = column(10.3) + 1; x < column(183.7); ++x)
            EXPECT_NE(grey(x, middle), 255) << "a seam between cells at column " << x;
        // The boxes, 11.3 points a side from y 18.6: across their middle row
        // and down their middle column, from the first pixel of the frame to
        // the last, nothing white.
        for (int i = 0; i < 6; ++i) {
            const double left = 12.4 + (i % 3) * 30.3 + (i < 3 ? 0 : 95.35);
            const int x0 = column(left), y0 = row(18.6 + 11.3), size = int(11.3 * zoom);
            for (const bool across : {true, false}) {
                auto at = [&](int k) {
                    return across ? grey(x0 + k, row(18.6 + 11.3 / 2))
                                  : grey(column(left + 11.3 / 2), y0 + k);
                };
                int first = -3, last = -3;
                for (int k = -2; k <= size + 2; ++k) {
                    if (at(k) != 255) {
                        last = k;
                        if (first == -3)
                            first = k;
                    }
                }
                EXPECT_GE(last - first + 1, size) << "box " << i;
                for (int k = first; k <= last; ++k)
                    EXPECT_NE(at(k), 255)
                        << "box " << i << ": white " << k << (across ? " across" : " down");
            }
        }
    }
}

// The presets the tools start with: the curve threshold from the view's
// quality and memory usage, and the settings rendering reads per level.
TEST_F(RenderTest, Presets) {
    const WString fontSystem(u"FontSystem"), quality(u"Quality");
    auto integer = [](const WString& section, const char16_t* key) {
        return readSettingNumber(settingsStore().find(section, WString(key)), -999);
    };
    const struct {
        std::int32_t quality, memory, threshold;
    } thresholds[] = {{4, 4, 10}, {1, 0, 53}, {1, 4, 53}, {0, 0, 56}, {5, 4, -4}};
    for (const auto& t : thresholds) {
        applyMemoryPreset(t.memory, t.quality, t.memory);
        EXPECT_EQ(integer(fontSystem, u"CurveThreshold"), t.threshold) << t.quality << t.memory;
    }
    const struct {
        std::int32_t level, pathConversion, clipMode, aaSize;
    } levels[] = {{1, 1, 0, 2}, {2, 2, 1, 4}, {4, 2, 1, 8}, {0, 0, 0, 8}};
    for (const auto& l : levels) {
        applyQualityPreset(l.level);
        EXPECT_EQ(integer(quality, u"FullColorPathConversion"), l.pathConversion) << l.level;
        EXPECT_EQ(integer(quality, u"GDCClipMode"), l.clipMode) << l.level;
        // Level 0 leaves the anti-aliasing size as it was.
        EXPECT_EQ(integer(fontSystem, u"AASize"), l.aaSize) << l.level;
    }
    startRendering(4, 4, WString::fromUtf8(VISTREL_FONTS_DIR));
}

}  // namespace
}  // namespace vistrel
