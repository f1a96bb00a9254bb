// The document trees and the document and security information of the
// control object, over the tree fixtures (tests/fixtures/
// make_tree_fixtures.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "engine/core/wstring.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "platform/com/com.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using namespace VISTRELLib;
using win::E_ACCESSDENIED;
using win::E_NOTIMPL;
using win::E_POINTER;
using win::S_FALSE;
using win::S_OK;

std::string fixture(const std::string& name) {
    return std::string(VISTREL_TREE_FIXTURES) + "/" + name;
}

// A BSTR of UTF-8 text for the length of a statement.
struct Wide {
    explicit Wide(const std::string& utf8) {
        const WString w = WString::fromUtf8(utf8);
        bstr = win::SysAllocStringLen(w.chars(), win::UINT(w.size()));
    }
    ~Wide() { win::SysFreeString(bstr); }
    operator BSTR() const { return bstr; }
    BSTR bstr;
};

// The UTF-8 text of a BSTR, which is freed.
std::string utf8(BSTR text) {
    std::string out = WString(text ? text : u"", int32_t(win::SysStringLen(text))).toUtf8();
    win::SysFreeString(text);
    return out;
}

// One node as a line: depth, type, name and record text, tab-separated.
std::string nodeLine(ITreeNode* node, int depth) {
    TreeNodeType type{};
    node->get_type(&type);
    BSTR name = nullptr, record = nullptr;
    node->get_name(&name);
    switch (type) {
        case TreeNodeType::State:
            node->get_stateInStr(&record);
            break;
        case TreeNodeType::Link:
            node->get_linkInStr(&record);
            break;
        case TreeNodeType::Annotation:
            node->get_annotationInStr(&record);
            break;
        case TreeNodeType::Font_Info:
            node->get_fontInfoInStr(&record);
            break;
        case TreeNodeType::Word_Info:
            node->get_wordInfoInStr(&record);
            break;
        case TreeNodeType::TOC:
            break;
    }
    static const char* const kTypes[] = {"State",      "TOC",       "Link",
                                         "Annotation", "Font_Info", "Word_Info"};
    return std::to_string(depth) + "\t" + kTypes[int(type)] + "\t" + utf8(name) + "\t" +
           utf8(record);
}

// The tree depth first, the root included.
void list(ITreeNode* node, int depth, std::vector<std::string>& out) {
    out.push_back(nodeLine(node, depth));
    LONG kids = 0;
    node->get_kids(&kids);
    for (LONG i = 1; i <= kids; ++i) {
        win::ComPtr<ITreeNode> kid;
        ASSERT_EQ(node->get_kid(i, kid.put()), S_OK);
        list(kid.get(), depth + 1, out);
    }
}

std::vector<std::string> listing(ITreeNode* root) {
    std::vector<std::string> out;
    if (root)
        list(root, 0, out);
    return out;
}

class TreesTest : public ::testing::Test {
protected:
    void SetUp() override {
        made = win::ComObject<Vistrel>::create(engineModule());
        ASSERT_TRUE(made);
        control = made.get();
    }

    HRESULT open(const std::string& file, const std::string& password = "") {
        return control->open(Wide(file), Wide(password));
    }

    void view(int page, double zoom = 1.0) {
        win::ComPtr<TreeNode> node = TreeNode::create();
        node->setState(DocState{page, zoom, 0, 0, 4, 4, VISTRELLib::PalmFormat::NotPalm});
        ASSERT_EQ(control->put_State(node.get()), S_OK);
    }

    void render(int page, double zoom = 1.0) {
        view(page, zoom);
        ASSERT_EQ(control->render(), S_OK);
    }

    // root get: its result and the tree as lines (none for a null root).
    std::pair<HRESULT, std::vector<std::string>> tree(const std::string& name) {
        ITreeNode* root = nullptr;
        const HRESULT hr = control->get_root(Wide(name), &root);
        auto held = win::ComPtr<ITreeNode>::adopt(root);
        return {hr, listing(root)};
    }

    std::string info() {
        BSTR text = nullptr;
        const HRESULT hr = control->get_infoInStr(&text);
        return hr == S_OK ? utf8(text) : "S_FALSE";
    }

    std::string security() {
        BSTR text = nullptr;
        const HRESULT hr = control->get_securityInfoInStr(&text);
        return hr == S_OK ? utf8(text) : "S_FALSE";
    }

