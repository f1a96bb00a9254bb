#include "platform/help/html_help.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/shell/recording_programs_test_util.h"

namespace win {
namespace {

TEST(HtmlHelp, OpensTheTopicOrContentsPageAsAFileAddress) {
    test::RecordingPrograms programs;
    std::string cwd = std::filesystem::current_path().string();
    struct Case {
        std::string file;
        UINT command;
        std::string address;
    };
    const Case cases[] = {
        {"/opt/b r/lumbra.chm::/Font Info.htm", HH_DISPLAY_TOPIC,
         "file:///opt/b%20r/lumbra.chm/Font%20Info.htm"},
        {"/opt/lumbra.chm::/TOC (Table of Contents) Pane.htm", HH_DISPLAY_TOPIC,
         "file:///opt/lumbra.chm/TOC%20%28Table%20of%20Contents%29%20Pane.htm"},
        {"/opt/lumbra.chm", HH_DISPLAY_TOC, "file:///opt/lumbra.chm/Table%20of%20Contents.htm"},
        {"/opt/lumbra.chm::/main.htm", HH_DISPLAY_TOC,
         "file:///opt/lumbra.chm/Table%20of%20Contents.htm"},
        {"/opt/lumbra.chm", HH_DISPLAY_TOPIC, "file:///opt/lumbra.chm/Table%20of%20Contents.htm"},
        {"/opt/lumbra.chm::/", HH_DISPLAY_TOPIC,
         "file:///opt/lumbra.chm/Table%20of%20Contents.htm"},
        // The compiled help's contents file is the contents page.
        {"/opt/lumbra.chm::/Table of Contents.hhc", HH_DISPLAY_TOPIC,
         "file:///opt/lumbra.chm/Table%20of%20Contents.htm"},
        {"/opt/lumbra.chm::/a.hhc.htm", HH_DISPLAY_TOPIC, "file:///opt/lumbra.chm/a.hhc.htm"},
        {"/o#%?/lumbra.chm::/a.htm", HH_DISPLAY_TOPIC, "file:///o%23%25%3F/lumbra.chm/a.htm"},
        {"rel/lumbra.chm::/a.htm", HH_DISPLAY_TOPIC, fileAddress(cwd) + "/rel/lumbra.chm/a.htm"},
    };
    for (const Case& c : cases) {
        EXPECT_NE(HtmlHelpA(0, c.file.c_str(), c.command, 0), 0u) << c.file;
        EXPECT_EQ(programs.takeArgs("xdg-open"), std::vector<std::string>{c.address}) << c.file;
    }
}

TEST(HtmlHelp, AnswersNoWindowWhenNothingOpens) {
    test::RecordingPrograms programs;
    EXPECT_EQ(HtmlHelpA(0, "/opt/lumbra.chm", HH_CLOSE_ALL, 0), 0u);
    EXPECT_EQ(HtmlHelpA(0, nullptr, HH_DISPLAY_TOC, 0), 0u);
    EXPECT_EQ(HtmlHelpA(0, "", HH_DISPLAY_TOPIC, 0), 0u);
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(HtmlHelpA(0, "/opt/lumbra.chm", HH_DISPLAY_TOC, 0), 0u);
}

}  // namespace
}  // namespace win
