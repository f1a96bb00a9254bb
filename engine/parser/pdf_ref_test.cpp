#include "engine/parser/pdf_ref.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vistrel {
namespace {

std::u16string str(const WString& s) {
    return std::u16string(s.view());
}

ObjectRef num(int32_t v) {
    return makeRef<PdfNumber>(v);
}
ObjectRef name(const char16_t* text) {
    return makeRef<PdfName>(WString(text));
}
ObjectRef string(const char16_t* text) {
    return makeRef<PdfString>(WString(text));
}

// An in-memory document: objects are made afresh by their builders on every
// fetch; the cache follows the document's rules (weak pointer, user count).
class FakeDocument : public ObjectSource {
public:
    using Builder = std::function<ObjectRef()>;

    void define(int32_t number, Builder builder) { builders_[number] = std::move(builder); }

    bool isValid() const override { return valid; }

    ObjectRef fetchObject(int32_t number) override {
        ++fetches;
        auto it = builders_.find(number);
        if (it == builders_.end())
            return nullptr;
        ObjectRef object = it->second();
        if (object)
            object->setId(number, 0, true);
        return object;
    }

    PdfObject* cachedObject(int32_t number) override {
        if (!valid)
            return nullptr;
        auto it = cache_.find(number);
        return it == cache_.end() ? nullptr : it->second.object;
    }

    bool setCached(int32_t number, PdfObject* object) override {
        if (number == -1) {
            if (!object)
                return false;
            int32_t fresh = nextNumber++;
            cache_[fresh] = Entry{};
            object->setId(fresh, 0, true);
            return true;
        }
        Entry& e = cache_[number];
        if (!e.object) {
            e.object = object;
            e.users = object ? 1 : 0;
        } else if (object) {
            ++e.users;
        } else if (--e.users <= 0) {
            e = Entry{};
        }
        return true;
    }

    int users(int32_t number) const {
        auto it = cache_.find(number);
        return it == cache_.end() ? 0 : it->second.users;
    }

    bool valid = true;
    int fetches = 0;
    int32_t nextNumber = 100;

private:
    struct Entry {
        PdfObject* object = nullptr;
        int users = 0;
    };
    std::map<int32_t, Builder> builders_;
    std::map<int32_t, Entry> cache_;
};

ObjectRef ref(FakeDocument& doc, int32_t number, int32_t generation = 0) {
    return makeRef<PdfRef>(&doc, number, generation);
}

Ref<PdfArray> array(std::vector<ObjectRef> items) {
    auto a = makeRef<PdfArray>();
    for (auto& item : items)
        a->append(std::move(item));
    return a;
}

Ref<PdfDict> dict(const std::vector<std::pair<const char16_t*, ObjectRef>>& entries) {
    auto d = makeRef<PdfDict>();
    for (const auto& [k, v] : entries)
        d->put(name(k), v);
    return d;
}

TEST(PdfRefTest, TextHashAndEquality) {
    FakeDocument doc;
    auto r5 = ref(doc, 5);
    auto r5g3 = ref(doc, 5, 3);
    auto r6 = ref(doc, 6);
    EXPECT_EQ(str(r5->typeName()), u"REF 5");
    EXPECT_EQ(str(r5->text()), u"5 0 R");
    EXPECT_EQ(str(makeRef<PdfRef>(&doc, 12, 7)->text()), u"12 7 R");
    EXPECT_EQ(r5->hash(), 0x80000005u);
    EXPECT_EQ(makeRef<PdfRef>(&doc, 0x12345, 0)->hash(), 0x80000000u | 0x2345u);
    EXPECT_TRUE(r5->equals(r5g3.get()));
    EXPECT_EQ(r5->hash(), r5g3->hash());
    EXPECT_FALSE(r5->equals(r6.get()));
    EXPECT_FALSE(r5->equals(num(5).get()));
    EXPECT_EQ(r5->kind(), kKindRef);
    EXPECT_EQ(r5->classKind(), kClassRef);
}

TEST(PdfRefTest, ResolvedObjectIsSharedThroughTheCache) {
    FakeDocument doc;
    doc.define(4, [] { return ObjectRef(dict({{u"/A", num(1)}})); });
    auto a = makeRef<PdfRef>(&doc, 4, 0);
    auto b = makeRef<PdfRef>(&doc, 4, 0);
    PdfObject* first = a->deref();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(b->direct(), first);
    EXPECT_EQ(doc.fetches, 1);
    EXPECT_EQ(first->refCount(), 2u);
    EXPECT_EQ(doc.users(4), 2);
    EXPECT_EQ(a->getId().number, 4);
    EXPECT_EQ(asDict(a.get()), first);  // the cast resolves, it does not answer the reference

    // A copy resolves on its own, through the cache.
    auto c = makeRef<PdfRef>(*a);
    EXPECT_EQ(c->target(), nullptr);
    EXPECT_EQ(c->direct(), first);
    EXPECT_EQ(first->refCount(), 3u);

    c.reset();
    b.reset();
    EXPECT_EQ(first->refCount(), 1u);
    EXPECT_EQ(doc.users(4), 1);
    a.reset();
    EXPECT_EQ(doc.users(4), 0);
}

TEST(PdfRefTest, VisitDropsATargetOnlyTheReferenceHolds) {
    FakeDocument doc;
    doc.define(7, [] { return ObjectRef(array({num(1)})); });
    auto r = makeRef<PdfRef>(&doc, 7, 0);
    PdfObject* first = r->deref();
    {
        ObjectRef extra = ObjectRef::share(first);
        EXPECT_FALSE(r->visit(0));  // held elsewhere: kept
        EXPECT_EQ(r->target(), first);
    }
    EXPECT_TRUE(r->visit(0));
    EXPECT_EQ(r->target(), nullptr);
    EXPECT_EQ(doc.users(7), 0);
    EXPECT_NE(r->deref(), nullptr);  // fetched again
    EXPECT_EQ(doc.fetches, 2);
}

TEST(PdfRefTest, UnresolvableReferences) {
    FakeDocument doc;
    doc.define(3, [] { return ObjectRef(); });
    struct Case {
        const char* label;
        ObjectRef reference;
    };
    Case cases[] = {
        {"number -1", ref(doc, -1)},
        {"unknown number", ref(doc, 99)},
        {"failing fetch", ref(doc, 3)},
        {"no document", makeRef<PdfRef>(nullptr, 1, 0)},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.reference->direct(), nullptr);
        EXPECT_EQ(asDict(c.reference.get()), nullptr);
        EXPECT_EQ(asNumber(c.reference.get()), nullptr);
    }
    // A failed fetch is tried again later.
    doc.define(3, [] { return num(8); });
    EXPECT_NE(asNumber(cases[2].reference.get()), nullptr);
}

