#include "engine/doc/key_path.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vistrel {
namespace {

// A test tree: a name and children stored under "Kid1", "Kid2", ...
struct Node : Storable {
    std::u16string name;
    std::vector<std::unique_ptr<Node>> kids;
    bool failSave = false;

    Node& add(std::u16string kidName) {
        kids.push_back(std::make_unique<Node>());
        kids.back()->name = std::move(kidName);
        return *kids.back();
    }
    static WString kidKey(size_t i) {
        WString key(u"Kid");
        WString number;
        number.fromInt(int32_t(i + 1));
        key.append(number);
        return key;
    }
    bool save(TreeWriter& writer) override {
        if (!writer.putString(WString(u"Name"), WString(name.c_str())))
            return false;
        if (failSave)
            return false;
        for (size_t i = 0; i < kids.size(); ++i) {
            if (!writer.putNode(kidKey(i), *kids[i]))
                return false;
        }
        return true;
    }
    bool load(TreeReader& reader) override {
        WString text;
        if (!reader.getString(WString(u"Name"), text))
            return false;
        name.assign(text.chars(), size_t(text.size()));
        for (size_t i = 0;; ++i) {
            auto kid = std::make_unique<Node>();
            if (!reader.getNode(kidKey(i), *kid))
                break;
            kids.push_back(std::move(kid));
        }
        return true;
    }
    std::u16string dump() const {
        std::u16string out = name + u"(";
        for (const auto& kid : kids)
            out += kid->dump();
        return out + u")";
    }
};

Node sampleTree() {
    Node root;
    root.name = u"root";
    root.add(u"caf\u00e9").add(u"deep");
    root.add(u"\u0416\u20ac");
    return root;
}

PdfObject* at(PdfDict* dict, const char16_t* key) {
    return dict ? dict->get(*keyName(WString(key))) : nullptr;
}

TEST(KeyPathTest, StoresNestedDictionariesAndReadsThemBack) {
    KeyPathWriter writer(nullptr, WString(u"unused.pdf"));
    Node tree = sampleTree();
    ASSERT_TRUE(writer.put(WString(u"B"), tree));

    PdfDict* b = asDict(at(writer.root(), u"B"));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->size(), 3);  // Name, Kid1, Kid2
    PdfDict* kid1 = asDict(at(b, u"Kid1"));
    ASSERT_TRUE(kid1);
    EXPECT_TRUE(asDict(at(kid1, u"Kid1")));
    PdfObject* kid2Name = at(asDict(at(b, u"Kid2")), u"Name");
    ASSERT_TRUE(kid2Name);
    EXPECT_EQ(kid2Name->kind(), kKindString);

    KeyPathReader reader(writer.root());
    Node back;
    ASSERT_TRUE(reader.get(WString(u"B"), back));
    EXPECT_EQ(back.dump(), tree.dump());
}

TEST(KeyPathTest, SameNameReplacesAndFailedNodesLeaveNoEntry) {
    KeyPathWriter writer(nullptr, WString(u"unused.pdf"));
    Node first = sampleTree();
    Node second;
    second.name = u"second";
    ASSERT_TRUE(writer.put(WString(u"T"), first));
    ASSERT_TRUE(writer.put(WString(u"T"), second));
    EXPECT_EQ(writer.root()->size(), 1);
    EXPECT_FALSE(at(asDict(at(writer.root(), u"T")), u"Kid1"));

    // A kid whose save fails after storing its name: the whole node fails,
    // and the earlier sibling stays.
    Node parent;
    parent.name = u"p";
    parent.add(u"good");
    parent.add(u"bad").failSave = true;
    EXPECT_FALSE(writer.put(WString(u"P"), parent));
    EXPECT_FALSE(at(writer.root(), u"P"));

    Node holder;
    holder.name = u"h";
    ASSERT_TRUE(writer.put(WString(u"H"), holder));
    struct PartialKids : Storable {
        Node good, bad;
        bool save(TreeWriter& w) override {
            good.name = u"g";
            bad.name = u"b";
            bad.failSave = true;
            w.putNode(WString(u"Good"), good);
            return !w.putNode(WString(u"Bad"), bad);
        }
        bool load(TreeReader&) override { return false; }
    } partial;
    ASSERT_TRUE(writer.put(WString(u"Q"), partial));
    PdfDict* q = asDict(at(writer.root(), u"Q"));
    EXPECT_TRUE(at(q, u"Good"));
    EXPECT_FALSE(at(q, u"Bad"));

    // Without a document, save writes nothing.
    EXPECT_EQ(writer.save(), 0);
}