    win::ComPtr<win::ComObject<Vistrel>> made;
    Vistrel* control = nullptr;
};

// ---------------------------------------------------------------------------
// TOC

TEST_F(TreesTest, OutlineWithItsDestinationsAndTitles) {
    ASSERT_EQ(open(fixture("outline.pdf")), S_OK);
    const auto [hr, lines] = tree("TOC");
    ASSERT_EQ(hr, S_OK);
    const std::string state0 = "0,0,0,1.000000,4,4,0";
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "0\tTOC\tPage 0--100%\t",
                         "1\tTOC\tChapter 1\t",
                         "2\tTOC\tSection 1.1\t",
                         "3\tTOC\tItem 1.1.1\t",
                         "3\tTOC\tPage 0--100%\t",
                         "2\tTOC\tBoth\t",
                         "1\tState\tNo destination\t" + state0,
                         "2\tTOC\tUnder it\t",
                         "1\tState\tURI action\t" + state0,
                         "1\tState\tClosed\t" + state0,
                         "2\tTOC\tHidden\t",
                         "1\tTOC\t\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac\t",
                     }));
}

TEST_F(TreesTest, OutlineNodesLeadWhereTheirItemsPoint) {
    ASSERT_EQ(open(fixture("outline.pdf")), S_OK);
    ITreeNode* raw = nullptr;
    ASSERT_EQ(control->get_root(Wide("TOC"), &raw), S_OK);
    auto root = win::ComPtr<ITreeNode>::adopt(raw);
    // Kid paths (1-based) and the page each leads to: /Dest over a GoTo /A,
    // the /D of a GoTo /A, a name of /Dests, a string of the /Dests tree.
    const struct {
        std::vector<LONG> path;
        LONG page;
    } cases[] = {{{1}, 1}, {{1, 1}, 2}, {{1, 1, 1}, 2}, {{1, 2}, 3}, {{2, 1}, 2}, {{5}, 3}};
    for (const auto& c : cases) {
        win::ComPtr<ITreeNode> node = root;
        for (LONG i : c.path) {
            win::ComPtr<ITreeNode> kid;
            ASSERT_EQ(node->get_kid(i, kid.put()), S_OK);
            node = kid;
        }
        view(1);
        EXPECT_EQ(control->put_State(node.get()), S_OK);
        EXPECT_EQ(control->stateNode().state().page, c.page) << c.path.size();
    }
}

TEST_F(TreesTest, HostileOutlinesEnd) {
    // A /Next chain back to its start, an item that is its own /First and
    // one whose /First is the outline root: each repeat ends its chain.
    ASSERT_EQ(open(fixture("next_cycle.pdf")), S_OK);
    EXPECT_EQ(tree("TOC").second,
              (std::vector<std::string>{
                  "0\tTOC\tPage 0--100%\t", "1\tState\tA\t0,0,0,1.000000,4,4,0",
                  "1\tState\tB\t0,0,0,1.000000,4,4,0", "2\tState\tC\t0,0,0,1.000000,4,4,0"}));
    ASSERT_EQ(open(fixture("first_cycle.pdf")), S_OK);
    EXPECT_EQ(
        tree("TOC").second,
        (std::vector<std::string>{"0\tTOC\tPage 0--100%\t", "1\tState\tSelf\t0,0,0,1.000000,4,4,0",
                                  "1\tState\tBack to the root\t0,0,0,1.000000,4,4,0"}));
    // 10,000 levels: the first 256 are built.
    ASSERT_EQ(open(fixture("deep.pdf")), S_OK);
    const auto [hr, lines] = tree("TOC");
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(lines.size(), 257u);
    EXPECT_EQ(lines.back(), "256\tTOC\tL256\t");
}