TEST(PdfRefTest, InvalidDocumentDoesNotCache) {
    FakeDocument doc;
    doc.valid = false;
    doc.define(2, [] { return num(1); });
    auto a = ref(doc, 2);
    auto b = ref(doc, 2);
    EXPECT_NE(a->direct(), nullptr);
    EXPECT_NE(b->direct(), a->direct());
    EXPECT_EQ(doc.fetches, 2);
}

TEST(PdfRefTest, BindNumbersTheObjectAndItsMembers) {
    FakeDocument doc;
    auto numbered = makeRef<PdfRef>(&doc, 9, 0);
    auto member = string(u"s");
    auto d = dict({{u"/S", member}});
    EXPECT_TRUE(numbered->bind(d));
    EXPECT_EQ(numbered->target(), d.get());
    EXPECT_EQ(d->getId().number, 9);
    EXPECT_EQ(member->getId().number, 9);
    EXPECT_EQ(d->refCount(), 2u);
    // An object that already has a number is refused.
    EXPECT_FALSE(makeRef<PdfRef>(&doc, 10, 0)->bind(d));
    EXPECT_FALSE(numbered->bind(nullptr));

    // Without a number the document registers the object as a new one.
    auto fresh = makeRef<PdfRef>(&doc, -1, -1);
    auto a = array({num(1)});
    EXPECT_TRUE(fresh->bind(a));
    EXPECT_EQ(fresh->number(), 100);
    EXPECT_EQ(fresh->generation(), 0);
    EXPECT_EQ(a->getId().number, 100);
    EXPECT_EQ(str(fresh->text()), u"100 0 R");

    doc.valid = false;
    EXPECT_FALSE(makeRef<PdfRef>(&doc, -1, -1)->bind(array({})));
}

TEST(PdfRefTest, SetIdInsideAContainerKeepsTheTarget) {
    FakeDocument doc;
    auto r = makeRef<PdfRef>(&doc, 5, 0);
    auto a = array({r});
    a->setId(8, 0, true);
    EXPECT_EQ(static_cast<PdfRef*>(r.get())->number(), 5);
    r->setId(6, 1, false);
    EXPECT_EQ(static_cast<PdfRef*>(r.get())->number(), 6);
}

// ---------------------------------------------------------------------------
// Name trees

// A leaf node: /Names [(k1) v1 (k2) v2 ...].
Ref<PdfDict> leaf(const std::vector<std::pair<const char16_t*, ObjectRef>>& pairs) {
    auto names = makeRef<PdfArray>();
    for (const auto& [k, v] : pairs) {
        names->append(string(k));
        names->append(v);
    }
    return dict({{u"/Names", names}});
}

Ref<PdfArray> limits(const char16_t* low, const char16_t* high) {
    return array({string(low), string(high)});
}

int32_t found(PdfDict* root, const char16_t* key) {
    PdfRef* r = lookupNameTree(root, WString(key));
    return r ? r->number() : -1;
}

// Objects 5 and 6 are each a reference to the other. Once both references
// are resolved they form a cycle that getId and visit must not follow forever.
TEST(PdfRefTest, CycleOfResolvedReferencesEnds) {
    FakeDocument doc;
    doc.define(5, [&] { return ref(doc, 6); });
    doc.define(6, [&] { return ref(doc, 5); });
    auto r = ref(doc, 5);
    PdfObject* five = r->direct();
    ASSERT_NE(five, nullptr);
    PdfObject* six = five->direct();
    ASSERT_NE(six, nullptr);
    ASSERT_EQ(six->direct(), five);

    EXPECT_EQ(r->getId().number, 5);
    // The walk stops where it meets itself again; on the way back each
    // target held only by its reference is given back, the cycle included.
    EXPECT_TRUE(asRef(r.get())->visit(0));
    EXPECT_EQ(asRef(r.get())->target(), nullptr);
}

