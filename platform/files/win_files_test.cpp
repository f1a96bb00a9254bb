#include "platform/files/win_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace win;

class WinFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/win-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    std::string path(const char* name) const { return dir + "/" + name; }
    void write(const char* name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string read(const char* name) const {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    HANDLE open(const std::string& name, DWORD access) const {
        return CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::string dir;
};

// An exclusive lock keeps every other handle's lock out until it ends, by
// UnlockFileEx or by closing the handle; a shared lock admits shared ones.
TEST_F(WinFilesTest, LocksOfTwoHandlesOnOneFile) {
    write("a", "x");
    HANDLE first = open(path("a"), GENERIC_READ | GENERIC_WRITE);
    HANDLE second = open(path("a"), GENERIC_READ);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    const DWORD now = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
    ASSERT_TRUE(LockFileEx(first, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, nullptr));
    EXPECT_FALSE(LockFileEx(second, now, 0, 1, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(LockFileEx(second, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, nullptr));
    ASSERT_TRUE(UnlockFileEx(first, 0, 1, 0, nullptr));
    ASSERT_TRUE(LockFileEx(second, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, nullptr));
    EXPECT_TRUE(LockFileEx(first, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, nullptr));
    EXPECT_FALSE(LockFileEx(first, now, 0, 1, 0, nullptr));
    CloseHandle(second);
    EXPECT_TRUE(LockFileEx(first, now, 0, 1, 0, nullptr));
    CloseHandle(first);
    EXPECT_FALSE(LockFileEx(first, now, 0, 1, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Handles of one file, opened by any spelling of its path (and one opened
// for no access at all, from a file that may not be read), share volume and
// index; another file has another index.
TEST_F(WinFilesTest, FileInformationNamesTheFile) {
    write("a", "abc");
    write("b", "abc");
    ASSERT_EQ(::link(path("a").c_str(), path("c").c_str()), 0);
    ASSERT_EQ(::chmod(path("a").c_str(), 0200), 0);
    const std::string names[] = {path("a"), dir + "/./a", dir + "\\a", path("c")};
    BY_HANDLE_FILE_INFORMATION first{};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        HANDLE h = open(name, 0);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        BY_HANDLE_FILE_INFORMATION info{};
        ASSERT_TRUE(GetFileInformationByHandle(h, &info));
        CloseHandle(h);
        EXPECT_EQ(info.nFileSizeLow, 3u);
        EXPECT_EQ(info.nNumberOfLinks, 2u);
        if (&name == &names[0])
            first = info;
        EXPECT_EQ(info.dwVolumeSerialNumber, first.dwVolumeSerialNumber);
        EXPECT_EQ(info.nFileIndexLow, first.nFileIndexLow);
        EXPECT_EQ(info.nFileIndexHigh, first.nFileIndexHigh);
    }
    HANDLE other = open(path("b"), GENERIC_READ);
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(other, &info));
    CloseHandle(other);
    EXPECT_NE(info.nFileIndexLow, first.nFileIndexLow);
    EXPECT_EQ(open(path("missing"), 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(WinFilesTest, MoveAndDelete) {
    write("a", "new");
    write("b", "old");
    EXPECT_FALSE(MoveFileExA(path("a").c_str(), path("b").c_str(), 0));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(MoveFileExA(path("a").c_str(), path("b").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(read("b"), "new");
    EXPECT_EQ(::access(path("a").c_str(), F_OK), -1);
    ASSERT_TRUE(MoveFileExA(path("b").c_str(), path("c").c_str(), 0));
    EXPECT_TRUE(DeleteFileA(path("c").c_str()));
    EXPECT_FALSE(DeleteFileA(path("c").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A replaced file's permissions stay with the name; there must be a file to
// replace.
TEST_F(WinFilesTest, ReplaceKeepsThePermissions) {
    write("old", "old");
    write("new", "new");
    ASSERT_EQ(::chmod(path("old").c_str(), 0640), 0);
    ASSERT_EQ(::chmod(path("new").c_str(), 0666), 0);
    ASSERT_TRUE(ReplaceFileA(path("old").c_str(), path("new").c_str(), nullptr, 0, nullptr,
                             nullptr));
    EXPECT_EQ(read("old"), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path("old").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(::access(path("new").c_str(), F_OK), -1);

    write("new", "new");
    EXPECT_FALSE(ReplaceFileA(path("missing").c_str(), path("new").c_str(), nullptr, 0, nullptr,
                              nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(read("new"), "new");
}

// The path of an open file follows links; a buffer too small is told the
// size it needs.
TEST_F(WinFilesTest, FinalPathFollowsLinks) {
    write("target", "x");
    ASSERT_EQ(::symlink(path("target").c_str(), path("link").c_str()), 0);
    HANDLE file = open(path("link"), 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char tiny[4];
    const DWORD needed = GetFinalPathNameByHandleA(file, tiny, sizeof tiny, 0);
    std::string buffer(needed, '\0');
    const DWORD length = GetFinalPathNameByHandleA(file, buffer.data(), needed, 0);
    CloseHandle(file);
    EXPECT_EQ(length + 1, needed);
    EXPECT_EQ(std::string(buffer.c_str()), std::filesystem::canonical(path("target")).string());
    EXPECT_EQ(GetFinalPathNameByHandleA(INVALID_HANDLE_VALUE, tiny, sizeof tiny, 0), 0u);
}

}  // namespace
