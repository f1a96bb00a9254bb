#include "engine/font/font_database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/constants/setting_keys.h"
#include "engine/font/font_description.h"
#include "engine/font/font_test_util.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using testing::SettingGuard;

// The entry matchStyle chooses for a key name ("" for none), whether it
// gave a file and whether that file opened.
struct Match {
    std::string entry;
    bool file = false;
    bool open = false;
};

Match match(FontDatabase& database, const std::u16string& keyName) {
    Type1FontDescription description;
    description.name().assign(WString(keyName.c_str()));
    WString text(u"T1: ");
    std::unique_ptr<InputStream> file = database.matchStyle(description, text);
    Match m;
    if (text.size() > 4)
        m.entry = text.toLatin1().substr(4);
    m.file = bool(file);
    m.open = file && file->isOpen();
    return m;
}

// A database over a "fonts.dsc" written into a temporary folder.
struct HandMade {
    explicit HandMade(const std::string& fontsDsc, const std::string& cmapDsc = "") {
        testing::writeFile(dir.path("fonts.dsc"), fontsDsc);
        if (!cmapDsc.empty())
            testing::writeFile(dir.path("cmap.dsc"), cmapDsc);
        testing::writeFile(dir.path("a.olf"), "x");
        database.loadFiles(WString::fromUtf8(dir.dir().string() + "/"));
    }
    testing::TempDir dir;
    FontDatabase database;
};

// Requests against the fonts folder the build writes: the standard names
// match their entries exactly (case aside); other names, subset prefixes
// and the style suffixes of font descriptors find the closest face, never
// by a tie of two entries; a name the database does not know lands on
// Helvetica, Times or Courier by its style.
TEST(FontDatabaseTest, GeneratedDatabaseChoosesTheClosestFace) {
    SettingGuard strict(settings::FontSystem, settings::StrictTTSubst);
    FontDatabase database;
    database.loadFiles(testing::testFontsFolder());
    ASSERT_NE(database.fonts(), nullptr);
    EXPECT_EQ(database.fonts()->size(), 35);
    const struct {
        const char16_t* request;
        const char* entry;
    } cases[] = {
        {u"Helvetica", "Helvetica"},
        {u"times-roman", "Times-Roman"},
        {u"Times-Roman-serif", "Times-Roman"},
        {u"arial,bold", "Helvetica-Bold"},
        {u"arialnarrow", "Helvetica-Narrow"},
        {u"couriernewpsmt", "Courier"},
        {u"symbol-symbol", "Symbol"},
        {u"abcdef+helvetica-bold", "Helvetica-Bold"},
        {u"ABCDEF+Arial,Italic", "Helvetica-Oblique"},
        {u"helvetica-symbol", "Helvetica"},
        {u"times-bold-symbol", "Times-Bold"},
        {u"courier-symbol", "Courier"},
        {u"courier-serif-monospace", "Courier"},
        {u"arial-boldmt", "Helvetica-Bold"},
        {u"arial-bolditalicmt", "Helvetica-BoldOblique"},
        {u"timesnewromanps-italicmt", "Times-Italic"},
        {u"timesnewroman,bolditalic", "Times-BoldItalic"},
        {u"couriernew,bold", "Courier-Bold"},
        {u"couriernewps-bolditalicmt", "Courier-BoldOblique"},
        {u"symbolmt-symbol", "Symbol"},
        {u"zapfdingbats-symbol", "ZapfDingbats"},
        {u"helvetica-narrow-bold-symbol", "Helvetica-Narrow-Bold"},
        {u"arialnarrow-bold", "Helvetica-Narrow-Bold"},
        {u"avantgarde-demi-symbol", "AvantGarde-Demi"},
        {u"avantgarde-bookoblique-symbol", "AvantGarde-BookOblique"},
        {u"bookman-lightitalic-symbol", "Bookman-LightItalic"},
        {u"bookman-demi-serif", "Bookman-Demi"},
        {u"newcenturyschlbk-bolditalic-serif", "NewCenturySchlbk-BoldItalic"},
        {u"centuryschoolbook,bold", "NewCenturySchlbk-Bold"},
        {u"palatino-roman-serif", "Palatino-Roman"},
        {u"palatino-italic-serif-italic", "Palatino-Italic"},
        {u"zapfchancery-mediumitalic-symbol", "ZapfChancery-MediumItalic"},
        {u"nimbusroman-bold", "Times-Bold"},
        {u"urwgothic-book-symbol", "AvantGarde-Book"},
        {u"timesroman", "Times-Roman"},
        {u"verdana", "Helvetica"},
        {u"verdana,bold", "Helvetica-Bold"},
        {u"calibri-bold-symbol", "Helvetica-Bold"},
        {u"georgia-serif", "Times-Roman"},
        {u"georgia-serif-italic", "Times-Italic"},
        {u"lucidaconsole-monospace", "Courier"},
        {u"consolas-bold-monospace", "Courier-Bold"},
        {u"wingdings-symbol", "Helvetica"},
    };
    for (bool strictOn : {false, true}) {
        strict.set(SettingValue::ofBoolean(strictOn));
        for (const auto& c : cases) {
            const Match m = match(database, c.request);
            EXPECT_EQ(m.entry, c.entry) << WString(c.request).toLatin1();
            EXPECT_TRUE(m.file && m.open) << c.entry;
        }
    }
}

