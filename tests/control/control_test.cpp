// The control object as a host meets it: through IVistrel and the event
// connection point, over the control fixtures (tests/fixtures/
// make_control_fixtures.py).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <png.h>

#include "engine/constants/name_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/control/engine_module.h"
#include "engine/control/tree_node.h"
#include "engine/control/vistrel.h"
#include "engine/core/settings_store.h"
#include "engine/doc/pdf_catalog.h"
#include "engine/export/pdb_page_store.h"
#include "engine/font/font_registry.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "tests/support/palm_reader.h"
#include "tests/support/recording_sink.h"
#include "tests/support/test_files.h"

namespace vistrel {
namespace {

using namespace VISTRELLib;
using test::RecordingSink;
using test::SinkCall;
using win::E_ACCESSDENIED;
using win::E_NOTIMPL;
using win::E_POINTER;
using win::S_FALSE;
using win::S_OK;

std::string fixture(const std::string& name) {
    return std::string(VISTREL_CONTROL_FIXTURES) + "/" + name;
}

// A BSTR for the length of a statement.
struct Text {
    explicit Text(const std::string& s)
        : bstr(win::SysAllocStringLen(nullptr, win::UINT(s.size()))) {
        for (size_t i = 0; i < s.size(); ++i)
            bstr[i] = char16_t(static_cast<unsigned char>(s[i]));
    }
    ~Text() { win::SysFreeString(bstr); }
    operator BSTR() const { return bstr; }
    BSTR bstr;
};

std::string narrow(BSTR text) {
    std::string out;
    for (win::UINT i = 0; i < win::SysStringLen(text); ++i)
        out += char(text[i]);
    win::SysFreeString(text);
    return out;
}

// Event ids by name, for readable expectations.
constexpr win::DISPID kStart = VistrelEventsDispid::startProgressIndicator;
constexpr win::DISPID kSet = VistrelEventsDispid::setProgressIndicator;
constexpr win::DISPID kStop = VistrelEventsDispid::stopProgressIndicator;
constexpr win::DISPID kPage = VistrelEventsDispid::changePage;
constexpr win::DISPID kOffset = VistrelEventsDispid::changeOffset;
constexpr win::DISPID kZoom = VistrelEventsDispid::changeZoom;
constexpr win::DISPID kWindow = VistrelEventsDispid::fitWindow;
constexpr win::DISPID kWidth = VistrelEventsDispid::fitWidth;
constexpr win::DISPID kHeight = VistrelEventsDispid::fitHeight;
constexpr win::DISPID kRectangle = VistrelEventsDispid::fitRectangle;

// An event as the sink records it, its arguments first to last.
SinkCall event(win::DISPID id, std::vector<win::LONG> arguments = {}) {
    return SinkCall{"A", id, std::vector<win::LONG>(arguments.rbegin(), arguments.rend())};
}

// A control made as the class factory makes it, with a recording sink.
class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        made = win::ComObject<Vistrel>::create(engineModule());
        ASSERT_TRUE(made);
        control = made.get();
        void* raw = nullptr;
        ASSERT_EQ(made->QueryInterface(IID_IVistrel, &raw), S_OK);
        v = win::ComPtr<IVistrel>::adopt(static_cast<IVistrel*>(raw));
        a = advise("A");
    }
    void TearDown() override {
        if (point)
            for (win::DWORD cookie : cookies)
                point->Unadvise(cookie);
    }

    win::ComPtr<win::ComObject<RecordingSink>> advise(const std::string& name) {
        if (!point) {
            win::ComPtr<win::IConnectionPointContainer> container;
            EXPECT_EQ(v.query(win::IID_IConnectionPointContainer, container), S_OK);
            EXPECT_EQ(container->FindConnectionPoint(DIID__IVistrelEvents, point.put()), S_OK);
        }
        auto sink = win::ComObject<RecordingSink>::create(sinkModule, DIID__IVistrelEvents);
        sink->name = name;
        sink->log = &log;
        win::DWORD cookie = 0;
        EXPECT_EQ(point->Advise(static_cast<win::IDispatch*>(sink.get()), &cookie), S_OK);
        cookies.push_back(cookie);
        return sink;
    }

    HRESULT open(const std::string& file, const char* password = nullptr) {
        if (!password)
            return v->open(Text(file), nullptr);
        return v->open(Text(file), Text(password));
    }

    std::string stateText() {
        win::ComPtr<ITreeNode> node;
        EXPECT_EQ(v->get_State(node.put()), S_OK);
        BSTR text = nullptr;
        EXPECT_EQ(node->get_stateInStr(&text), S_OK);
        return narrow(text);
    }

    // Puts a view given as state text.
    HRESULT putView(const std::string& text) {
        win::ComPtr<TreeNode> node = TreeNode::create();
        EXPECT_EQ(node->put_stateInStr(Text(text)), S_OK);
        return v->put_State(node.get());
    }

    std::pair<win::LONG, win::LONG> size() {
        win::LONG w = -1, h = -1;
        v->get_width(&w);
        v->get_height(&h);
        return {w, h};
    }

    win::ComModule sinkModule;
    win::ComPtr<win::ComObject<Vistrel>> made;
    Vistrel* control = nullptr;
    win::ComPtr<IVistrel> v;
    win::ComPtr<win::IConnectionPoint> point;
    std::vector<win::DWORD> cookies;
    std::vector<SinkCall> log;
    win::ComPtr<win::ComObject<RecordingSink>> a;
};

