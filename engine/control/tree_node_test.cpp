#include "engine/control/tree_node.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "engine/control/engine_module.h"
#include "engine/control/held_destinations.h"
#include "engine/core/streams.h"
#include "engine/doc/key_path.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/parser/pdf_document.h"
#include "tests/support/pdf_file_text.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using namespace VISTRELLib;
using win::ComPtr;
using win::E_POINTER;
using win::S_FALSE;
using win::S_OK;

// The text of a BSTR, which is freed.
std::u16string take(BSTR text) {
    std::u16string out(text ? text : u"", win::SysStringLen(text));
    win::SysFreeString(text);
    return out;
}

BSTR bstr(const std::u16string& text) {
    return win::SysAllocStringLen(text.data(), win::UINT(text.size()));
}

std::u16string nameOf(ITreeNode* node) {
    BSTR name = nullptr;
    EXPECT_EQ(node->get_name(&name), S_OK);
    return take(name);
}

ComPtr<TreeNode> node(const std::u16string& name = u"") {
    ComPtr<TreeNode> made = TreeNode::create();
    if (!name.empty())
        made->setName(WString(name.c_str()));
    return made;
}

ComPtr<ITreeNode> kidOf(ITreeNode* parent, LONG index) {
    ComPtr<ITreeNode> kid;
    parent->get_kid(index, kid.put());
    return kid;
}

// The record text of a node of any type ("-" when it has none).
std::u16string recordText(ITreeNode* n) {
    BSTR text = nullptr;
    TreeNodeType type{};
    n->get_type(&type);
    HRESULT hr = S_FALSE;
    switch (type) {
        case TreeNodeType::State:
            hr = n->get_stateInStr(&text);
            break;
        case TreeNodeType::Link:
            hr = n->get_linkInStr(&text);
            break;
        case TreeNodeType::Annotation:
            hr = n->get_annotationInStr(&text);
            break;
        case TreeNodeType::Font_Info:
            hr = n->get_fontInfoInStr(&text);
            break;
        case TreeNodeType::Word_Info:
            hr = n->get_wordInfoInStr(&text);
            break;
        case TreeNodeType::TOC:
            break;
    }
    return hr == S_OK ? take(text) : u"-";
}

// name[type|record](kids...)
std::u16string dump(ITreeNode* n) {
    TreeNodeType type{};
    n->get_type(&type);
    std::u16string out =
        nameOf(n) + u"[" + char16_t(u'0' + LONG(type)) + u"|" + recordText(n) + u"](";
    LONG kids = 0;
    n->get_kids(&kids);
    for (LONG i = 1; i <= kids; ++i)
        out += dump(kidOf(n, i).get());
    return out + u")";
}

// BSTRs for the records a test builds, freed at the end of the test.
struct Strings {
    std::vector<BSTR> held;
    BSTR operator()(const char16_t* text) {
        held.push_back(text ? win::SysAllocString(text) : nullptr);
        return held.back();
    }
    void clear() {
        for (BSTR b : held)
            win::SysFreeString(b);
        held.clear();
    }
    ~Strings() { clear(); }
};
Strings str;  // emptied after each test

PageAnnotation annotation(const char16_t* caption, const char16_t* text) {
    return PageAnnotation{10,       20,           30,        40,
                          0xA0A0A0, str(caption), str(text), PageAnnotationType::IconOpened};
}

// Every node made in a test is gone by its end (the module counts them).
class TreeNodeTest : public ::testing::Test {
protected:
    void SetUp() override {
        objects_ = engineModule().lockCount();
        destinations_ = heldDestinations().size();
    }
    void TearDown() override {
        str.clear();
        EXPECT_EQ(engineModule().lockCount(), objects_);
        EXPECT_EQ(heldDestinations().size(), destinations_);
    }

private:
    win::LONG objects_ = 0;
    size_t destinations_ = 0;
};

TEST_F(TreeNodeTest, NewNodeIsAStateNodeWithItsDefaultName) {
    ComPtr<TreeNode> n = node();
    TreeNodeType type = TreeNodeType::TOC;
    EXPECT_EQ(n->get_type(&type), S_OK);
    EXPECT_EQ(type, TreeNodeType::State);
    EXPECT_EQ(nameOf(n.get()), u"Page 1--100%");
    EXPECT_EQ(recordText(n.get()), u"0,0,1,1.000000,4,4,0");
    LONG id = -1;
    EXPECT_EQ(n->get_ID(&id), S_FALSE);
    EXPECT_EQ(id, 0);
    ComPtr<ITreeNode> other;
    EXPECT_EQ(n->get_root(other.put()), S_OK);
    EXPECT_EQ(other.get(), static_cast<ITreeNode*>(n.get()));
    EXPECT_EQ(n->get_parent(other.put()), S_OK);
    EXPECT_FALSE(other);
    EXPECT_EQ(n->get_next(other.put()), S_FALSE);
    EXPECT_EQ(n->get_previous(other.put()), S_FALSE);
    EXPECT_EQ(n->get_kids(nullptr), E_POINTER);
    EXPECT_EQ(n->get_name(nullptr), E_POINTER);

    const struct {
        LONG page;
        double zoom;
        const char16_t* name;
    } names[] = {
        {3, 1.5, u"Page 3--150%"},
        {12, 0.333, u"Page 12--33%"},
        {0, 1.0, u"Page 0--100%"},
        {1, 0.005, u"Page 1--1%"},  // half a percent rounds away from zero
        {1, -0.005, u"Page 1---1%"},
        {-4, 0.0, u"Page -4--0%"},
        {1, 1e300, u"Page 1--2147483647%"},
        {1, std::nan(""), u"Page 1--0%"},
    };
    for (const auto& c : names) {
        n->initState(c.page, c.zoom, PalmFormat::Color16, 2, 3);
        EXPECT_EQ(nameOf(n.get()), c.name) << c.page << " " << c.zoom;
    }
    n->initState(3, 1.5, PalmFormat::Color16, 2, 3);
    EXPECT_EQ(recordText(n.get()), u"0,0,3,1.500000,3,2,16");
}