TEST_F(TreesTest, TreesThatCannotBeMade) {
    ITreeNode* untouched = reinterpret_cast<ITreeNode*>(&untouched);
    // No document: the result is left as it was.
    EXPECT_EQ(control->get_root(Wide("TOC"), &untouched), S_FALSE);
    EXPECT_EQ(untouched, reinterpret_cast<ITreeNode*>(&untouched));
    EXPECT_EQ(control->get_root(Wide("TOC"), nullptr), E_POINTER);

    ASSERT_EQ(open(fixture("plain.pdf")), S_OK);
    // An outline without items, a name that is no tree (case counts), a
    // null name, a page never rendered, no link or annotation on the page.
    for (const char* name : {"TOC", "toc", "", "TEXT", "LINKS", "ANNOTATIONS", "BookMarks"}) {
        ITreeNode* root = untouched;
        EXPECT_EQ(control->get_root(Wide(name), &root), S_FALSE) << name;
        EXPECT_EQ(root, nullptr) << name;
    }
    ITreeNode* root = untouched;
    EXPECT_EQ(control->get_root(nullptr, &root), S_FALSE);
    EXPECT_EQ(root, nullptr);
    ASSERT_EQ(open(fixture("outline.pdf")), S_OK);
    EXPECT_EQ(tree("toc").first, S_FALSE);
}

// ---------------------------------------------------------------------------
// LINKS and ANNOTATIONS

TEST_F(TreesTest, LinksOfEveryDestinationKind) {
    ASSERT_EQ(open(fixture("annots.pdf")), S_OK);
    // No render: the links are placed by the State's own page matrix.
    view(2);
    const auto [hr, lines] = tree("LINKS");
    ASSERT_EQ(hr, S_OK);
    // The first corner is the lower one of the /Rect, so y > y1. Targets go
    // through the page matrix: the left and top a kind gives (XYZ and FitR
    // both, FitH and FitBH the top, FitV and FitBV the left; a null one
    // counts as 0), the page's origin for the rest.
    const std::string rows[] = {
        "10,92,60,42,3,100,92",    "70,92,120,42,3,50,792",   "130,92,180,42,3,0,792",
        "190,92,240,42,3,0,292",   "10,152,60,102,3,50,792",  "70,152,120,102,3,10,572",
        "130,152,180,102,3,0,792", "190,152,240,102,3,0,292", "10,212,60,162,3,50,792",
        "70,212,120,162,3,30,752", "130,212,180,162,3,5,786", "190,212,240,162,1,0,0",
    };
    std::vector<std::string> wanted = {"0\tState\tPage 0--100%\t0,0,0,1.000000,4,4,0"};
    for (const std::string& row : rows)
        wanted.push_back("1\tLink\tPage 1--100%\t" + row);
    // A GoTo /A without /D, a URI action and a page outside the tree are
    // left out.
    EXPECT_EQ(lines, wanted);

    const auto list = control->collectPageLinks();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->count(), 12);
    view(3);
    EXPECT_EQ(tree("LINKS").first, S_FALSE);
    EXPECT_FALSE(control->collectPageLinks());
    view(4);
    EXPECT_EQ(tree("LINKS").first, S_FALSE);
}

TEST_F(TreesTest, TextAnnotationsWithTheirPopups) {
    ASSERT_EQ(open(fixture("annots.pdf")), S_OK);
    render(1);
    const auto [hr, lines] = tree("ANNOTATIONS");
    ASSERT_EQ(hr, S_OK);
    const std::string alice = "\"Alice\",\"Line one\r\nline two, with \"\"quotes\"\"\"";
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "0\tState\tPage 0--100%\t0,0,0,1.000000,4,4,0",
                         "1\tAnnotation\tPage 1--100%\t10,42,50,50,10526880," + alice + ",0",
                         "2\tAnnotation\tPage 1--100%\t100,92,200,100,10526880," + alice + ",2",
                         "1\tAnnotation\tPage 1--100%\t10,142,100,50,255,\"Bob\",\"\",1",
                         "2\tAnnotation\tPage 1--100%\t300,242,100,50,16711680,\"Bob\",\"\",3",
                         "1\tAnnotation\tPage 1--100%\t200,72,20,20,10526880,\"\",\"\",0",
                         "1\tAnnotation\tPage 1--100%\t250,72,20,20,10526880,\"\",\"x\",0",
                     }));

    // The export's list: the same boxes and texts, without pop-ups.
    const auto list = control->buildPageAnnotations();
    ASSERT_TRUE(list);
    std::vector<std::string> records;
    for (const PdbAnnotation& a : *list)
        records.push_back(std::to_string(a.x) + "," + std::to_string(a.y) + "," +
                          std::to_string(a.width) + "," + std::to_string(a.height) + "," +
                          WString(a.caption.data(), int32_t(a.caption.size())).toUtf8() + "," +
                          std::to_string(a.text.size()));
    EXPECT_EQ(records, (std::vector<std::string>{"10,42,50,50,Alice,33", "10,142,100,50,Bob,0",
                                                 "200,72,20,20,,0", "250,72,20,20,,1"}));
    view(3);
    EXPECT_EQ(tree("ANNOTATIONS").first, S_FALSE);
    EXPECT_FALSE(control->buildPageAnnotations());
}

