#include "engine/font/own_outline_font.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/streams.h"
#include "engine/font/font_description.h"

namespace vistrel {
namespace {

// An own outline font file, written field by field.
class FontFile {
public:
    FontFile() { byte(222); }

    FontFile& byte(unsigned v) {
        bytes_.push_back(char(v & 0xFF));
        return *this;
    }
    FontFile& word(int v) {
        byte(unsigned(v) >> 8);
        return byte(unsigned(v));
    }
    FontFile& name(const std::string& text) {
        byte(unsigned(text.size()));
        bytes_ += text;
        return *this;
    }
    FontFile& encoding(const std::vector<std::pair<std::string, unsigned>>& entries) {
        word(int(entries.size()));
        for (const auto& e : entries)
            name(e.first).byte(e.second);
        return *this;
    }
    // A glyph header: P points, box (-200 to 800 high, 0 to 600 wide) and
    // advance (600, 0); the point records follow as raw bytes.
    FontFile& glyph(const std::string& glyphName, int points, const std::string& records) {
        name(glyphName).word(points);
        for (int v : {0, 600, -200, 800, 600, 0})
            word(v);
        bytes_ += records;
        return *this;
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// A move to (10, 0), lines to (20, 0) and (20, 20), a close back.
const std::string kTriangle = std::string("\xA0\x0A\xA1\x0A\xC1\x14\x9B\x00\x0A\x00\x14", 11);

struct Loaded {
    std::unique_ptr<OwnOutlineFont> font;
    bool loaded = false;
};

Loaded load(const std::string& bytes, const WString& encodingName = WString(),
            std::unique_ptr<Differences> differences = nullptr) {
    Type1FontDescription description;
    description.encodingName().assign(encodingName);
    description.setDifferences(std::move(differences));
    Loaded l;
    l.font = std::make_unique<OwnOutlineFont>(description, nullptr);
    MemoryInputStream in(bytes.data(), bytes.size());
    l.loaded = l.font->loadProgram(&in);
    EXPECT_EQ(l.loaded, l.font->isUsable());
    return l;
}

const Path* pathOf(const OwnOutlineFont& font, std::uint32_t code) {
    const GlyphOutline* entry = font.outlines()->lookup(code);
    return entry ? entry->path.get() : nullptr;
}

// Each point record: its flag chooses the delta form, the signs and the
// kind; deltas are magnitudes.
TEST(OwnOutlineFontTest, PointRecords) {
    const struct {
        std::string record;
        std::int32_t x, y, kind;
    } cases[] = {
        {"\x01\x35", 3, 5, 1},                    // form 0: nibbles
        {"\xD0\x07", 0, 7, 0},                    // form 6, dx sign without a dx
        {std::string("\x20\x05\x00", 3), 5, 0, 0},  // form 1
        {"\x4A\x05\x01\x2C", 5, -300, 2},         // form 2, dy negative
        {"\x71\x01\xF4\x09", -500, 9, 1},         // form 3, dx negative
        {std::string("\x9B\x01\x00\x02\x00", 5), -256, -512, 3},  // form 4, both negative
        {"\xA9\xC8", 200, 0, 1},                  // form 5, the dy sign has nothing to change
        {"\xE3", 0, 0, 3},                        // form 7
        {"\x24\x01\x01", 1, 1, 65535},            // kind 4
    };
    for (const auto& c : cases) {
        FontFile file;
        file.encoding({}).word(1).glyph("A", 1, c.record);
        const Loaded l = load(file.bytes());
        ASSERT_TRUE(l.loaded) << int(std::uint8_t(c.record[0]));
        const Path* path = pathOf(*l.font, 'A');
        ASSERT_TRUE(path);
        ASSERT_EQ(path->points().size(), 1u);
        EXPECT_EQ(path->points()[0], (PathPoint{c.x, c.y, c.kind})) << int(std::uint8_t(c.record[0]));
    }
}

// Deltas add up from (0, 0) per glyph; the box and the advance are the
// header's (signed: a descender goes below 0); a glyph with a point of kind
// 5 to 7 gets no outline, and the glyphs after it are still read.
TEST(OwnOutlineFontTest, GlyphsFromTheirHeaderAndPoints) {
    FontFile file;
    file.encoding({}).word(3);
    file.glyph("B", 2, "\x01\x35\xC1\x07");
    file.glyph("C", 2, std::string("\x05\x00\x01\x11", 4));
    file.glyph("A", 4, kTriangle);
    const Loaded l = load(file.bytes());
    ASSERT_TRUE(l.loaded);
    const Path* b = pathOf(*l.font, 'B');
    ASSERT_TRUE(b);
    EXPECT_EQ(b->points(), (std::vector<PathPoint>{{3, 5, 1}, {3, 12, 1}}));
    EXPECT_EQ(b->boxMin(), IntPoint(0, -200));
    EXPECT_EQ(b->boxMax(), IntPoint(600, 800));
    EXPECT_EQ(b->AdvanceWidth(), 600);
    EXPECT_DOUBLE_EQ(l.font->programAdvance('B'), 0.6);
    EXPECT_EQ(pathOf(*l.font, 'C'), nullptr);
    const Path* a = pathOf(*l.font, 'A');
    ASSERT_TRUE(a);
    EXPECT_EQ(a->points(), (std::vector<PathPoint>{{10, 0, 0}, {20, 0, 1}, {20, 20, 1}, {10, 0, 3}}));
}

// Which code reaches which glyph: without an encoding in the file (E = 0)
// and none from the description, the standard encoding; the file's own
// encoding (a later entry of a code replacing an earlier one) when the
// description names none; the description's named encoding over the file's;
// the description's differences on top of either.
TEST(OwnOutlineFontTest, EncodingOfTheFont) {
    auto differences = [](std::int32_t code, const char16_t* name) {
        auto d = std::make_unique<Differences>();
        d->add(code, WString(name));
        return d;
    };
    const WString none, winAnsi(u"WinAnsiEncoding");
    FontFile plain;
    plain.encoding({}).word(2).glyph("quoteright", 4, kTriangle).glyph("alpha", 4, kTriangle);
    FontFile own;
    own.encoding({{"beta", 0x61}, {"alpha", 0x61}, {"quoteright", 0x27}}).word(2);
    own.glyph("quoteright", 4, kTriangle).glyph("alpha", 4, kTriangle);
    const struct {
        const FontFile& file;
        const WString& encoding;
        std::int32_t differenceCode;
        std::vector<std::uint32_t> reached;  // codes with an outline
    } cases[] = {
        {plain, none, -1, {0x27}},
        {plain, winAnsi, -1, {0x92}},
        {plain, none, 0x62, {0x27, 0x62}},
        {own, none, -1, {0x27, 0x61}},
        {own, winAnsi, -1, {0x92}},
        {own, none, 0x62, {0x27, 0x61, 0x62}},
    };
    for (const auto& c : cases) {
        const Loaded l = load(c.file.bytes(), c.encoding,
                              c.differenceCode >= 0 ? differences(c.differenceCode, u"/alpha")
                                                    : nullptr);
        ASSERT_TRUE(l.loaded);
        std::vector<std::uint32_t> reached;
        for (std::uint32_t code = 0; code < 256; ++code) {
            if (pathOf(*l.font, code))
                reached.push_back(code);
        }
        EXPECT_EQ(reached, c.reached) << c.encoding.toLatin1() << " " << c.differenceCode;
    }
}

// Two codes of one glyph name get an outline each.
TEST(OwnOutlineFontTest, TwoCodesGetTwoCopies) {
    FontFile file;
    file.encoding({}).word(1).glyph("A", 4, kTriangle);
    auto differences = std::make_unique<Differences>();
    differences->add(1, WString(u"/A"));
    const Loaded l = load(file.bytes(), WString(), std::move(differences));
    const Path* one = pathOf(*l.font, 1);
    const Path* sixtyFive = pathOf(*l.font, 'A');
    ASSERT_TRUE(one && sixtyFive);
    EXPECT_NE(one, sixtyFive);
    EXPECT_EQ(one->points(), sixtyFive->points());
}

// A wrong signature, or a file that ends anywhere before its last byte,
// leaves the font unusable.
TEST(OwnOutlineFontTest, TruncatedOrForeignFilesAreRefused) {
    FontFile file;
    file.encoding({{"alpha", 0x61}}).word(2).glyph("alpha", 4, kTriangle);
    file.glyph("A", 2, std::string("\x01\x35\x5A\x01\x00\x01", 6));
    ASSERT_TRUE(load(file.bytes()).loaded);
    for (std::size_t n = 0; n < file.bytes().size(); ++n)
        EXPECT_FALSE(load(file.bytes().substr(0, n)).loaded) << n;
    std::string foreign = file.bytes();
    foreign[0] = char(221);
    EXPECT_FALSE(load(foreign).loaded);
}

}  // namespace
}  // namespace vistrel
