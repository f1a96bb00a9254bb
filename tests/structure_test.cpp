// Document structure read from fixture files: the catalog, the page tree and
// its inherited attributes, outlines, form XObjects, purging, and the hostile
// cycles that must end.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "engine/parser/pdf_document.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {
namespace {

// An open fixture with its catalog. The catalog goes first: its destructor
// reads the document's trailer.
struct Doc {
    explicit Doc(const char* name, bool withCatalog = true)
        : stream(std::make_unique<FileInputStream>(
              WideFromUtf8(std::string(VISTREL_STRUCTURE_DIR) + "/" + name), 4096)),
          doc(std::make_unique<PdfDocument>(stream.get(), true)),
          catalog(withCatalog ? std::make_unique<PdfCatalog>(doc.get()) : nullptr) {}
    ~Doc() {
        catalog.reset();
        refs.clear();
        doc.reset();
    }
    PdfRef* ref(int32_t number) {
        refs.push_back(makeRef<PdfRef>(doc.get(), number, 0));
        return refs.back().get();
    }
    int32_t pageNumberOf(int32_t objectNumber) {
        Ref<PdfPage> page = catalog->getPageIndex(ref(objectNumber));
        return page ? catalog->lastPageNumber() : -1;
    }

    std::unique_ptr<FileInputStream> stream;
    std::unique_ptr<PdfDocument> doc;
    std::unique_ptr<PdfCatalog> catalog;
    std::vector<Ref<PdfRef>> refs;
};

std::string title(const OutlineItem& item) {
    const WString* t = item.getTitle();
    return t ? t->toLatin1() : "(none)";
}

TEST(StructureTest, InheritedBoxesRotationsAndResources) {
    Doc d("inherited.pdf");
    ASSERT_TRUE(d.catalog->isLoaded());
    EXPECT_EQ(d.catalog->getPageCount(), 6);
    // Node B (the parent of 13 and 14) has /Kids and /Count but no /Type:
    // the page walk descends into it, but inheritance stops there.
    enum Resources { kNone, kRoot, kOwn };
    struct Case {
        int32_t object;
        int32_t width, height;  // -1: no box
        bool hasText;
        Resources resources;
    } cases[] = {
        {10, 792, 612, true, kRoot}, {11, 50, 100, true, kRoot}, {12, 792, 612, false, kOwn},
        {13, 100, 200, true, kNone}, {14, -1, -1, true, kOwn},   {15, 612, 792, true, kOwn},
    };
    PdfDict* rootResources = asDict(d.ref(3));
    ASSERT_TRUE(rootResources);
    for (int32_t i = 0; i < 6; ++i) {
        const Case& c = cases[i];
        Ref<PdfPage> page = d.catalog->getPage(i + 1);
        ASSERT_TRUE(page) << i + 1;
        EXPECT_EQ(page->getId().number, c.object);
        int32_t w = -1, h = -1;
        EXPECT_EQ(getPageBoxes(page.get(), w, h), c.width != -1) << c.object;
        EXPECT_EQ(w, c.width) << c.object;
        EXPECT_EQ(h, c.height) << c.object;
        EXPECT_EQ(page->hasText(), c.hasText) << c.object;
        Resources r = !page->resources()                   ? kNone
                      : page->resources() == rootResources ? kRoot
                                                           : kOwn;
        EXPECT_EQ(r, c.resources) << c.object;
        // /Annots sits on the root only and is never inherited.
        EXPECT_EQ(getInheritedAttribute(page.get(), names::Annots, false), nullptr);
        bool underB = c.object == 13 || c.object == 14;
        EXPECT_EQ(getInheritedAttribute(page.get(), names::Annots, true) != nullptr, !underB)
            << c.object;
        EXPECT_EQ(d.pageNumberOf(c.object), i + 1);
    }
    EXPECT_EQ(d.catalog->getPage(0), nullptr);
    EXPECT_EQ(d.catalog->getPage(7), nullptr);
    EXPECT_EQ(d.catalog->getOutlines(), nullptr);
    EXPECT_EQ(d.catalog->namesDict(), nullptr);
    EXPECT_EQ(d.catalog->infoDict(), nullptr);
}

TEST(StructureTest, PageNumbersInABalancedTree) {
    Doc d("balanced.pdf");
    ASSERT_TRUE(d.catalog->isLoaded());
    for (int32_t n = 1; n <= 6; ++n) {
        Ref<PdfPage> page = d.catalog->getPage(n);
        ASSERT_TRUE(page) << n;
        EXPECT_EQ(page->getId().number, 9 + n);
        EXPECT_EQ(d.pageNumberOf(9 + n), n);
    }
    // Not a page: nothing, and the last number stays.
    EXPECT_EQ(d.catalog->getPageIndex(d.ref(3)), nullptr);
    EXPECT_EQ(d.catalog->lastPageNumber(), 6);
}

TEST(StructureTest, PageNumbersFromTheCountsBeforeEachAncestor) {
    Doc d("page_numbers.pdf");
    ASSERT_TRUE(d.catalog->isLoaded());
    // Before every case page 13 is looked up (number 10), so a lookup that
    // cannot tell a number shows 10.
    struct Case {
        int32_t object;
        int32_t number;
    } cases[] = {
        {10, 4},   // after node 3 (/Count 3)
        {11, 1},   // listed twice: the first place counts
        {12, 3},   // after both places of 11
        {14, 5},   // before the kid that is no object
        {15, 10},  // after it: no number
        {16, 7},   //
        {17, 10},  // after a direct kid: no number
        {18, 11},  // not among its parent's kids: all of them count
        {19, 14},  // the same, then node 3's siblings search on for 19
    };
    // Three passes: the second answers from what the first learned, the
    // third after a purge.
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 2)
            d.catalog->purge(-1);
        for (const Case& c : cases) {
            ASSERT_EQ(d.pageNumberOf(13), 10);
            EXPECT_EQ(d.pageNumberOf(c.object), c.number) << c.object << " pass " << pass;
        }
    }
    // A /Count written through the outline functions counts at once.
    setOutlineCount(asDict(d.ref(3)), 5);
    EXPECT_EQ(d.pageNumberOf(10), 6);
    EXPECT_EQ(d.pageNumberOf(13), 12);
}

