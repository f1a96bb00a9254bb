// The Palm export through the control object: writePDB over trees of State
// nodes on the control fixtures, every database read back by the reference
// reader (tests/palm_database_check.py), its pages compared with the device
// previews the control renders for the same views.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/doc/pdf_page.h"
#include "engine/export/pdb_page_store.h"
#include "platform/com/com.h"
#include "tests/support/palm_reader.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using namespace VISTRELLib;
using test::RecordingSink;
using test::SinkCall;
using testing::ScopedEnv;
using testing::TempDir;
using win::S_FALSE;
using win::S_OK;

constexpr win::DISPID kStart = VistrelEventsDispid::startProgressIndicator;
constexpr win::DISPID kSet = VistrelEventsDispid::setProgressIndicator;
constexpr win::DISPID kStop = VistrelEventsDispid::stopProgressIndicator;
constexpr win::DISPID kLimit = VistrelEventsDispid::pdbRecordsLimitExceeded;

std::string fixture(const std::string& name) {
    return std::string(VISTREL_CONTROL_FIXTURES) + "/" + name;
}

BSTR newBstr(const std::string& s) {
    const std::u16string wide(s.begin(), s.end());
    return win::SysAllocStringLen(wide.data(), win::UINT(wide.size()));
}

// A BSTR for the length of a statement.
struct Text {
    explicit Text(const std::string& s) : bstr(newBstr(s)) {}
    ~Text() { win::SysFreeString(bstr); }
    operator BSTR() const { return bstr; }
    BSTR bstr;
};

std::string take(BSTR text) {
    std::string out;
    for (win::UINT i = 0; i < win::SysStringLen(text); ++i)
        out += char(text[i]);
    win::SysFreeString(text);
    return out;
}

// A State node of a view given as state text; a node of another type when
// asked for.
win::ComPtr<TreeNode> viewNode(const std::string& view, TreeNodeType type = TreeNodeType::State) {
    win::ComPtr<TreeNode> node = TreeNode::create();
    EXPECT_EQ(node->put_stateInStr(Text(view)), S_OK);
    node->setType(type);
    return node;
}

// A root with a kid per view.
win::ComPtr<TreeNode> viewTree(const std::vector<std::string>& views) {
    win::ComPtr<TreeNode> root = TreeNode::create();
    for (const std::string& view : views)
        EXPECT_EQ(root->addKid(viewNode(view).get()), S_OK);
    return root;
}

// Views of pages first to last of export.pdf at zoom 1 in format 4, or of
// `count` copies of one page.
std::vector<std::string> pageViews(int first, int last) {
    std::vector<std::string> views;
    for (int page = first; page <= last; ++page)
        views.push_back("0,0," + std::to_string(page) + ",1,4,4,4");
    return views;
}

// The events of the export itself, without those of its renders (each
// render brackets its own events between a start and a stop).
struct ExportEvents {
    std::vector<SinkCall> own;
    int renders = 0;
};

ExportEvents exportEvents(const std::vector<SinkCall>& log) {
    ExportEvents events;
    int depth = 0;
    for (const SinkCall& call : log) {
        if (call.member == kStart && depth++ > 0) {
            ++events.renders;
            continue;
        }
        if (call.member == kStop && --depth > 0)
            continue;
        if (depth <= 1)
            events.own.push_back(call);
    }
    return events;
}

SinkCall event(win::DISPID id, std::vector<win::LONG> arguments = {}) {
    return SinkCall{"A", id, std::move(arguments)};
}

class PdbExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(out.ok() && spillRoot.ok());
        env.emplace("TMPDIR", spillRoot.dir().string());
        made = win::ComObject<Vistrel>::create(engineModule());
        ASSERT_TRUE(made);
        control = made.get();
        void* raw = nullptr;
        ASSERT_EQ(made->QueryInterface(IID_IVistrel, &raw), S_OK);
        v = win::ComPtr<IVistrel>::adopt(static_cast<IVistrel*>(raw));
        win::ComPtr<win::IConnectionPointContainer> container;
        ASSERT_EQ(v.query(win::IID_IConnectionPointContainer, container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID__IVistrelEvents, point.put()), S_OK);
        sink = win::ComObject<RecordingSink>::create(sinkModule, DIID__IVistrelEvents);
        sink->name = "A";
        sink->log = &log;
        ASSERT_EQ(point->Advise(static_cast<win::IDispatch*>(sink.get()), &cookie), S_OK);
    }
    void TearDown() override {
        point->Unadvise(cookie);
        v = nullptr;
        made = nullptr;
        // No export leaves a spill folder behind.
        EXPECT_TRUE(fs::is_empty(spillRoot.dir()));
        env.reset();
    }

    std::string stateText() {
        win::ComPtr<ITreeNode> node;
        EXPECT_EQ(v->get_State(node.put()), S_OK);
        BSTR text = nullptr;
        EXPECT_EQ(node->get_stateInStr(&text), S_OK);
        return take(text);
    }

    HRESULT putView(const std::string& view) { return v->put_State(viewNode(view).get()); }

    HRESULT writePdb(const std::string& name, ITreeNode* root) {
        log.clear();
        return v->writePDB(Text(out.path(name)), root);
    }

    int limitEvents() const {
        int n = 0;
        for (const SinkCall& call : log)
            n += call.member == kLimit;
        return n;
    }

    // Keeps the page last rendered (the device preview when the view has a
    // format) as a PNG file.
    std::string preview() {
        win::VARIANT bytes{};
        EXPECT_EQ(v->get_PNG(&bytes), S_OK);
        void* data = nullptr;
        EXPECT_EQ(win::SafeArrayAccessData(bytes.parray, &data), S_OK);
        std::string path = out.path("preview-" + std::to_string(previews++) + ".png");
        EXPECT_TRUE(testing::writeFile(path, std::string(static_cast<const char*>(data),
                                                         bytes.parray->rgsabound[0].cElements)));
        win::SafeArrayUnaccessData(bytes.parray);
        win::VariantClear(&bytes);
        return path;
    }

    // The page last rendered as PNG bytes.
    std::string pngBytes() {
        win::VARIANT bytes{};
        EXPECT_EQ(v->get_PNG(&bytes), S_OK);
        void* data = nullptr;
        EXPECT_EQ(win::SafeArrayAccessData(bytes.parray, &data), S_OK);
        std::string png(static_cast<const char*>(data), bytes.parray->rgsabound[0].cElements);
        win::SafeArrayUnaccessData(bytes.parray);
        win::VariantClear(&bytes);
        return png;
    }

    // The reader's dump of a database, or its complaint.
    std::string check(const std::string& name, std::optional<int> views = std::nullopt,
                      const std::vector<std::string>& pagePreviews = {}) {
        return testing::readPalmDatabase(
            out.path(name), views ? " --views " + std::to_string(*views) : "", pagePreviews);
    }

    // "records T pages P" of a dump.
    static std::string counts(const std::string& dump) {
        const std::size_t at = dump.find("records ");
        if (at == std::string::npos)
            return dump;
        int pages = 0;
        for (std::size_t p = dump.find("\npage "); p != std::string::npos;
             p = dump.find("\npage ", p + 1))
            ++pages;
        return dump.substr(at, dump.find('\n', at) - at) + " pages " + std::to_string(pages);
    }

    TempDir out{"vistrel-pdb-export"};
    TempDir spillRoot{"vistrel-pdb-export-spill"};
    std::optional<ScopedEnv> env;
    win::ComModule sinkModule;
    win::ComPtr<win::ComObject<Vistrel>> made;
    Vistrel* control = nullptr;
    win::ComPtr<IVistrel> v;
    win::ComPtr<win::IConnectionPoint> point;
    win::DWORD cookie = 0;
    win::ComPtr<win::ComObject<RecordingSink>> sink;
    std::vector<SinkCall> log;
    int previews = 0;
};