// The scoring rules on small databases: both style flags of a request
// count (bold and oblique pick the bold italic entry); the monospace flag
// alone (128) ties with two keywords (128), and the entry with more words
// wins; a /keyOnly entry scores by its keywords alone; on a full tie the
// entry met first stays; an empty word is found in every request; an
// entry must score above 0 or match a word.
TEST(FontDatabaseTest, ScoringRules) {
    const std::string flags = " /FileName (a.olf) ";
    HandMade styles("<< /Plain <<" + flags + "/isBold 0 /isItalic 0 >> /Both <<" + flags +
                    "/isBold 1 /isItalic 1 >> /Bold <<" + flags + "/isBold 1 /isItalic 0 >> >>");
    EXPECT_EQ(match(styles.database, u"x-bold-oblique").entry, "Both");

    HandMade words("<< /Mono <<" + flags + "/isMonoSpace 0 >> /Words <<" + flags +
                   "/KeyWords (ab cd) >> >>");
    EXPECT_EQ(match(words.database, u"abcd").entry, "Words");

    HandMade keyOnly("<< /Flags <<" + flags + "/isBold 1 >> /Keys <<" + flags +
                     "/keyOnly 1 /isBold 0 /isItalic 0 /isSerif 0 /isMonoSpace 0 /KeyWords (zz) >> >>");
    EXPECT_EQ(match(keyOnly.database, u"plain").entry, "");
    EXPECT_EQ(match(keyOnly.database, u"plain-zz").entry, "Keys");

    HandMade tie("<< /One <<" + flags + "/isBold 0 >> /Two <<" + flags + "/isBold 0 >> >>");
    const PdfName* first = nameOf(tie.database.fonts()->entries().begin()->key);
    ASSERT_TRUE(first);
    EXPECT_EQ("/" + match(tie.database, u"plain").entry, first->textValue().toLatin1());

    HandMade empty("<< /Other <<" + flags + "/isBold 0 >> /Empty <<" + flags +
                   "/isBold 0 /KeyWords (qq  rr) >> >>");
    EXPECT_EQ(match(empty.database, u"plain").entry, "Empty");
}