// Each typed getter answers for its own type only; the caller's record or
// string is left alone otherwise, and a null pointer is refused first.
TEST_F(TreeNodeTest, TypedGettersAnswerOnlyForTheirType) {
    struct Getter {
        const char* name;
        TreeNodeType owner;
        std::function<HRESULT(TreeNode&, bool null)> call;
    };
    const Getter getters[] = {
        {"State", TreeNodeType::State,
         [](TreeNode& n, bool null) {
             DocState s{-7, 0, 0, 0, 0, 0, PalmFormat::NotPalm};
             HRESULT hr = n.get_State(null ? nullptr : &s);
             EXPECT_EQ(s.page, hr == S_OK ? 1 : -7);
             return hr;
         }},
        {"Link", TreeNodeType::Link,
         [](TreeNode& n, bool null) {
             PageLink l{-7, 0, 0, 0, 0, 0, 0};
             HRESULT hr = n.get_Link(null ? nullptr : &l);
             EXPECT_EQ(l.x, hr == S_OK ? 1 : -7);
             return hr;
         }},
        {"Annotation", TreeNodeType::Annotation,
         [](TreeNode& n, bool null) {
             PageAnnotation a{};
             a.x = -7;
             HRESULT hr = n.get_Annotation(null ? nullptr : &a);
             EXPECT_EQ(a.x, hr == S_OK ? 10 : -7);
             if (hr == S_OK) {
                 EXPECT_EQ(take(a.caption) + take(a.text), u"capttext");
             }
             return hr;
         }},
        {"FontInfo", TreeNodeType::Font_Info,
         [](TreeNode& n, bool null) {
             FontInfo f{};
             HRESULT hr = n.get_FontInfo(null ? nullptr : &f);
             if (hr == S_OK) {
                 EXPECT_EQ(f.original, FontType::Type1C);
                 EXPECT_EQ(take(f.originalName), u"Arial");
                 EXPECT_EQ(f.usedName, nullptr);
                 win::SysFreeString(f.encoding);
             } else {
                 EXPECT_EQ(f.originalName, nullptr);
             }
             return hr;
         }},
        {"WordInfo", TreeNodeType::Word_Info,
         [](TreeNode& n, bool null) {
             WordInfo w{};
             w.fontSize = -7;
             HRESULT hr = n.get_WordInfo(null ? nullptr : &w);
             EXPECT_EQ(w.fontSize, hr == S_OK ? 12 : -7);
             if (hr == S_OK) {
                 EXPECT_EQ(take(w.fontFamily) + take(w.fontModificator), u"Times");
             }
             return hr;
         }},
    };
    using TextGetter = HRESULT (TreeNode::*)(BSTR*);
    const struct {
        const char* name;
        TreeNodeType owner;
        TextGetter get;
    } texts[] = {
        {"stateInStr", TreeNodeType::State, &TreeNode::get_stateInStr},
        {"linkInStr", TreeNodeType::Link, &TreeNode::get_linkInStr},
        {"annotationInStr", TreeNodeType::Annotation, &TreeNode::get_annotationInStr},
        {"fontInfoInStr", TreeNodeType::Font_Info, &TreeNode::get_fontInfoInStr},
        {"wordInfoInStr", TreeNodeType::Word_Info, &TreeNode::get_wordInfoInStr},
    };

    for (LONG t = 0; t <= 5; ++t) {
        const TreeNodeType type = TreeNodeType(t);
        ComPtr<TreeNode> n = node();
        n->setType(type);
        n->setLink({1, 2, 3, 4, 5, 6, 7});
        n->setAnnotation(annotation(u"capt", u"text"));
        n->setFontInfo({FontType::Type1C, str(u"Arial"), FontType::TrueType, nullptr,
                        str(u"WinAnsiEncoding")});
        n->setWordInfo({1, 2, 3, 4, str(u"Times"), str(u""), 12});
        for (const Getter& g : getters) {
            SCOPED_TRACE(std::string(g.name) + " of type " + std::to_string(t));
            EXPECT_EQ(g.call(*n.get(), true), E_POINTER);
            EXPECT_EQ(g.call(*n.get(), false), g.owner == type ? S_OK : S_FALSE);
        }
        for (const auto& g : texts) {
            SCOPED_TRACE(std::string(g.name) + " of type " + std::to_string(t));
            EXPECT_EQ(((*n.get()).*g.get)(nullptr), E_POINTER);
            BSTR slot = nullptr;
            HRESULT hr = ((*n.get()).*g.get)(&slot);
            EXPECT_EQ(hr, g.owner == type ? S_OK : S_FALSE);
            EXPECT_EQ(slot != nullptr, hr == S_OK);
            win::SysFreeString(slot);
        }
        EXPECT_EQ(n->put_State({2, 1.0, 0, 0, 4, 4, PalmFormat::NotPalm}),
                  type == TreeNodeType::State ? S_OK : S_FALSE);
        BSTR text = bstr(u"1,2,3,1,4,4,0");
        EXPECT_EQ(n->put_stateInStr(text), type == TreeNodeType::State ? S_OK : S_FALSE);
        win::SysFreeString(text);
        LONG id = -1;
        EXPECT_EQ(n->get_ID(&id), type == TreeNodeType::TOC ? S_OK : S_FALSE);
        EXPECT_EQ(id, 0);  // no destination held
    }
}