TEST_F(TreesTest, AnnotationsTakeThePageMatrixAsTheControlHoldsIt) {
    ASSERT_EQ(open(fixture("annots.pdf")), S_OK);
    render(1, 2.0);
    view(1, 1.0);
    // Still the matrix of the render at zoom 2.
    EXPECT_EQ(tree("ANNOTATIONS").second[1],
              "1\tAnnotation\tPage 1--100%\t20,84,100,100,10526880,\"Alice\","
              "\"Line one\r\nline two, with \"\"quotes\"\"\",0");
    // Collecting the links sets it for the State.
    EXPECT_TRUE(control->collectPageLinks());
    EXPECT_EQ(control->buildPageAnnotations()->first()->width, 50);
}

// ---------------------------------------------------------------------------
// FONTINFO and TEXT

// The fields of a record text: numbers and quoted texts.
std::vector<std::string> fields(const std::string& record) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < record.size(); ++i) {
        const char c = record[i];
        if (c == '"' && quoted && i + 1 < record.size() && record[i + 1] == '"') {
            out.back() += c;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

TEST_F(TreesTest, FontsTheRegistryHolds) {
    ASSERT_EQ(open(fixture("fonts.pdf")), S_OK);
    // No font is live before the first render.
    EXPECT_EQ(tree("FONTINFO").first, S_FALSE);
    render(1);
    const auto [hr, lines] = tree("FONTINFO");
    ASSERT_EQ(hr, S_OK);
    // original, originalName, used, usedName, encoding by original name.
    std::vector<std::vector<std::string>> fonts;
    for (size_t i = 1; i < lines.size(); ++i)
        fonts.push_back(fields(lines[i].substr(lines[i].rfind('\t') + 1)));
    std::sort(fonts.begin(), fonts.end(), [](const auto& a, const auto& b) { return a[1] < b[1]; });
    std::vector<std::string> names;
    names.reserve(fonts.size());
    for (const auto& f : fonts)
        names.push_back(f[0] + f[1]);
    // Each kind by its key: the subset prefix goes, a name without one keeps
    // the blank after the colon.
    EXPECT_EQ(names, (std::vector<std::string>{"0 Arial", "1 Courier-Oblique", "1 Helvetica",
                                               "1 Times-BoldItalic", "0Arial", "0LiberationMono",
                                               "1Times-Roman", "3Type3 font 1", "3Type3 font 2"}));
    for (const auto& f : fonts) {
        SCOPED_TRACE(f[1]);
        ASSERT_EQ(f.size(), 5u);
        if (f[0] == "3") {
            EXPECT_EQ(f[2] + f[3], "3Embedded subset");
        } else if (f[1] == "LiberationMono") {
            // The embedded program keeps its subset name.
            EXPECT_EQ(f[2] + f[3], "0Embedded subset");
            EXPECT_EQ(f[4], "WinAnsiEncoding");
        } else {
            // Drawn with a system face (or one of the engine's Type 1 fonts).
            EXPECT_TRUE(f[2] == "0" || f[2] == "1" || f[2] == "2");
            EXPECT_FALSE(f[3].empty());
            if (f[0] == "0") {
                EXPECT_EQ(f[2], "0");
            }
        }
    }
}

// A font whose descriptor carries no /Type (page 1 of the embedded Type 1
// fixture: "ABCDEF+Tiny") is drawn from its program as the others are.
TEST_F(TreesTest, FontsWhoseDescriptorsLackAType) {
    ASSERT_EQ(open(std::string(VISTREL_FIXTURE_DIR) + "/type1/type1.pdf"), S_OK);
    render(1);
    const auto [hr, lines] = tree("FONTINFO");
    ASSERT_EQ(hr, S_OK);
    // original, originalName, used, usedName.
    std::vector<std::string> fonts;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> f = fields(lines[i].substr(lines[i].rfind('\t') + 1));
        ASSERT_EQ(f.size(), 5u);
        fonts.push_back(f[0] + " " + f[1] + " " + f[2] + " " + f[3]);
    }
    std::sort(fonts.begin(), fonts.end());
    // The subset prefix goes from the name (a name without one keeps the
    // blank); a program of a subset-tagged font shows as "Embedded subset".
    EXPECT_EQ(fonts, (std::vector<std::string>{"1  Tiny 1  tiny-symbol", "1  Tiny 1  tiny-symbol",
                                               "1 Tiny 1 Embedded subset"}));
}

TEST_F(TreesTest, WordsOfTheRenderedPage) {
    ASSERT_EQ(open(fixture("fonts.pdf")), S_OK);
    view(1, 2.0);
    EXPECT_EQ(tree("TEXT").first, S_FALSE);
    ASSERT_EQ(control->render(), S_OK);
    const auto [hr, lines] = tree("TEXT");
    ASSERT_EQ(hr, S_OK);
    // Word, family, style and size; the Type 3 text is not captured.
    std::vector<std::string> words;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t start = lines[i].find("Word_Info\t") + 10;
        const std::string word = lines[i].substr(start, lines[i].rfind('\t') - start);
        const std::vector<std::string> f = fields(lines[i].substr(lines[i].rfind('\t') + 1));
        ASSERT_EQ(f.size(), 7u);
        words.push_back(word + " " + f[4] + " " + f[5] + " " + f[6]);
        // The box: from the left edge of the text (20 points at zoom 2),
        // its height the font size in pixels (each edge truncated).
        EXPECT_NEAR(std::atoi(f[0].c_str()), 40, 1) << word;
        EXPECT_NEAR(std::atoi(f[3].c_str()) - std::atoi(f[1].c_str()), std::atoi(f[6].c_str()), 1)
            << word;
        EXPECT_GT(std::atoi(f[2].c_str()), 41) << word;
    }
    EXPECT_EQ(words, (std::vector<std::string>{
                         "Arial Helvetica  24", "Subset Helvetica  24", "Embedded Courier  24",
                         "Plain Helvetica  24", "Roman Helvetica  24",
                         "BoldItalic Times bold-italic 40", "Mono Courier -italic 20"}));
}