TEST(StructureTest, CatalogsThatDoNotLoad) {
    struct Case {
        const char* file;
        bool loaded;
        int32_t pages;
    } cases[] = {
        {"direct_root.pdf", false, 0},
        {"plain_pages_root.pdf", false, 0},
    };
    for (const Case& c : cases) {
        Doc d(c.file);
        EXPECT_EQ(d.catalog->isLoaded(), c.loaded) << c.file;
        EXPECT_EQ(d.catalog->getPageCount(), c.pages) << c.file;
        EXPECT_EQ(d.catalog->getPage(1), nullptr) << c.file;
        EXPECT_EQ(d.catalog->getOutlines(), nullptr) << c.file;
    }
    // getPageIndex works from the reference alone, loaded or not.
    Doc d("plain_pages_root.pdf");
    EXPECT_EQ(d.pageNumberOf(3), 1);
    EXPECT_EQ(d.catalog->getPageMode(), nullptr);
}

TEST(StructureTest, PageCountIsThePagesTheTreeHolds) {
    struct Case {
        const char* file;
        std::vector<int32_t> pages;  // object numbers in page order
    } cases[] = {
        {"balanced.pdf", {10, 11, 12, 13, 14, 15}},
        {"count_too_big.pdf", {3}},                 // /Count 2147483647
        {"count_too_small.pdf", {10, 11, 12}},      // /Count 1 and 0
        {"root_without_count.pdf", {3}},            // no /Count
        {"shared_node.pdf", {10, 11, 10, 11, 12}},  // a node listed twice
        {"cycles.pdf", {10, 11}},                   // /Count 5
        // /Count values that agree with the root's but not with the pages
        // below them, on the way to the last page or on it.
        {"count_low_before.pdf", {10, 11, 20}},
        {"count_high_before.pdf", {10, 11, 20}},
        {"count_missing_before.pdf", {10, 11, 20}},
        {"count_wrong_below.pdf", {20, 10, 11, 12}},
        {"count_negative.pdf", {10, 11, 12}},        // root /Count -3
        {"count_negative_below.pdf", {10, 11, 20}},  // a kid's /Count -1
        // Counts that check two levels down but lie, or lead into a cycle,
        // below that on the way to the last page.
        {"count_wrong_deep.pdf", {10, 11, 20}},
        {"cycle_deep.pdf", {10}},
    };
    for (const Case& c : cases) {
        // Pages found before the count is asked (by the counts where they
        // check) and after it (from the list): the same pages either way.
        for (bool countFirst : {false, true}) {
            Doc d(c.file);
            ASSERT_TRUE(d.catalog->isLoaded()) << c.file;
            int32_t count = int32_t(c.pages.size());
            if (countFirst) {
                EXPECT_EQ(d.catalog->getPageCount(), count) << c.file;
            }
            // From the last page down, so that no page found before helps.
            for (int32_t n = count + 1; n >= 0; --n) {
                Ref<PdfPage> page = d.catalog->getPage(n);
                if (n == 0 || n > count) {
                    EXPECT_EQ(page, nullptr) << c.file << " page " << n;
                    continue;
                }
                ASSERT_TRUE(page) << c.file << " page " << n;
                EXPECT_EQ(page->getId().number, c.pages[size_t(n - 1)])
                    << c.file << " page " << n << (countFirst ? " after the count" : "");
            }
            EXPECT_EQ(d.catalog->getPage(INT32_MAX), nullptr) << c.file;
            EXPECT_EQ(d.catalog->getPageCount(), count) << c.file;
        }
    }
}