TEST_F(TreeNodeTest, RecordTexts) {
    const struct {
        std::function<void(TreeNode&)> fill;
        const char16_t* text;
    } cases[] = {
        {[](TreeNode& n) {
             n.initState(3, 1.5, PalmFormat::Color16, 2, 3);
             DocState s = n.state();
             s.x = 10;
             s.y = 250;
             n.setState(s);
         },
         u"10,250,3,1.500000,3,2,16"},
        {[](TreeNode& n) {
             n.setState({-2, -0.25, -1, 0, 5, 0, PalmFormat::Color16a});
         },
         u"-1,0,-2,-0.250000,0,5,17"},
        {[](TreeNode& n) {
             n.setType(TreeNodeType::Link);
             n.setLink({12, -3, 40, 9, 2, 0, 77});
         },
         u"12,-3,40,9,2,0,77"},
        {[](TreeNode& n) {
             n.setType(TreeNodeType::Annotation);
             n.setAnnotation(annotation(nullptr, u"a, b"));
         },
         u"10,20,30,40,10526880,\"\",\"a, b\",1"},
        // A quote inside a text is doubled, so the fields after it stay in place.
        {[](TreeNode& n) {
             n.setType(TreeNodeType::Annotation);
             n.setAnnotation(annotation(u"say \"hi\"", u"\""));
         },
         u"10,20,30,40,10526880,\"say \"\"hi\"\"\",\"\"\"\",1"},
        {[](TreeNode& n) {
             n.setType(TreeNodeType::Font_Info);
             n.setFontInfo({FontType::Type3, str(u"Type3 font 1"), FontType::Type3,
                            str(u"Embedded subset"), nullptr});
         },
         u"3,\"Type3 font 1\",3,\"Embedded subset\",\"\""},
        {[](TreeNode& n) {
             n.setType(TreeNodeType::Word_Info);
             n.setWordInfo({5, 6, 70, 18, str(u"Helvetica"), str(u"bold-italic"), 11});
         },
         u"5,6,70,18,\"Helvetica\",\"bold-italic\",11"},
    };
    for (const auto& c : cases) {
        ComPtr<TreeNode> n = node();
        c.fill(*n.get());
        EXPECT_EQ(recordText(n.get()), c.text);
    }
}

// annotationInStr replaces the string the caller's slot holds, and the
// Annotation get frees the texts of the caller's record before filling it;
// FontInfo and WordInfo hand out fresh copies each time.
TEST_F(TreeNodeTest, OutParameterRules) {
    ComPtr<TreeNode> n = node();
    n->setType(TreeNodeType::Annotation);
    n->setAnnotation(annotation(u"c", u"t"));
    BSTR slot = bstr(u"an older text");
    ASSERT_EQ(n->get_annotationInStr(&slot), S_OK);
    ASSERT_EQ(n->get_annotationInStr(&slot), S_OK);
    EXPECT_EQ(take(slot), u"10,20,30,40,10526880,\"c\",\"t\",1");

    PageAnnotation record{};
    record.caption = bstr(u"old caption");
    record.text = bstr(u"old text");
    ASSERT_EQ(n->get_Annotation(&record), S_OK);
    ASSERT_EQ(n->get_Annotation(&record), S_OK);
    EXPECT_EQ(take(record.caption), u"c");
    EXPECT_EQ(take(record.text), u"t");

    // The node's own texts are copies: the caller's strings may go.
    BSTR caption = bstr(u"mine");
    n->setAnnotation(annotation(caption, nullptr));
    win::SysFreeString(caption);
    EXPECT_EQ(recordText(n.get()), u"10,20,30,40,10526880,\"mine\",\"\",1");
}

TEST_F(TreeNodeTest, StateTextReader) {
    const DocState before{9, 9.0, -1, -1, 9, 9, PalmFormat::Color16a};
    const struct {
        const char16_t* text;
        HRESULT result;
        const char16_t* state;  // stateInStr afterwards
    } cases[] = {
        {u"", S_FALSE, u"-1,-1,9,9.000000,9,9,17"},
        {u"no commas", S_FALSE, u"-1,-1,9,9.000000,9,9,17"},
        {u"0,0,3", S_FALSE, u"0,0,9,9.000000,9,9,17"},
        {u"5,6,2,0.5,1,1,4", S_OK, u"5,6,2,0.500000,1,1,4"},
        // Each field empty in turn: the fields before it are kept.
        {u",6,2,0.5,1,1,4", S_FALSE, u"-1,-1,9,9.000000,9,9,17"},
        {u"5,,2,0.5,1,1,4", S_FALSE, u"5,-1,9,9.000000,9,9,17"},
        {u"5,6,,0.5,1,1,4", S_FALSE, u"5,6,9,9.000000,9,9,17"},
        {u"5,6,2,,1,1,4", S_FALSE, u"5,6,2,9.000000,9,9,17"},
        {u"5,6,2,0.5,,1,4", S_FALSE, u"5,6,2,0.500000,9,9,17"},
        {u"5,6,2,0.5,1,,4", S_FALSE, u"5,6,2,0.500000,1,9,17"},
        {u"5,6,2,0.5,1,1,", S_FALSE, u"5,6,2,0.500000,1,1,17"},
        // The sixth field without its comma.
        {u"5,6,2,0.5,1,1", S_FALSE, u"5,6,2,0.500000,1,9,17"},
        // The viewer's zoom form.
        {u"0,0,1, 1.50000000000000E+0000,4,4,0", S_OK, u"0,0,1,1.500000,4,4,0"},
        // The seventh field is all after the sixth comma.
        {u"1,2,3,4,5,6,16,extra,commas", S_OK, u"1,2,3,4.000000,5,6,16"},
        // Blanks, signs, text after the digits; values are not range-checked.
        {u" -7,+8,x,-.5e1,12abc,\t3,5", S_OK, u"-7,8,0,-5.000000,12,3,5"},
        {u"99999999999,-99999999999,0,1e999,0,0,0", S_OK, u"2147483647,-2147483648,0,inf,0,0,0"},
    };
    for (const auto& c : cases) {
        ComPtr<TreeNode> n = node(u"kept");
        n->setState(before);
        BSTR text = bstr(c.text);
        EXPECT_EQ(n->put_stateInStr(text), c.result) << std::string(c.text, c.text + 1);
        win::SysFreeString(text);
        EXPECT_EQ(recordText(n.get()), c.state);
        EXPECT_EQ(nameOf(n.get()), u"kept");
    }
    ComPtr<TreeNode> n = node();
    n->setState(before);
    EXPECT_EQ(n->put_stateInStr(nullptr), S_FALSE);
    EXPECT_EQ(recordText(n.get()), u"-1,-1,9,9.000000,9,9,17");
}