// Only the pages rendered last keep their words: those of a page rendered
// longer ago are collected again, as its last render placed them.
TEST_F(TreesTest, WordsOfAPageRenderedLongAgo) {
    ASSERT_EQ(open(fixture("fonts.pdf")), S_OK);
    render(1, 2.0);
    const auto rendered = tree("TEXT");
    ASSERT_EQ(rendered.first, S_OK);
    Ref<PdfPage> page = control->catalog()->getPage(1);
    ASSERT_TRUE(page);
    {
        // The pages of another document rendered since.
        auto other = win::ComObject<Vistrel>::create(engineModule());
        ASSERT_TRUE(other);
        ASSERT_EQ(other->open(Wide(fixture("annots.pdf")), Wide("")), S_OK);
        for (int n = 1; n <= 4; ++n) {
            win::ComPtr<TreeNode> node = TreeNode::create();
            node->setState(DocState{n, 1.0, 0, 0, 4, 4, VISTRELLib::PalmFormat::NotPalm});
            ASSERT_EQ(other->put_State(node.get()), S_OK);
            ASSERT_EQ(other->render(), S_OK);
        }
    }
    ASSERT_TRUE(page->textLinesDropped());
    // Asked for at another zoom without a render: the words of the render.
    view(1, 1.0);
    EXPECT_EQ(tree("TEXT"), rendered);
    EXPECT_FALSE(page->textLinesDropped());
}

// ---------------------------------------------------------------------------
// Stored trees

// A tree of State nodes, one nested, with names beyond Latin-1 and a quote.
win::ComPtr<TreeNode> sampleTree() {
    win::ComPtr<TreeNode> root = TreeNode::create();
    root->setName(WString::fromUtf8("Marks \"mine\""));
    const struct {
        const char* name;
        int page;
    } kids[] = {{"Caf\xc3\xa9", 2},
                {"\xd0\x97\xd0\xb0\xd0\xba\xd0\xbb\xd0\xb0\xd0\xb4\xd0\xba\xd0\xb0", 3}};
    for (const auto& k : kids) {
        win::ComPtr<TreeNode> kid = TreeNode::create();
        kid->setState(DocState{k.page, 1.5, 10, 20, 3, 2, VISTRELLib::PalmFormat::Color16});
        kid->setName(WString::fromUtf8(k.name));
        EXPECT_EQ(root->addKid(kid.get()), S_OK);
    }
    win::ComPtr<TreeNode> nested = TreeNode::create();
    EXPECT_EQ(root->kidAt(0)->addKid(nested.get()), S_OK);
    return root;
}

