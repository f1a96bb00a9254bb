#include "engine/doc/typed_objects.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/constants/name_constants.h"
#include "engine/core/streams.h"
#include "engine/doc/page_tree.h"
#include "engine/doc/pdf_page.h"
#include "engine/parser/object_parser.h"
#include "engine/parser/pdf_document.h"

namespace vistrel {
namespace {

// Objects read from text by a document's own parser, which types them.
struct Parsed {
    explicit Parsed(std::string t)
        : text(std::move(t)), stream(text.data(), text.size()), document(&stream, true) {
        stream.seek(0);
        object = ObjectRef::share(document.parser()->entryAt(0));
    }
    PdfDict* dict() const { return asDict(object.get()); }

    std::string text;
    MemoryInputStream stream;
    PdfDocument document;
    ObjectRef object;
};

TEST(TypedObjectsTest, DictionariesAreTypedByTheirEntries) {
    struct Case {
        const char* text;
        uint16_t classKind;
        int32_t detail;  // annotation subtype, action kind or border style
        int32_t extra;   // annotation open flag or border width
    } cases[] = {
        {"<< /Type /Page >>", kClassPage, 0, 0},
        {"<< /Type /Pages /Kids [] /Count 0 >>", kClassPagesNode, 0, 0},
        {"<< /Type /Encoding /Differences [] >>", kClassEncoding, 0, 0},
        {"<< /Type /Annot >>", kClassPlain, 0, 0},
        {"<< /Type /Annot /Subtype /Widget /Open true >>", kClassAnnotation, 0, 0},
        {"<< /Type /Annot /Subtype /Text /Open true >>", kClassAnnotation, 1, 1},
        {"<< /Type /Annot /Subtype /Text /Open 1 >>", kClassAnnotation, 1, 0},
        {"<< /Type /Annot /Subtype /Link /Open true >>", kClassAnnotation, 2, 0},
        {"<< /Type /Annot /Subtype /FreeText >>", kClassAnnotation, 3, 0},
        {"<< /Type /Annot /Subtype /Popup /Open false >>", kClassAnnotation, 4, 0},
        {"<< /Type /Action >>", kClassPlain, 0, 0},
        {"<< /Type /Action /S (GoTo) >>", kClassPlain, 0, 0},
        {"<< /Type /Action /S /URI >>", kClassAction, 0, 0},
        {"<< /Type /Action /S /GoTo /D [1 0 R /Fit] >>", kClassAction, 1, 0},
        {"<< /Type /Border /S /D /W 2.5 >>", kClassBorderStyle, 2, 2},
        {"<< /Type /Border /S /U /W -1.9 >>", kClassBorderStyle, 5, -1},
        {"<< /Type /Border /S /Q >>", kClassBorderStyle, 0, 0},
        {"<< /Type /Border /S (S) /W /x >>", kClassBorderStyle, 0, 0},
        // No font factory is installed here: the dictionary stays.
        {"<< /Type /Font /Subtype /Type1 >>", kClassPlain, 0, 0},
        {"<< /Type /Catalog >>", kClassPlain, 0, 0},
        {"<< /Type (Page) >>", kClassPlain, 0, 0},
        {"<< /Kids [] /Count 1 >>", kClassPlain, 0, 0},
    };
    for (const Case& c : cases) {
        Parsed p(c.text);
        ASSERT_TRUE(p.dict()) << c.text;
        EXPECT_EQ(p.dict()->classKind(), c.classKind) << c.text;
        EXPECT_EQ(p.dict()->kind(), kKindDict) << c.text;
        if (PdfAnnotation* a = asAnnotation(p.dict())) {
            EXPECT_EQ(a->subtypeCode(), c.detail) << c.text;
            EXPECT_EQ(a->openFlag(), c.extra != 0) << c.text;
        }
        if (PdfAction* a = asActionObject(p.dict())) {
            EXPECT_EQ(a->actionKind(), c.detail) << c.text;
        }
        if (asBorderStyle(p.dict())) {
            auto* b = static_cast<BorderStyle*>(p.dict());
            EXPECT_EQ(b->style(), c.detail) << c.text;
            EXPECT_EQ(b->width(), c.extra) << c.text;
        }
    }
}

TEST(TypedObjectsTest, FourNumberArraysBecomeRectangles) {
    struct Case {
        const char* text;
        bool rectangle;
    } cases[] = {
        {"[0 0 612 792]", true},    {"[0.4 -1 2 3.25]", true},  {"[0 0 612]", false},
        {"[0 0 612 792 0]", false}, {"[0 0 612 1 0 R]", false}, {"[0 0 612 /A]", false},
    };
    for (const Case& c : cases) {
        Parsed p(c.text);
        EXPECT_EQ(asRectangle(p.object.get()) != nullptr, c.rectangle) << c.text;
        ASSERT_TRUE(asArray(p.object.get()));
    }
    Parsed p("[0 0 612 792]");
    EXPECT_EQ(p.object->typeName().toLatin1(), "[0, 0, 612, 792]{R}");
    EXPECT_EQ(p.object->text().toLatin1(), "[ 0 0 612 792 ]");
}

// A typed object of another subsystem with a chosen valid flag.
class FakeTyped final : public PdfDict {
public:
    FakeTyped(const PdfDict& d, uint16_t kind, bool valid) : PdfDict(d), kind_(kind) {
        setValid(valid);
    }
    uint16_t classKind() const override { return kind_; }

private:
    uint16_t kind_;
};

int gFactoryCalls = 0;
bool gMakeValid = true;

ObjectRef fakeFunction(const PdfDict& d, InputStream*, const uint8_t*) {
    ++gFactoryCalls;
    if (!d.get(names::FunctionType))
        return nullptr;
    return ObjectRef::adopt(new FakeTyped(d, kClassFunction, gMakeValid));
}

ObjectRef fakeFont(const PdfDict& d) {
    ++gFactoryCalls;
    return ObjectRef::adopt(new FakeTyped(d, kClassFontDict, gMakeValid));
}

TEST(TypedObjectsTest, FactoriesOfOtherSubsystemsAreTakenWhenValid) {
    FunctionFactory oldFunction = setFunctionFactory(fakeFunction);
    FontDictFactory oldFont = setFontDictFactory(fakeFont);
    FontDictFactory oldDescriptor = setFontDescriptorFactory(fakeFont);
    struct Case {
        const char* text;
        bool valid;
        uint16_t classKind;
    } cases[] = {
        {"<< /FunctionType 2 /Type /Page >>", true, kClassFunction},
        {"<< /Type /Font /Subtype /Type1 >>", true, kClassFontDict},
        {"<< /Type /FontDescriptor >>", true, kClassFontDict},
        {"<< /Type /Font /Subtype /Type1 >>", false, kClassPlain},
        {"<< /Type /Page >>", true, kClassPage},
    };
    for (const Case& c : cases) {
        gMakeValid = c.valid;
        Parsed p(c.text);
        EXPECT_EQ(p.object->classKind(), c.classKind) << c.text << " valid " << c.valid;
    }
    setFunctionFactory(oldFunction);
    setFontDictFactory(oldFont);
    setFontDescriptorFactory(oldDescriptor);
    gMakeValid = true;
}

TEST(TypedObjectsTest, AsActionMakesGoToActionsFromLinkEntries) {
    struct Case {
        const char* text;
        bool action;
        bool created;
    } cases[] = {
        {"<< /S /URI /D [1 0 R /Fit] >>", true, true},  // whatever /S names
        {"<< /S /GoTo >>", false, false},
        {"<< /Type /Action /S /URI >>", true, false},
        {"[1 2]", false, false},
    };
    for (const Case& c : cases) {
        Parsed p(c.text);
        bool created = !c.created;
        Ref<PdfAction> a = asAction(p.object.get(), &created);
        EXPECT_EQ(a != nullptr, c.action) << c.text;
        EXPECT_EQ(created, c.created) << c.text;
        if (a && c.created) {
            EXPECT_EQ(a->actionKind(), PdfAction::kGoTo) << c.text;
        }
    }
    bool created = true;
    EXPECT_EQ(asAction(nullptr, &created), nullptr);
    EXPECT_FALSE(created);
}

TEST(PageTest, ProcSetDecidesTheTextFlag) {
    struct Case {
        const char* text;
        bool hasText;
        bool hasResources;
    } cases[] = {
        {"<< /Type /Page /Resources << /ProcSet [/PDF /ImageB] >> >>", false, true},
        {"<< /Type /Page /Resources << /ProcSet [/PDF /Text] >> >>", true, true},
        {"<< /Type /Page /Resources << /Font << >> >> >>", true, true},
        {"<< /Type /Page /Resources << /ProcSet /PDF >> >>", true, true},
        {"<< /Type /Page /Resources [/PDF] >>", true, false},
        // Inherited resources never change the flag.
        {"<< /Type /Page /Parent << /Type /Pages /Resources << /ProcSet [/PDF] >> >> >>", true,
         true},
        // A parent that is not a pages node gives nothing.
        {"<< /Type /Page /Parent << /Resources << >> >> >>", true, false},
    };
    for (const Case& c : cases) {
        Parsed p(c.text);
        PdfPage* page = asPage(p.object.get());
        ASSERT_TRUE(page) << c.text;
        EXPECT_EQ(page->hasText(), c.hasText) << c.text;
        EXPECT_EQ(page->resources() != nullptr, c.hasResources) << c.text;
    }
}

// The page holds its text lines without knowing their type: stand-ins are
// the addresses of numbers, and destroying one is recorded.
std::vector<const int*>* destroyedLines = nullptr;
void recordDestroyed(TextLineList* lines) {
    destroyedLines->push_back(reinterpret_cast<const int*>(lines));
}

TEST(PageTest, OnlyThePagesGivenTextLinesLastKeepThem) {
    std::vector<const int*> destroyed;
    destroyedLines = &destroyed;
    const size_t n = kKeptTextPages + 2;
    std::vector<int> tokens(n);
    std::vector<std::unique_ptr<Parsed>> parsed;
    auto lines = [&](size_t i) { return reinterpret_cast<TextLineList*>(&tokens[i]); };
    auto page = [&](size_t i) { return asPage(parsed[i]->object.get()); };
    auto give = [&](size_t i) {
        page(i)->setTextLines(lines(i), recordDestroyed, TextCapture{Matrix{}, int32_t(i), 1});
    };
    for (size_t i = 0; i < n; ++i) {
        parsed.push_back(std::make_unique<Parsed>("<< /Type /Page >>"));
        ASSERT_TRUE(page(i));
    }
    for (size_t i = 0; i < kKeptTextPages; ++i)
        give(i);
    EXPECT_TRUE(destroyed.empty());
    // Page 0 given its lines again is kept longest; page 1's go for the
    // next page's, and page 1 keeps where they came from.
    give(0);
    give(kKeptTextPages);
    EXPECT_EQ(destroyed, std::vector<const int*>{&tokens[1]});
    EXPECT_EQ(page(1)->textLines(), nullptr);
    EXPECT_TRUE(page(1)->textLinesDropped());
    EXPECT_EQ(page(1)->textCapture().width, 1);
    EXPECT_EQ(page(0)->textLines(), lines(0));
    EXPECT_FALSE(page(0)->textLinesDropped());
    // A page that goes takes its lines along and leaves room: no other
    // page's lines go for the next.
    parsed[2].reset();
    EXPECT_EQ(destroyed.back(), &tokens[2]);
    give(kKeptTextPages + 1);
    EXPECT_EQ(destroyed.size(), 2u);
    // Given again after they were dropped, the lines are kept again.
    give(1);
    EXPECT_FALSE(page(1)->textLinesDropped());
    EXPECT_EQ(destroyed.back(), &tokens[3]);
    destroyed.clear();
    parsed.clear();
    EXPECT_EQ(destroyed.size(), kKeptTextPages);
    destroyedLines = nullptr;
}

TEST(PageTreeTest, InheritedAttributesAndSizes) {
    struct Case {
        const char* text;
        int32_t width, height;  // -1: no box
    } cases[] = {
        {"<< /Type /Page /Parent << /Type /Pages /MediaBox [0 0 612 792] /Rotate 90 >> >>", 792,
         612},
        {"<< /Type /Page /Rotate -90 /MediaBox [0 0 612 792] >>", 792, 612},
        {"<< /Type /Page /Rotate 450 /MediaBox [0 0 612 792] >>", 792, 612},
        {"<< /Type /Page /Rotate 45 /MediaBox [0 0 612 792] >>", 792, 612},
        {"<< /Type /Page /Rotate -180 /MediaBox [0 0 612 792] >>", 612, 792},
        {"<< /Type /Page /Rotate 90.7 /MediaBox [0 0 612 792] >>", 792, 612},
        {"<< /Type /Page /MediaBox [0.4 0 100.6 50] >>", 100, 50},
        {"<< /Type /Page /MediaBox [100 50 0 0] >>", 100, 50},
        // The page's own /CropBox wins over an inherited /MediaBox, and an
        // inherited /CropBox over the page's own /MediaBox.
        {"<< /Type /Page /CropBox [0 0 10 20] /Parent << /Type /Pages /MediaBox [0 0 612 792] >> "
         ">>",
         10, 20},
        {"<< /Type /Page /MediaBox [0 0 612 792] /Parent << /Type /Pages /CropBox [0 0 10 20] >> "
         ">>",
         10, 20},
        // Not a rectangle: the /MediaBox decides.
        {"<< /Type /Page /CropBox [0 0 10] /MediaBox [0 0 30 40] >>", 30, 40},
        {"<< /Type /Page /MediaBox [0 0 4000000000.5 5] >>", INT32_MAX, 5},
        {"<< /Type /Page >>", -1, -1},
        {"<< /Type /Page /Parent << /MediaBox [0 0 1 1] >> >>", -1, -1},
    };
    for (const Case& c : cases) {
        Parsed p(c.text);
        int32_t w = -1, h = -1;
        bool found = getPageBoxes(p.dict(), w, h);
        EXPECT_EQ(found, c.width != -1) << c.text;
        EXPECT_EQ(w, c.width) << c.text;
        EXPECT_EQ(h, c.height) << c.text;
    }

    Parsed p(
        "<< /Type /Page /Rotate 90 /Annots [] /Parent << /Type /Pages /Rotate 180 "
        "/Contents 1 /Parent << /Type /Pages /Contents 2 /Annots [1] /Title 3 >> >> >>");
    auto number = [](PdfObject* o) { return asNumber(o) ? asNumber(o)->intValue() : -1; };
    EXPECT_EQ(number(lookupInherited(p.dict(), names::Rotate)), 90);
    EXPECT_EQ(number(lookupInherited(p.dict(), names::Contents)), 1);
    EXPECT_EQ(number(lookupInherited(p.dict(), names::Title)), 3);
    EXPECT_EQ(lookupInherited(p.dict(), names::Count), nullptr);
    PdfDict* parent = asDict(p.dict()->get(names::Parent));
    EXPECT_EQ(getInheritedAttribute(parent, names::Annots, false), nullptr);
    EXPECT_EQ(getInheritedAttribute(parent, names::Annots, true),
              lookupInherited(parent, names::Annots));
    ASSERT_TRUE(asArray(getInheritedAttribute(p.dict(), names::Annots, false)));
    EXPECT_EQ(getInheritedAttribute(parent, names::Rotate, false), parent->get(names::Rotate));
    EXPECT_EQ(getInheritedAttribute(parent, names::Title, false), nullptr);
}

TEST(PageTreeTest, ListsPagesInTreeOrder) {
    // Direct kids: pages /N 1 to 4, the second and third inside a node
    // without /Type, a node without /Count whose page counts all the same,
    // and a number and an empty node that add nothing. The /Count values are
    // not consulted. (The nulls keep dictionaries apart: the document parser
    // types only a dictionary that is not read as the look-ahead of the one
    // before.)
    Parsed p(
        "<< /Type /Pages /Count 1 /Kids [<< /Type /Page /N 1 >> 7 "
        "<< /Kids [<< /Type /Page /N 2 >> null << /Type /Page /N 3 >>] /Count 9 >> "
        "null << /Type /Pages /Kids [] >> null << /Type /Pages /Kids [<< /Type /Page /N 4 >>] "
        ">> null << /Kids [<< /Type /Page /N 5 >>] >>] >>");
    std::vector<ObjectRef> pages = listPages(p.dict());
    ASSERT_EQ(pages.size(), 4u);
    for (int32_t i = 0; i < 4; ++i) {
        PdfPage* page = asPage(pages[size_t(i)].get());
        ASSERT_TRUE(page) << i;
        EXPECT_EQ(asNumber(page->get(names::N))->intValue(), i + 1);
    }
    EXPECT_TRUE(listPages(nullptr).empty());
}

TEST(PageTreeTest, ToPagesNodeCopiesOnlyWhenNeeded) {
    Parsed typed("<< /Type /Pages /Kids [] /Count 0 >>");
    EXPECT_EQ(toPagesNode(typed.object.get()).get(), typed.object.get());
    Parsed plain("<< /Kids 1 /Count (x) >>");
    Ref<PagesNode> made = toPagesNode(plain.object.get());
    ASSERT_TRUE(made);
    EXPECT_NE(made.get(), plain.object.get());
    EXPECT_EQ(made->classKind(), kClassPagesNode);
    Parsed neither("<< /Kids [] >>");
    EXPECT_EQ(toPagesNode(neither.object.get()), nullptr);
}

}  // namespace
}  // namespace vistrel
