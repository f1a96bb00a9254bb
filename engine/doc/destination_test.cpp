#include "engine/doc/destination.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/constants/name_constants.h"
#include "engine/parser/pdf_ref.h"

namespace vistrel {
namespace {

// A document whose objects live in a map (number -> object).
class MapDocument : public ObjectSource {
public:
    ~MapDocument() override {
        for (auto& [n, object] : objects_)
            object->release();
    }
    void define(int32_t number, ObjectRef object) {
        object->setId(number, 0, true);
        objects_[number] = object.detach();
    }
    bool isValid() const override { return true; }
    ObjectRef fetchObject(int32_t number) override {
        auto it = objects_.find(number);
        return it == objects_.end() ? ObjectRef() : ObjectRef::share(it->second);
    }
    PdfObject* cachedObject(int32_t) override { return nullptr; }
    bool setCached(int32_t, PdfObject*) override { return true; }

private:
    std::map<int32_t, PdfObject*> objects_;
};

// Array elements of a test destination.
struct E {
    enum Kind { kRef, kName, kNumber, kNull, kString } kind;
    double number = 0;
    const char16_t* text = nullptr;
};
E R(int n) {
    return {E::kRef, double(n)};
}
E N(const char16_t* name) {
    return {E::kName, 0, name};
}
E V(double value) {
    return {E::kNumber, value};
}
E S(const char16_t* text) {
    return {E::kString, 0, text};
}
const E kNullElement{E::kNull};

ObjectRef element(MapDocument& doc, const E& e) {
    switch (e.kind) {
        case E::kRef:
            return ObjectRef::adopt(new PdfRef(&doc, int32_t(e.number), 0));
        case E::kName:
            return ObjectRef::adopt(new PdfName(WString(e.text)));
        case E::kString:
            return ObjectRef::adopt(new PdfString(WString(e.text)));
        case E::kNull:
            return ObjectRef::adopt(new PdfNull());
        case E::kNumber:
            if (e.number == int32_t(e.number))
                return ObjectRef::adopt(new PdfNumber(int32_t(e.number)));
            return ObjectRef::adopt(new PdfNumber(e.number));
    }
    return {};
}

Ref<PdfArray> array(MapDocument& doc, std::initializer_list<E> items) {
    auto result = Ref<PdfArray>::adopt(new PdfArray());
    for (const E& e : items)
        result->append(element(doc, e));
    return result;
}

ObjectRef name(const char16_t* text) {
    return ObjectRef::adopt(new PdfName(WString(text)));
}

constexpr double U = kUnsetCoordinate;

struct ArrayCase {
    const char* label;
    std::initializer_list<E> items;
    bool built;
    uint16_t fit;
    bool valid;
    double left, top, zoom, right, bottom;
};

TEST(DestinationTest, ExplicitArrays) {
    MapDocument doc;
    const ArrayCase cases[] = {
        {"XYZ null top zero zoom",
         {R(3), N(u"/XYZ"), kNullElement, V(700), V(0)},
         true,
         kFitXYZ,
         true,
         U,
         700,
         U,
         U,
         U},
        {"XYZ all given",
         {R(3), N(u"/XYZ"), V(10), V(20), V(1.5)},
         true,
         kFitXYZ,
         true,
         10,
         20,
         1.5,
         U,
         U},
        {"XYZ four elements", {R(3), N(u"/XYZ"), V(10), V(700)}, false, 0, false, U, U, U, U, U},
        {"XYZ six elements",
         {R(3), N(u"/XYZ"), V(10), V(700), V(1), V(2)},
         false,
         0,
         false,
         U,
         U,
         U,
         U,
         U},
        {"XYZ string parameter",
         {R(3), N(u"/XYZ"), S(u"x"), V(700), V(1)},
         true,
         kFitXYZ,
         false,
         U,
         U,
         U,
         U,
         U},
        {"Fit", {R(3), N(u"/Fit")}, true, kFitWhole, true, U, U, U, U, U},
        {"FitB", {R(3), N(u"/FitB")}, true, kFitB, true, U, U, U, U, U},
        {"Fit with extra", {R(3), N(u"/Fit"), V(1)}, false, 0, false, U, U, U, U, U},
        {"FitH", {R(3), N(u"/FitH"), V(500)}, true, kFitH, true, U, 500, U, U, U},
        {"FitH null", {R(3), N(u"/FitH"), kNullElement}, true, kFitH, false, U, U, U, U, U},
        {"FitV", {R(3), N(u"/FitV"), V(30)}, true, kFitV, true, 30, U, U, U, U},
        {"FitBH", {R(3), N(u"/FitBH"), V(44)}, true, kFitBH, true, U, 44, U, U, U},
        {"FitBV", {R(3), N(u"/FitBV"), V(72)}, true, kFitBV, true, 72, U, U, U, U},
        {"FitR",
         {R(3), N(u"/FitR"), V(10), V(20), V(300), V(400)},
         true,
         kFitR,
         true,
         10,
         400,
         U,
         300,
         20},
        {"FitR short", {R(3), N(u"/FitR"), V(10), V(20), V(300)}, false, 0, false, U, U, U, U, U},
        {"page as number", {V(0), N(u"/Fit")}, false, 0, false, U, U, U, U, U},
        {"fit as string", {R(3), S(u"/Fit")}, false, 0, false, U, U, U, U, U},
        {"unknown fit", {R(3), N(u"/FitX")}, false, 0, false, U, U, U, U, U},
        {"one element", {R(3)}, false, 0, false, U, U, U, U, U},
    };
    for (const ArrayCase& c : cases) {
        SCOPED_TRACE(c.label);
        Ref<PdfArray> a = array(doc, c.items);
        Ref<Destination> d = readDestination(a.get(), nullptr, nullptr);
        ASSERT_EQ(bool(d), c.built);
        if (!d)
            continue;
        EXPECT_EQ(d->classKind(), kClassDestination);
        EXPECT_EQ(d->kind(), kKindArray);
        EXPECT_EQ(d->fitType(), c.fit);
        EXPECT_EQ(d->valid(), c.valid);
        EXPECT_EQ(d->page(), d->at(0));
        EXPECT_EQ(d->count(), a->count());
        if (!c.valid)
            continue;
        EXPECT_EQ(d->left(), c.left);
        EXPECT_EQ(d->top(), c.top);
        EXPECT_EQ(d->zoom(), c.zoom);
        EXPECT_EQ(d->right(), c.right);
        EXPECT_EQ(d->bottom(), c.bottom);
    }
}

TEST(DestinationTest, TypeNameShowsThePageReference) {
    MapDocument doc;
    Ref<Destination> d = readDestination(array(doc, {R(5), N(u"/Fit")}).get(), nullptr, nullptr);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->typeName().toUtf8(), "{Destination " + d->page()->typeName().toUtf8() + " }");
}

// The document of the named-destination cases: page objects 5 and 6, a
// /Dests dictionary and a /Dests name tree with values of every accepted form.
class NamedDestinationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n : {5, 6}) {
            auto page = Ref<PdfDict>::adopt(new PdfDict());
            page->put(ObjectRef::share(&names::Type), ObjectRef::share(&names::Page));
            doc.define(n, std::move(page));
        }
        doc.define(20, array(doc, {R(6), N(u"/FitH"), V(99)}));
        auto withD = Ref<PdfDict>::adopt(new PdfDict());
        withD->put(ObjectRef::share(&names::D), array(doc, {R(5), N(u"/Fit")}));
        doc.define(21, std::move(withD));

        dests = Ref<PdfDict>::adopt(new PdfDict());
        dests->put(name(u"/both"), ref(5));
        dests->put(name(u"/page"), ref(6));
        dests->put(name(u"/direct"), array(doc, {R(6), N(u"/FitV"), V(7)}));
        dests->put(name(u"/indirect"), ref(20));
        dests->put(name(u"/dict"), ref(21));
        dests->put(name(u"/number"), ObjectRef::adopt(new PdfNumber(3)));
        // Two names whose /D entries name each other.
        dests->put(name(u"/loopA"), dWith(name(u"/loopB")));
        dests->put(name(u"/loopB"), dWith(name(u"/loopA")));
        dests->put(name(u"/toTree"), dWith(ObjectRef::adopt(new PdfString(WString(u"inTree")))));

        auto pairs = Ref<PdfArray>::adopt(new PdfArray());
        const std::pair<const char16_t*, ObjectRef> entries[] = {
            {u"both", ref(6)},
            {u"dict", dWith(array(doc, {R(6), N(u"/FitBH"), V(1)}))},
            {u"inTree", array(doc, {R(6), N(u"/FitB")})},
            {u"treeDirect", array(doc, {R(5), N(u"/FitR"), V(1), V(2), V(3), V(4)})},
            {u"treeRef", ref(20)},
        };
        for (const auto& [key, value] : entries) {
            pairs->append(ObjectRef::adopt(new PdfString(WString(key))));
            pairs->append(value);
        }
        auto tree = Ref<PdfDict>::adopt(new PdfDict());
        tree->put(ObjectRef::share(&names::Names), std::move(pairs));
        namesDict = Ref<PdfDict>::adopt(new PdfDict());
        namesDict->put(ObjectRef::share(&names::Dests), std::move(tree));
    }

    ObjectRef ref(int n) { return ObjectRef::adopt(new PdfRef(&doc, n, 0)); }
    ObjectRef dWith(ObjectRef value) {
        auto dict = Ref<PdfDict>::adopt(new PdfDict());
        dict->put(ObjectRef::share(&names::D), std::move(value));
        return dict;
    }

    MapDocument doc;
    Ref<PdfDict> dests;
    Ref<PdfDict> namesDict;
};

