#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/com/com.h"
#include "platform/registry/registry.h"
#include "tests/com/sample_class.h"
#include "tests/support/class_registration.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_config_home.h"

namespace {

using namespace win;
using vistrel::test::classesText;
using vistrel::test::RecordingSink;
using vistrel::test::SinkCall;
using vistrel::test::TempConfigHome;

int regsvr(const std::string& arguments) {
    return vistrel::test::runRegsvr(VISTREL_REGSVR, arguments);
}

std::string absolute(const char* path) {
    char resolved[PATH_MAX];
    return realpath(path, resolved) ? resolved : "";
}

void setClassesText(const char16_t* keyPath, std::u16string_view text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                             DWORD((text.size() + 1) * 2)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::u16string wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

const char16_t* const kServerKey = u"CLSID\\{3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E01}\\InprocServer32";

// Whether the sample library is loaded in this process now.
bool sampleLoaded() {
    void* handle = dlopen(VISTREL_SAMPLE_SERVER, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

class ComServer : public ::testing::Test {
protected:
    TempConfigHome home;
    ComModule hostModule;  // counts the test's own sinks

    void TearDown() override { EXPECT_EQ(hostModule.lockCount(), 0); }

    ComPtr<ComObject<RecordingSink>> sink(const std::string& name, std::vector<SinkCall>* log) {
        auto s = ComObject<RecordingSink>::create(hostModule, sample::DIID_SampleEvents);
        s->name = name;
        s->log = log;
        return s;
    }
};

TEST_F(ComServer, RegistrationWritesAndRemovesTheClassKeys) {
    ASSERT_EQ(regsvr(VISTREL_SAMPLE_SERVER), 0);
    const std::u16string id = u"{3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E01}";
    const std::u16string classKey = u"CLSID\\" + id;
    struct Expected {
        std::u16string key;
        const char16_t* name;
        std::u16string text;
    };
    const Expected written[] = {
        {classKey, nullptr, u"Sample Class"},
        {kServerKey, nullptr, wide(absolute(VISTREL_SAMPLE_SERVER))},
        {kServerKey, u"ThreadingModel", u"Apartment"},
        {classKey + u"\\ProgID", nullptr, u"VistrelTest.Sample.1"},
        {classKey + u"\\VersionIndependentProgID", nullptr, u"VistrelTest.Sample"},
        {classKey + u"\\TypeLib", nullptr, u"{3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E04}"},
        {u"VistrelTest.Sample.1", nullptr, u"Sample Class"},
        {u"VistrelTest.Sample.1\\CLSID", nullptr, id},
        {u"VistrelTest.Sample\\CLSID", nullptr, id},
        {u"VistrelTest.Sample\\CurVer", nullptr, u"VistrelTest.Sample.1"},
        {u"TypeLib\\{3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E04}\\1.0", nullptr,
         u"Sample 1.0 Type Library"},
    };
    for (const Expected& e : written)
        EXPECT_EQ(classesText(e.key.c_str(), e.name), e.text)
            << std::string(e.key.begin(), e.key.end());

    ASSERT_EQ(regsvr(std::string("-u ") + VISTREL_SAMPLE_SERVER), 0);
    for (const Expected& e : written)
        EXPECT_EQ(classesText(e.key.c_str(), e.name), u"(missing)");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"TypeLib\\{3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E04}",
                            0, KEY_READ, &key),
              LONG(ERROR_FILE_NOT_FOUND));

    // A file that is no library, and a library with no registration entry.
    EXPECT_EQ(regsvr("/nonexistent/libnothing.so"), 1);
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&RegOpenKeyExW), &info), 0);
    EXPECT_EQ(regsvr(info.dli_fname), 1);
    EXPECT_EQ(regsvr(""), 2);
}

