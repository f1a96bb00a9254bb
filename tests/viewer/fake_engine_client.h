// The host side of the fake engine: a scratch registry store with the fake
// registered and COM initialised for one test, and the fake's own
// interface behind a binding.
#pragma once

#include <gtest/gtest.h>

#include <QString>

#include "platform/com/com.h"
#include "tests/support/class_registration.h"
#include "tests/support/temp_config_home.h"
#include "tests/viewer/fake_engine.h"
#include "viewer/app/vistrel_binding.h"
#include "viewer/components/message_test_util.h"

namespace brevant::testing {

class FakeEngineTest : public ::testing::Test {
protected:
    vistrel::test::TempConfigHome home;
    ScriptedMessages boxes;

    void SetUp() override {
        ASSERT_EQ(vistrel::test::runRegsvr(VISTREL_REGSVR, BREVANT_FAKE_ENGINE), 0);
        ASSERT_EQ(win::CoInitialize(nullptr), win::S_OK);
    }
    void TearDown() override { win::CoUninitialize(); }
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
