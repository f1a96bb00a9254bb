// libvistrel.so as a host meets it: registration, a TreeNode created by class
// id and called early- and late-bound, the unload once nothing of the
// library is alive, and loads and unloads one after another that leave the
// host's size as it was (the sanitizer build checks that the unload leaks
// nothing: the engine's constants and its memory go with the library).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <malloc.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "tests/support/class_registration.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_config_home.h"
#include "typelib/vistrel_typelib.h"

namespace {

using namespace win;
using namespace VISTRELLib;
using vistrel::test::classesText;
using vistrel::test::runRegsvr;

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::u16string take(BSTR text) {
    std::u16string out(text ? text : u"", SysStringLen(text));
    SysFreeString(text);
    return out;
}

bool libraryLoaded() {
    void* handle = dlopen(VISTREL_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

// The host's part runs on a thread of its own, whose stack is gone before
// the leak check at exit: no stale copy of a pointer the library held can
// hide a leak there.
void hostRegistersCreatesAndUnloads();

TEST(EngineLibrary, RegisteredTreeNodeIsCreatedByClassIdAndTheLibraryUnloads) {
    vistrel::test::TempConfigHome home;
    std::thread host(hostRegistersCreatesAndUnloads);
    host.join();
}

void hostMakesTheControlAsTheViewerDoes();

TEST(EngineLibrary, ControlIsCreatedByClassIdAndDrawsIntoTheHostsContext) {
    vistrel::test::TempConfigHome home;
    std::thread host(hostMakesTheControlAsTheViewerDoes);
    host.join();
}

#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Resident pages of the process, once malloc has given back what it can.
long residentPages() {
    malloc_trim(0);
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident;
}

// One round of a host: loads the library, opens and renders the sample, and
// unloads the library again.
void hostLoadsUsesAndUnloads() {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        void* raw = nullptr;
        ASSERT_EQ(
            CoCreateInstance(CLSID_Vistrel, nullptr, CLSCTX_INPROC_SERVER, IID_IVistrel, &raw),
            S_OK);
        auto vistrel = ComPtr<IVistrel>::adopt(static_cast<IVistrel*>(raw));
        const std::u16string file = wide(VISTREL_FIXTURE_DIR "/sample.pdf");
        BSTR name = SysAllocString(file.c_str());
        EXPECT_EQ(vistrel->open(name, nullptr), S_OK);
        SysFreeString(name);
        EXPECT_EQ(vistrel->render(), S_OK);
    }
    CoUninitialize();
}

// Fifty rounds, each on a thread of its own (which takes its cache of freed
// blocks with it), every thread allocating from malloc's one main arena: from
// the first unload on the host's resident size stays within a few pages,
// since the engine's memory pool and allocators go with the library. (Under
// AddressSanitizer freed memory is held back for a while; there the leak
// check at exit tells.)
TEST(EngineLibrary, LoadedUsedAndUnloadedFiftyTimesTheHostKeepsItsSize) {
    mallopt(M_ARENA_MAX, 1);
    vistrel::test::TempConfigHome home;
    ASSERT_EQ(runRegsvr(VISTREL_REGSVR, VISTREL_LIBRARY), 0);
    long afterFirst = 0;
    for (int round = 1; round <= 50; ++round) {
        SCOPED_TRACE(round);
        std::thread host(hostLoadsUsesAndUnloads);
        host.join();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_FALSE(libraryLoaded());
        if (round == 1)
            afterFirst = residentPages();
    }
    if (!kSanitized) {
        EXPECT_LE(residentPages() - afterFirst, 4);
    }
    ASSERT_EQ(runRegsvr(VISTREL_REGSVR, std::string("-u ") + VISTREL_LIBRARY), 0);
}

void hostMakesTheControlAsTheViewerDoes() {
    ASSERT_EQ(runRegsvr(VISTREL_REGSVR, VISTREL_LIBRARY), 0);
    const std::u16string id = u"{873C87C3-7F1B-4D98-B966-0C8CABFDC651}";
    const struct {
        std::u16string key;
        std::u16string text;
    } written[] = {
        {u"CLSID\\" + id, u"Vistrel Class"},
        {u"CLSID\\" + id + u"\\ProgID", u"VistrelLib.Vistrel.1"},
        {u"CLSID\\" + id + u"\\VersionIndependentProgID", u"VistrelLib.Vistrel"},
        {u"VistrelLib.Vistrel.1\\CLSID", id},
        {u"VistrelLib.Vistrel\\CLSID", id},
        {u"VistrelLib.Vistrel\\CurVer", u"VistrelLib.Vistrel.1"},
    };
    for (const auto& w : written)
        EXPECT_EQ(classesText(w.key.c_str()), w.text) << std::string(w.key.begin(), w.key.end());

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        // Class context 5 and IUnknown, the event sink on the connection
        // point, IVistrel by QueryInterface.
        void* raw = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_Vistrel, nullptr,
                                   CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown, &raw),
                  S_OK);
        auto unknown = ComPtr<IUnknown>::adopt(static_cast<IUnknown*>(raw));
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(unknown.query(IID_IConnectionPointContainer, container), S_OK);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(DIID__IVistrelEvents, point.put()), S_OK);
        ComModule hostModule;
        std::vector<vistrel::test::SinkCall> log;
        auto sink =
            ComObject<vistrel::test::RecordingSink>::create(hostModule, DIID__IVistrelEvents);
        sink->log = &log;
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
        ComPtr<IVistrel> vistrel;
        ASSERT_EQ(unknown.query(IID_IVistrel, vistrel), S_OK);

        const std::u16string file = wide(VISTREL_FIXTURE_DIR "/sample.pdf");
        BSTR name = SysAllocString(file.c_str());
        EXPECT_EQ(vistrel->open(name, nullptr), S_OK);
        SysFreeString(name);
        EXPECT_EQ(vistrel->render(), S_OK);
        EXPECT_FALSE(log.empty());  // progress
        LONG width = 0, height = 0;
        vistrel->get_width(&width);
        vistrel->get_height(&height);
        EXPECT_GT(width, 0);
        // A context this host made is one the engine can draw into.
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, 8, 8);
        HGDIOBJ old = SelectObject(dc, bitmap);
        EXPECT_EQ(vistrel->draw(LONG(dc.value), 0, 0, 8, 8, 0, 0), S_OK);
        EXPECT_EQ(GetPixel(dc, 0, 0), 0xFFFFFFu);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        // Type 3 text: glyph procedures run, and the fonts the registry made
        // go with the document or, at the latest, with the library.
        const std::u16string type3 = wide(VISTREL_FIXTURE_DIR "/render/type3.pdf");
        name = SysAllocString(type3.c_str());
        EXPECT_EQ(vistrel->open(name, nullptr), S_OK);
        SysFreeString(name);
        EXPECT_EQ(vistrel->render(), S_OK);
        EXPECT_EQ(point->Unadvise(cookie), S_OK);
    }
    // The control gives back what it made in the shared handle table.
    EXPECT_EQ(LiveObjectCount(HandleKind::DC), 0u);
    EXPECT_EQ(LiveObjectCount(HandleKind::Bitmap), 0u);
    CoUninitialize();
    EXPECT_FALSE(libraryLoaded());
    ASSERT_EQ(runRegsvr(VISTREL_REGSVR, std::string("-u ") + VISTREL_LIBRARY), 0);
}

