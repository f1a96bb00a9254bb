#include "engine/control/tree_records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/font/font_description.h"

namespace vistrel {
namespace {

using namespace VISTRELLib;

// The page matrix of a 612 x 792 page at zoom 1, upright.
constexpr Matrix kUpright{1, 0, 0, -1, 0, 792};

ObjectRef numbers(std::initializer_list<double> values) {
    auto array = ObjectRef::adopt(new PdfArray());
    for (double v : values)
        static_cast<PdfArray*>(array.get())->append(ObjectRef::adopt(new PdfNumber(v)));
    return array;
}

TEST(TreeRecordsTest, RoundedPixelsSaturateAndRefuseWhatIsNotFinite) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(roundedPixel(2.5), 3);
    EXPECT_EQ(roundedPixel(-2.5), -3);
    EXPECT_EQ(roundedPixel(1e12), INT32_MAX);
    EXPECT_EQ(roundedPixel(-1e12), INT32_MIN);
    EXPECT_FALSE(roundedPixel(inf));
    EXPECT_FALSE(roundedPixel(std::nan("")));
}

TEST(TreeRecordsTest, LinkCornersKeepTheirOrderAndTargetsStayAtZeroOrAbove) {
    PageLink link{};
    const double rect[4] = {10.4, 20.6, 60.5, 70};
    ASSERT_TRUE(linkCorners(rect, kUpright, link));
    // Not truncated first; with the flip the first corner lies lower.
    EXPECT_EQ((std::vector<LONG>{link.x, link.y, link.x1, link.y1}),
              (std::vector<LONG>{10, 771, 61, 722}));
    const double far[4] = {0, 0, 1e308, -1e308};
    const Matrix zoomed{1e10, 0, 0, -1e10, 0, 0};
    EXPECT_FALSE(linkCorners(far, zoomed, link));

    linkTarget(100.4, 700, kUpright, link);
    EXPECT_EQ(link.toX, 100);
    EXPECT_EQ(link.toY, 92);
    // (0, 0) lands on the bottom-left corner: x not above 0 gives 0.
    linkTarget(0, 0, kUpright, link);
    EXPECT_EQ(link.toX, 0);
    EXPECT_EQ(link.toY, 792);
    linkTarget(0, 900, kUpright, link);
    EXPECT_EQ(link.toY, 0);
}

TEST(TreeRecordsTest, AnnotationBoxesAreTruncatedBeforeTheMatrix) {
    const struct {
        double rect[4];
        Matrix m;
        std::vector<int32_t> box;  // x, y, width, height
    } cases[] = {
        {{10.9, 20.9, 110.9, 70.9}, kUpright, {10, 722, 100, 50}},
        // Corners given the other way round.
        {{110, 70, 10, 20}, kUpright, {10, 722, 100, 50}},
        {{-0.9, 0.9, 10, 10}, Matrix{2, 0, 0, -2, 0, 1584}, {0, 1564, 20, 20}},
        // Numbers far beyond 32 bits saturate; the width stays within range.
        {{-1e20, 0, 1e20, 10}, kUpright, {INT32_MIN, 782, INT32_MAX, 10}},
    };
    for (const auto& c : cases) {
        const std::optional<PixelBox> box = annotationBox(c.rect, c.m);
        ASSERT_TRUE(box);
        EXPECT_EQ((std::vector<int32_t>{box->x, box->y, box->width, box->height}), c.box);
    }
    const double rect[4] = {0, 0, 10, 10};
    EXPECT_FALSE(annotationBox(rect, Matrix{std::nan(""), 0, 0, 1, 0, 0}));
}

TEST(TreeRecordsTest, AnnotationColours) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        ObjectRef c;
        std::optional<int32_t> color;
    } cases[] = {
        {numbers({1, 0, 0}), 0x0000FF},
        {numbers({0, 0.5, 1}), 0xFF7F00},
        // Components beyond 1 keep the low byte of their scaled value.
        {numbers({2, 0, 0}), 0x0000FE},
        {numbers({1}), kDefaultAnnotationColor},
        {numbers({1, 0, 0, 0}), kDefaultAnnotationColor},
        {ObjectRef::adopt(new PdfArray()), kDefaultAnnotationColor},
        {ObjectRef::adopt(new PdfNumber(1)), kDefaultAnnotationColor},
        {nullptr, kDefaultAnnotationColor},
        {numbers({1e30, 0, 0}), 0x0000FF},
        {numbers({inf, 0, 0}), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(annotationColor(c.c.get()), c.color);
}

TEST(TreeRecordsTest, FontRecordsFromKeysAndDescriptions) {
    using T = FontType;
    const struct {
        std::u16string key, description, encoding;
        bool listed;
        T original = T::TrueType, used = T::TrueType;
        std::u16string originalName = {}, usedName = {};
    } cases[] = {
        {u"PDF_TT: ABCDEF+Arial", u"TrueType: Arial ", u"WinAnsiEncoding", true, T::TrueType,
         T::TrueType, u"Arial", u" Arial "},
        // Nothing is trimmed: the blank after the colon stays.
        {u"PDF_TT: Arial", u"TrueType: Arial Bold ", u"", true, T::TrueType, T::TrueType, u" Arial",
         u" Arial Bold "},
        {u"PDF_T1: Times-Roman", u"T1: Times", u"", true, T::Type1, T::Type1, u" Times-Roman",
         u" Times"},
        {u"PDF_T1C: ABCDEF+Minion", u"T1C: ABCDEF+Minion", u"", true, T::Type1C, T::Type1C,
         u"Minion", u"Embedded subset"},
        {u"PDF_T1: Helvetica", u"TrueType: abcdef+liberationsans ", u"", true, T::Type1,
         T::TrueType, u" Helvetica", u"Embedded subset"},
        // Kinds the tree does not list.
        {u"PDF_T0: Foo", u"TrueType: Foo", u"", false},
        {u"PDF_CID2: Foo", u"TrueType: Foo", u"", false},
        {u"PDF_MMT1: Foo", u"T1: Foo", u"", false},
        {u"Standard: Arial", u"TrueType: Arial", u"", false},
        {u"no colon", u"TrueType: Foo", u"", false},
        {u"PDF_TT: Foo", u"no colon", u"", false},
        {u"PDF_TT: Foo", u"Type3 font", u"", false},
        {u"PDF_TT: Foo", u"CID: Foo", u"", false},
    };
    for (const auto& c : cases) {
        int32_t n = 1;
        const std::optional<FontInfoFields> f = fontInfoFields(c.key, c.description, c.encoding, n);
        ASSERT_EQ(bool(f), c.listed);
        EXPECT_EQ(n, 1);
        if (!f)
            continue;
        EXPECT_EQ(f->original, c.original);
        EXPECT_EQ(f->used, c.used);
        EXPECT_EQ(f->originalName, c.originalName);
        EXPECT_EQ(f->usedName, c.usedName);
        EXPECT_EQ(f->encoding, c.encoding);
    }
}

TEST(TreeRecordsTest, Type3FontsAreNumberedInTurn) {
    int32_t n = 1;
    for (const char16_t* name : {u"Type3 font 1", u"Type3 font 2"}) {
        const std::optional<FontInfoFields> f =
            fontInfoFields(u"Type3 font", u"Type3 font", u"", n);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->originalName, name);
        EXPECT_EQ(f->usedName, u"Embedded subset");
        EXPECT_EQ(f->original, FontType::Type3);
        EXPECT_EQ(f->used, FontType::Type3);
    }
    EXPECT_EQ(n, 3);
}

TEST(TreeRecordsTest, FamilyAndStyleOfAWordsFont) {
    const struct {
        const char* name;  // the description's key name
        std::u16string family, modificator;
    } cases[] = {
        {"times-bolditalic,serif,italic", u"Times", u"bold-italic"},
        {"courier-oblique,italic,monospace", u"Courier", u"-italic"},
        // Monospace wins over serif.
        {"x,serif,monospace", u"Courier", u""},
        {"helvetica", u"Helvetica", u""},
        {"semiboldunderlinestrikeout", u"Helvetica", u"bold-underline-strikeout"},
        {"lightbold", u"Helvetica", u""},
    };
    for (const auto& c : cases) {
        auto description = Ref<TrueTypeFontDescription>::adopt(new TrueTypeFontDescription());
        description->name().assign(WString::fromUtf8(c.name));
        EXPECT_EQ(fontFamily(description.get()), c.family) << c.name;
        EXPECT_EQ(fontModificator(description.get()), c.modificator) << c.name;
    }
    EXPECT_EQ(fontFamily(nullptr), u"Helvetica");
    EXPECT_EQ(fontModificator(nullptr), u"");
}

}  // namespace
}  // namespace vistrel
