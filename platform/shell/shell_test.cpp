#include "platform/shell/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/shell/recording_programs_test_util.h"

namespace win {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text, bool executable) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), executable ? 0755 : 0644);
}

// Recording "xdg-open" and "prog" first on PATH, and a recording "hotsync"
// in a folder with a blank in its name.
class ShellTest : public ::testing::Test {
protected:
    ShellTest() : programs_({"xdg-open", "prog"}), root_(programs_.root()) {
        test::RecordingPrograms::addProgram(root_ / "Palm Desktop" / "hotsync");
    }
    std::vector<std::string> record(const std::string& name) { return programs_.take(name); }
    std::vector<std::string> argsOf(const std::string& name) { return programs_.takeArgs(name); }

    test::RecordingPrograms programs_;
    fs::path root_;
};

TEST_F(ShellTest, OpenStartsTheOpenerDetachedWithTheFileAsOneArgument) {
    fs::path doc = root_ / "my docs" / "a b;$(x).pdb";
    writeFile(doc, "x", false);
    EXPECT_GT(ShellExecuteA(0, "open", doc.c_str(), nullptr, nullptr, SW_SHOWNORMAL), 32);
    std::vector<std::string> lines = record("xdg-open");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0], "ppid=" + std::to_string(::getpid()));
    EXPECT_EQ(lines[1], "arg=" + doc.string());
}

TEST_F(ShellTest, OpenPassesAddressesAndGuardsNamesThatLookLikeOptions) {
    const char* address = "file:///no/such/file%20here.htm";
    EXPECT_GT(ShellExecuteA(0, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL), 32);
    EXPECT_EQ(argsOf("xdg-open"), std::vector<std::string>{address});

    writeFile(root_ / "-x.pdb", "x", false);
    EXPECT_GT(ShellExecuteA(0, "OPEN", "-x.pdb", "", root_.c_str(), SW_SHOWNORMAL), 32);
    EXPECT_EQ(argsOf("xdg-open"), std::vector<std::string>{"./-x.pdb"});
}

TEST_F(ShellTest, OpenRefusals) {
    writeFile(root_ / "doc.pdb", "x", false);
    std::string doc = (root_ / "doc.pdb").string();
    std::string gone = (root_ / "gone.pdb").string();
    struct Case {
        const char* verb;
        const char* file;
        const char* parameters;
        HINSTANCE result;
    };
    const Case cases[] = {
        {"print", doc.c_str(), nullptr, SE_ERR_NOASSOC},
        {"open", doc.c_str(), "-x", SE_ERR_NOASSOC},
        {"open", gone.c_str(), nullptr, ERROR_FILE_NOT_FOUND_RESULT},
        {"open", "", nullptr, ERROR_FILE_NOT_FOUND_RESULT},
        {"open", nullptr, nullptr, ERROR_FILE_NOT_FOUND_RESULT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShellExecuteA(0, c.verb, c.file, c.parameters, nullptr, SW_SHOWNORMAL), c.result)
            << (c.file != nullptr ? c.file : "(null)");

    // Without an opener on PATH nothing can open the file.
    ::setenv("PATH", "/nonexistent", 1);
    EXPECT_EQ(ShellExecuteA(0, "open", doc.c_str(), nullptr, nullptr, SW_SHOWNORMAL), SE_ERR_NOASSOC);
}

TEST_F(ShellTest, WinExecStartsTheProgramWithItsArgumentsAndNoShell) {
    std::string palm = (root_ / "Palm Desktop" / "hotsync").string();
    struct Case {
        std::string line;
        const char* recorder;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {R"(prog a "b c" d)", "prog", {"a", "b c", "d"}},
        {R"(prog 'a;b' $HOME `id` |x)", "prog", {"'a;b'", "$HOME", "`id`", "|x"}},
        {R"(prog a\\\"b "c\\" d)", "prog", {R"(a\"b)", R"(c\)", "d"}},
        {"\"" + palm + "\" -x", "hotsync", {"-x"}},
        // Unquoted with a blank in the folder name: the longer name is tried.
        {palm + " -y \"z w\"", "hotsync", {"-y", "z w"}},
        {palm, "hotsync", {}},
    };
    for (const Case& c : cases) {
        EXPECT_GT(WinExec(c.line.c_str(), SW_SHOWNORMAL), 31u) << c.line;
        EXPECT_EQ(argsOf(c.recorder), c.args) << c.line;
    }
}

TEST_F(ShellTest, WinExecFailures) {
    writeFile(root_ / "plain.txt", "text", false);
    writeFile(root_ / "garbage", std::string("\x01\x02\x03\x04garbage", 11), true);
    struct Case {
        std::string line;
        UINT result;
    };
    const Case cases[] = {
        {"no-such-program a", ERROR_FILE_NOT_FOUND_RESULT},
        {(root_ / "no-such").string(), ERROR_FILE_NOT_FOUND_RESULT},
        {(root_ / "no-folder" / "prog").string(), ERROR_PATH_NOT_FOUND_RESULT},
        {(root_ / "plain.txt").string(), SE_ERR_ACCESSDENIED},
        {(root_ / "garbage").string(), ERROR_BAD_FORMAT},
        {"   ", ERROR_FILE_NOT_FOUND_RESULT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WinExec(c.line.c_str(), SW_SHOWNORMAL), c.result) << c.line;
    EXPECT_EQ(WinExec(nullptr, SW_SHOWNORMAL), ERROR_FILE_NOT_FOUND_RESULT);
}

}  // namespace
}  // namespace win