TEST(NameTreeTest, Lookups) {
    FakeDocument doc;

    // /Names pairs; the walk ends at the first text greater than the key, so a
    // key missing from the pairs is not searched in /Kids.
    auto flat = leaf({{u"a", ref(doc, 1)}, {u"c", ref(doc, 3)}, {u"e", dict({})}});
    flat->put(name(u"/Kids"), array({leaf({{u"b", ref(doc, 2)}})}));

    // Balanced: two kids with limits, reached through references.
    doc.define(20, [&doc] {
        auto k = leaf({{u"alpha", ref(doc, 21)}, {u"beta", ref(doc, 22)}});
        k->put(name(u"/Limits"), limits(u"alpha", u"beta"));
        return ObjectRef(k);
    });
    doc.define(30, [&doc] {
        auto k = leaf({{u"delta", ref(doc, 31)}, {u"gamma", ref(doc, 32)}});
        k->put(name(u"/Limits"), limits(u"delta", u"gamma"));
        return ObjectRef(k);
    });
    auto balanced = dict({{u"/Kids", array({ref(doc, 20), ref(doc, 30)})}});

    // Malformed entries: a pair whose first element is no string is skipped,
    // /Names that is no array leads to /Kids.
    auto odd = dict({{u"/Names", num(1)},
                     {u"/Kids", array({num(4), leaf({{u"x", num(1)}}),
                                       dict({{u"/Names", array({num(1), ref(doc, 40), string(u"x"),
                                                                ref(doc, 41)})}})})}});

    struct Case {
        const char* label;
        PdfDict* root;
        const char16_t* key;
        int32_t number;  // -1: not found
    };
    Case cases[] = {
        {"first pair", flat.get(), u"a", 1},
        {"second pair", flat.get(), u"c", 3},
        {"between pairs, kids not searched", flat.get(), u"b", -1},
        {"direct value", flat.get(), u"e", -1},
        {"beyond the last pair", flat.get(), u"f", -1},
        {"prefix is less", flat.get(), u"", -1},
        {"first kid", balanced.get(), u"beta", 22},
        {"second kid", balanced.get(), u"delta", 31},
        {"second kid, last", balanced.get(), u"gamma", 32},
        {"outside every limit", balanced.get(), u"zeta", -1},
        {"between kids", balanced.get(), u"charlie", -1},
        {"longer than a key", balanced.get(), u"betas", -1},
        {"number value skipped, next kid", odd.get(), u"x", 41},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(found(c.root, c.key), c.number);
    }
    // The search may start at a given node.
    EXPECT_EQ(lookupNameTree(balanced.get(), WString(u"a"), flat.get())->number(), 1);
}

TEST(NameTreeTest, DegenerateChainsAndCycles) {
    FakeDocument doc;
    // A chain of single kids, the key at the bottom.
    auto chain = [&doc](int depth) {
        Ref<PdfDict> node = leaf({{u"k", ref(doc, 1)}});
        for (int i = 0; i < depth; ++i)
            node = dict({{u"/Kids", array({node})}});
        return node;
    };
    EXPECT_EQ(found(chain(100).get(), u"k"), 1);
    EXPECT_EQ(found(chain(kMaxNameTreeDepth + 10).get(), u"k"), -1);  // bounded

    // Object 1's kid is object 1 itself; object 2 and 3 are each other's kid.
    doc.define(1, [&doc] { return ObjectRef(dict({{u"/Kids", array({ref(doc, 1)})}})); });
    doc.define(2, [&doc] { return ObjectRef(dict({{u"/Kids", array({ref(doc, 3)})}})); });
    doc.define(3, [&doc] {
        return ObjectRef(dict({{u"/Kids", array({ref(doc, 2), leaf({{u"k", ref(doc, 9)}})})}}));
    });
    auto self = ref(doc, 1);
    EXPECT_EQ(found(asDict(self.get()), u"k"), -1);
    auto pair = ref(doc, 2);
    EXPECT_EQ(found(asDict(pair.get()), u"k"), 9);  // the cycle is skipped, the leaf found
    EXPECT_EQ(found(asDict(pair.get()), u"q"), -1);
    // Resolved references around a cycle keep each other alive: break them.
    asDict(self.get())->releaseEntries();
    asDict(pair.get())->releaseEntries();

    // A wide diamond: each level's two kids are the same node, 60 levels deep;
    // every node is searched once.
    Ref<PdfDict> node = leaf({{u"z", ref(doc, 5)}});
    for (int i = 0; i < 60; ++i)
        node = dict({{u"/Kids", array({node, node})}});
    EXPECT_EQ(found(node.get(), u"y"), -1);
    EXPECT_EQ(found(node.get(), u"z"), 5);
}

}  // namespace
}  // namespace vistrel