TEST(StructureTest, CountAndLastPageReadOnlyTheirWay) {
    // 1 catalog, 21 pages nodes and 64 pages: listing them all reads 86
    // objects; the count and the last page read the nodes, and the pages two
    // levels below the nodes on the way to the first and the last page (32).
    Doc d("wide_tree.pdf");
    EXPECT_EQ(d.catalog->getPageCount(), 64);
    Ref<PdfPage> last = d.catalog->getPage(64);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->getId().number, 163);
    EXPECT_EQ(d.catalog->getPage(65), nullptr);
    EXPECT_LT(d.doc->cachedCount(), 86);
}

TEST(StructureTest, SelfReferencesAreFreedWithTheDocument) {
    // Objects whose references lead back to themselves once resolved: a pages
    // node that is its own /Parent, or one of two nodes that are each other's,
    // resolved when a page without /Resources looks them up; an open outline
    // item that is its own /First, resolved when its kids are counted. With
    // the document gone, nothing but the test holds the watched object.
    struct Case {
        const char* file;
        int32_t fetched;  // the object read
        int32_t watched;  // the object on the cycle
        bool outline;     // read as an outline item
    } cases[] = {
        {"self_parent.pdf", 3, 2, false},
        {"parent_cycle.pdf", 4, 3, false},
        {"outline_own_first.pdf", 5, 5, true},
    };
    for (bool withCatalog : {false, true}) {
        for (const Case& c : cases) {
            Ref<PdfDict> watched;
            {
                Doc d(c.file, withCatalog);
                PdfDict* fetched = asDict(d.ref(c.fetched));
                ASSERT_TRUE(fetched) << c.file;
                if (c.outline)
                    EXPECT_EQ(OutlineItem(fetched).kidCount(), 1) << c.file;
                else
                    EXPECT_TRUE(asPage(fetched)) << c.file;
                watched = Ref<PdfDict>::share(asDict(d.ref(c.watched)));
                ASSERT_TRUE(watched) << c.file;
            }
            EXPECT_EQ(watched->refCount(), 1u)
                << c.file << (withCatalog ? " with" : " without") << " a catalog";
        }
    }
}