void hostRegistersCreatesAndUnloads() {
    ASSERT_EQ(runRegsvr(VISTREL_REGSVR, VISTREL_LIBRARY), 0);
    char resolved[PATH_MAX];
    ASSERT_TRUE(realpath(VISTREL_LIBRARY, resolved));

    const std::u16string id = u"{0A76D28C-1620-42BC-9A55-34491C527002}";
    const std::u16string classKey = u"CLSID\\" + id;
    const std::u16string server = classKey + u"\\InprocServer32";
    const std::u16string typeLib = u"TypeLib\\{BA7576B0-49B0-4272-A3E9-CE7A1989A63F}\\1.0";
    const struct {
        std::u16string key;
        const char16_t* name;
        std::u16string text;
    } written[] = {
        {server, nullptr, wide(resolved)},
        {server, u"ThreadingModel", u"Apartment"},
        {classKey + u"\\ProgID", nullptr, u"VistrelLib.TreeNode.1"},
        {classKey + u"\\TypeLib", nullptr, u"{BA7576B0-49B0-4272-A3E9-CE7A1989A63F}"},
        {u"VistrelLib.TreeNode.1\\CLSID", nullptr, id},
        {typeLib, nullptr, u"Vistrel 1.0 Type Library"},
    };
    for (const auto& w : written)
        EXPECT_EQ(classesText(w.key.c_str(), w.name), w.text)
            << std::string(w.key.begin(), w.key.end());

    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    void* raw = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_TreeNode, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                               IID_ITreeNode, &raw),
              S_OK);
    auto node = ComPtr<ITreeNode>::adopt(static_cast<ITreeNode*>(raw));

    TreeNodeType type = TreeNodeType::TOC;
    EXPECT_EQ(node->get_type(&type), S_OK);
    EXPECT_EQ(type, TreeNodeType::State);
    BSTR text = nullptr;
    ASSERT_EQ(node->get_name(&text), S_OK);
    EXPECT_EQ(take(text), u"Page 1--100%");
    ASSERT_EQ(node->get_stateInStr(&text), S_OK);
    EXPECT_EQ(take(text), u"0,0,1,1.000000,4,4,0");

    // Late-bound: the member names give the type library's ids.
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(node.query(IID_IDispatch, dispatch), S_OK);
    const struct {
        const char16_t* name;
        DISPID id;
    } ids[] = {{u"type", 1}, {u"kid", 8}, {u"ID", 13}, {u"stateInStr", 15}, {u"wordInfoInStr", 23}};
    for (const auto& c : ids) {
        std::u16string name = c.name;
        LPOLESTR names[] = {name.data()};
        DISPID found = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &found), S_OK);
        EXPECT_EQ(found, c.id);
    }
    VARIANT name{};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(dispatch->Invoke(TreeNodeDispid::name, IID_NULL, LOCALE_USER_DEFAULT,
                               DISPATCH_PROPERTYGET, &none, &name, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(name.vt, VT_BSTR);
    EXPECT_EQ(take(name.bstrVal), u"Page 1--100%");

    // A kid is a node of the library too.
    ASSERT_EQ(node->addKid(node.get()), S_OK);
    ComPtr<ITreeNode> kid;
    ASSERT_EQ(node->get_kid(1, kid.put()), S_OK);

    // The library stays while a node lives; only its four functions leave it.
    void* library = dlopen(VISTREL_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    auto canUnload = reinterpret_cast<DllCanUnloadNowFunction>(dlsym(library, "DllCanUnloadNow"));
    EXPECT_EQ(dlsym(library, "_ZN7vistrel15engineConstantsEv"), nullptr);
    dlclose(library);
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    node.reset();
    dispatch.reset();
    EXPECT_EQ(canUnload(), S_FALSE);  // the kid outlives its parent
    kid.reset();
    EXPECT_EQ(canUnload(), S_OK);

    CoUninitialize();
    EXPECT_FALSE(libraryLoaded());

    ASSERT_EQ(runRegsvr(VISTREL_REGSVR, std::string("-u ") + VISTREL_LIBRARY), 0);
    for (const auto& w : written)
        EXPECT_EQ(classesText(w.key.c_str(), w.name), u"(missing)");
}

}  // namespace