TEST_F(NamedDestinationsTest, ResolveThroughDestsThenTheNameTree) {
    struct Case {
        const char* label;
        ObjectRef key;
        bool found;
        int page;
        uint16_t fit;
    };
    auto str = [](const char16_t* t) { return ObjectRef::adopt(new PdfString(WString(t))); };
    const Case cases[] = {
        {"name in both places: /Dests wins", name(u"/both"), true, 5, kFitXYZ},
        {"string never matches /Dests", str(u"both"), true, 6, kFitXYZ},
        {"page reference", name(u"/page"), true, 6, kFitXYZ},
        {"direct array in /Dests", name(u"/direct"), true, 6, kFitV},
        {"referenced array in /Dests", name(u"/indirect"), true, 6, kFitH},
        {"dictionary with /D", name(u"/dict"), true, 5, kFitWhole},
        {"/D naming a tree entry", name(u"/toTree"), true, 6, kFitB},
        {"dictionary with /D in the tree", str(u"dict"), true, 6, kFitBH},
        {"direct array in the tree", str(u"treeDirect"), true, 5, kFitR},
        {"referenced array in the tree", str(u"treeRef"), true, 6, kFitH},
        {"name key found in the tree", name(u"/treeDirect"), true, 5, kFitR},
        {"value of another kind", name(u"/number"), false, 0, 0},
        {"unknown name", name(u"/missing"), false, 0, 0},
        {"names naming each other", name(u"/loopA"), false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Ref<Destination> d = readDestination(c.key.get(), dests.get(), namesDict.get());
        ASSERT_EQ(bool(d), c.found);
        if (!d)
            continue;
        EXPECT_TRUE(d->valid());
        EXPECT_EQ(d->fitType(), c.fit);
        ASSERT_TRUE(asRef(d->page()));
        EXPECT_EQ(asRef(d->page())->number(), c.page);
    }
}

TEST_F(NamedDestinationsTest, PageValueGivesAnUnsetXYZ) {
    Ref<Destination> d = readDestination(name(u"/page").get(), dests.get(), namesDict.get());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->count(), 0);
    EXPECT_EQ(d->zoom(), U);
    EXPECT_EQ(d->left(), U);
    EXPECT_EQ(d->top(), U);
}

TEST_F(NamedDestinationsTest, MissingTablesAndOtherKinds) {
    EXPECT_FALSE(readDestination(name(u"/page").get(), nullptr, nullptr));
    EXPECT_FALSE(readDestination(nullptr, dests.get(), namesDict.get()));
    EXPECT_FALSE(readDestination(dests.get(), dests.get(), namesDict.get()));
    ObjectRef number = ObjectRef::adopt(new PdfNumber(1));
    EXPECT_FALSE(readDestination(number.get(), dests.get(), namesDict.get()));
}

}  // namespace
}  // namespace vistrel
