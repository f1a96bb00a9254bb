#include "engine/export/pdb_page_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/gdi/gdi_test_util.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

// Converts a white page of the given size into the store's current record.
bool convertWhitePage(PDBPageStore& store, int width = 8, int height = 4, int page = 1,
                      std::uint16_t format = kColor4) {
    win::Canvas canvas(width, height);
    return store.convertRenderedPage(canvas.dc, width, height, page, 1.0, format);
}

std::unique_ptr<PdbLinkList> links(int n) {
    auto list = std::make_unique<PdbLinkList>();
    for (int i = 0; i < n; ++i)
        list->append(PdbLink{0, 0, 1, 1, 1, 0, 0});
    return list;
}

std::unique_ptr<PdbAnnotationList> annotations(int n) {
    auto list = std::make_unique<PdbAnnotationList>();
    for (int i = 0; i < n; ++i)
        list->append(PdbAnnotation{0, 0, 1, 1, u"c", u"t"});
    return list;
}

TEST(PDBPageStore, NameKeepsLowBytesAndATerminator) {
    const struct {
        std::u16string name;
        std::string bytes;
    } cases[] = {
        {u"report", "report"},
        {u"\u0141od\u00e9", "Aod\xe9"},
        {std::u16string(40, u'n'), std::string(31, 'n')},
        {std::u16string(u"ab\0cd", 5), "ab"},
    };
    for (const auto& c : cases) {
        std::array<char, 32> expected{};
        std::copy(c.bytes.begin(), c.bytes.end(), expected.begin());
        EXPECT_EQ(PDBPageStore(c.name).name(), expected) << c.bytes;
    }
}

TEST(PDBPageStore, CountsTheRecordsOfItsPages) {
    TempDir tmp;
    ScopedEnv env("TMPDIR", tmp.dir().string());
    PDBPageStore store(u"count");
    EXPECT_EQ(store.countRecords(), 0);

    // Each step spills a page (or changes the store) and gives the count.
    const struct {
        const char* step;
        int links;        // -1: no list
        int annotations;  // -1: no list
        int32_t count;
    } steps[] = {
        {"page without lists", -1, -1, 3},           // index, row table, image
        {"empty lists", 0, 0, 6},                    // row table, image, annotation list
        {"two links, three annotations", 2, 3, 13},  // + links, list, 3 texts
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(convertWhitePage(store)) << s.step;
        EXPECT_GE(store.spillPage(s.links < 0 ? nullptr : links(s.links),
                                  s.annotations < 0 ? nullptr : annotations(s.annotations)),
                  0)
            << s.step;
        EXPECT_EQ(store.countRecords(), s.count) << s.step;
    }
    store.setExtraBlock({u"title"});
    EXPECT_EQ(store.countRecords(), 14);
    store.removeLastPage();
    EXPECT_EQ(store.countRecords(), 7);
    EXPECT_EQ(store.pageCount(), 2);
}

// A page kept in memory holds its coded rows in as many bytes as they take,
// which the memory budget counts: white rows code to a few bytes of their
// packed ones.
TEST(PDBPageStore, KeptPagesHoldNoMoreThanTheirCodedRows) {
    TempDir tmp;
    ScopedEnv env("TMPDIR", tmp.dir().string());
    PDBPageStore store(u"kept");
    for (int page = 1; page <= 3; ++page) {
        ASSERT_TRUE(convertWhitePage(store, 612, 792, page));
        ASSERT_EQ(store.spillPage(nullptr, nullptr), page - 1);
        const PDBPageRecord* rec = store.page(page - 1);
        ASSERT_FALSE(rec->coded.empty());
        EXPECT_LT(rec->coded.size(), rec->packedSize / 10) << page;
        EXPECT_EQ(rec->coded.capacity(), rec->coded.size()) << page;
    }
}

TEST(PDBPageStore, SpillsIntoAPrivateFolderNamedByPosition) {
    TempDir tmp;
    ScopedEnv env("TMPDIR", tmp.dir().string());
    fs::path folder;
    {
        PDBPageStore store(u"spill", 0);
        PDBPageStore other(u"other", 0);
        for (int page : {7, 3}) {
            ASSERT_TRUE(convertWhitePage(store, 10, 3, page));
            EXPECT_EQ(store.spillPage(nullptr, nullptr), page == 7 ? 0 : 1);
        }
        ASSERT_TRUE(convertWhitePage(other));
        ASSERT_EQ(other.spillPage(nullptr, nullptr), 0);

        folder = store.spillFolder().path();
        EXPECT_EQ(folder.parent_path(), tmp.dir());
        EXPECT_NE(folder, fs::path(other.spillFolder().path()));
        struct stat st;
        ASSERT_EQ(stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(fs::file_size(folder / "1.tmp"), 9u);  // 3 rows of 3 bytes
        EXPECT_TRUE(fs::exists(folder / "2.tmp"));
        EXPECT_EQ(store.currentRecord(), nullptr);
        EXPECT_EQ(store.page(0)->page, 7);

        store.removeLastPage();
        EXPECT_FALSE(fs::exists(folder / "2.tmp"));
        EXPECT_TRUE(fs::exists(folder / "1.tmp"));
    }
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::is_empty(tmp.dir()));
}

TEST(PDBPageStore, RefusesPagesItCannotConvertOrSpill) {
    TempDir tmp;
    PDBPageStore store(u"refuse", 0);
    EXPECT_EQ(store.spillPage(nullptr, nullptr), -1);

    win::HDC gone;
    {
        win::Canvas canvas(4, 4);
        gone = canvas.dc;
    }
    win::Canvas canvas(4, 4);
    const struct {
        const char* name;
        win::HDC dc;
        int width, height;
        double zoom;
        std::uint16_t format;
    } refused[] = {
        {"no device context", gone, 4, 4, 1.0, kColor4},
        {"not a device format", canvas.dc, 4, 4, 1.0, kNotPalm},
        {"unknown format", canvas.dc, 4, 4, 1.0, 5},
        {"no width", canvas.dc, 0, 4, 1.0, kColor16},
        {"no height", canvas.dc, 4, 0, 1.0, kColor16a},
        {"zoom 0", canvas.dc, 4, 4, 0.0, kColor4},
    };
    for (const auto& r : refused) {
        ASSERT_TRUE(convertWhitePage(store));
        EXPECT_FALSE(store.convertRenderedPage(r.dc, r.width, r.height, 1, r.zoom, r.format))
            << r.name;
        EXPECT_EQ(store.currentRecord(), nullptr) << r.name;
        EXPECT_EQ(store.spillPage(nullptr, nullptr), -1) << r.name;
    }

    // A spill folder that cannot be made keeps the page for another try.
    ASSERT_TRUE(convertWhitePage(store));
    {
        ScopedEnv env("TMPDIR", tmp.path("missing"));
        EXPECT_EQ(store.spillPage(nullptr, nullptr), -1);
        EXPECT_NE(store.currentRecord(), nullptr);
    }
    ScopedEnv env("TMPDIR", tmp.dir().string());
    EXPECT_EQ(store.spillPage(nullptr, nullptr), 0);
}

}  // namespace
}  // namespace vistrel
