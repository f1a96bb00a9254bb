// An engine library registered in a scratch registry store, with COM
// initialised, for one test: the viewer then creates it by class id as it
// creates the engine. Message boxes are answered by a script.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/com/com.h"
#include "tests/support/class_registration.h"
#include "tests/support/temp_config_home.h"
#include "viewer/components/message_test_util.h"

namespace brevant::testing {

class RegisteredEngineTest : public ::testing::Test {
protected:
    explicit RegisteredEngineTest(std::string library) : library_(std::move(library)) {}

    vistrel::test::TempConfigHome home;
    ScriptedMessages boxes;

    void SetUp() override {
        ASSERT_EQ(vistrel::test::runRegsvr(VISTREL_REGSVR, library_), 0);
        ASSERT_EQ(win::CoInitialize(nullptr), win::S_OK);
    }
    void TearDown() override { win::CoUninitialize(); }

    const std::string& library() const { return library_; }

private:
    std::string library_;
};

}  // namespace brevant::testing