TEST_F(TreesTest, StoredTreesReadBackAfterReopening) {
    testing::TempDir dir;
    const std::string file = dir.path("stored.pdf");
    std::filesystem::copy_file(fixture("outline.pdf"), file);
    const std::string before = testing::readFile(file);
    ASSERT_EQ(open(file), S_OK);
    win::ComPtr<TreeNode> sample = sampleTree();
    const std::vector<std::string> wanted = listing(sample.get());
    // Names that need escapes in a PDF name, and one beyond Latin-1.
    const std::string names[] = {
        "BookMarks", "My marks/(#1) x",
        "\xd0\x97\xd0\xb0\xd0\xba\xd0\xbb\xd0\xb0\xd0\xb4\xd0\xba\xd0\xb8"};
    for (const std::string& name : names)
        ASSERT_EQ(control->put_root(Wide(name), sample.get()), S_OK) << name;
    EXPECT_EQ(tree("BookMarks").second, wanted);
    // Stored again under the same name: the later tree replaces it.
    win::ComPtr<TreeNode> single = TreeNode::create();
    ASSERT_EQ(control->put_root(Wide("ForPalm"), single.get()), S_OK);
    ASSERT_EQ(control->put_root(Wide("ForPalm"), sample.get()), S_OK);

    ASSERT_EQ(open(file), S_OK);
    for (const std::string& name : names)
        EXPECT_EQ(tree(name).second, wanted) << name;
    EXPECT_EQ(tree("ForPalm").second, wanted);
    EXPECT_EQ(tree("Other").first, S_FALSE);
    // The update is appended: the earlier bytes stay.
    const std::string after = testing::readFile(file);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.substr(0, before.size()), before);
    if (std::system("qpdf --version >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("qpdf --check '" + file + "' >/dev/null 2>&1").c_str()), 0);
    }
}

TEST_F(TreesTest, RootPutRefusals) {
    win::ComPtr<TreeNode> node = TreeNode::create();
    const struct {
        const char* name;
        bool withNode;
        HRESULT withoutDocument, withDocument;
    } cases[] = {
        {"TOC", false, S_FALSE, S_FALSE},
        {"TOC", true, E_ACCESSDENIED, E_ACCESSDENIED},
        {"TEXT", true, E_ACCESSDENIED, E_ACCESSDENIED},
        {"LINKS", true, E_ACCESSDENIED, E_ACCESSDENIED},
        {"FONTINFO", true, E_ACCESSDENIED, E_ACCESSDENIED},
        {"ANNOTATIONS", true, E_NOTIMPL, E_NOTIMPL},
        {"", true, S_FALSE, S_FALSE},
        {nullptr, true, S_FALSE, S_FALSE},
        {"BookMarks", true, S_FALSE, S_OK},
    };
    testing::TempDir dir;
    const std::string file = dir.path("refusals.pdf");
    std::filesystem::copy_file(fixture("plain.pdf"), file);
    for (bool document : {false, true}) {
        if (document) {
            ASSERT_EQ(open(file), S_OK);
        }
        for (const auto& c : cases) {
            Wide name(c.name ? c.name : "");
            EXPECT_EQ(
                control->put_root(c.name ? name.bstr : nullptr, c.withNode ? node.get() : nullptr),
                document ? c.withDocument : c.withoutDocument)
                << (c.name ? c.name : "(null)") << " " << document;
        }
    }
}

// ---------------------------------------------------------------------------
// Information

