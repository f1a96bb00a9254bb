// The engine binding against a fake engine library registered in a scratch
// registry store and created by class id, exactly as the engine is.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/com/com.h"
#include "tests/support/class_registration.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_config_home.h"
#include "tests/viewer/fake_engine.h"
#include "tests/viewer/fake_engine_client.h"
#include "viewer/app/application.h"
#include "viewer/app/engine_error.h"
#include "viewer/app/vistrel_binding.h"
#include "viewer/components/message_test_util.h"

namespace brevant {
namespace {

using namespace win;
using namespace VISTRELLib;
using fake::IFakeEngine;
using vistrel::test::runRegsvr;
using vistrel::test::TempConfigHome;

LONG sinkCount(IFakeEngine* engine) {
    LONG count = -1;
    engine->sinkCount(&count);
    return count;
}

QString nameOf(const ComPtr<ITreeNode>& node) {
    BSTR name = nullptr;
    node->get_name(&name);
    QString text = QString::fromUtf16(name, SysStringLen(name));
    SysFreeString(name);
    return text;
}

VARIANT longValue(LONG n) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

VARIANT textValue(const char16_t* text) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
}

using Binding = testing::FakeEngineTest;
using testing::fakeOf;
using testing::takeCalls;

TEST_F(Binding, CreatesConnectsAndLetsGo) {
    TVistrel vistrel;
    EXPECT_FALSE(vistrel.isConnected());
    ComPtr<IVistrel> engine = vistrel.GetDefaultInterface();
    ASSERT_TRUE(engine);
    EXPECT_TRUE(vistrel.isConnected());
    EXPECT_EQ(vistrel.GetDefaultInterface(), engine);  // every call goes to one object
    ComPtr<IFakeEngine> fake = fakeOf(vistrel);
    EXPECT_EQ(sinkCount(fake.get()), 1);
    vistrel.Connect();  // connected already: nothing new
    EXPECT_EQ(sinkCount(fake.get()), 1);

    vistrel.Disconnect();
    EXPECT_FALSE(vistrel.isConnected());
    EXPECT_EQ(sinkCount(fake.get()), 0);
    // The next use creates a new object.
    EXPECT_NE(vistrel.GetDefaultInterface(), engine);
    EXPECT_EQ(vistrel.pages(), fake::kPages);
}

TEST_F(Binding, CreationFailuresRaise) {
    std::filesystem::path removed = home.path() / "libremoved.so";
    std::filesystem::copy_file(BREVANT_FAKE_ENGINE, removed);
    ASSERT_EQ(runRegsvr(VISTREL_REGSVR, removed.string()), 0);
    std::filesystem::remove(removed);
    std::optional<vistrel::testing::ScopedEnv> withoutIVistrel;
    struct Case {
        const char* what;
        std::function<void()> arrange;
        HRESULT expected;
    };
    const Case cases[] = {
        {"library removed", [] {}, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"object without IVistrel",
         [&] {
             ASSERT_EQ(runRegsvr(VISTREL_REGSVR, BREVANT_FAKE_ENGINE), 0);
             withoutIVistrel.emplace(fake::kWithoutIVistrel, "1");
         },
         E_NOINTERFACE},
        {"not registered",
         [&] {
             withoutIVistrel.reset();
             ASSERT_EQ(runRegsvr(VISTREL_REGSVR, std::string("-u ") + BREVANT_FAKE_ENGINE), 0);
         },
         REGDB_E_CLASSNOTREG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        TVistrel vistrel;
        try {
            vistrel.Connect();
            ADD_FAILURE() << "connected";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.result(), c.expected);
        }
        EXPECT_FALSE(vistrel.isConnected());
        EXPECT_THROW(vistrel.root("TOC"), EngineError);
    }
    // The default error handler reports it.
    TVistrel vistrel;
    EXPECT_FALSE(runGuarded([&] { vistrel.GetDefaultInterface(); }));
    EXPECT_EQ(boxes.shown,
              (std::vector<MessageRequest>{
                  {"Error", "Class not registered (0x80040154)", MessageIcon::Error}}));
}

TEST_F(Binding, CallsReachTheEngine) {
    TVistrel vistrel;
    ComPtr<IFakeEngine> fake = fakeOf(vistrel);
    const QString file = QString::fromUtf16(u"/tmp/Grüße 𝄞/a,b.pdf");
    EXPECT_EQ(vistrel.open(file, "pass word"), S_OK);
    EXPECT_EQ(vistrel.filename(), file);
    EXPECT_EQ(vistrel.pages(), fake::kPages);
    EXPECT_EQ(vistrel.width(), fake::kWidth);
    EXPECT_EQ(vistrel.height(), fake::kHeight);
    EXPECT_EQ(vistrel.actualWidth(), fake::kActualWidth);
    EXPECT_EQ(vistrel.actualHeight(), fake::kActualHeight);
    EXPECT_EQ(vistrel.infoInStr(), QString::fromUtf16(fake::kInfo));
    EXPECT_EQ(vistrel.securityInfoInStr(), QString::fromUtf16(fake::kSecurityInfo));
    vistrel.setVisibleRect(640, 480);
    EXPECT_EQ(vistrel.render(), S_OK);
    EXPECT_EQ(vistrel.draw(HDC::fromValue(0x80000007u), 1, 2, 300, 400, -5, 6), S_OK);
    ComPtr<ITreeNode> state = vistrel.State();
    ASSERT_TRUE(state);
    EXPECT_EQ(nameOf(state), "Page 1--100%");
    vistrel.setState(state.get());
    ComPtr<ITreeNode> toc = vistrel.root("TOC");
    ASSERT_TRUE(toc);
    EXPECT_EQ(nameOf(toc), "TOC");
    EXPECT_FALSE(vistrel.root("NoSuchTree"));  // the engine answers S_FALSE
    EXPECT_EQ(vistrel.setRoot("BookMarks", toc.get()), S_OK);
    EXPECT_EQ(vistrel.writePDB("out.pdb", state.get()), S_OK);
    vistrel.setWriteMode(BigPDBWriteMode::Normal);
    EXPECT_EQ(vistrel.close(), S_OK);
    EXPECT_EQ(vistrel.filename(), "");
    EXPECT_EQ(takeCalls(fake.get()), QString::fromUtf16(u"open /tmp/Grüße 𝄞/a,b.pdf|pass word\n"
                                                        u"setVisibleRect 640,480\n"
                                                        u"render\n"
                                                        u"draw -2147483641,1,2,300,400,-5,6\n"
                                                        u"State\n"
                                                        u"State put Page 1--100%\n"
                                                        u"root TOC\n"
                                                        u"root NoSuchTree\n"
                                                        u"root put BookMarks TOC\n"
                                                        u"writePDB out.pdb Page 1--100%\n"
                                                        u"writeMode 1\n"
                                                        u"close\n"));
    EXPECT_TRUE(boxes.shown.empty());
}

// Checked calls raise EngineError for a failing result and let S_FALSE
// pass; the others hand every result to the caller.
TEST_F(Binding, FailingResults) {
    TVistrel vistrel;
    ComPtr<IFakeEngine> fake = fakeOf(vistrel);
    ComPtr<ITreeNode> node = vistrel.State();
    struct Case {
        DISPID member;
        bool checked;
        std::function<HRESULT()> call;  // unchecked calls give their result
    };
    auto checked = [](const std::function<void()>& f) {
        return [f] {
            f();
            return S_OK;
        };
    };
    const Case cases[] = {
        {VistrelDispid::open, false, [&] { return vistrel.open("a.pdf", ""); }},
        {VistrelDispid::close, false, [&] { return vistrel.close(); }},
        {VistrelDispid::render, false, [&] { return vistrel.render(); }},
        {VistrelDispid::draw, false,
         [&] { return vistrel.draw(HDC::fromValue(1), 0, 0, 1, 1, 0, 0); }},
        {VistrelDispid::writePDB, false, [&] { return vistrel.writePDB("x.pdb", node.get()); }},
        {VistrelDispid::root, false, [&] { return vistrel.setRoot("BookMarks", node.get()); }},
        {VistrelDispid::State, true, checked([&] { vistrel.State(); })},
        {VistrelDispid::State, true, checked([&] { vistrel.setState(node.get()); })},
        {VistrelDispid::width, true, checked([&] { vistrel.width(); })},
        {VistrelDispid::height, true, checked([&] { vistrel.height(); })},
        {VistrelDispid::pages, true, checked([&] { vistrel.pages(); })},
        {VistrelDispid::setVisibleRect, true, checked([&] { vistrel.setVisibleRect(1, 1); })},
        {VistrelDispid::filename, true, checked([&] { vistrel.filename(); })},
        {VistrelDispid::infoInStr, true, checked([&] { vistrel.infoInStr(); })},
        {VistrelDispid::actualWidth, true, checked([&] { vistrel.actualWidth(); })},
        {VistrelDispid::actualHeight, true, checked([&] { vistrel.actualHeight(); })},
        {VistrelDispid::securityInfoInStr, true, checked([&] { vistrel.securityInfoInStr(); })},
        {VistrelDispid::writeMode, true,
         checked([&] { vistrel.setWriteMode(BigPDBWriteMode::NotWrite); })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        for (HRESULT hr : {S_FALSE, E_ACCESSDENIED, E_FAIL}) {
            fake->setResult(c.member, hr);
            if (!c.checked) {
                EXPECT_EQ(c.call(), hr);
            } else if (SUCCEEDED(hr)) {
                EXPECT_NO_THROW(c.call());
            } else {
                try {
                    c.call();
                    ADD_FAILURE() << "no error";
                } catch (const EngineError& e) {
                    EXPECT_EQ(e.result(), hr);
                }
            }
        }
        fake->setResult(c.member, S_OK);
    }
    // A failing `root` get gives no node and no error.
    fake->setResult(VistrelDispid::root, E_FAIL);
    EXPECT_FALSE(vistrel.root("TOC"));
}

TEST_F(Binding, EventsReachTheirHandlersWithConvertedArguments) {
    TVistrel vistrel;
    ComPtr<IFakeEngine> fake = fakeOf(vistrel);
    std::vector<std::string> seen;
    auto note = [&](std::string s) { seen.push_back(std::move(s)); };
    auto n = [](auto v) { return std::to_string(v); };
    vistrel.OnstartProgressIndicator = [&](TVistrel* s) { note(s == &vistrel ? "start" : "?"); };
    vistrel.OnsetProgressIndicator = [&](TVistrel*, SHORT p) { note("set " + n(p)); };
    vistrel.OnstopProgressIndicator = [&](TVistrel*) { note("stop"); };
    vistrel.OnchangePage = [&](TVistrel*, LONG page) { note("page " + n(page)); };
    vistrel.OnchangeOffset = [&](TVistrel*, LONG x, LONG y) {
        note("offset " + n(x) + "," + n(y));
    };
    vistrel.OnchangeZoom = [&](TVistrel*, double z) { note("zoom " + n(z)); };
    vistrel.OnfitWindow = [&](TVistrel*) { note("fitWindow"); };
    vistrel.OnfitWidth = [&](TVistrel*, LONG y) { note("fitWidth " + n(y)); };
    vistrel.OnfitHeight = [&](TVistrel*, LONG x) { note("fitHeight " + n(x)); };
    vistrel.OnfitRectangle = [&](TVistrel*, LONG x, LONG y, LONG w, LONG h) {
        note("fitRectangle " + n(x) + "," + n(y) + "," + n(w) + "," + n(h));
    };
    vistrel.OnpdbRecordsLimitExceeded = [&](TVistrel*) { note("limit"); };

    VARIANT zoom;
    zoom.vt = VT_R8;
    zoom.dblVal = 1.5;
    VARIANT half;
    half.vt = VT_R8;
    half.dblVal = 12.5;
    VARIANT percent;
    percent.vt = VT_I2;
    percent.iVal = 75;
    struct Event {
        DISPID id;
        std::vector<VARIANT> arguments;  // declaration order
    };
    Event events[] = {
        {1, {}},
        {2, {longValue(40)}},
        {2, {percent}},
        {3, {}},
        {4, {longValue(7)}},
        {4, {textValue(u"12")}},
        {5, {longValue(-3), textValue(u"250")}},
        {6, {zoom}},
        {6, {longValue(2)}},
        {7, {}},
        {8, {half}},  // reals round half to even
        {9, {longValue(30)}},
        {10, {longValue(1), longValue(2), longValue(3), longValue(4)}},
        {11, {}},
        // Ignored: unknown ids, arguments that do not convert or are missing.
        {0, {}},
        {12, {longValue(1)}},
        {-1, {}},
        {4, {textValue(u"abc")}},
        {5, {longValue(1)}},
        {2, {longValue(40000)}},
    };
    for (Event& e : events) {
        fake->fire(e.id, e.arguments.data(), UINT(e.arguments.size()));
        for (VARIANT& v : e.arguments)
            VariantClear(&v);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"start", "set 40", "set 75", "stop", "page 7",
                                              "page 12", "offset -3,250", "zoom 1.500000",
                                              "zoom 2.000000", "fitWindow", "fitWidth 12",
                                              "fitHeight 30", "fitRectangle 1,2,3,4", "limit"}));

