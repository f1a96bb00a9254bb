// The host side of the fake engine: the fake registered for one test, and
// the fake's own interface behind a binding.
#pragma once

#include <gtest/gtest.h>

#include <QString>

#include "platform/com/com.h"
#include "tests/viewer/fake_engine.h"
#include "tests/viewer/registered_engine.h"
#include "viewer/app/vistrel_binding.h"

namespace brevant::testing {

class FakeEngineTest : public RegisteredEngineTest {
protected:
    FakeEngineTest() : RegisteredEngineTest(BREVANT_FAKE_ENGINE) {}
};

inline win::ComPtr<fake::IFakeEngine> fakeOf(TVistrel& vistrel) {
    win::ComPtr<fake::IFakeEngine> fake;
    EXPECT_EQ(vistrel.GetDefaultInterface().query(fake::IID_IFakeEngine, fake), win::S_OK);
    return fake;
}

// The calls the fake saw since the last look, one line each.
inline QString takeCalls(fake::IFakeEngine* engine) {
    win::BSTR calls = nullptr;
    engine->takeCalls(&calls);
    QString text = QString::fromUtf16(calls, win::SysStringLen(calls));
    win::SysFreeString(calls);
    return text;
}

}  // namespace brevant::testing
