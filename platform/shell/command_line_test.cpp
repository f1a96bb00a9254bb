#include "platform/shell/command_line.h"

#include <gtest/gtest.h>

namespace win {
namespace {

TEST(CommandLine, SplitsByTheQuoteAndBackslashRules) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {R"(p "abc" d e)", {"p", "abc", "d", "e"}},
        {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
        {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
        {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
        {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
        {R"(p "" x)", {"p", "", "x"}},
        {"p \"a b", {"p", "a b"}},
        {"  p\t a  \t b  ", {"p", "a", "b"}},
        // The program name: quotes end it, backslashes are plain.
        {R"("C:\Program Files\x.exe" arg)", {R"(C:\Program Files\x.exe)", "arg"}},
        {R"(C:\dir\x.exe a)", {R"(C:\dir\x.exe)", "a"}},
        {R"("C:\dir\"x)", {R"(C:\dir\)", "x"}},
        {"", {""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.args) << c.line;
}

TEST(CommandLine, ProgramNameTellsWhereTheRestBegins) {
    ProgramWord quoted = splitProgramName(R"( "/a b/c" x)");
    EXPECT_EQ(quoted.text, "/a b/c");
    EXPECT_TRUE(quoted.quoted);
    EXPECT_EQ(quoted.restAt, 9u);
    ProgramWord plain = splitProgramName("/a/c x");
    EXPECT_FALSE(plain.quoted);
    EXPECT_EQ(plain.restAt, 4u);
}

}  // namespace
}  // namespace win