// Created by class id, exactly as a host creates the engine.
TEST_F(ComServer, HostCreatesAdvisesAndReceivesEvents) {
    ASSERT_EQ(regsvr(VISTREL_SAMPLE_SERVER), 0);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        void* raw = nullptr;
        ASSERT_EQ(CoCreateInstance(sample::CLSID_Sample, nullptr,
                                   CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown, &raw),
                  S_OK);
        auto object = ComPtr<IUnknown>::adopt(static_cast<IUnknown*>(raw));
        ComPtr<sample::ISample> engine;
        ComPtr<IDispatch> dispatch;
        ComPtr<IConnectionPointContainer> container;
        ComPtr<IClassFactory> none;
        ASSERT_EQ(object.query(sample::IID_ISample, engine), S_OK);
        ASSERT_EQ(object.query(IID_IDispatch, dispatch), S_OK);
        ASSERT_EQ(object.query(IID_IConnectionPointContainer, container), S_OK);
        EXPECT_EQ(object.query(IID_IClassFactory, none), E_NOINTERFACE);
        ComPtr<IUnknown> identity;
        ASSERT_EQ(container.query(IID_IUnknown, identity), S_OK);
        EXPECT_EQ(identity, object);

        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(sample::DIID_SampleEvents, point.put()), S_OK);
        std::vector<SinkCall> log;
        auto first = sink("first", &log), second = sink("second", &log);
        DWORD firstCookie = 0, secondCookie = 0;
        ASSERT_EQ(point->Advise(static_cast<IDispatch*>(first.get()), &firstCookie), S_OK);
        ASSERT_EQ(point->Advise(static_cast<IDispatch*>(second.get()), &secondCookie), S_OK);

        // Every event reaches both sinks, in advise order, arguments last first.
        ASSERT_EQ(engine->fire(5, 10, 250), S_OK);
        ASSERT_EQ(engine->fire(7, 0, 0), S_OK);
        EXPECT_EQ(log, (std::vector<SinkCall>{{"first", 5, {250, 10}},
                                              {"second", 5, {250, 10}},
                                              {"first", 7, {0, 0}},
                                              {"second", 7, {0, 0}}}));

        // The first sink unadvises itself while the event is fired; the
        // second answers the event by calling back into the object.
        log.clear();
        first->during = [&] { EXPECT_EQ(point->Unadvise(firstCookie), S_OK); };
        second->during = [&] { EXPECT_EQ(engine->put_value(1), S_OK); };
        ASSERT_EQ(engine->fire(11, 0, 0), S_OK);
        LONG value = 0;
        EXPECT_EQ(engine->get_value(&value), S_OK);
        EXPECT_EQ(value, 1);
        ASSERT_EQ(engine->fire(4, 3, 0), S_OK);
        EXPECT_EQ(log, (std::vector<SinkCall>{
                           {"first", 11, {0, 0}}, {"second", 11, {0, 0}}, {"second", 4, {0, 3}}}));
        EXPECT_EQ(point->Unadvise(secondCookie), S_OK);

        // The library stays while its object lives.
        void* loaded = dlopen(VISTREL_SAMPLE_SERVER, RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(loaded, nullptr);
        auto canUnload =
            reinterpret_cast<DllCanUnloadNowFunction>(dlsym(loaded, "DllCanUnloadNow"));
        dlclose(loaded);  // still held by the class creation
        ASSERT_NE(canUnload, nullptr);
        EXPECT_EQ(canUnload(), S_FALSE);
        CoInitialize(nullptr);  // a nested apartment call ...
        CoUninitialize();       // ... that does not end it unloads nothing
        EXPECT_TRUE(sampleLoaded());
        point.reset();
        container.reset();
        dispatch.reset();
        engine.reset();
        identity.reset();
        object.reset();
        EXPECT_EQ(canUnload(), S_OK);
    }
    // The apartment's end unloads the library that has nothing alive.
    EXPECT_TRUE(sampleLoaded());
    CoUninitialize();
    EXPECT_FALSE(sampleLoaded());
}