// A device context of the host: a 32-bit DIB section, white.
struct HostCanvas {
    HostCanvas(int w, int h) : width(w), height(h) {
        dc = win::CreateCompatibleDC(nullptr);
        win::BITMAPINFO info{};
        info.bmiHeader = {sizeof(win::BITMAPINFOHEADER), w, -h, 1, 32, win::BI_RGB, 0, 0, 0, 0, 0};
        bitmap = win::CreateDIBSection(dc, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
        old = win::SelectObject(dc, bitmap);
        win::PatBlt(dc, 0, 0, w, h, win::WHITENESS);
    }
    ~HostCanvas() {
        win::SelectObject(dc, old);
        win::DeleteObject(bitmap);
        win::DeleteDC(dc);
    }
    win::LONG handle() const { return win::LONG(dc.value); }
    win::COLORREF pixel(int x, int y) const { return win::GetPixel(dc, x, y); }

    int width, height;
    win::HDC dc;
    win::HBITMAP bitmap;
    win::HGDIOBJ old;
    void* bits = nullptr;
};

// ---------------------------------------------------------------------------
// Construction

std::string setting(const WString& section, const WString& key) {
    const SettingValue* value = settingsStore().find(section, key);
    return value ? readSettingText(value, WString()).toUtf8() : "-";
}

TEST_F(ControlTest, MadeWithTheDefaultViewItsPresetsAndSearch) {
    EXPECT_EQ(stateText(), "0,0,1,1.000000,4,4,0");
    EXPECT_TRUE(control->viewChanged());
    EXPECT_EQ(setting(settings::Functionality, settings::EnableSearch), "true");
    EXPECT_EQ(setting(settings::FontSystem, settings::AASize), "8");
    EXPECT_EQ(setting(settings::FontSystem, settings::CurveThreshold), "10");
    const std::u16string& fonts = control->fontFolder();
    ASSERT_GT(fonts.size(), 7u);
    EXPECT_EQ(fonts.substr(fonts.size() - 7), u"/fonts/");
    EXPECT_EQ(fonts[0], u'/');
    // A view with other levels writes their presets; the threshold follows
    // the new view.
    ASSERT_EQ(putView("0,0,1,1,0,1,0"), S_OK);
    EXPECT_EQ(setting(settings::FontSystem, settings::CurveThreshold), "53");
    EXPECT_EQ(setting(settings::Quality, settings::ImageShowMode), "2");
    EXPECT_EQ(setting(settings::FontSystem, settings::CacheEdges), "false");
    // Opening goes back to the levels 4 and 4.
    ASSERT_EQ(open(fixture("red.pdf")), S_OK);
    EXPECT_EQ(setting(settings::FontSystem, settings::CurveThreshold), "10");
    EXPECT_EQ(setting(settings::FontSystem, settings::CacheEdges), "true");
    BigPDBWriteMode mode{};
    EXPECT_EQ(v->get_writeMode(&mode), S_OK);
    EXPECT_EQ(mode, BigPDBWriteMode::CutOdd);
    EXPECT_EQ(v->put_writeMode(BigPDBWriteMode(77)), S_OK);  // stored as given
    EXPECT_EQ(v->get_writeMode(&mode), S_OK);
    EXPECT_EQ(int(mode), 77);
}

// ---------------------------------------------------------------------------
// Opening and closing

TEST_F(ControlTest, OpenAnswersWithTheViewReset) {
    ASSERT_EQ(putView("5,6,3,2.5,1,2,16"), S_OK);
    win::ComPtr<TreeNode> named = TreeNode::create();
    // Nothing is open: no events, whatever the view.
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(control->eventsOn());

    ASSERT_EQ(open(fixture("pages.pdf")), S_OK);
    EXPECT_TRUE(control->eventsOn());
    EXPECT_TRUE(log.empty());  // opening fires nothing
    EXPECT_EQ(stateText(), "0,0,1,1.000000,4,4,0");
    win::LONG pages = 0;
    EXPECT_EQ(v->get_pages(&pages), S_OK);
    EXPECT_EQ(pages, 11);
    BSTR name = nullptr;
    EXPECT_EQ(v->get_filename(&name), S_OK);
    EXPECT_EQ(narrow(name), fixture("pages.pdf"));
    EXPECT_TRUE(control->viewChanged());
    ASSERT_TRUE(control->pageStore());
    EXPECT_EQ(std::string(control->pageStore()->name().data()), "pages");
    EXPECT_EQ(v->get_pages(nullptr), E_POINTER);

    // A second open that fails still closes the first document.
    EXPECT_EQ(open(fixture("missing.pdf")), S_FALSE);
    EXPECT_EQ(v->get_pages(&pages), S_OK);
    EXPECT_EQ(pages, 0);
    EXPECT_EQ(v->get_filename(&name), S_OK);
    EXPECT_EQ(narrow(name), "");
    EXPECT_FALSE(control->pageStore());
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(v->close(), S_OK);
}

// A font of a closed document that only the registry still holds goes with
// the close; one a user still holds stays.
int testFontsAlive = 0;

class TestFont : public FontRenderer {
public:
    TestFont() : FontRenderer(nullptr, nullptr) { ++testFontsAlive; }
    ~TestFont() override { --testFontsAlive; }
};

class TestDescription : public FontDescription {
public:
    std::int32_t kind() const override { return 100; }
};

TEST_F(ControlTest, CloseLetsGoOfTheFontsOnlyTheRegistryHolds) {
    ASSERT_TRUE(createFontRegistry());
    FontRegistry& registry = *fontRegistry();
    const WString kind(u"ControlTestKind"), plain(u"Plain");
    registry.registerLoader(
        kind, [](FontDescription&, OutputDevice*) -> std::unique_ptr<FontRenderer> {
            return std::make_unique<TestFont>();
        },
        0);
    auto make = [&] {
        return registry.createFont(kind, plain,
                                   FontSource(Ref<FontDescription>::adopt(new TestDescription).get()),
                                   nullptr, false);
    };
    ASSERT_EQ(open(fixture("red.pdf")), S_OK);
    Ref<FontHandle> kept = make();
    ASSERT_TRUE(kept && make());  // the second only the registry holds
    EXPECT_EQ(testFontsAlive, 2);
    EXPECT_EQ(v->close(), S_OK);
    EXPECT_EQ(testFontsAlive, 1);
    EXPECT_EQ(registry.liveFontCount(), 1);
    kept = nullptr;
    // The registry is the process's, which the tests after this one use:
    // it stays, as the controls' start-up registered it.
    registry.purge(-1);
    EXPECT_EQ(testFontsAlive, 0);
    EXPECT_TRUE(registry.unregisterLoader(kind));
}

// A document's embedded TrueType programs are files in a folder of the
// process's own while its fonts live, at every quality; closing the
// document deletes them.
TEST_F(ControlTest, EmbeddedFontFilesLiveUntilClose) {
    namespace fs = std::filesystem;
    // A base of its own on every run: the engine keeps the private folder it
    // made under a base for the rest of the process.
    static int run = 0;
    const fs::path base = fs::temp_directory_path() /
                          ("vistrel-control-fonts-" + std::to_string(getpid()) + "-" +
                           std::to_string(++run));
    fs::create_directory(base);
    settingsStore().save(settings::FontSystem, settings::DirToPlaceEmbeddedTT);
    // The setting and the folder go back as they were however the test ends.
    struct Restore {
        fs::path base;
        ~Restore() {
            settingsStore().restore(settings::FontSystem, settings::DirToPlaceEmbeddedTT);
            fs::remove_all(base);
        }
    } restore{base};
    settingsStore().set(settings::FontSystem, settings::DirToPlaceEmbeddedTT,
                        SettingValue::ofText(WString::fromUtf8(base.string())));
    auto fontFiles = [&] {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(base)) {
            if (entry.is_regular_file())
                names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    for (const char* quality : {"0", "4"}) {
        SCOPED_TRACE(quality);
        ASSERT_EQ(open(std::string(VISTREL_FIXTURE_DIR) + "/truetype/truetype.pdf"), S_OK);
        ASSERT_EQ(putView(std::string("0,0,2,1,4,") + quality + ",0"), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        EXPECT_EQ(fontFiles(), (std::vector<std::string>{
                                   "aaaaaa+liberationsans.ttf", "bbbbbb+liberationsans.ttf",
                                   "cccccc+dejavusans.ttf", "dddddd+dejavusymbolic.ttf"}));
        EXPECT_EQ(v->close(), S_OK);
        EXPECT_EQ(fontFiles(), std::vector<std::string>{});
    }
}

TEST_F(ControlTest, FilesThatAreNoDocumentsAndPasswords) {
    testing::TempDir dir;
    ASSERT_TRUE(testing::writeFile(dir.path("text.pdf"), "no PDF at all\n"));
    const bool encrypted = testing::fileExists(fixture("rc4_pages.pdf"));
    const struct {
        std::string file;
        const char* password;
        HRESULT expected;
    } cases[] = {
        {dir.path("text.pdf"), nullptr, S_FALSE},
        {dir.path("none.pdf"), nullptr, S_FALSE},
        {dir.path(""), nullptr, S_FALSE},
        {fixture("rc4_pages.pdf"), nullptr, E_ACCESSDENIED},
        {fixture("rc4_pages.pdf"), "", E_ACCESSDENIED},
        {fixture("rc4_pages.pdf"), "wrong", E_ACCESSDENIED},
        {fixture("rc4_pages.pdf"), "user", S_OK},
        {fixture("rc4_pages.pdf"), "owner", S_OK},
        // 128-bit RC4 is not read: a file that cannot be read, not a wrong
        // password.
        {std::string(VISTREL_FIXTURE_DIR) + "/rc4_r3.pdf", "user", S_FALSE},
    };
    for (const auto& c : cases) {
        if (!encrypted && c.file.find("rc4") != std::string::npos)
            continue;
        SCOPED_TRACE(c.file + " " + (c.password ? c.password : "(null)"));
        EXPECT_EQ(open(c.file, c.password), c.expected);
        win::LONG pages = -1;
        v->get_pages(&pages);
        EXPECT_EQ(pages, c.expected == S_OK ? 11 : 0);
    }
    if (!encrypted)
        GTEST_SKIP() << "qpdf is not installed: no encrypted fixtures";
}

TEST_F(ControlTest, DatabaseNameIsTheFileNameWithoutFolderAndLastExtension) {
    testing::TempDir dir;
    const std::string pdf = testing::readFile(fixture("red.pdf"));
    // The file layer takes "\\" for a folder separator too.
    std::filesystem::create_directory(dir.path("a"));
    const struct {
        std::string written, opened, name;
    } cases[] = {{"annual.report.pdf", "annual.report.pdf", "annual.report"},
                 {"readme", "readme", "readme"},
                 {"a/b.c.pdf", "a\\b.c.pdf", "b.c"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(testing::writeFile(dir.path(c.written), pdf));
        ASSERT_EQ(open(dir.path(c.opened)), S_OK) << c.opened;
        EXPECT_EQ(std::string(control->pageStore()->name().data()), c.name);
    }
}

// ---------------------------------------------------------------------------
// Events

TEST_F(ControlTest, EventsReachEverySinkInAdviseOrderOnlyOnceADocumentWasOpened) {
    auto b = advise("B");
    EXPECT_EQ(putView("0,0,2,1,4,4,0"), S_OK);
    EXPECT_TRUE(log.empty());
    ASSERT_EQ(open(fixture("links.pdf")), S_OK);
    EXPECT_EQ(putView("7,8,3,3,4,4,0"), S_OK);
    const std::vector<SinkCall> expected = {
        {"A", kPage, {3}}, {"B", kPage, {3}},       {"A", kZoom, {3}},
        {"B", kZoom, {3}}, {"A", kOffset, {8, 7}}, {"B", kOffset, {8, 7}}};
    EXPECT_EQ(log, expected);
    // The switch stays on after the document is closed.
    log.clear();
    v->close();
    EXPECT_EQ(putView("0,0,2,3,4,4,0"), S_OK);
    EXPECT_EQ(log.size(), 4u);
}

TEST_F(ControlTest, StatePutFiresWhatChangedAndMarksTheViewForRendering) {
    ASSERT_EQ(open(fixture("pages.pdf")), S_OK);
    const struct {
        std::string from, to;
        std::vector<SinkCall> events;
        bool marked;
    } cases[] = {
        {"0,0,1,1,4,4,0", "0,0,1,1,4,4,0", {}, true},  // identical: rendered again
        {"0,0,1,1,4,4,0", "0,0,2,1,4,4,0", {event(kPage, {2})}, true},
        {"0,0,1,1,4,4,0", "0,0,1,3,4,4,0", {event(kZoom, {3})}, true},
        // Only the position: the format step marks the view all the same.
        {"0,0,1,1,4,4,0", "4,9,1,1,4,4,0", {event(kOffset, {4, 9})}, true},
        {"0,0,1,1,4,4,0", "0,0,1,1,2,4,0", {}, true},
        {"0,0,1,1,4,4,0", "0,0,1,1,4,1,0", {}, true},
        // A device format added alone keeps the bitmap; any other format
        // change renders again.
        {"0,0,1,1,4,4,0", "0,0,1,1,4,4,16", {}, false},
        {"0,0,1,1,4,4,16", "0,0,1,1,4,4,4", {}, true},
        {"0,0,1,1,4,4,16", "0,0,1,1,4,4,0", {}, true},
        {"0,0,1,1,4,4,0", "1,2,3,2,4,4,0",
         {event(kPage, {3}), event(kZoom, {2}), event(kOffset, {1, 2})}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from + " -> " + c.to);
        ASSERT_EQ(putView(c.from), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        ASSERT_FALSE(control->viewChanged());
        log.clear();
        EXPECT_EQ(putView(c.to), S_OK);
        EXPECT_EQ(log, c.events);
        EXPECT_EQ(control->viewChanged(), c.marked);
    }
}

TEST_F(ControlTest, StatePutByNodeType) {
    ASSERT_EQ(open(fixture("links.pdf")), S_OK);
    ASSERT_EQ(putView("0,0,1,2,3,4,0"), S_OK);
    log.clear();
    // A link node moves to its target and keeps zoom and levels.
    win::ComPtr<TreeNode> node = TreeNode::create();
    node->setType(TreeNodeType::Link);
    node->setLink(PageLink{1, 2, 3, 4, 3, 40, 50});
    EXPECT_EQ(v->put_State(node.get()), S_OK);
    EXPECT_EQ(stateText(), "40,50,3,2.000000,3,4,0");
    EXPECT_EQ(log, (std::vector<SinkCall>{event(kPage, {3}), event(kOffset, {40, 50})}));
    const struct {
        TreeNodeType type;
        HRESULT expected;
    } refused[] = {{TreeNodeType::Annotation, E_NOTIMPL},
                   {TreeNodeType::Font_Info, S_FALSE},
                   {TreeNodeType::Word_Info, S_FALSE},
                   {TreeNodeType(9), S_FALSE},
                   {TreeNodeType::TOC, S_FALSE}};  // no destination held
    for (const auto& r : refused) {
        node->setType(r.type);
        EXPECT_EQ(v->put_State(node.get()), r.expected) << int(r.type);
    }
    EXPECT_EQ(v->put_State(nullptr), E_POINTER);
    EXPECT_EQ(stateText(), "40,50,3,2.000000,3,4,0");
}

// ---------------------------------------------------------------------------
// Rendering and drawing

TEST_F(ControlTest, RenderSizesRotationsAndRefusals) {
    EXPECT_EQ(v->render(), S_FALSE);  // no document
    ASSERT_EQ(open(fixture("pages.pdf")), S_OK);
    const struct {
        std::string view;
        HRESULT expected;
        win::LONG width, height;  // the size after the call
    } cases[] = {
        {"0,0,1,1,4,4,0", S_OK, 612, 792},
        {"0,0,2,1,4,4,0", S_OK, 792, 612},  // /Rotate 90
        {"0,0,3,1,4,4,0", S_OK, 612, 792},
        {"0,0,4,1,4,4,0", S_OK, 792, 612},
        {"0,0,5,1,4,4,0", S_OK, 792, 612},  // /Rotate -270
        {"0,0,1,1.5,4,4,0", S_OK, 918, 1188},
        {"0,0,1,0.333,4,4,0", S_OK, 203, 263},  // truncated, not rounded
        {"0,0,6,1,4,4,0", S_OK, 200, 300},      // /CropBox from the parent
        {"0,0,7,1,4,4,0", S_OK, 612, 792},      // /Rotate 45 counts as 0
        {"0,0,9,1,4,4,0", S_OK, 1, 40},
        // Refused: the last bitmap stays.
        {"0,0,8,1,4,4,0", S_FALSE, 1, 40},     // no usable box
        {"0,0,10,2.5,4,4,0", S_FALSE, 1, 40},  // a side above 32767 pixels
        {"0,0,10,0.8,4,4,0", S_FALSE, 1, 40},  // above 100 million pixels
        {"0,0,10,1e9,4,4,0", S_FALSE, 1, 40},
        {"0,0,11,1,4,4,0", S_FALSE, 1, 40},   // below one pixel
        {"0,0,1,0.001,4,4,0", S_FALSE, 1, 40},
        {"0,0,1,0,4,4,0", S_FALSE, 1, 40},
        {"0,0,1,-1,4,4,0", S_FALSE, 1, 40},
        {"0,0,0,1,4,4,0", S_FALSE, 1, 40},
        {"0,0,12,1,4,4,0", S_FALSE, 1, 40},
        {"0,0,10,0.1,4,4,0", S_OK, 1440, 1440},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.view);
        ASSERT_EQ(putView(c.view), S_OK);
        EXPECT_EQ(v->render(), c.expected);
        EXPECT_EQ(size(), std::make_pair(c.width, c.height));
        // A refused render leaves the view marked for the next try.
        EXPECT_EQ(control->viewChanged(), c.expected != S_OK);
    }
    HostCanvas canvas(4, 4);
    EXPECT_EQ(v->draw(canvas.handle(), 0, 0, 4, 4, 0, 0), S_OK);
}

TEST_F(ControlTest, CornerOfTheBoxLandsWhereTheRotationPutsIt) {
    ASSERT_EQ(open(fixture("pages.pdf")), S_OK);
    const struct {
        int page;
        int x, y;  // a pixel inside the 20-point square at the box's (x1, y1)
    } cases[] = {{1, 5, 786}, {2, 5, 5}, {3, 606, 5}, {4, 786, 606}, {5, 5, 5}, {6, 5, 294}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        ASSERT_EQ(putView("0,0," + std::to_string(c.page) + ",1,4,4,0"), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        const auto [w, h] = size();
        // The matrix takes the corner to the pixel corner the rotation names.
        const Matrix& m = control->pageMatrix();
        const double x1 = c.page == 6 ? 100 : 0, y1 = c.page == 6 ? 200 : 0;
        const double px = m.a * x1 + m.c * y1 + m.e, py = m.b * x1 + m.d * y1 + m.f;
        EXPECT_DOUBLE_EQ(px, c.x < w / 2 ? 0.0 : double(w));
        EXPECT_DOUBLE_EQ(py, c.y < h / 2 ? 0.0 : double(h));
        HostCanvas canvas(w, h);
        ASSERT_EQ(v->draw(canvas.handle(), 0, 0, w, h, 0, 0), S_OK);
        EXPECT_EQ(canvas.pixel(c.x, c.y), 0u);
        EXPECT_EQ(canvas.pixel(w - 1 - c.x, h - 1 - c.y), 0xFFFFFFu);
    }
}

TEST_F(ControlTest, RenderOnlyWhenMarkedAndConvertsForTheDevice) {
    ASSERT_EQ(open(fixture("red.pdf")), S_OK);
    ASSERT_EQ(v->render(), S_OK);
    // Progress reaches the host during the render: a start first, a stop last.
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().member, kStart);
    EXPECT_EQ(log.back().member, kStop);
    for (const SinkCall& c : log)
        EXPECT_TRUE(c.member == kStart || c.member == kSet || c.member == kStop);
    // Not marked: nothing is drawn, the bitmap keeps what is in it.
    log.clear();
    win::SetPixel(control->memoryDc(), 0, 0, 0x00FF00);
    EXPECT_EQ(v->render(), S_OK);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(win::GetPixel(control->memoryDc(), 0, 0), 0x00FF00u);
    // A device format added alone only converts the existing bitmap.
    EXPECT_EQ(putView("0,0,1,1,4,4,16"), S_OK);
    EXPECT_EQ(v->render(), S_OK);
    EXPECT_TRUE(log.empty());
    ASSERT_TRUE(control->pageStore()->currentRecord());
    EXPECT_EQ(control->pageStore()->currentRecord()->format, kColor16);
    EXPECT_EQ(control->pageStore()->currentRecord()->width, 20);
    // The same view put again renders again, into the same bitmap, cleared.
    const std::size_t bitmaps = win::LiveObjectCount(win::HandleKind::Bitmap);
    EXPECT_EQ(putView("0,0,1,1,4,4,16"), S_OK);
    EXPECT_EQ(v->render(), S_OK);
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(win::LiveObjectCount(win::HandleKind::Bitmap), bitmaps);
    EXPECT_NE(win::GetPixel(control->memoryDc(), 0, 0), 0x00FF00u);
}

// The page bitmap is kept between pages of one size and only what the last
// page drew is painted white again: a blank page after each kind of ink is
// white all over, and the ink page drawn again gives the same pixels.
TEST_F(ControlTest, PageAfterPageOfOneSizeKeepsNothingOfTheLast) {
    ASSERT_EQ(open(fixture("repaint.pdf")), S_OK);
    win::LONG pages = 0;
    ASSERT_EQ(v->get_pages(&pages), S_OK);
    ASSERT_GT(pages, 1);
    const auto pixels = [&](int page) {
        EXPECT_EQ(putView("0,0," + std::to_string(page) + ",1.5,4,4,0"), S_OK);
        EXPECT_EQ(v->render(), S_OK);
        const auto [w, h] = size();
        std::vector<win::COLORREF> all;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                all.push_back(win::GetPixel(control->memoryDc(), x, y));
        }
        return all;
    };
    const std::vector<win::COLORREF> blank = pixels(pages);
    ASSERT_EQ(blank.size(), 450u * 300u);
    EXPECT_EQ(std::count(blank.begin(), blank.end(), 0xFFFFFFu), std::ptrdiff_t(blank.size()));
    for (int page = 1; page < pages; ++page) {
        SCOPED_TRACE(page);
        const std::vector<win::COLORREF> ink = pixels(page);
        EXPECT_LT(std::count(ink.begin(), ink.end(), 0xFFFFFFu), std::ptrdiff_t(ink.size()));
        EXPECT_EQ(pixels(pages), blank);
        if (page > 1)
            pixels(page - 1);
        EXPECT_EQ(pixels(page), ink);
    }
}

// Thirty forms, each drawing the next four times: the render, the trees of
// the page and the Palm export all end, the page drawn up to where its work
// ran out.
TEST_F(ControlTest, FormsDrawingEachOtherManyTimesOverEndEveryRoad) {
    ASSERT_EQ(open(fixture("fanout.pdf")), S_OK);
    ASSERT_EQ(putView("0,0,1,1,4,4,0"), S_OK);
    ASSERT_EQ(v->render(), S_OK);
    const win::HDC dc = control->memoryDc();
    EXPECT_EQ(win::GetPixel(dc, 20, 180), win::RGB(0, 0, 255));  // before the forms
    EXPECT_EQ(win::GetPixel(dc, 102, 98), win::RGB(0, 0, 0));     // the innermost form
    EXPECT_EQ(win::GetPixel(dc, 110, 180), 0xFFFFFFu);            // after them: not reached

    const struct {
        const char* tree;
        const char* firstKid;
    } trees[] = {{"TEXT", "Fan"}, {"FONTINFO", nullptr}};
    for (const auto& t : trees) {
        SCOPED_TRACE(t.tree);
        ITreeNode* raw = nullptr;
        ASSERT_EQ(v->get_root(Text(t.tree), &raw), S_OK);
        auto root = win::ComPtr<ITreeNode>::adopt(raw);
        win::LONG kids = 0;
        ASSERT_EQ(root->get_kids(&kids), S_OK);
        EXPECT_EQ(kids, 1);
        win::ComPtr<ITreeNode> kid;
        ASSERT_EQ(root->get_kid(1, kid.put()), S_OK);
        BSTR name = nullptr;
        ASSERT_EQ(kid->get_name(&name), S_OK);
        if (t.firstKid)
            EXPECT_EQ(narrow(name), t.firstKid);
        else
            win::SysFreeString(name);
    }

    testing::TempDir out;
    win::ComPtr<TreeNode> views = TreeNode::create();
    win::ComPtr<TreeNode> view = TreeNode::create();
    ASSERT_EQ(view->put_stateInStr(Text("0,0,1,1,4,4,4")), S_OK);
    ASSERT_EQ(views->addKid(view.get()), S_OK);
    ASSERT_EQ(v->writePDB(Text(out.path("fanout.pdb")), views.get()), S_OK);
    const std::string dump = testing::readPalmDatabase(out.path("fanout.pdb"), "", {});
    EXPECT_NE(dump.find("\npage 1 200x200 bpp 2 "), std::string::npos) << dump;
}

TEST_F(ControlTest, DrawCopiesThePageIntoTheHostsContext) {
    HostCanvas canvas(30, 20);
    EXPECT_EQ(v->draw(canvas.handle(), 0, 0, 30, 20, 0, 0), S_FALSE);  // nothing rendered
    ASSERT_EQ(open(fixture("red.pdf")), S_OK);
    EXPECT_EQ(v->draw(canvas.handle(), 0, 0, 30, 20, 0, 0), S_FALSE);
    ASSERT_EQ(v->render(), S_OK);
    EXPECT_EQ(v->draw(0, 0, 0, 20, 10, 0, 0), S_FALSE);
    EXPECT_EQ(v->draw(12345, 0, 0, 20, 10, 0, 0), S_FALSE);
    // A rectangle larger than the page: the page is copied, the rest kept.
    EXPECT_EQ(v->draw(canvas.handle(), 2, 3, 30, 20, 0, 0), S_OK);
    EXPECT_EQ(canvas.pixel(2, 3), win::RGB(255, 0, 0));
    EXPECT_EQ(canvas.pixel(21, 12), win::RGB(255, 0, 0));
    EXPECT_EQ(canvas.pixel(22, 12), 0xFFFFFFu);
    EXPECT_EQ(canvas.pixel(1, 3), 0xFFFFFFu);
    // The page stays drawable after the document is closed.
    v->close();
    EXPECT_EQ(v->draw(canvas.handle(), 0, 0, 1, 1, 5, 5), S_OK);
}

TEST_F(ControlTest, SizesOfThePageAndTheVisibleRectangle) {
    win::LONG value = 0;
    EXPECT_EQ(v->get_actualWidth(&value), S_FALSE);
    EXPECT_EQ(size(), std::make_pair(0, 0));
    ASSERT_EQ(open(fixture("pages.pdf")), S_OK);
    ASSERT_EQ(putView("0,0,2,3,4,4,0"), S_OK);
    EXPECT_EQ(v->get_actualWidth(&value), S_OK);
    EXPECT_EQ(value, 792);
    EXPECT_EQ(v->get_actualHeight(&value), S_OK);
    EXPECT_EQ(value, 612);
    EXPECT_EQ(v->get_actualWidth(nullptr), E_POINTER);
    ASSERT_EQ(putView("0,0,8,1,4,4,0"), S_OK);
    EXPECT_EQ(v->get_actualHeight(&value), S_FALSE);
    EXPECT_EQ(v->setVisibleRect(-1, 10), S_FALSE);
    EXPECT_EQ(v->setVisibleRect(10, -1), S_FALSE);
    EXPECT_EQ(v->setVisibleRect(0, 0), S_OK);
}

// A sink may call back while a render runs: a nested render is refused and a
// close waits for the render to end.
TEST_F(ControlTest, CallsFromInsideAProgressEvent) {
    ASSERT_EQ(open(fixture("red.pdf")), S_OK);
    std::vector<HRESULT> nested;
    win::ComPtr<TreeNode> tree = TreeNode::create();
    a->during = [&] {
        if (log.back().member == kStart) {
            nested.push_back(v->render());
            nested.push_back(v->open(Text(fixture("pages.pdf")), nullptr));
            nested.push_back(v->writePDB(Text("x.pdb"), nullptr));
            nested.push_back(v->put_root(Text("BookMarks"), tree.get()));
            nested.push_back(v->close());
        }
    };
    EXPECT_EQ(v->render(), S_OK);
    a->during = nullptr;
    EXPECT_EQ(nested, (std::vector<HRESULT>{S_FALSE, S_FALSE, S_FALSE, S_FALSE, S_OK}));
    win::LONG pages = -1;
    v->get_pages(&pages);
    EXPECT_EQ(pages, 0);
    EXPECT_EQ(size(), std::make_pair(20, 10));
}

// ---------------------------------------------------------------------------
// Links and destinations

// The centre of link i of links.pdf in page 1's bitmap at a zoom.
std::pair<win::LONG, win::LONG> linkCentre(int i, double zoom) {
    const int x = 10 + (i % 4) * 60, y = 700 - (i / 4) * 60;
    return {win::LONG((x + 25) * zoom), win::LONG((792 - (y + 25)) * zoom)};
}

TEST_F(ControlTest, ClicksOnLinksJumpWithTheEventsOfTheirKind) {
    const struct {
        int link;
        std::string view;  // before the click: x, y, page 1, zoom
        std::vector<SinkCall> events;
        std::string after;
    } cases[] = {
        {0, "0,0,1,1", {event(kPage, {2}), event(kZoom, {2}), event(kOffset, {200, 184})},
         "200,184,2,2.000000"},
        {1, "0,0,1,1", {event(kPage, {2})}, "0,0,2,1.000000"},
        {2, "0,0,1,1", {event(kPage, {2})}, "0,0,2,1.000000"},  // left and top 0
        {3, "0,0,1,1", {event(kPage, {2}), event(kWindow)}, "0,0,2,1.000000"},
        {4, "0,0,1,1", {event(kPage, {2}), event(kWindow)}, "0,0,2,1.000000"},
        {5, "0,0,1,1", {event(kPage, {2}), event(kWidth, {100})}, "0,0,2,1.000000"},
        {6, "0,0,1,3", {event(kPage, {2}), event(kWidth, {100})}, "0,0,2,3.000000"},
        {7, "0,0,1,1", {event(kPage, {2}), event(kHeight, {50})}, "0,0,2,1.000000"},
        {8, "0,0,1,1", {event(kPage, {2}), event(kHeight, {50})}, "0,0,2,1.000000"},
        // The rectangle's size in page units, whatever the zoom.
        {9, "0,0,1,3", {event(kPage, {2}), event(kRectangle, {10, 572, 100, 200})},
         "0,0,2,3.000000"},
        {10, "0,0,1,1", {event(kPage, {3}), event(kOffset, {10, 10})}, "10,10,3,1.000000"},
        {11, "0,0,1,1", {event(kPage, {3}), event(kWindow)}, "0,0,3,1.000000"},
        {12, "7,7,1,1", {event(kPage, {2})}, "7,7,2,1.000000"},  // the page's origin
        {13, "0,0,1,1", {}, "0,0,1,1.000000"},                   // no destination
        {14, "0,0,1,1", {}, "0,0,1,1.000000"},                   // a page not in the tree
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        ASSERT_EQ(open(fixture("links.pdf")), S_OK);
        ASSERT_EQ(putView(c.view + ",4,4,0"), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        log.clear();
        const auto [x, y] = linkCentre(c.link, std::stod(c.view.substr(c.view.rfind(',') + 1)));
        EXPECT_EQ(v->mouseClick(x, y), S_OK);
        EXPECT_EQ(log, c.events);
        EXPECT_EQ(stateText(), c.after + ",4,4,0");
    }
    // Outside every link, and on the link's far edges: nothing.
    log.clear();
    EXPECT_EQ(v->mouseClick(500, 500), S_OK);
    EXPECT_EQ(v->mouseClick(60, 42), S_OK);  // x = x2 of link 0
    EXPECT_TRUE(log.empty());
    // A page without /Annots, and no document.
    ASSERT_EQ(putView("0,0,2,1,4,4,0"), S_OK);
    EXPECT_EQ(v->mouseClick(10, 10), S_FALSE);
    v->close();
    EXPECT_EQ(v->mouseClick(10, 10), S_FALSE);
}

TEST_F(ControlTest, OutlineNodesJumpThroughTheirDestination) {
    ASSERT_EQ(open(fixture("links.pdf")), S_OK);
    PdfArray* annots = asArray(control->catalog()->getPage(1)->get(names::Annots));
    ASSERT_TRUE(annots);
    auto destinationOf = [&](int link) {
        return asAnnotation(annots->at(link + 1))->get(names::Dest);
    };
    win::ComPtr<TreeNode> toc = TreeNode::create();
    toc->setType(TreeNodeType::TOC);
    toc->holdDestination(destinationOf(0));
    log.clear();
    EXPECT_EQ(v->put_State(toc.get()), S_OK);
    // No bitmap yet: the page is rendered before the position is set.
    EXPECT_EQ(log.front(), event(kPage, {2}));
    EXPECT_EQ(log.back(), event(kOffset, {200, 184}));
    EXPECT_GT(size().second, 0);
    EXPECT_EQ(stateText(), "200,184,2,2.000000,4,4,0");
    // The same page, zoom and position again: nothing to fire, still a jump.
    log.clear();
    EXPECT_EQ(v->put_State(toc.get()), S_OK);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(control->goToDestination(destinationOf(0)));
    // A number that names no held destination.
    win::ComPtr<TreeNode> forged = TreeNode::create();
    forged->setType(TreeNodeType::TOC);
    EXPECT_EQ(v->put_State(forged.get()), S_FALSE);
    // A destination kept from a document closed since names nothing here.
    ASSERT_EQ(open(fixture("links.pdf")), S_OK);
    EXPECT_EQ(v->put_State(toc.get()), S_FALSE);
    EXPECT_EQ(stateText(), "0,0,1,1.000000,4,4,0");
}

// Only a position at the page's origin keeps the view's position; a fit
// whose point is the origin fits there, at 0.
TEST_F(ControlTest, FitsAtThePagesOrigin) {
    ASSERT_EQ(open(fixture("links.pdf")), S_OK);
    PdfArray* annots = asArray(control->catalog()->getPage(1)->get(names::Annots));
    ASSERT_TRUE(annots);
    // The reference to page 2 that link 0's destination holds.
    PdfArray* linkDest = asArray(asAnnotation(annots->at(1))->get(names::Dest));
    ASSERT_TRUE(linkDest);
    auto destination = [&](NameConstant& fit, const std::vector<double>& values) {
        auto array = makeRef<PdfArray>();
        array->append(ObjectRef::share(linkDest->at(0)));
        array->append(ObjectRef::share(&fit));
        for (double value : values)
            array->append(makeRef<PdfNumber>(value));
        return array;
    };
    const struct {
        const char* what;
        Ref<PdfArray> destination;
        std::vector<SinkCall> events;
    } cases[] = {
        {"XYZ", destination(names::XYZ, {0, 0, 0}), {event(kPage, {2})}},
        {"FitH", destination(names::FitH, {0}), {event(kPage, {2}), event(kWidth, {0})}},
        {"FitV", destination(names::FitV, {0}), {event(kPage, {2}), event(kHeight, {0})}},
        {"FitR", destination(names::FitR, {0, -50, 100, 0}),
         {event(kPage, {2}), event(kRectangle, {0, 0, 100, 50})}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(putView("7,7,1,2,4,4,0"), S_OK);
        ASSERT_EQ(v->render(), S_OK);
        log.clear();
        EXPECT_TRUE(control->goToDestination(c.destination.get()));
        EXPECT_EQ(log, c.events);
        EXPECT_EQ(stateText(), "7,7,2,2.000000,4,4,0");
    }
}

// ---------------------------------------------------------------------------
// Image output

std::vector<std::uint8_t> arrayBytes(const win::VARIANT& value) {
    EXPECT_EQ(value.vt, win::VT_ARRAY | win::VT_UI1);
    const auto* data = static_cast<const std::uint8_t*>(value.parray->pvData);
    return std::vector<std::uint8_t>(data, data + value.parray->rgsabound[0].cElements);
}

TEST_F(ControlTest, ImagesOfTheLastRenderedPage) {
    testing::TempDir dir;
    win::VARIANT bytes{};
    EXPECT_EQ(v->get_PNG(nullptr), E_POINTER);
    EXPECT_EQ(v->get_JPG(nullptr), E_POINTER);
    EXPECT_EQ(v->get_PNG(&bytes), S_FALSE);
    EXPECT_EQ(v->get_JPG(&bytes), S_FALSE);
    EXPECT_EQ(v->writeJPG(Text(dir.path("none.jpg"))), S_FALSE);
    EXPECT_EQ(bytes.vt, win::VT_EMPTY);
    EXPECT_FALSE(testing::fileExists(dir.path("none.jpg")));

    ASSERT_EQ(open(fixture("red.pdf")), S_OK);
    ASSERT_EQ(v->render(), S_OK);
    // PNG: exactly the encoded bytes, the page's pixels.
    ASSERT_EQ(v->get_PNG(&bytes), S_OK);
    std::vector<std::uint8_t> png = arrayBytes(bytes);
    win::VariantClear(&bytes);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 20u);
    EXPECT_EQ(image.height, 10u);
    for (size_t i = 0; i < pixels.size(); i += 3)
        ASSERT_EQ((std::vector<int>{pixels[i], pixels[i + 1], pixels[i + 2]}),
                  (std::vector<int>{255, 0, 0}));
    // JPEG: the property's bytes end the image; the file holds the same.
    ASSERT_EQ(v->get_JPG(&bytes), S_OK);
    std::vector<std::uint8_t> jpg = arrayBytes(bytes);
    win::VariantClear(&bytes);
    ASSERT_GT(jpg.size(), 4u);
    EXPECT_EQ(jpg[0], 0xFF);
    EXPECT_EQ(jpg[1], 0xD8);
    EXPECT_EQ(jpg[jpg.size() - 2], 0xFF);
    EXPECT_EQ(jpg.back(), 0xD9);
    ASSERT_EQ(v->writeJPG(Text(dir.path("page.jpg"))), S_OK);
    EXPECT_EQ(testing::readBytes(dir.path("page.jpg")), jpg);
    // A file that cannot be made.
    EXPECT_EQ(v->writeJPG(Text(dir.path("no/such/folder.jpg"))), S_FALSE);
}

// A write that fails half-way leaves no file behind.
TEST_F(ControlTest, AFailedJpegFileIsDeleted) {
    testing::TempDir dir;
    ASSERT_EQ(open(fixture("pages.pdf")), S_OK);
    ASSERT_EQ(v->render(), S_OK);
    const std::string path = dir.path("cut.jpg");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Files may grow to 1000 bytes; a longer write fails instead of
        // ending the process.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const HRESULT hr = v->writeJPG(Text(path));
        _exit(hr == S_FALSE && !testing::fileExists(path) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// ---------------------------------------------------------------------------
// Late-bound calls

TEST_F(ControlTest, LateBoundCallsReachTheMembers) {
    win::ComPtr<win::IDispatch> dispatch;
    ASSERT_EQ(v.query(win::IID_IDispatch, dispatch), S_OK);
    auto invoke = [&](win::DISPID id, win::WORD flags, std::vector<win::VARIANT> args,
                      win::VARIANT* result) {
        std::vector<win::VARIANT> reversed(args.rbegin(), args.rend());
        win::DISPPARAMS params{reversed.data(), nullptr, win::UINT(reversed.size()), 0};
        return dispatch->Invoke(id, win::IID_NULL, win::LOCALE_USER_DEFAULT, flags, &params,
                                result, nullptr, nullptr);
    };
    win::VARIANT file{}, none{}, result{};
    file.vt = win::VT_BSTR;
    Text held(fixture("red.pdf"));
    file.bstrVal = held.bstr;
    EXPECT_EQ(invoke(VistrelDispid::open, win::DISPATCH_METHOD, {file, none}, nullptr), S_OK);
    EXPECT_EQ(invoke(VistrelDispid::render, win::DISPATCH_METHOD, {}, nullptr), S_OK);
    EXPECT_EQ(invoke(VistrelDispid::width, win::DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, win::VT_I4);
    EXPECT_EQ(result.lVal, 20);
    EXPECT_EQ(invoke(VistrelDispid::PNG, win::DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, win::VT_ARRAY | win::VT_UI1);
    win::VariantClear(&result);
    win::VARIANT mode{};
    mode.vt = win::VT_I4;
    mode.lVal = 1;
    win::DISPID named = win::DISPID_PROPERTYPUT;
    win::DISPPARAMS put{&mode, &named, 1, 1};
    EXPECT_EQ(dispatch->Invoke(VistrelDispid::writeMode, win::IID_NULL, 0,
                               win::DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
              S_OK);
    BigPDBWriteMode got{};
    EXPECT_EQ(v->get_writeMode(&got), S_OK);
    EXPECT_EQ(got, BigPDBWriteMode::Normal);
    EXPECT_EQ(invoke(VistrelDispid::State, win::DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, win::VT_DISPATCH);
    win::VariantClear(&result);
    EXPECT_EQ(invoke(VistrelDispid::render, win::DISPATCH_PROPERTYGET, {}, nullptr),
              win::DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(VistrelDispid::draw, win::DISPATCH_METHOD, {none}, nullptr),
              win::DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(99, win::DISPATCH_METHOD, {}, nullptr), win::DISP_E_MEMBERNOTFOUND);
}

}  // namespace
}  // namespace vistrel