TEST_F(TreeNodeTest, KidsInsertRemoveAndNavigation) {
    ComPtr<TreeNode> root = node(u"root");
    for (const char16_t* name : {u"A", u"B", u"C"})
        ASSERT_EQ(root->addKid(node(name).get()), S_OK);
    LONG kids = 0;
    EXPECT_EQ(root->get_kids(&kids), S_OK);
    EXPECT_EQ(kids, 3);

    for (LONG index :
         {0, 4, -1, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()}) {
        ITreeNode* out = root.get();
        EXPECT_EQ(root->get_kid(index, &out), S_FALSE) << index;
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(root->removeKid(index), S_FALSE) << index;
    }
    EXPECT_EQ(root->get_kid(1, nullptr), E_POINTER);

    auto names = [&] {
        std::u16string out;
        LONG count = 0;
        root->get_kids(&count);
        for (LONG i = 1; i <= count; ++i)
            out += nameOf(kidOf(root.get(), i).get());
        return out;
    };
    auto neighbour = [](ITreeNode* n, bool next, HRESULT expected) {
        ComPtr<ITreeNode> other;
        EXPECT_EQ(next ? n->get_next(other.put()) : n->get_previous(other.put()), expected);
        return other ? nameOf(other.get()) : u"-";
    };

    ComPtr<ITreeNode> a = kidOf(root.get(), 1), b = kidOf(root.get(), 2), c = kidOf(root.get(), 3);
    EXPECT_EQ(neighbour(a.get(), false, S_FALSE), u"-");
    EXPECT_EQ(neighbour(a.get(), true, S_OK), u"B");
    EXPECT_EQ(neighbour(c.get(), true, S_FALSE), u"-");
    ComPtr<ITreeNode> top;
    ASSERT_EQ(c->get_root(top.put()), S_OK);
    EXPECT_EQ(top.get(), static_cast<ITreeNode*>(root.get()));

    // Removing the first of three.
    EXPECT_EQ(root->removeKid(1), S_OK);
    EXPECT_EQ(names(), u"BC");
    EXPECT_EQ(neighbour(b.get(), false, S_FALSE), u"-");
    EXPECT_EQ(neighbour(c.get(), false, S_OK), u"B");
    EXPECT_EQ(neighbour(b.get(), true, S_OK), u"C");
    ASSERT_EQ(a->get_parent(top.put()), S_OK);
    EXPECT_FALSE(top);
    EXPECT_EQ(neighbour(a.get(), true, S_FALSE), u"-");

    // Inserting: at 1 it goes first; kids + 1 would append and is refused.
    EXPECT_EQ(root->insertKid(node(u"X").get(), 1), S_OK);
    EXPECT_EQ(names(), u"XBC");
    EXPECT_EQ(neighbour(b.get(), false, S_OK), u"X");
    EXPECT_EQ(root->insertKid(node(u"Y").get(), 3), S_OK);
    EXPECT_EQ(names(), u"XBYC");
    EXPECT_EQ(neighbour(c.get(), false, S_OK), u"Y");
    EXPECT_EQ(root->insertKid(node(u"Z").get(), 5), S_FALSE);
    EXPECT_EQ(root->insertKid(node(u"Z").get(), 0), S_FALSE);
    EXPECT_EQ(root->insertKid(nullptr, 1), S_FALSE);
    EXPECT_EQ(root->addKid(nullptr), S_FALSE);
    EXPECT_EQ(names(), u"XBYC");

    EXPECT_EQ(root->removeKids(), S_OK);
    EXPECT_EQ(names(), u"");
    ASSERT_EQ(b->get_root(top.put()), S_OK);
    EXPECT_EQ(top.get(), b.get());
    EXPECT_EQ(neighbour(c.get(), false, S_FALSE), u"-");
}

// A kid is a deep copy of the node given: later changes to the source do not
// reach it, and each record type travels with its texts.
TEST_F(TreeNodeTest, CopiesAreDeepAndIndependent) {
    ComPtr<TreeNode> source = node(u"R");
    source->initState(7, 2.0, PalmFormat::Color4, 1, 2);
    source->setName(WString(u"R"));
    ComPtr<TreeNode> link = node(u"L"), note = node(u"A"), word = node(u"W"), font = node();
    link->setType(TreeNodeType::Link);
    link->setLink({1, 2, 3, 4, 5, 6, 7});
    note->setType(TreeNodeType::Annotation);
    note->setAnnotation(annotation(u"cap", u"txt"));
    word->setType(TreeNodeType::Word_Info);
    word->setWordInfo({1, 2, 3, 4, str(u"Courier"), str(u"-italic"), 9});
    font->setType(TreeNodeType::Font_Info);
    font->setFontInfo(
        {FontType::TrueType, str(u" Arial"), FontType::TrueType, str(u"Arial"), nullptr});
    font->setName(WString(u""));  // an empty name: the copy takes the default name
    ASSERT_EQ(word->addKid(font.get()), S_OK);
    ASSERT_EQ(note->addKid(word.get()), S_OK);
    ASSERT_EQ(source->addKid(link.get()), S_OK);
    ASSERT_EQ(source->addKid(note.get()), S_OK);
    const std::u16string original = dump(source.get());
    EXPECT_EQ(original,
              u"R[0|0,0,7,2.000000,2,1,4](L[2|1,2,3,4,5,6,7]()A[3|10,20,30,40,10526880,"
              u"\"cap\",\"txt\",1](W[5|1,2,3,4,\"Courier\",\"-italic\",9](Page 1--100%[4|0,"
              u"\" Arial\",0,\"Arial\",\"\"]())))");

    ComPtr<TreeNode> target = node(u"T");
    ASSERT_EQ(target->addKid(source.get()), S_OK);
    ComPtr<ITreeNode> copy = kidOf(target.get(), 1);
    EXPECT_EQ(dump(copy.get()), original);

    // Changing the source, deep down too, leaves the copy as it was.
    source->setName(WString(u"changed"));
    ASSERT_EQ(source->removeKid(1), S_OK);
    kidOf(source.get(), 1)->removeKids();
    EXPECT_EQ(dump(copy.get()), original);

    // A null source gives a default State node.
    ComPtr<TreeNode> fresh = node(u"x");
    fresh->setType(TreeNodeType::Link);
    EXPECT_TRUE(fresh->copyFrom(nullptr));
    EXPECT_EQ(dump(fresh.get()), u"Page 1--100%[0|0,0,1,1.000000,4,4,0]()");
}