    // Empty slots ignore their events; a disconnected binding gets none.
    seen.clear();
    vistrel.OnchangePage = nullptr;
    VARIANT page = longValue(2);
    fake->fire(4, &page, 1);
    fake->fire(7, nullptr, 0);
    vistrel.Disconnect();
    fake->fire(7, nullptr, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"fitWindow"}));
    EXPECT_TRUE(boxes.shown.empty());
}

// An error raised by a handler does not pass back through the engine: the
// engine call that fired the event raises it once the engine returns.
TEST_F(Binding, HandlerErrorsComeBackFromTheEngineCall) {
    TVistrel vistrel;
    ComPtr<IFakeEngine> fake = fakeOf(vistrel);
    std::vector<std::string> seen;
    vistrel.OnstartProgressIndicator = [&](TVistrel* v) {
        seen.push_back("start");
        v->pages();  // a call back into the engine, which fails below
    };
    vistrel.OnsetProgressIndicator = [&](TVistrel*, SHORT) {
        seen.push_back("set");
        throw std::runtime_error("from the handler");
    };
    vistrel.OnstopProgressIndicator = [&](TVistrel*) { seen.push_back("stop"); };

    try {
        vistrel.render();
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "from the handler");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"start", "set", "stop"}));

    // The first error wins; a failing call back inside a handler is one.
    fake->setResult(VistrelDispid::pages, E_FAIL);
    try {
        vistrel.render();
        ADD_FAILURE() << "no error";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.result(), E_FAIL);
    }
    fake->setResult(VistrelDispid::pages, S_OK);
    vistrel.OnsetProgressIndicator = nullptr;
    EXPECT_EQ(vistrel.render(), S_OK);

    // Outside any engine call the default error handler takes it.
    vistrel.OnsetProgressIndicator = [](TVistrel*, SHORT) { throw EngineError(E_ACCESSDENIED); };
    VARIANT one = longValue(1);
    fake->fire(2, &one, 1);
    EXPECT_EQ(boxes.texts(), (std::vector<QString>{"Access is denied (0x80070005)"}));
}

}  // namespace
}  // namespace brevant