TEST_F(ComServer, CreationFailures) {
    void* raw = &raw;
    EXPECT_EQ(
        CoCreateInstance(sample::CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &raw),
        CO_E_NOTINITIALIZED);
    EXPECT_EQ(raw, nullptr);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);

    struct Case {
        const char* what;
        std::string library;  // registered for the class; empty: nothing registered
        DWORD context;
        IUnknown* outer;
        IID iid;
        HRESULT expected;
    };
    // A library that was registered and then removed.
    std::filesystem::path removed = home.path() / "libremoved.so";
    std::filesystem::copy_file(VISTREL_SAMPLE_SERVER, removed);
    ASSERT_EQ(regsvr(removed.string()), 0);
    EXPECT_EQ(classesText(kServerKey), wide(removed.string()));
    std::filesystem::remove(removed);
    Dl_info registryLibrary{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&RegOpenKeyExW), &registryLibrary), 0);

    // The same library by a path longer than the usual ones.
    ASSERT_EQ(registryLibrary.dli_fname[0], '/');
    std::string longPath;
    for (int i = 0; i < 400; ++i)
        longPath += "/.";
    longPath += registryLibrary.dli_fname;

    IUnknown* outer = reinterpret_cast<IUnknown*>(&raw);  // never called: aggregation is refused
    const Case cases[] = {
        {"not registered", "", CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {"library removed", removed.string(), CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown,
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        {"no DllGetClassObject", registryLibrary.dli_fname, CLSCTX_INPROC_SERVER, nullptr,
         IID_IUnknown, CO_E_ERRORINDLL},
        {"no DllGetClassObject, long path", longPath, CLSCTX_INPROC_SERVER, nullptr, IID_IUnknown,
         CO_E_ERRORINDLL},
        {"local server only", VISTREL_SAMPLE_SERVER, CLSCTX_LOCAL_SERVER, nullptr, IID_IUnknown,
         REGDB_E_CLASSNOTREG},
        {"aggregation", VISTREL_SAMPLE_SERVER, CLSCTX_INPROC_SERVER, outer, IID_IUnknown,
         CLASS_E_NOAGGREGATION},
        {"no such interface", VISTREL_SAMPLE_SERVER, CLSCTX_INPROC_SERVER, nullptr,
         IID_IClassFactory, E_NOINTERFACE},
    };
    // A preload changes none of the failures: not when it has ended before
    // the creation, nor while it may still be loading.
    enum class Preload { None, Ended, Running };
    for (Preload preload : {Preload::None, Preload::Ended, Preload::Running}) {
        for (const Case& c : cases) {
            RegDeleteKeyW(HKEY_CLASSES_ROOT, kServerKey);
            if (!c.library.empty())
                setClassesText(kServerKey, wide(c.library));
            std::optional<InprocServerPreload> loading;
            if (preload != Preload::None)
                loading.emplace(sample::CLSID_Sample);
            if (preload == Preload::Ended)
                loading.reset();
            raw = &raw;
            EXPECT_EQ(CoCreateInstance(sample::CLSID_Sample, c.outer, c.context, c.iid, &raw),
                      c.expected)
                << c.what << ", preload " << int(preload);
            EXPECT_EQ(raw, nullptr) << c.what << ", preload " << int(preload);
        }
    }
    CoUninitialize();
    EXPECT_FALSE(sampleLoaded());
}

// The library a preload loaded is the one creation uses: loaded once, so the
// apartment's end unloads it, whether the preload ended before the creation
// or the creation waited for it.
TEST_F(ComServer, PreloadedLibraryServesCreation) {
    ASSERT_EQ(regsvr(VISTREL_SAMPLE_SERVER), 0);
    for (bool ended : {true, false}) {
        std::optional<InprocServerPreload> loading(std::in_place, sample::CLSID_Sample);
        if (ended) {
            loading.reset();
            EXPECT_TRUE(sampleLoaded());
        }
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        void* raw = nullptr;
        ASSERT_EQ(
            CoCreateInstance(sample::CLSID_Sample, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &raw),
            S_OK);
        static_cast<IUnknown*>(raw)->Release();
        loading.reset();
        CoUninitialize();
        EXPECT_FALSE(sampleLoaded()) << (ended ? "ended" : "running");
    }
}

}  // namespace