// TOC nodes: the ID is a handle of the held destination, the same for a
// node and its copies, and the entry goes with the last node holding it.
TEST_F(TreeNodeTest, DestinationHandles) {
    auto first = Ref<PdfArray>::adopt(new PdfArray());
    auto second = Ref<PdfArray>::adopt(new PdfArray());
    const size_t entries = heldDestinations().size();
    auto idOf = [](ITreeNode* n) {
        LONG id = 0;
        EXPECT_EQ(n->get_ID(&id), S_OK);
        return id;
    };
    {
        ComPtr<TreeNode> a = node(u"a"), b = node(u"b"), c = node(u"c");
        for (const auto& [n, d] :
             {std::pair{a.get(), first.get()}, std::pair{b.get(), second.get()},
              std::pair{c.get(), first.get()}}) {
            n->setType(TreeNodeType::TOC);
            n->holdDestination(d);
        }
        EXPECT_NE(idOf(a.get()), 0);
        EXPECT_NE(idOf(a.get()), idOf(b.get()));
        EXPECT_EQ(idOf(a.get()), idOf(c.get()));
        EXPECT_EQ(heldDestinations().size(), entries + 2);
        EXPECT_EQ(a->destination(), first.get());

        ComPtr<TreeNode> parent = node();
        ASSERT_EQ(parent->addKid(a.get()), S_OK);
        ASSERT_EQ(parent->addKid(a.get()), S_OK);
        EXPECT_EQ(idOf(kidOf(parent.get(), 1).get()), idOf(a.get()));
        EXPECT_EQ(idOf(kidOf(parent.get(), 2).get()), idOf(a.get()));
        EXPECT_EQ(recordText(kidOf(parent.get(), 1).get()), u"-");

        // b alone holds the second destination; making it a State node lets go.
        const LONG bId = idOf(b.get());
        b->initState(1, 1.0, PalmFormat::NotPalm, 4, 4);
        EXPECT_EQ(heldDestinations().find(bId), nullptr);
        EXPECT_EQ(heldDestinations().size(), entries + 1);
        a.reset();
        c.reset();
        EXPECT_EQ(heldDestinations().size(), entries + 1);  // the copies still hold it
    }
    EXPECT_EQ(heldDestinations().size(), entries);
}

// A node the host made itself: all it says comes through the interface.
class ForeignNode : public ITreeNode {
public:
    TreeNodeType type = TreeNodeType::State;
    LONG id = 0;
    bool cyclic = false;  // its one kid is itself

    HRESULT QueryInterface(win::REFIID, void**) override { return win::E_NOINTERFACE; }
    win::ULONG AddRef() override { return 2; }
    win::ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(win::UINT*) override { return win::E_NOTIMPL; }
    HRESULT GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo**) override { return win::E_NOTIMPL; }
    HRESULT GetIDsOfNames(win::REFIID, win::LPOLESTR*, win::UINT, win::LCID,
                          win::DISPID*) override {
        return win::E_NOTIMPL;
    }
    HRESULT Invoke(win::DISPID, win::REFIID, win::LCID, win::WORD, win::DISPPARAMS*, win::VARIANT*,
                   win::EXCEPINFO*, win::UINT*) override {
        return win::E_NOTIMPL;
    }
    HRESULT get_type(TreeNodeType* p) override {
        *p = type;
        return S_OK;
    }
    HRESULT get_name(BSTR* p) override {
        *p = bstr(u"foreign");
        return S_OK;
    }
    HRESULT put_name(BSTR) override { return win::E_NOTIMPL; }
    HRESULT get_kids(LONG* p) override {
        *p = cyclic ? 1 : 0;
        return S_OK;
    }
    HRESULT get_root(ITreeNode**) override { return win::E_NOTIMPL; }
    HRESULT get_parent(ITreeNode**) override { return win::E_NOTIMPL; }
    HRESULT get_next(ITreeNode**) override { return win::E_NOTIMPL; }
    HRESULT get_previous(ITreeNode**) override { return win::E_NOTIMPL; }
    HRESULT get_kid(LONG, ITreeNode** p) override {
        *p = this;
        return S_OK;
    }
    HRESULT addKid(ITreeNode*) override { return win::E_NOTIMPL; }
    HRESULT insertKid(ITreeNode*, LONG) override { return win::E_NOTIMPL; }
    HRESULT removeKid(LONG) override { return win::E_NOTIMPL; }
    HRESULT removeKids() override { return win::E_NOTIMPL; }
    HRESULT get_ID(LONG* p) override {
        *p = id;
        return S_OK;
    }
    HRESULT get_State(DocState* p) override {
        *p = {5, 0.5, 1, 2, 3, 4, PalmFormat::Color4};
        return S_OK;
    }
    HRESULT get_WordInfo(WordInfo*) override { return win::E_NOTIMPL; }
    HRESULT get_wordInfoInStr(BSTR*) override { return win::E_NOTIMPL; }
    HRESULT put_State(DocState) override { return win::E_NOTIMPL; }
    HRESULT get_stateInStr(BSTR*) override { return win::E_NOTIMPL; }
    HRESULT put_stateInStr(BSTR) override { return win::E_NOTIMPL; }
    HRESULT get_Link(PageLink*) override { return win::E_NOTIMPL; }
    HRESULT get_linkInStr(BSTR*) override { return win::E_NOTIMPL; }
    HRESULT get_Annotation(PageAnnotation*) override { return win::E_NOTIMPL; }
    HRESULT get_annotationInStr(BSTR*) override { return win::E_NOTIMPL; }
    HRESULT get_FontInfo(FontInfo*) override { return win::E_NOTIMPL; }
    HRESULT get_fontInfoInStr(BSTR*) override { return win::E_NOTIMPL; }
};

