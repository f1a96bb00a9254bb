#include "platform/com/server_module.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace win {
namespace {

// {0E6A1B52-6F2D-4C8B-A0B4-6D3C5E7F9A11}
constexpr CLSID kThingClass = {
    0x0E6A1B52, 0x6F2D, 0x4C8B, {0xA0, 0xB4, 0x6D, 0x3C, 0x5E, 0x7F, 0x9A, 0x11}};

class Thing : public IDispatch {
public:
    HRESULT GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
    IUnknown* interfaceFor(REFIID iid) {
        return iid == IID_IUnknown || iid == IID_IDispatch ? this : nullptr;
    }
};

const ClassEntry kClasses[] = {
    {&kThingClass, &ClassFactory<Thing>::getClassObject, u"Thing", nullptr, nullptr}};

TEST(ServerModule, ClassFactoryAndUnloadCount) {
    ComModule module;
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(module.getClassObject(kClasses, IID_IDispatch, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.put())),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(module.getClassObject(kClasses, kThingClass, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.put())),
              S_OK);
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);  // the factory itself is alive

    void* object = &module;
    EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(module.lockCount(), 1);  // the refused object is gone again
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), S_OK);
    auto unknown = ComPtr<IUnknown>::adopt(static_cast<IUnknown*>(object));
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(unknown.query(IID_IDispatch, dispatch), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(dispatch.get()), unknown.get());
    EXPECT_EQ(module.lockCount(), 2);

    EXPECT_EQ(factory->LockServer(1), S_OK);
    factory.reset();
    unknown.reset();
    dispatch.reset();
    EXPECT_EQ(module.canUnloadNow(), S_FALSE);  // locked
    // (an unlock needs the factory again)
    ASSERT_EQ(module.getClassObject(kClasses, kThingClass, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.put())),
              S_OK);
    EXPECT_EQ(factory->LockServer(0), S_OK);
    factory.reset();
    EXPECT_EQ(module.canUnloadNow(), S_OK);
}

// Reference counts are changed atomically: threads adding and releasing
// references at once leave the count where it was.
TEST(ServerModule, ReferenceCountsAreAtomic) {
    ComModule module;
    auto thing = ComObject<Thing>::create(module);
    std::vector<std::thread> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100000; ++i) {
                thing->AddRef();
                thing->Release();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(thing->AddRef(), 2u);
    EXPECT_EQ(thing->Release(), 1u);
    thing.reset();
    EXPECT_EQ(module.lockCount(), 0);
}

}  // namespace
}  // namespace win