TEST_F(PdbExportTest, ThreeViewsGiveSixRecordsThatDecodeToTheirPreviews) {
    ASSERT_EQ(v->open(Text(fixture("export.pdf")), nullptr), S_OK);
    ASSERT_EQ(putView("3,4,5,1.25,4,4,0"), S_OK);
    ASSERT_EQ(v->render(), S_OK);
    const std::string before = stateText();
    // A view without a device format goes out in the 4-level one.
    const std::vector<std::string> views = {"0,0,1,1,4,4,0", "0,0,2,0.5,4,4,16",
                                            "0,0,3,1.5,4,4,17"};
    ASSERT_EQ(writePdb("three.pdb", viewTree(views).get()), S_OK);

    // One start, 33, 66 and 100 after each view, one stop; two renders a
    // view, each with its own progress.
    const ExportEvents events = exportEvents(log);
    EXPECT_EQ(events.own,
              (std::vector<SinkCall>{event(kStart), event(kSet, {33}), event(kSet, {66}),
                                     event(kSet, {100}), event(kStop)}));
    EXPECT_EQ(events.renders, 6);
    // The view is back, rendered again (no preview colours).
    EXPECT_EQ(stateText(), before);
    EXPECT_EQ(win::GetPixel(control->memoryDc(), 240, 10), 0xFFFFFFu);
    EXPECT_EQ(control->pageStore()->pageCount(), 0);

    // Views and overviews in order: 200 x 300 points at zoom 1, 0.5, 1.5
    // (67,500 packed bytes: two image records); an overview fits 160 x 160.
    // The link to page 2 leads to view 1, its target scaled to zoom 0.5;
    // page 3's link leads to page 4, which is not exported.
    std::vector<std::string> shown;
    for (const std::string& view : {views[0], views[1], views[2]}) {
        std::string device = view;
        if (device.back() == '0')
            device.back() = '4';
        ASSERT_EQ(putView(device), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        shown.push_back(preview());
        // The overview at the zoom the export chose: zoom x 160 / height.
        win::LONG w = 0, h = 0;
        v->get_width(&w);
        v->get_height(&h);
        win::ComPtr<ITreeNode> state;
        ASSERT_EQ(v->get_State(state.put()), S_OK);
        DocState overview{};
        ASSERT_EQ(state->get_State(&overview), S_OK);
        overview.zoom = std::min(overview.zoom * 160.0 / w, overview.zoom * 160.0 / h);
        ASSERT_EQ(state->put_State(overview), S_OK);
        ASSERT_EQ(v->put_State(state.get()), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        shown.push_back(preview());
    }
    const std::string dump = check("three.pdb", 3, shown);
    EXPECT_EQ(dump.substr(0, dump.find("\ninfo")),
              "name \"export\"\n"
              "records 20\n"
              "page 1 200x300 bpp 2 images 300 links 14 annotations 15\n"
              "link 1 20 280 120 240 1 5 25\n"
              "annotation 1 150 30 20 20 \"Note\\n\\nhere\" \"First line\\n\\nsecond line\"\n"
              "page 2 106x160 bpp 2 images 160 links 0 annotations 0\n"
              "page 3 100x150 bpp 4 images 150 links 0 annotations 0\n"
              "page 4 106x160 bpp 4 images 160 links 0 annotations 0\n"
              "page 5 300x450 bpp 4 images 225,225 links 0 annotations 16\n"
              "annotation 5 225 45 30 30 \"Note\\n\\nhere\" \"First line\\n\\nsecond line\"\n"
              "page 6 106x160 bpp 4 images 160 links 0 annotations 0")
        << dump;
    // The information record holds infoInStr's fields.
    BSTR info = nullptr;
    ASSERT_EQ(v->get_infoInStr(&info), S_OK);
    EXPECT_EQ(take(info),
              "\"Export test\",\"\",\"Lumbra\r\nteam\",\"\",\"\",\"\","
              "\"02 Jan 2024 03:04:05 \",\"\"");
    EXPECT_NE(dump.find("info \"Export test\" \"\" \"Lumbra\\n\\nteam\" \"\" \"\" \"\" "
                        "\"02 Jan 2024 03:04:05 \" \"\""),
              std::string::npos)
        << dump;
}

// 60 views of export.pdf need 332 records: odd pages take 7 (view with a
// link, an annotation list and its text, overview), even pages 4, and the
// index and the information one each. The limit of 255 is first passed by
// view 47 (260 records).
TEST_F(PdbExportTest, WriteModesPastTheRecordLimit) {
    const struct {
        const char* name;
        int mode;
        bool answerNormal;  // the host puts Normal from its handler
        HRESULT result;
        const char* written;  // the reader's counts, or null for no file
        std::optional<int> views;
    } cases[] = {
        {"Normal from the handler", 3, true, S_OK, "records 332 pages 120", 60},
        {"Normal set before", 1, false, S_OK, "records 332 pages 120", 60},
        {"CutOdd", 3, false, S_OK, "records 255 pages 92", 46},
        {"NotWrite", 2, false, S_OK, nullptr, {}},
        {"Split", 4, false, win::E_NOTIMPL, nullptr, {}},
        {"mode 0", 0, false, S_FALSE, nullptr, {}},
        // Ends the loop at the limit and writes the 93 pages spilled so far.
        // (Its last view's link leads to a page not exported: 259 records.)
        {"mode 7", 7, false, S_OK, "records 259 pages 93", {}},
    };
    ASSERT_EQ(v->open(Text(fixture("export.pdf")), nullptr), S_OK);
    const auto root = viewTree(pageViews(1, 60));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(v->put_writeMode(BigPDBWriteMode(c.mode)), S_OK);
        sink->during = [&] {
            if (c.answerNormal && log.back().member == kLimit)
                v->put_writeMode(BigPDBWriteMode::Normal);
        };
        const std::string name = std::string(c.name) + ".pdb";
        EXPECT_EQ(writePdb(name, root.get()), c.result);
        sink->during = nullptr;
        EXPECT_EQ(limitEvents(), 1);
        EXPECT_EQ(log.back().member, kStop);
        if (c.written) {
            const std::string dump = check(name, c.views);
            EXPECT_EQ(counts(dump), c.written) << dump;
        } else {
            EXPECT_FALSE(fs::exists(out.path(name)));
        }
    }
}

// When the last overview takes the database past the limit, the limit is
// checked there too: one view of page 1 (7 records) and 62 of page 2 (4
// each) need 255 records up to the last view and 257 with its overview.
TEST_F(PdbExportTest, TheLastOverviewIsCheckedAgainstTheLimit) {
    const struct {
        int mode;
        HRESULT result;
        const char* written;
    } cases[] = {
        {3, S_OK, "records 253 pages 124"},  // CutOdd drops the whole last view
        {2, S_OK, nullptr},
        {1, S_OK, "records 257 pages 126"},
    };
    ASSERT_EQ(v->open(Text(fixture("export.pdf")), nullptr), S_OK);
    std::vector<std::string> views = pageViews(1, 1);
    for (int i = 0; i < 62; ++i)
        views.push_back("0,0,2,1,4,4,4");
    const auto root = viewTree(views);
    for (const auto& c : cases) {
        ASSERT_EQ(v->put_writeMode(BigPDBWriteMode(c.mode)), S_OK);
        const std::string name = "overview-" + std::to_string(c.mode) + ".pdb";
        EXPECT_EQ(writePdb(name, root.get()), c.result) << c.mode;
        EXPECT_EQ(limitEvents(), 1) << c.mode;
        if (c.written) {
            EXPECT_EQ(counts(check(name)), c.written) << c.mode;
        } else {
            EXPECT_FALSE(fs::exists(out.path(name))) << c.mode;
        }
    }
}

TEST_F(PdbExportTest, RefusalsAndFailedPagesWriteNoFile) {
    const auto one = viewTree(pageViews(1, 1));
    EXPECT_EQ(writePdb("none.pdb", one.get()), S_FALSE);  // no document
    EXPECT_TRUE(log.empty());
    ASSERT_EQ(v->open(Text(fixture("export.pdf")), nullptr), S_OK);
    EXPECT_EQ(writePdb("none.pdb", nullptr), S_FALSE);
    ASSERT_EQ(putView("0,0,4,2,4,4,0"), S_OK);
    ASSERT_EQ(v->render(), S_OK);
    const std::string before = stateText();
    const struct {
        const char* name;
        const char* file;
        std::vector<std::string> views;
        bool events;  // the page loop ran: start and stop
    } cases[] = {
        {"a root without kids", "export.pdf", {}, false},
        {"a page outside the document", "export.pdf", {"0,0,1,1,4,4,4", "0,0,61,1,4,4,4"}, true},
        {"zoom 0", "export.pdf", {"0,0,1,0,4,4,4"}, true},
        // The view renders, its overview (160 / 400 of a point high) cannot.
        {"an overview of no pixel", "thin.pdf", {"0,0,1,1,4,4,4"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file != std::string("export.pdf")) {
            ASSERT_EQ(v->open(Text(fixture(c.file)), nullptr), S_OK);
        }
        EXPECT_EQ(writePdb("failed.pdb", viewTree(c.views).get()), S_FALSE);
        EXPECT_FALSE(fs::exists(out.path("failed.pdb")));
        if (c.events) {
            ASSERT_FALSE(log.empty());
            EXPECT_EQ(log.front().member, kStart);
            EXPECT_EQ(log.back().member, kStop);
        } else {
            EXPECT_TRUE(log.empty());
        }
        if (c.file == std::string("export.pdf")) {
            EXPECT_EQ(stateText(), before);
        }
    }
}

// The spill files live in a private folder and the database is written
// whole or not at all: a read-only current folder does not matter, a full
// disk fails the export without leaving a file.
TEST_F(PdbExportTest, ReadOnlyFolderAndFullDisk) {
    ASSERT_EQ(v->open(Text(fixture("export.pdf")), nullptr), S_OK);
    const auto root = viewTree(pageViews(1, 3));
    TempDir readOnly("vistrel-pdb-export-cwd");
    const fs::path before = fs::current_path();
    fs::current_path(readOnly.dir());
    chmod(readOnly.dir().c_str(), 0555);
    const HRESULT written = writePdb("readonly.pdb", root.get());
    fs::current_path(before);
    chmod(readOnly.dir().c_str(), 0700);
    EXPECT_EQ(written, S_OK);
    EXPECT_EQ(counts(check("readonly.pdb", 3)), "records 19 pages 6");
    // 19,070 bytes.
    ASSERT_GT(fs::file_size(out.path("readonly.pdb")), 17000u);
    EXPECT_TRUE(fs::is_empty(readOnly.dir()));

    // No file may grow past 17,000 bytes: every spill file fits (15,000
    // bytes a view), the database of three views does not.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{17000, 17000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(10);
        const HRESULT hr = writePdb("full.pdb", root.get());
        _exit(hr == S_FALSE ? (fs::exists(out.path("full.pdb")) ? 2 : 0) : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The open document is never the database's target, whatever the path
// spelling: its own name, names through "." and "..", with backslashes, a
// symbolic and a hard link are refused before the export starts, and the
// document stays as it was, byte for byte.
TEST_F(PdbExportTest, TheOpenDocumentIsNoTarget) {
    const std::string document = out.path("doc.pdf");
    ASSERT_TRUE(fs::copy_file(fixture("export.pdf"), document));
    const std::string before = testing::readFile(document);
    ASSERT_TRUE(fs::create_directory(out.path("sub")));
    fs::create_symlink(document, out.path("link.pdf"));
    fs::create_hard_link(document, out.path("hard.pdf"));
    ASSERT_EQ(v->open(Text(document), nullptr), S_OK);
    const auto root = viewTree(pageViews(1, 1));
    for (const char* name :
         {"doc.pdf", "./doc.pdf", "sub/../doc.pdf", "sub\\..\\doc.pdf", "link.pdf", "hard.pdf"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(writePdb(name, root.get()), S_FALSE);
        EXPECT_TRUE(log.empty());
    }
    EXPECT_EQ(testing::readFile(document), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(out.dir()), fs::directory_iterator()), 4);
    // Beside it, under a name of its own, the database is written.
    EXPECT_EQ(writePdb("doc.pdb", root.get()), S_OK);
    EXPECT_EQ(counts(check("doc.pdb", 1)), "records 8 pages 2");
}

// The view the export comes back to is drawn as before it, where its image
// is taken from the export's drawing of that page at that size as where the
// export drew the page at other sizes only.
TEST_F(PdbExportTest, TheViewComesBackWithItsPixels) {
    ASSERT_EQ(v->open(Text(fixture("photo.pdf")), nullptr), S_OK);
    for (const char* view : {"0,0,1,1,4,4,0", "0,0,2,1.5,4,4,0"}) {
        ASSERT_EQ(putView(view), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        const std::string before = pngBytes();
        ASSERT_EQ(writePdb("photo.pdb",
                           viewTree({"0,0,1,1,4,4,4", "0,0,2,1,4,4,4", "0,0,1,2,4,4,4"}).get()),
                  S_OK);
        EXPECT_EQ(pngBytes(), before) << view;
        EXPECT_EQ(counts(check("photo.pdb", 3)), "records 14 pages 6") << view;
    }
}

// The overview's zoom comes from the view's bitmap, whose size is truncated:
// on a page of a few pixels it is brought down until the overview fits.
TEST_F(PdbExportTest, OverviewsOfTinyPagesFitTheScreen) {
    ASSERT_EQ(v->open(Text(fixture("tiny.pdf")), nullptr), S_OK);
    ASSERT_EQ(writePdb("tiny.pdb", viewTree({"0,0,1,1,4,4,16"}).get()), S_OK);
    const std::string dump = check("tiny.pdb", 1);
    EXPECT_NE(dump.find("page 1 3x3 bpp 4 images 3 links 0 annotations 0\n"
                        "page 2 160x160 bpp 4 images 160 "),
              std::string::npos)
        << dump;
    // A document without /Info: eight empty texts.
    EXPECT_NE(dump.find("info \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\"\n"), std::string::npos)
        << dump;
}

// Kids of a view follow its two records; kids that are not State nodes are
// passed over with their own kids; a nested loop stopped at the limit stops
// the whole export.
TEST_F(PdbExportTest, NestedViewsAndOtherNodes) {
    ASSERT_EQ(v->open(Text(fixture("export.pdf")), nullptr), S_OK);
    win::ComPtr<TreeNode> root = TreeNode::create();
    win::ComPtr<TreeNode> parent = viewNode("0,0,2,1,4,4,4");
    ASSERT_EQ(parent->addKid(viewNode("0,0,4,0.5,4,4,4").get()), S_OK);
    win::ComPtr<TreeNode> link = viewNode("0,0,6,1,4,4,4", TreeNodeType::Link);
    ASSERT_EQ(link->addKid(viewNode("0,0,8,1,4,4,4").get()), S_OK);
    ASSERT_EQ(root->addKid(parent.get()), S_OK);
    ASSERT_EQ(root->addKid(link.get()), S_OK);
    ASSERT_EQ(root->addKid(viewNode("0,0,10,0.25,4,4,4").get()), S_OK);
    ASSERT_EQ(writePdb("nested.pdb", root.get()), S_OK);
    const std::string dump = check("nested.pdb", 3);
    EXPECT_EQ(counts(dump), "records 14 pages 6") << dump;
    EXPECT_NE(dump.find("page 1 200x300 bpp 2 images 300 links 0 annotations 0\n"
                        "page 2 106x160 bpp 2 images 160 links 0 annotations 0\n"
                        "page 3 100x150 bpp 2 images 150 links 0 annotations 0\n"
                        "page 4 106x160 bpp 2 images 160 links 0 annotations 0\n"
                        "page 5 50x75 bpp 2 images 75 links 0 annotations 0\n"
                        "page 6 106x160 bpp 2 images 160 links 0 annotations 0\n"),
              std::string::npos)
        << dump;
    // Progress of the outer loop (the nested one brackets its own).
    EXPECT_EQ(exportEvents(log).own,
              (std::vector<SinkCall>{event(kStart), event(kSet, {33}), event(kSet, {66}),
                                     event(kSet, {100}), event(kStop)}));

    // 60 nested views under the first kid pass the limit; the last kid is
    // not exported after the nested loop stopped.
    win::ComPtr<TreeNode> big = TreeNode::create();
    win::ComPtr<TreeNode> first = viewNode("0,0,1,1,4,4,4");
    for (const std::string& view : pageViews(1, 60))
        ASSERT_EQ(first->addKid(viewNode(view).get()), S_OK);
    ASSERT_EQ(big->addKid(first.get()), S_OK);
    ASSERT_EQ(big->addKid(viewNode("0,0,10,0.25,4,4,4").get()), S_OK);
    ASSERT_EQ(v->put_writeMode(BigPDBWriteMode::CutOdd), S_OK);
    ASSERT_EQ(writePdb("cut.pdb", big.get()), S_OK);
    const std::string cut = check("cut.pdb");
    EXPECT_EQ(cut.find("50x75"), std::string::npos) << cut;
    EXPECT_EQ(limitEvents(), 1);
}

// The words of a TEXT tree, one a line: the word and its record; "none"
// when the control gives no tree.
std::string words(IVistrel& control) {
    ITreeNode* raw = nullptr;
    if (control.get_root(Text("TEXT"), &raw) != S_OK || !raw)
        return "none";
    const auto root = win::ComPtr<ITreeNode>::adopt(raw);
    std::string out;
    win::LONG count = 0;
    root->get_kids(&count);
    for (win::LONG i = 1; i <= count; ++i) {
        win::ComPtr<ITreeNode> word;
        EXPECT_EQ(root->get_kid(i, word.put()), S_OK);
        BSTR name = nullptr, record = nullptr;
        word->get_name(&name);
        word->get_wordInfoInStr(&record);
        out += take(name) + " " + take(record) + "\n";
    }
    return out;
}

// The export's renders leave the words to be collected when asked for: a
// host that asks from the export's own progress events gets those of the
// render last made, as a render of that view (the overview) gives them.
TEST_F(PdbExportTest, WordsAskedForDuringTheExport) {
    // The document's embedded fonts go to a folder of their own for as long
    // as the process runs: not into the folder checked for spill files.
    env.reset();
    const std::string file = std::string(VISTREL_TREE_FIXTURES) + "/fonts.pdf";
    ASSERT_EQ(v->open(Text(file), nullptr), S_OK);
    // (state, words) at each progress step of the export itself; a render's
    // own events come between its start and stop.
    std::vector<std::pair<std::string, std::string>> seen;
    int depth = 0;
    sink->during = [&] {
        const win::DISPID id = log.back().member;
        depth += id == kStart ? 1 : id == kStop ? -1 : 0;
        if (id == kSet && depth == 1)
            seen.emplace_back(stateText(), words(*v.get()));
    };
    const auto root = viewTree({"0,0,1,1,4,4,4", "0,0,1,2,4,4,4"});
    EXPECT_EQ(writePdb("words.pdb", root.get()), S_OK);
    sink->during = nullptr;
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& [state, found] : seen) {
        auto other = win::ComObject<Vistrel>::create(engineModule());
        ASSERT_TRUE(other);
        ASSERT_EQ(other->open(Text(file), nullptr), S_OK);
        ASSERT_EQ(other->put_State(viewNode(state).get()), S_OK);
        ASSERT_EQ(other->render(), S_OK);
        const std::string rendered = words(*other.get());
        EXPECT_NE(rendered.find("Helvetica"), std::string::npos) << state << "\n" << rendered;
        EXPECT_EQ(found, rendered) << state;
    }
    // The view the export comes back to has its words at once.
    EXPECT_EQ(stateText(), "0,0,1,1.000000,4,4,0");
    EXPECT_FALSE(control->catalog()->getPage(1)->textLinesDropped());
}

// A host may call back from the limit event: a nested export or open is
// refused, a close waits for the export's end (which writes the file).
TEST_F(PdbExportTest, CallsFromInsideTheLimitEvent) {
    ASSERT_EQ(v->open(Text(fixture("export.pdf")), nullptr), S_OK);
    std::vector<HRESULT> nested;
    const auto root = viewTree(pageViews(1, 60));
    sink->during = [&] {
        if (log.back().member != kLimit)
            return;
        nested.push_back(v->writePDB(Text(out.path("nested.pdb")), root.get()));
        nested.push_back(v->open(Text(fixture("red.pdf")), nullptr));
        nested.push_back(v->close());
        nested.push_back(v->put_writeMode(BigPDBWriteMode::Normal));
    };
    EXPECT_EQ(writePdb("closed.pdb", root.get()), S_OK);
    sink->during = nullptr;
    EXPECT_EQ(nested, (std::vector<HRESULT>{S_FALSE, S_FALSE, S_OK, S_OK}));
    EXPECT_FALSE(fs::exists(out.path("nested.pdb")));
    EXPECT_EQ(counts(check("closed.pdb", 60)), "records 332 pages 120");
    win::LONG pages = -1;
    v->get_pages(&pages);
    EXPECT_EQ(pages, 0);
    EXPECT_FALSE(control->pageStore());
}

}  // namespace
}  // namespace vistrel