TEST(StructureTest, OutlinesOpenAndClosed) {
    Doc d("outline.pdf");
    ASSERT_TRUE(d.catalog->isLoaded());
    OutlineItem* root = d.catalog->getOutlines();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->kidCount(), 2);
    EXPECT_TRUE(root->isOpen());
    EXPECT_EQ(root->openCount(), 2);
    EXPECT_EQ(d.catalog->getPageMode()->textValue().toLatin1(), "/UseOutlines");

    OutlineItem one(asDict(root->dict()->get(names::First)));
    EXPECT_EQ(title(one), "One");
    EXPECT_TRUE(one.isOpen());
    EXPECT_EQ(one.kidCount(), 2);
    EXPECT_EQ(d.catalog->getPageIndex(asArray(one.getDest())->at(0)).get() != nullptr, true);
    EXPECT_EQ(d.catalog->lastPageNumber(), 2);

    OutlineItem two(asDict(one.dict()->get(names::Next)));
    EXPECT_EQ(title(two), "Two");
    EXPECT_FALSE(two.isOpen());
    EXPECT_EQ(two.kidCount(), 0);
    EXPECT_EQ(two.openCount(), 0);
    EXPECT_EQ(two.getAction(), nullptr);

    // The cursor moves, and opening or closing an item updates every
    // ancestor's /Count.
    EXPECT_TRUE(two.toKid(0));
    EXPECT_EQ(title(two), "Two.A");
    EXPECT_EQ(getOutlineCount(asDict(d.ref(13))), 1);  // toKid opened "Two"
    EXPECT_EQ(getOutlineCount(root->dict()), 5);
    EXPECT_TRUE(two.toParent());
    EXPECT_EQ(two.kidCount(), 1);
    EXPECT_FALSE(two.open());  // already open
    two.toggle();
    EXPECT_EQ(getOutlineCount(two.dict()), -1);
    EXPECT_EQ(getOutlineCount(root->dict()), 4);
    EXPECT_FALSE(two.toKid(1));
    EXPECT_EQ(title(two), "Two");

    OutlineItem a(asDict(d.ref(11)));
    bool created = false;
    Ref<PdfAction> action = a.getAction(&created);
    ASSERT_TRUE(action);
    EXPECT_TRUE(created);
    EXPECT_EQ(action->actionKind(), PdfAction::kGoTo);

    // Destination tables: /Dests copied, every /Names entry replaced.
    ASSERT_TRUE(d.catalog->dests());
    EXPECT_EQ(d.catalog->dests()->classKind(), kClassDestinationTable);
    EXPECT_TRUE(d.catalog->dests()->get(PdfName(WString(u"/chapter"))));
    PdfObject* namesDests = d.catalog->namesDict()->get(names::Dests);
    ASSERT_TRUE(namesDests);
    EXPECT_EQ(namesDests->classKind(), kClassDestinationTable);
    EXPECT_TRUE(static_cast<PdfDict*>(namesDests)->get(names::Names));
    // /Info names an object that is not there.
    EXPECT_EQ(d.catalog->infoDict(), nullptr);
}

TEST(StructureTest, ClosedOutlineRootCountsNoKids) {
    Doc d("closed_outline.pdf");
    ASSERT_TRUE(d.catalog->getOutlines());
    EXPECT_EQ(d.catalog->getOutlines()->kidCount(), 0);
    EXPECT_EQ(countOutlineKids(d.catalog->getOutlines()->dict()), 3);
    ASSERT_TRUE(d.catalog->infoDict());
    EXPECT_TRUE(d.catalog->infoDict()->get(names::Producer));
}