TEST_F(TreesTest, DocumentInformation) {
    const struct {
        const char* file;
        std::string info;
    } cases[] = {
        {"outline.pdf",
         "\"Trees and information\",\"Fixtures\",\"Vistrel tests\",\"outline, links\","
         "\"make_tree_fixtures.py\",\"by hand\",\"09 Feb 1999 15:39:25 GMT-08:00\","
         "\"15 Mar 2001  \""},
        {"info_title.pdf", "\"Say \"\"hi\"\", twice\",\"\",\"\",\"\",\"\",\"\",\"\",\"\""},
        {"info_odd.pdf",
         "\"\",\"\",\"\",\"Indirect keywords\",\"\",\"\xce\xa9mega\","
         "\"31 Dec 1999 23:59:59 \",\"yesterday\""},
        // /Info written into the trailer directly is not kept; none at all.
        {"info_direct.pdf", "S_FALSE"},
        {"plain.pdf", "S_FALSE"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(open(fixture(c.file)), S_OK);
        EXPECT_EQ(info(), c.info) << c.file;
        EXPECT_EQ(security(), "0,0,0,0,0,0,0,0") << c.file;
    }
    DocInfo record{};
    EXPECT_EQ(control->get_info(nullptr), S_FALSE);
    EXPECT_EQ(control->get_infoInStr(nullptr), E_POINTER);
    EXPECT_EQ(control->get_SecurityInfo(nullptr), E_POINTER);
    EXPECT_EQ(control->get_securityInfoInStr(nullptr), E_POINTER);
    EXPECT_EQ(control->close(), S_OK);
    EXPECT_EQ(control->get_info(&record), S_FALSE);
    EXPECT_EQ(info(), "S_FALSE");
    EXPECT_EQ(security(), "S_FALSE");
}

TEST_F(TreesTest, SecurityOfAnEncryptedFile) {
    const std::string file = fixture("rc4_restricted.pdf");
    if (!testing::fileExists(file))
        GTEST_SKIP() << "qpdf is not installed";
    const struct {
        const char* password;
        const char* security;
    } cases[] = {
        // Printing and changes not allowed; copying and annotating allowed.
        {"user", "1,1,1,0,0,1,1,0"},
        // The owner may do everything.
        {"owner", "1,1,1,1,1,1,1,1"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(open(file, c.password), S_OK);
        EXPECT_EQ(security(), c.security) << c.password;
        // The strings are read decrypted.
        EXPECT_EQ(fields(info())[0], "Trees and information");
    }
    // The slot's earlier text is replaced (and freed).
    BSTR slot = win::SysAllocString(u"earlier");
    ASSERT_EQ(control->get_securityInfoInStr(&slot), S_OK);
    EXPECT_EQ(utf8(slot), "1,1,1,1,1,1,1,1");
}

// ---------------------------------------------------------------------------
// Late-bound calls

TEST_F(TreesTest, LateBoundTreesAndTexts) {
    ASSERT_EQ(open(fixture("outline.pdf")), S_OK);
    auto invoke = [&](win::DISPID id, win::WORD flags, std::vector<win::VARIANT> args,
                      win::VARIANT* result) {
        std::vector<win::VARIANT> reversed(args.rbegin(), args.rend());
        win::DISPID put = win::DISPID_PROPERTYPUT;
        const bool isPut = flags == win::DISPATCH_PROPERTYPUT;
        win::DISPPARAMS params{reversed.data(), isPut ? &put : nullptr, win::UINT(reversed.size()),
                               isPut ? 1u : 0u};
        return control->Invoke(id, win::IID_NULL, win::LOCALE_USER_DEFAULT, flags, &params, result,
                               nullptr, nullptr);
    };
    Wide toc("TOC"), marks("BookMarks");
    win::VARIANT name{}, result{};
    name.vt = win::VT_BSTR;
    name.bstrVal = toc.bstr;
    ASSERT_EQ(invoke(VistrelDispid::root, win::DISPATCH_PROPERTYGET, {name}, &result), S_OK);
    ASSERT_EQ(result.vt, win::VT_DISPATCH);
    win::VARIANT node = result;
    EXPECT_EQ(invoke(VistrelDispid::root, win::DISPATCH_PROPERTYPUT, {name, node}, nullptr),
              E_ACCESSDENIED);
    win::VariantClear(&result);
    EXPECT_EQ(invoke(VistrelDispid::infoInStr, win::DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, win::VT_BSTR);
    EXPECT_EQ(fields(utf8(result.bstrVal))[1], "Fixtures");
    result = {};
    EXPECT_EQ(invoke(VistrelDispid::securityInfoInStr, win::DISPATCH_PROPERTYGET, {}, &result),
              S_OK);
    win::VariantClear(&result);
    EXPECT_EQ(invoke(VistrelDispid::info, win::DISPATCH_PROPERTYGET, {}, &result), E_NOTIMPL);
}

}  // namespace
}  // namespace vistrel