// With "StrictTTSubst" on, an entry whose /FamilyName is the request itself
// is left out, even the only one; the comparison is case-sensitive against
// the lower-cased request. An exact entry name wins at once; entries that
// are no dictionaries are skipped; an entry without /FileName is named in
// the text but gives no file, nor does one climbing out of the folder; one
// naming a missing file gives a stream that is not open.
TEST(FontDatabaseTest, StrictSubstitutionAndEntries) {
    SettingGuard strict(settings::FontSystem, settings::StrictTTSubst);
    HandMade only("<< /Only << /FileName (a.olf) /FamilyName (arial) /KeyWords (arial) >> >>");
    HandMade capital("<< /Only << /FileName (a.olf) /FamilyName (Arial) /KeyWords (arial) >> >>");
    for (bool on : {false, true}) {
        strict.set(SettingValue::ofBoolean(on));
        EXPECT_EQ(match(only.database, u"Arial").entry, on ? "" : "Only") << on;
        EXPECT_EQ(match(only.database, u"arial-bold").entry, "Only") << on;
        EXPECT_EQ(match(capital.database, u"arial").entry, "Only") << on;
    }

    HandMade entries("<< /Bad 5 /Exact << /FileName (a.olf) >> /Best << /FileName (a.olf) "
                     "/KeyWords (exact exact) /isBold 0 /isItalic 0 /isSerif 0 >> /NoFile << "
                     "/KeyWords (nofile) >> /Missing << /FileName (missing.olf) /KeyWords "
                     "(missing) >> /Up << /FileName (sub/../a.olf) /KeyWords (up) >> >>");
    EXPECT_EQ(match(entries.database, u"exact").entry, "Exact");
    const Match noFile = match(entries.database, u"nofile-x");
    EXPECT_EQ(noFile.entry, "NoFile");
    EXPECT_FALSE(noFile.file);
    const Match missing = match(entries.database, u"missing");
    EXPECT_EQ(missing.entry, "Missing");
    EXPECT_TRUE(missing.file);
    EXPECT_FALSE(missing.open);
    // The name is taken as the description file gives it.
    std::filesystem::create_directory(entries.dir.path("sub"));
    const Match up = match(entries.database, u"up");
    EXPECT_EQ(up.entry, "Up");
    EXPECT_TRUE(up.open);
}

// A missing file, or one whose first object is no dictionary, leaves its
// slot empty and every match none; a slot once filled is not read again,
// an empty one is by the next load.
TEST(FontDatabaseTest, FilesReadOnce) {
    FontDatabase missing;
    missing.loadFiles(WString(u"/nonexistent/"));
    EXPECT_EQ(missing.fonts(), nullptr);
    EXPECT_EQ(match(missing, u"helvetica").entry, "");

    for (const char* text : {"[ << /A << /FileName (a.olf) >> >> ]", "garbage", ""}) {
        HandMade malformed(text);
        EXPECT_EQ(malformed.database.fonts(), nullptr) << text;
        EXPECT_EQ(match(malformed.database, u"a").entry, "") << text;
    }

    HandMade loaded("<< /A << /FileName (a.olf) >> >>");
    PdfDict* fonts = loaded.database.fonts();
    loaded.database.loadFiles(testing::testFontsFolder());
    EXPECT_EQ(loaded.database.fonts(), fonts);
    ASSERT_NE(loaded.database.cmaps(), nullptr);
    EXPECT_EQ(loaded.database.cmaps()->size(), 0);
}

// CMaps: the entry of the CMap's name, else the first of the same
// registry and ordering; none without a /FileName string or a database.
TEST(FontDatabaseTest, CMapLookup) {
    HandMade database("<< >>",
                      "<< /Named << /Registry (Adobe) /Ordering (Japan1) /FileName (a.olf) >> "
                      "/NoFile << /Registry (Adobe) /Ordering (GB1) >> >>");
    ASSERT_NE(database.database.cmaps(), nullptr);
    const struct {
        const char16_t *name, *registry, *ordering;
        bool found;
    } cases[] = {
        {u"/Named", u"", u"", true},
        {u"/Other", u"Adobe", u"Japan1", true},
        {u"/Other", u"Adobe", u"Korea1", false},
        {u"/NoFile", u"", u"", false},
        {u"/Other", u"Adobe", u"GB1", false},
    };
    for (const auto& c : cases) {
        const CMapRequest request{WString(c.name), WString(c.registry), WString(c.ordering)};
        std::unique_ptr<InputStream> file = database.database.lookup(request);
        EXPECT_EQ(file && file->isOpen(), c.found) << WString(c.name).toLatin1();
    }
    FontDatabase empty;
    EXPECT_EQ(empty.lookup(CMapRequest{WString(u"/Named"), WString(), WString()}), nullptr);
}

}  // namespace
}  // namespace vistrel