TEST_F(TreeNodeTest, ForeignNodes) {
    ComPtr<TreeNode> parent = node();
    ForeignNode state;
    ASSERT_EQ(parent->addKid(&state), S_OK);
    EXPECT_EQ(dump(kidOf(parent.get(), 1).get()), u"foreign[0|1,2,5,0.500000,4,3,4]()");

    // A number that is no live handle names no destination.
    ForeignNode toc;
    toc.type = TreeNodeType::TOC;
    toc.id = 0x4000;
    ASSERT_EQ(parent->addKid(&toc), S_OK);
    LONG id = -1;
    EXPECT_EQ(kidOf(parent.get(), 2)->get_ID(&id), S_OK);
    EXPECT_EQ(id, 0);

    // A node that is its own kid cannot be copied; the parent is unchanged.
    ForeignNode loop;
    loop.cyclic = true;
    EXPECT_EQ(parent->addKid(&loop), S_FALSE);
    LONG kids = 0;
    parent->get_kids(&kids);
    EXPECT_EQ(kids, 2);
}

// No tree grows beyond kMaxTreeDepth levels below its root, however it is
// built; a tree of exactly that depth copies whole.
TEST_F(TreeNodeTest, DepthIsBounded) {
    ComPtr<TreeNode> root = node(u"0");
    ComPtr<ITreeNode> bottom(root.get());
    for (int level = 1; level <= kMaxTreeDepth; ++level) {
        ASSERT_EQ(bottom->addKid(node().get()), S_OK) << level;
        bottom = kidOf(bottom.get(), 1);
    }
    EXPECT_EQ(bottom->addKid(node().get()), S_FALSE);
    EXPECT_EQ(static_cast<TreeNode*>(bottom.get())->depth(), kMaxTreeDepth);

    ComPtr<TreeNode> whole = node();
    EXPECT_TRUE(whole->copyFrom(root.get()));
    ComPtr<TreeNode> holder = node();
    EXPECT_EQ(holder->addKid(root.get()), S_FALSE);
    LONG kids = -1;
    holder->get_kids(&kids);
    EXPECT_EQ(kids, 0);
}

// ---------------------------------------------------------------------------
// Storing and loading

// An open document over a file in memory, with its catalog (which lets go
// of the object graph, cycles included, before the document closes).
struct MemoryDocument {
    explicit MemoryDocument(std::string bytes)
        : text(std::move(bytes)),
          stream(text.data(), text.size()),
          document(&stream, true),
          catalog(&document) {}
    std::string text;
    MemoryInputStream stream;
    PdfDocument document;
    PdfCatalog catalog;
};

// A document whose private dictionary is object 3; `tree` and `more` are
// objects 4, 5, ... and the stored tree /T is 4 0 R.
std::string storedTree(const std::string& tree, std::vector<std::string> more = {}) {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R /LumbraData 3 0 R >>",
                                        "<< /Type /Pages /Kids [] /Count 0 >>",
                                        "<< /Type /LumbraData /T 4 0 R >>", tree};
    objects.insert(objects.end(), more.begin(), more.end());
    return testing::pdfFileFromObjects(objects);
}

// Loads /T into a root made as the control makes it (page 0).
std::pair<bool, std::u16string> loadTree(const std::string& pdf) {
    MemoryDocument doc(pdf);
    ComPtr<TreeNode> root = TreeNode::create();
    root->initState(0, 1.0, PalmFormat::NotPalm, 4, 4);
    KeyPathReader reader(&doc.document);
    const bool loaded = reader.get(WString(u"T"), *root.get());
    return {loaded, dump(root.get())};
}

TEST_F(TreeNodeTest, LoadFromSmallDocuments) {
    const std::u16string page0 = u"Page 0--100%[0|0,0,0,1.000000,4,4,0]";
    const struct {
        const char* what;
        std::string pdf;
        bool loaded;
        std::u16string dump;
    } cases[] = {
        {"values",
         storedTree("<< /name (n) /x (12) /y (-4) /pagenum (3) /zoom (1.5) /memory (2) "
                    "/quality (1) /palm (16) >>"),
         true, u"n[0|12,-4,3,1.500000,2,1,16]()"},
        {"numbers read up to the first other character; others are no texts",
         storedTree("<< /pagenum ( 7abc) /zoom (x) /x 5 /name /N >>"), true,
         u"Page 0--100%[0|0,0,7,0.000000,4,4,0]()"},
        {"kid keys 0, 1 and 3",
         storedTree("<< /0 << /name (a) >> /1 << /name (b) /0 << /name (c) >> >> "
                    "/3 << /name (d) >> >>"),
         true,
         page0 + u"(a[0|0,0,1,1.000000,4,4,0]()b[0|0,0,1,1.000000,4,4,0](c[0|0,0,1,"
                 u"1.000000,4,4,0]()))"},
        {"an empty dictionary", storedTree("<< >>"), false, page0 + u"()"},
        {"an empty kid ends the kids", storedTree("<< /0 << >> /1 << /name (b) >> >>"), false,
         page0 + u"()"},
        {"not a dictionary", storedTree("(text)"), false, page0 + u"()"},
        {"a kid referring back to its parent",
         storedTree("<< /name (r) /0 5 0 R >>", {"<< /name (k) /0 4 0 R >>"}), true,
         u"r[0|0,0,0,1.000000,4,4,0](k[0|0,0,1,1.000000,4,4,0]())"},
        {"kids sharing one dictionary",
         storedTree("<< /name (r) /0 5 0 R /1 5 0 R >>", {"<< /name (k) >>"}), true,
         u"r[0|0,0,0,1.000000,4,4,0](k[0|0,0,1,1.000000,4,4,0]())"},
    };
    for (const auto& c : cases) {
        auto [loaded, dumped] = loadTree(c.pdf);
        EXPECT_EQ(loaded, c.loaded) << c.what;
        EXPECT_EQ(dumped, c.dump) << c.what;
    }
}

// A chain 10,000 levels deep loads as deep as the reader follows.
TEST_F(TreeNodeTest, DeepStoredChainLoadsWithinTheBound) {
    std::vector<std::string> chain;
    chain.reserve(10001);
    for (int i = 0; i < 10000; ++i)
        chain.push_back("<< /name (x) /0 " + std::to_string(i + 6) + " 0 R >>");
    chain.push_back("<< /name (end) >>");
    MemoryDocument doc(storedTree("<< /name (top) /0 5 0 R >>", chain));
    ComPtr<TreeNode> root = TreeNode::create();
    KeyPathReader reader(&doc.document);
    ASSERT_TRUE(reader.get(WString(u"T"), *root.get()));
    int levels = 0;
    for (TreeNode* n = root.get(); n->kidCount() > 0; n = n->kidAt(0))
        ++levels;
    EXPECT_EQ(levels, kMaxStoredTreeDepth - 1);
}

