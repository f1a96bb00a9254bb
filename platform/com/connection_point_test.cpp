#include "platform/com/connection_point.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/server_module.h"
#include "tests/support/recording_sink.h"

namespace win {
namespace {

// {5F0C2B1E-33A4-4E1B-9C55-8B7A0D7B1C01}
constexpr IID kEvents = {
    0x5F0C2B1E, 0x33A4, 0x4E1B, {0x9C, 0x55, 0x8B, 0x7A, 0x0D, 0x7B, 0x1C, 0x01}};

class Source : public IConnectionPointContainer {
public:
    ConnectionPoint point{*this, kEvents};

    HRESULT EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** found) override {
        return point.find(iid, found);
    }
    IUnknown* interfaceFor(REFIID iid) {
        return iid == IID_IUnknown || iid == IID_IConnectionPointContainer ? this : nullptr;
    }
};

using Call = vistrel::test::SinkCall;
using Sink = vistrel::test::RecordingSink;

class ConnectionPointTest : public ::testing::Test {
protected:
    ComModule module;
    std::vector<Call> log;
    ComPtr<ComObject<Source>> source = ComObject<Source>::create(module);

    ComPtr<ComObject<Sink>> sink(const std::string& name) {
        auto s = ComObject<Sink>::create(module, kEvents);
        s->name = name;
        s->log = &log;
        return s;
    }
    DWORD advise(const ComPtr<ComObject<Sink>>& s) {
        DWORD cookie = 0;
        EXPECT_EQ(source->point.Advise(static_cast<IDispatch*>(s.get()), &cookie), S_OK);
        return cookie;
    }
    void fire(DISPID member) { source->point.fire(member); }

    void TearDown() override {
        source.reset();
        EXPECT_EQ(module.lockCount(), 0);  // sinks released with the source
    }
};

TEST_F(ConnectionPointTest, ArgumentsGoLastFirstAndAreClearedAfterTheLastSink) {
    auto a = sink("a"), b = sink("b");
    advise(a);
    advise(b);
    VARIANT arguments[2];
    arguments[0].vt = VT_BSTR;  // y
    arguments[0].bstrVal = SysAllocString(u"20");
    arguments[1].vt = VT_I4;  // x
    arguments[1].lVal = 10;
    source->point.fire(5, arguments, 2);
    EXPECT_EQ(log, (std::vector<Call>{{"a", 5, {20, 10}}, {"b", 5, {20, 10}}}));
    EXPECT_EQ(arguments[0].vt, VT_EMPTY);
    EXPECT_EQ(arguments[1].vt, VT_EMPTY);
}

// Changes to the sink list from inside a call: the slot list may grow
// (and move) or lose entries while it is being walked.
TEST_F(ConnectionPointTest, SinksChangingTheListDuringAnEvent) {
    auto a = sink("a"), b = sink("b"), c = sink("c");
    DWORD ca = advise(a), cb = advise(b), cc = advise(c);
    std::vector<ComPtr<ComObject<Sink>>> added;

    a->during = [&] { EXPECT_EQ(source->point.Unadvise(ca), S_OK); };  // itself
    b->during = [&] { EXPECT_EQ(source->point.Unadvise(cc), S_OK); };  // one not yet called
    fire(1);
    EXPECT_EQ(log, (std::vector<Call>{{"a", 1, {}}, {"b", 1, {}}}));

    log.clear();
    b->during = [&] {
        // New sinks while the list is walked; the last lands past the end.
        for (int i = 0; i < 40; ++i)
            advise(added.emplace_back(sink("n" + std::to_string(i))));
        b->during = nullptr;
    };
    a.reset();  // its only reference left with its slot
    c.reset();
    fire(2);
    // n0 takes a's slot, already passed, and waits for the next event; n1
    // takes c's slot and the others are appended: all of those are reached.
    ASSERT_EQ(log.size(), 40u);
    EXPECT_EQ(log[0], (Call{"b", 2, {}}));
    EXPECT_EQ(log[1], (Call{"n1", 2, {}}));
    EXPECT_EQ(log[39], (Call{"n39", 2, {}}));
    EXPECT_EQ(source->point.connectionCount(), 41u);
    EXPECT_EQ(source->point.Unadvise(cb), S_OK);
    for (DWORD cookie = 1; cookie <= 42; ++cookie)
        source->point.Unadvise(cookie);
    EXPECT_EQ(source->point.connectionCount(), 0u);
}

// A sink that calls back into the object, which fires again: events stay
// synchronous and in order, and a failing sink does not stop the others.
TEST_F(ConnectionPointTest, CallbacksNestAndFailuresAreIgnored) {
    auto a = sink("a"), b = sink("b");
    advise(a);
    advise(b);
    a->answer = E_FAIL;
    a->during = [&] {
        a->during = nullptr;
        fire(2);
    };
    fire(1);
    EXPECT_EQ(log, (std::vector<Call>{{"a", 1, {}}, {"a", 2, {}}, {"b", 2, {}}, {"b", 1, {}}}));
}

TEST_F(ConnectionPointTest, AdviseUnadviseAndFind) {
    auto a = sink("a"), deaf = sink("deaf");
    deaf->answersEvents = false;
    DWORD cookie = 7;
    EXPECT_EQ(source->point.Advise(static_cast<IDispatch*>(deaf.get()), &cookie),
              CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(source->point.Advise(nullptr, &cookie), E_POINTER);

    DWORD first = advise(a);
    DWORD second = advise(a);
    EXPECT_NE(first, second);
    for (DWORD bad : {DWORD(0), DWORD(99)})
        EXPECT_EQ(source->point.Unadvise(bad), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(source->point.Unadvise(first), S_OK);
    EXPECT_EQ(source->point.Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(advise(a), first);  // the empty slot is taken again
    fire(3);
    EXPECT_EQ(log.size(), 2u);

    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(source->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(source->FindConnectionPoint(kEvents, point.put()), S_OK);
    IID iid{};
    EXPECT_EQ(point->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, kEvents);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(point->GetConnectionPointContainer(container.put()), S_OK);
    EXPECT_EQ(container.get(), static_cast<IConnectionPointContainer*>(source.get()));
    // The point keeps its container alive.
    container.reset();
    source.reset();
    EXPECT_GT(module.lockCount(), 0);
    point.reset();
    a.reset();
    deaf.reset();
    EXPECT_EQ(module.lockCount(), 0);
}

}  // namespace
}  // namespace win