TEST(KeyPathTest, ReaderRefusesWrongKindsAndMissingData) {
    KeyPathWriter writer(nullptr, WString(u"unused.pdf"));
    Node tree = sampleTree();
    ASSERT_TRUE(writer.put(WString(u"B"), tree));
    ASSERT_TRUE(writer.putString(WString(u"S"), WString(u"text")));

    KeyPathReader reader(writer.root());
    Node node;
    EXPECT_FALSE(reader.get(WString(u"S"), node));
    WString text;
    EXPECT_FALSE(reader.getString(WString(u"B"), text));
    EXPECT_FALSE(reader.getString(WString(u"missing"), text));
    EXPECT_TRUE(reader.getString(WString(u"S"), text));
    EXPECT_EQ(text.toUtf8(), "text");

    KeyPathReader empty(static_cast<PdfDict*>(nullptr));
    EXPECT_FALSE(empty.get(WString(u"B"), node));
    EXPECT_FALSE(empty.getString(WString(u"S"), text));
}

// A stored tree whose child refers back to an ancestor, and one nested deeper
// than the reader follows: both loads end.
TEST(KeyPathTest, CyclesAndDeepNestingEnd) {
    auto root = Ref<PdfDict>::adopt(new PdfDict());
    auto a = Ref<PdfDict>::adopt(new PdfDict());
    a->put(keyName(WString(u"Name")), ObjectRef::adopt(new PdfString(WString(u"a"))));
    a->put(keyName(WString(u"Kid1")), a);  // refers to itself
    root->put(keyName(WString(u"T")), a);
    {
        KeyPathReader reader(root.get());
        Node node;
        EXPECT_TRUE(reader.get(WString(u"T"), node));
        EXPECT_EQ(node.dump(), u"a()");
    }
    a->releaseEntries();  // break the cycle

    auto chain = Ref<PdfDict>::adopt(new PdfDict());
    PdfDict* level = chain.get();
    for (int i = 0; i < kMaxStoredTreeDepth + 50; ++i) {
        auto kid = Ref<PdfDict>::adopt(new PdfDict());
        level->put(keyName(WString(u"Name")), ObjectRef::adopt(new PdfString(WString(u"x"))));
        PdfDict* next = kid.get();
        level->put(keyName(WString(u"Kid1")), std::move(kid));
        level = next;
    }
    level->put(keyName(WString(u"Name")), ObjectRef::adopt(new PdfString(WString(u"x"))));
    auto top = Ref<PdfDict>::adopt(new PdfDict());
    top->put(keyName(WString(u"T")), chain);
    KeyPathReader reader(top.get());
    Node node;
    EXPECT_TRUE(reader.get(WString(u"T"), node));
    int depth = 0;
    for (const Node* n = &node; !n->kids.empty(); n = n->kids[0].get())
        ++depth;
    EXPECT_EQ(depth, kMaxStoredTreeDepth - 1);
}

// Kids that share one dictionary (possible through indirect references):
// each level names the next one twice, which read naively gives 2^64
// nodes. Every dictionary is read once; the second kid of each level fails.
TEST(KeyPathTest, SharedDictionariesAreReadOnce) {
    constexpr int kLevels = 64;
    std::vector<Ref<PdfDict>> levels;
    for (int i = 0; i <= kLevels; ++i) {
        levels.push_back(Ref<PdfDict>::adopt(new PdfDict()));
        levels.back()->put(keyName(WString(u"Name")),
                           ObjectRef::adopt(new PdfString(WString(u"x"))));
    }
    for (int i = 0; i < kLevels; ++i) {
        levels[i]->put(keyName(WString(u"Kid1")), levels[i + 1]);
        levels[i]->put(keyName(WString(u"Kid2")), levels[i + 1]);
    }
    auto top = Ref<PdfDict>::adopt(new PdfDict());
    top->put(keyName(WString(u"T")), levels[0]);
    KeyPathReader reader(top.get());
    Node node;
    ASSERT_TRUE(reader.get(WString(u"T"), node));
    int count = 0;
    for (const Node* n = &node;; n = n->kids[0].get()) {
        ++count;
        ASSERT_LE(n->kids.size(), 1u);
        if (n->kids.empty())
            break;
    }
    EXPECT_EQ(count, kLevels + 1);
}

}  // namespace
}  // namespace vistrel