// The node bounds its own recursion, whatever reader it is given.
TEST_F(TreeNodeTest, LoadIsBoundedWithAnyReader) {
    struct EndlessReader : TreeReader {
        int nodes = 0;
        bool getNode(const WString& key, Storable& storable) override {
            ++nodes;
            return TreeReader::getNode(key, storable);
        }
        bool getString(const WString&, WString&) override { return false; }
    } reader;
    ComPtr<TreeNode> root = TreeNode::create();
    EXPECT_FALSE(root->load(reader));
    EXPECT_EQ(reader.nodes, kMaxTreeDepth);
    EXPECT_EQ(root->kidCount(), 0);
}

// A tree stored into a file and read back after the file is opened again;
// the stored dictionary holds the kids under "0", "1" and the view as texts.
TEST_F(TreeNodeTest, SaveAndLoadThroughADocument) {
    testing::TempDir tmp("vistrel-tree");
    ASSERT_TRUE(tmp.ok());
    const std::string path = tmp.path("marks.pdf");
    ASSERT_TRUE(testing::writeFile(
        path, testing::pdfFileFromObjects(
                  {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"})));

    ComPtr<TreeNode> tree = node();
    tree->setState({2, 1.25, -3, 4, 1, 2, PalmFormat::Color4});
    tree->setName(WString(u"Caf\u00e9 \"marks\", \u20ac"));
    ComPtr<TreeNode> kid = node(u"first");
    ComPtr<TreeNode> link = node(u"link");
    link->setType(TreeNodeType::Link);  // stored as a State node of its view
    ASSERT_EQ(kid->addKid(node(u"deep").get()), S_OK);
    ASSERT_EQ(tree->addKid(kid.get()), S_OK);
    ASSERT_EQ(tree->addKid(link.get()), S_OK);
    {
        FileInputStream stream(WideFromUtf8(path), 4096);
        PdfDocument doc(&stream, true);
        KeyPathWriter writer(&doc, WString::fromUtf8(path));
        ASSERT_TRUE(writer.put(WString(u"BookMarks"), *tree.get()));
        PdfDict* stored = asDict(writer.root()->get(*keyName(WString(u"BookMarks"))));
        ASSERT_TRUE(stored);
        std::vector<std::u16string> keys;
        for (const auto& entry : stored->entries())
            keys.push_back(
                std::u16string(static_cast<const PdfName*>(entry.key)->textValue().view()));
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(keys,
                  (std::vector<std::u16string>{u"/0", u"/1", u"/memory", u"/name", u"/pagenum",
                                               u"/palm", u"/quality", u"/x", u"/y", u"/zoom"}));
        auto* zoom = static_cast<PdfString*>(stored->get(*keyName(WString(u"zoom"))));
        EXPECT_EQ(zoom->textValue().toUtf8(), "1.250000");
        ASSERT_EQ(writer.save(), 1);
    }
    FileInputStream stream(WideFromUtf8(path), 4096);
    PdfDocument doc(&stream, true);
    ComPtr<TreeNode> back = TreeNode::create();
    back->initState(0, 1.0, PalmFormat::NotPalm, 4, 4);
    KeyPathReader reader(&doc);
    ASSERT_TRUE(reader.get(WString(u"BookMarks"), *back.get()));
    EXPECT_EQ(dump(back.get()),
              u"Caf\u00e9 \"marks\", \u20ac[0|-3,4,2,1.250000,2,1,4](first[0|0,0,1,1.000000,4,4,"
              u"0](deep[0|0,0,1,1.000000,4,4,0]())link[0|0,0,1,1.000000,4,4,0]())");
}

// ---------------------------------------------------------------------------
// Late-bound calls

TEST_F(TreeNodeTest, NamesAndDispatchIds) {
    ComPtr<TreeNode> n = node();
    const struct {
        const char16_t* name;
        win::DISPID id;
    } names[] = {
        {u"type", 1},
        {u"NAME", 2},
        {u"kids", 3},
        {u"root", 4},
        {u"parent", 5},
        {u"next", 6},
        {u"previous", 7},
        {u"kid", 8},
        {u"addKid", 9},
        {u"insertkid", 10},
        {u"removeKid", 11},
        {u"removeKids", 12},
        {u"ID", 13},
        {u"State", 14},
        {u"stateInStr", 15},
        {u"Link", 16},
        {u"linkInStr", 17},
        {u"Annotation", 18},
        {u"annotationInStr", 19},
        {u"FontInfo", 20},
        {u"fontInfoInStr", 21},
        {u"WordInfo", 22},
        {u"WORDINFOINSTR", 23},
        {u"nothing", win::DISPID_UNKNOWN},
        {u"kidd", win::DISPID_UNKNOWN},
    };
    for (const auto& c : names) {
        std::u16string text = c.name;
        win::LPOLESTR list[] = {text.data()};
        win::DISPID id = 0;
        EXPECT_EQ(n->GetIDsOfNames(win::IID_NULL, list, 1, 0, &id),
                  c.id == win::DISPID_UNKNOWN ? win::DISP_E_UNKNOWNNAME : S_OK);
        EXPECT_EQ(id, c.id);
    }
    std::u16string kid = u"kid", index = u"index";
    win::LPOLESTR two[] = {kid.data(), index.data()};
    win::DISPID ids[2] = {};
    EXPECT_EQ(n->GetIDsOfNames(win::IID_NULL, two, 2, 0, ids), win::DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 8);
    EXPECT_EQ(ids[1], win::DISPID_UNKNOWN);
    EXPECT_EQ(n->GetIDsOfNames(IID_ITreeNode, two, 1, 0, ids), win::DISP_E_UNKNOWNINTERFACE);
}

TEST_F(TreeNodeTest, InvokeCallsTheMembers) {
    ComPtr<TreeNode> n = node(u"root");
    ComPtr<TreeNode> other = node(u"other");
    auto variant = [](auto value) {
        win::VARIANT v{};
        if constexpr (std::is_same_v<decltype(value), LONG>) {
            v.vt = win::VT_I4;
            v.lVal = value;
        } else if constexpr (std::is_same_v<decltype(value), const char16_t*>) {
            v.vt = win::VT_BSTR;
            v.bstrVal = bstr(value);
        } else {
            v.vt = win::VT_DISPATCH;
            v.pdispVal = value;
            value->AddRef();
        }
        return v;
    };
    struct Call {
        const char* what;
        win::DISPID member;
        win::WORD flags;
        std::vector<win::VARIANT> arguments;  // first to last
        bool namedPut;
        HRESULT result;
        std::u16string returned;  // the result as text: a number, a text or a node's name
        std::u16string tree;      // dump of n afterwards ("" to skip)
    };
    constexpr win::WORD kGet = win::DISPATCH_PROPERTYGET | win::DISPATCH_METHOD;
    constexpr win::WORD kPut = win::DISPATCH_PROPERTYPUT;
    constexpr win::WORD kMethod = win::DISPATCH_METHOD;
    const std::u16string state = u"[0|0,0,1,1.000000,4,4,0]";
    std::vector<Call> calls;
    calls.push_back({"type", 1, kGet, {}, false, S_OK, u"0", u""});
    calls.push_back({"name", 2, kGet, {}, false, S_OK, u"root", u""});
    calls.push_back({"name put", 2, kPut, {variant(u"R")}, true, S_OK, u"", u"R" + state + u"()"});
    calls.push_back({"addKid",
                     9,
                     kMethod,
                     {variant(static_cast<win::IDispatch*>(other.get()))},
                     false,
                     S_OK,
                     u"",
                     u"R" + state + u"(other" + state + u"())"});
    calls.push_back({"insertKid",
                     10,
                     kMethod,
                     {variant(static_cast<win::IDispatch*>(other.get())), variant(LONG(1))},
                     false,
                     S_OK,
                     u"",
                     u""});
    calls.push_back({"kids", 3, kGet, {}, false, S_OK, u"2", u""});
    calls.push_back({"kid 2", 8, kGet, {variant(LONG(2))}, false, S_OK, u"other", u""});
    calls.push_back({"kid 3", 8, kGet, {variant(LONG(3))}, false, S_FALSE, u"(null)", u""});
    calls.push_back({"removeKid", 11, kMethod, {variant(u"2")}, false, S_OK, u"", u""});
    calls.push_back(
        {"stateInStr put", 15, kPut, {variant(u"5,6,2,0.5,1,1,4")}, false, S_OK, u"", u""});
    calls.push_back({"stateInStr", 15, kGet, {}, false, S_OK, u"5,6,2,0.500000,1,1,4", u""});
    calls.push_back({"linkInStr of a State node", 17, kGet, {}, false, S_FALSE, u"", u""});
    calls.push_back({"ID", 13, kGet, {}, false, S_FALSE, u"0", u""});
    calls.push_back(
        {"removeKids", 12, kMethod, {}, false, S_OK, u"", u"R[0|5,6,2,0.500000,1,1,4]()"});
    for (win::DISPID record : {14, 16, 18, 20, 22})
        calls.push_back({"a record", record, kGet, {}, false, win::E_NOTIMPL, u"", u""});
    calls.push_back({"unknown member", 99, kGet, {}, false, win::DISP_E_MEMBERNOTFOUND, u"", u""});
    calls.push_back(
        {"kids put", 3, kPut, {variant(LONG(1))}, false, win::DISP_E_MEMBERNOTFOUND, u"", u""});
    calls.push_back({"addKid as a get",
                     9,
                     win::DISPATCH_PROPERTYGET,
                     {variant(static_cast<win::IDispatch*>(other.get()))},
                     false,
                     win::DISP_E_MEMBERNOTFOUND,
                     u"",
                     u""});
    calls.push_back(
        {"removeKid without index", 11, kMethod, {}, false, win::DISP_E_BADPARAMCOUNT, u"", u""});
    calls.push_back({"addKid of a number",
                     9,
                     kMethod,
                     {variant(LONG(4))},
                     false,
                     win::DISP_E_TYPEMISMATCH,
                     u"",
                     u""});
    calls.push_back(
        {"kid of a text", 8, kGet, {variant(u"one")}, false, win::DISP_E_TYPEMISMATCH, u"", u""});

    for (Call& c : calls) {
        std::vector<win::VARIANT> lastFirst(c.arguments.rbegin(), c.arguments.rend());
        win::DISPID named = win::DISPID_PROPERTYPUT;
        win::DISPPARAMS params{lastFirst.data(), c.namedPut ? &named : nullptr,
                               win::UINT(lastFirst.size()), c.namedPut ? 1u : 0u};
        win::VARIANT result{};
        win::UINT argumentError = 77;
        EXPECT_EQ(n->Invoke(c.member, win::IID_NULL, 0, c.flags, &params, &result, nullptr,
                            &argumentError),
                  c.result)
            << c.what;
        std::u16string returned;
        if (result.vt == win::VT_I4) {
            returned = std::u16string(u"0123456789").substr(size_t(result.lVal), 1);
        } else if (result.vt == win::VT_BSTR) {
            returned = std::u16string(result.bstrVal, win::SysStringLen(result.bstrVal));
        } else if (result.vt == win::VT_DISPATCH) {
            ComPtr<ITreeNode> kid;
            ComPtr<win::IUnknown>(result.pdispVal).query(IID_ITreeNode, kid);
            returned = kid ? nameOf(kid.get()) : u"(null)";
        }
        EXPECT_EQ(returned, c.returned) << c.what;
        if (c.result == win::DISP_E_TYPEMISMATCH) {
            EXPECT_EQ(argumentError, 0u) << c.what;
        }
        win::VariantClear(&result);
        for (win::VARIANT& v : c.arguments)
            win::VariantClear(&v);
        if (!c.tree.empty()) {
            EXPECT_EQ(dump(n.get()), c.tree) << c.what;
        }
    }
    EXPECT_EQ(n->Invoke(1, IID_ITreeNode, 0, kGet, nullptr, nullptr, nullptr, nullptr),
              win::DISP_E_UNKNOWNINTERFACE);
}

}  // namespace
}  // namespace vistrel