TEST(StructureTest, CyclesEndTheWalks) {
    Doc d("cycles.pdf");
    ASSERT_TRUE(d.catalog->isLoaded());
    // /Kids that list a node below itself: found where the counts lead
    // without passing the node again, nothing otherwise.
    struct Case {
        int32_t index;
        int32_t object;  // -1: no page
    } cases[] = {{1, 10}, {2, 11}, {3, -1}, {4, -1}, {5, -1}, {6, -1}};
    for (const Case& c : cases) {
        Ref<PdfPage> page = d.catalog->getPage(c.index);
        EXPECT_EQ(page ? page->getId().number : -1, c.object) << c.index;
    }
    // A /Parent cycle above page 10: no inherited value, no page number.
    Ref<PdfPage> page = d.catalog->getPage(1);
    ASSERT_TRUE(page);
    int32_t w = -7, h = -7;
    EXPECT_FALSE(getPageBoxes(page.get(), w, h));
    EXPECT_EQ(w, -7);
    EXPECT_EQ(lookupInherited(page.get(), names::Resources), nullptr);
    // Page 11 sits in a node that lists itself before the page.
    EXPECT_EQ(d.pageNumberOf(11), 4);
    EXPECT_TRUE(d.catalog->getPageIndex(d.ref(10)));
    EXPECT_EQ(d.catalog->lastPageNumber(), 4);  // unchanged: the root is never reached

    // A /Next cycle and a /Parent cycle in the outline.
    OutlineItem* root = d.catalog->getOutlines();
    ASSERT_TRUE(root);
    EXPECT_EQ(root->kidCount(), 2);
    OutlineItem b(asDict(d.ref(22)));
    EXPECT_EQ(b.kidCount(), 2);  // 22 is its own first kid; 22, 21, then the repeat
    EXPECT_FALSE(b.toKid(5));
    EXPECT_TRUE(b.toKid(1));
    EXPECT_EQ(title(b), "loop a");
    OutlineItem a(asDict(d.ref(21)));
    a.toggle();  // adds to the ancestors 23, 21 (the repeat ends the walk)
    EXPECT_EQ(getOutlineCount(asDict(d.ref(23))), 0);
}

TEST(StructureTest, FormXObjects) {
    Doc d("forms.pdf");
    struct Case {
        int32_t object;
        uint16_t classKind;
    } cases[] = {
        {3, kClassFormXObject}, {4, kClassFormXObject}, {5, kClassStream},      {6, kClassStream},
        {7, kClassStream},      {8, kClassStream},      {9, kClassFormXObject},
    };
    for (const Case& c : cases) {
        PdfObject* o = d.ref(c.object)->direct();
        ASSERT_TRUE(o) << c.object;
        EXPECT_EQ(o->classKind(), c.classKind) << c.object;
    }
    FormXObject* form = asFormXObject(d.ref(3));
    ASSERT_TRUE(form);
    EXPECT_EQ(form->matrix().a, 2);
    EXPECT_EQ(form->matrix().f, 6);
    ASSERT_TRUE(form->resources());
    EXPECT_TRUE(form->resources()->get(names::ProcSet));
    FormXObject* bare = asFormXObject(d.ref(4));
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->matrix().a, 1);
    EXPECT_EQ(bare->matrix().e, 0);
    EXPECT_EQ(bare->resources(), nullptr);
    ASSERT_TRUE(bare->open());
    std::string data;
    for (uint16_t b = bare->getByte(); b != 0xFFFF; b = bare->getByte())
        data += char(b);
    bare->close();
    EXPECT_EQ(data, "0 0 m");
}

TEST(StructureTest, PurgeKeepsWhatOthersHold) {
    Doc d("balanced.pdf");
    Ref<PdfPage> held = d.catalog->getPage(1);
    PdfPage* dropped = d.catalog->getPage(2).get();
    ASSERT_TRUE(held && dropped);
    int32_t cachedBefore = d.doc->cachedCount();
    EXPECT_TRUE(d.catalog->purge(-1));
    EXPECT_LT(d.doc->cachedCount(), cachedBefore);
    EXPECT_EQ(d.catalog->getPage(1).get(), held.get());
    Ref<PdfPage> again = d.catalog->getPage(2);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->getId().number, 11);
    EXPECT_EQ(d.catalog->getPageCount(), 6);
}

}  // namespace
}  // namespace vistrel
