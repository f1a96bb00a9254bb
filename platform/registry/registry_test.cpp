#include "platform/registry/registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/store_file.h"
#include "tests/support/temp_config_home.h"

namespace win {
namespace {

using vistrel::test::TempConfigHome;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

HKEY createKey(HKEY root, const char16_t* path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
}

LONG setString(HKEY key, const char16_t* name, std::u16string_view text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                          DWORD((text.size() + 1) * 2));
}

// The value as the two-call pattern reads it: size first, then the bytes.
std::vector<BYTE> query(HKEY key, const char16_t* name, DWORD* type, LONG* status) {
    DWORD size = 0;
    *status = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    if (*status != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> data(size);
    *status = RegQueryValueExW(key, name, nullptr, type, data.data(), &size);
    data.resize(size);
    return data;
}

std::vector<BYTE> bytesOf(std::u16string_view text) {
    std::vector<BYTE> bytes((text.size() + 1) * 2, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    return bytes;
}

TEST(Registry, ValuesRoundTripThroughTheFile) {
    TempConfigHome home;
    std::vector<BYTE> placement(44);
    for (size_t i = 0; i < placement.size(); ++i)
        placement[i] = BYTE(i * 7);
    placement[0] = 44;
    const BYTE number[] = {0x2A, 0x00, 0x01, 0x80};
    struct Case {
        const char16_t* name;
        DWORD type;
        std::vector<BYTE> data;
    };
    const Case cases[] = {
        {u"Show Splash", REG_SZ, bytesOf(u"KM7PX2QR")},
        {u"Empty", REG_SZ, bytesOf(u"")},
        {u"Odd text", REG_SZ, bytesOf(std::u16string(u"a\0\"b\\\n\u00e9\U0001F600", 8))},
        {u"Main Form", REG_BINARY, placement},
        {u"No bytes", REG_BINARY, {}},
        {u"Number", REG_DWORD, {number, number + 4}},
        {nullptr, REG_SZ, bytesOf(u"default")},
    };
    HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI");
    for (const Case& c : cases) {
        EXPECT_EQ(RegSetValueExW(key, c.name, 0, c.type, c.data.data(), DWORD(c.data.size())),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    HKEY again = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI", 0, KEY_READ, &again),
        ERROR_SUCCESS);
    for (const Case& c : cases) {
        DWORD type = REG_NONE;
        LONG status;
        EXPECT_EQ(query(again, c.name, &type, &status), c.data);
        EXPECT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
    }
    // A string written without its terminator reads with one.
    EXPECT_EQ(RegSetValueExW(createKey(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI"), u"Bare",
                             0, REG_SZ, reinterpret_cast<const BYTE*>(u"ab"), 4),
              ERROR_SUCCESS);
    LONG status;
    DWORD type;
    EXPECT_EQ(query(again, u"Bare", &type, &status), bytesOf(u"ab"));
    RegCloseKey(again);
}

TEST(Registry, QueryResults) {
    TempConfigHome home;
    HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\Test");
    ASSERT_EQ(setString(key, u"Name", u"four"), ERROR_SUCCESS);

    BYTE small[4];
    DWORD size = sizeof small;
    DWORD type = REG_NONE;
    EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, nullptr, small, nullptr),
              LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegQueryValueExW(key, u"Name", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);

    // Sizes the kinds do not have are refused.
    const BYTE three[3] = {};
    EXPECT_EQ(RegSetValueExW(key, u"N", 0, REG_DWORD, three, 3), LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegSetValueExW(key, u"S", 0, REG_SZ, three, 3), LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegSetValueExW(key, u"M", 0, 7, three, 2), LONG(ERROR_INVALID_PARAMETER));

    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Test", 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(setString(readOnly, u"Name", u"x"), LONG(ERROR_ACCESS_DENIED));
    RegCloseKey(readOnly);
    RegCloseKey(key);
    EXPECT_EQ(setString(key, u"Name", u"x"), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(key), LONG(ERROR_INVALID_HANDLE));
}

TEST(Registry, NamesCompareWithoutCase) {
    TempConfigHome home;
    HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI");
    ASSERT_EQ(setString(key, u"Tree Path", u"/home"), ERROR_SUCCESS);
    RegCloseKey(key);

    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"\\SOFTWARE\\corvane\\lumbragui\\", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    LONG status;
    DWORD type;
    EXPECT_EQ(query(key, u"TREE PATH", &type, &status), bytesOf(u"/home"));
    ASSERT_EQ(setString(key, u"tree path", u"/usr"), ERROR_SUCCESS);
    RegCloseKey(key);
    // One value, still spelled as first written.
    std::string file = readFile(home.registryFile());
    EXPECT_NE(file.find("\"Tree Path\"=\"/usr\""), std::string::npos) << file;
    EXPECT_EQ(file.find("tree path"), std::string::npos) << file;
}

TEST(Registry, ClassesRootIsTheUsersSoftwareClasses) {
    TempConfigHome home;
    HKEY key = createKey(HKEY_CLASSES_ROOT, u"CLSID\\{0A76D28C-1620-42BC-9A55-34491C527002}");
    ASSERT_EQ(setString(key, nullptr, u"TreeNode Class"), ERROR_SUCCESS);
    RegCloseKey(key);
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER,
                            u"Software\\Classes\\clsid\\{0a76d28c-1620-42bc-9a55-34491c527002}", 0,
                            KEY_READ, &same),
              ERROR_SUCCESS);
    LONG status;
    DWORD type;
    EXPECT_EQ(query(same, u"", &type, &status), bytesOf(u"TreeNode Class"));
    RegCloseKey(same);
}

TEST(Registry, DeletingKeysAndValues) {
    TempConfigHome home;
    HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\A\\B");
    ASSERT_EQ(setString(key, u"v", u"1"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"V"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"v"), LONG(ERROR_FILE_NOT_FOUND));

    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\A"), LONG(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\A\\B"), LONG(ERROR_FILE_NOT_FOUND));
    // The handle still open names a key that is gone.
    EXPECT_EQ(setString(key, u"v", u"1"), ERROR_KEY_DELETED);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    RegCloseKey(key);

    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\A\\B", 0, KEY_READ, &gone),
              LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(gone, nullptr);
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Soft\x01ware", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &gone, nullptr),
              LONG(ERROR_INVALID_PARAMETER));
}

TEST(Registry, MissingStoreIsEmptyAndReadsLeaveItMissing) {
    TempConfigHome home;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI", 0, KEY_READ, &key),
              LONG(ERROR_FILE_NOT_FOUND));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(HKEY_CURRENT_USER, u"x", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(home.path() / "lumbra"));
}

// Hand edits that cannot be read are skipped, and kept through a change.
TEST(Registry, GarbledLinesAreSkippedAndKept) {
    TempConfigHome home;
    writeFile(home.registryFile(),
              "[HKEY_CURRENT_USER\\Software\\Corvane\\LumbraGUI]\n"
              "\"Palm Format\"=\"KM7P\"\n"
              "\"Broken\"=\"no closing quote\n"
              "this line is not a value\n"
              "\"Left panel\"=dword:1\n");
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI", 0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    LONG status;
    DWORD type;
    EXPECT_EQ(query(key, u"Palm Format", &type, &status), bytesOf(u"KM7P"));
    query(key, u"Broken", &type, &status);
    EXPECT_EQ(status, LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(query(key, u"Left panel", &type, &status), (std::vector<BYTE>{1, 0, 0, 0}));

    ASSERT_EQ(setString(key, u"Show Splash", u"X"), ERROR_SUCCESS);
    RegCloseKey(key);
    std::string file = readFile(home.registryFile());
    EXPECT_NE(file.find("\"Broken\"=\"no closing quote\nthis line is not a value\n"),
              std::string::npos)
        << file;
    EXPECT_NE(file.find("\"Show Splash\"=\"X\""), std::string::npos) << file;
}

// Runs body in a child process; answers its exit status (-1 when it died).
template <class Body>
int inChild(Body body) {
    pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// The store is parsed once and kept: a value reads from the kept store while
// the file is the same file (here its text is changed in place behind the
// process's back, size and time kept), yet the process sees its own writes
// and a store another writer put in place.
TEST(Registry, StoreIsKeptYetFollowsWrites) {
    TempConfigHome home;
    HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI");
    auto read = [&] {
        LONG status;
        DWORD type;
        std::vector<BYTE> data = query(key, u"Value", &type, &status);
        EXPECT_EQ(status, ERROR_SUCCESS);
        return data;
    };
    ASSERT_EQ(setString(key, u"Value", u"one"), ERROR_SUCCESS);
    EXPECT_EQ(read(), bytesOf(u"one"));

    const std::string path = home.registryFile().string();
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    std::string text = readFile(path);
    text.replace(text.find("\"one\""), 5, "\"two\"");
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        out.write(text.data(), std::streamsize(text.size()));
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(read(), bytesOf(u"one"));

    struct Step {
        const char* what;
        std::function<void()> change;
        std::u16string expected;
    };
    const Step steps[] = {
        {"another writer's store renamed in place",
         [&] {
             std::string replaced = readFile(path);
             replaced.replace(replaced.find("\"two\""), 5, "\"three\"");
             writeFile(path + ".new", replaced);
             std::filesystem::rename(path + ".new", path);
         },
         u"three"},
        {"this process's write", [&] { ASSERT_EQ(setString(key, u"Value", u"four"), ERROR_SUCCESS); },
         u"four"},
        {"the file removed", [&] { std::filesystem::remove(path); }, u""},
    };
    for (const Step& step : steps) {
        step.change();
        if (step.expected.empty()) {
            LONG status;
            DWORD type;
            query(key, u"Value", &type, &status);
            EXPECT_EQ(status, ERROR_KEY_DELETED) << step.what;
        } else {
            EXPECT_EQ(read(), bytesOf(step.expected)) << step.what;
        }
    }
    RegCloseKey(key);
}

// A write that cannot finish (here: the file size limit is reached half-way)
// fails, and the store stays as it was, with no temporary file left beside it.
TEST(Registry, FailedWriteLeavesTheStoreIntact) {
    TempConfigHome home;
    HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI");
    ASSERT_EQ(setString(key, u"Kept", std::u16string(200, u'k')), ERROR_SUCCESS);
    const std::string before = readFile(home.registryFile());

    int result = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{before.size() + 100, before.size() + 100};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 2;
        return setString(key, u"Large", std::u16string(4000, u'x')) == ERROR_DISK_FULL ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readFile(home.registryFile()), before);
    for (const auto& entry : std::filesystem::directory_iterator(home.registryFile().parent_path()))
        EXPECT_TRUE(entry.path().filename() == "registry" ||
                    entry.path().filename() == "registry.lock")
            << entry.path();
    RegCloseKey(key);
}

// Limits this process's address space to what it has mapped and `more`
// (unused in the sanitizer build, where such limits do not apply).
[[maybe_unused]] void limitAddressSpace(size_t more) {
    size_t pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%zu", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const rlim_t bytes = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + more;
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_AS, &limit);
}

// What a child runs under: a limit of `seconds` (a hang ends the child) and,
// outside the sanitizer build, of 256 MB of address space more than it has
// (reading without end fails soon instead of filling the machine's memory).
void boundChild(unsigned seconds) {
    alarm(seconds);
#ifndef __SANITIZE_ADDRESS__
    limitAddressSpace(256u << 20);
#endif
}

// A store that is no store file (a device, a FIFO, a folder, a file of more
// than 16 MB) is reported once on standard error and read as empty; writes
// are refused and it stays as it was. No call hangs or throws.
TEST(Registry, AStoreThatIsNoStoreFileIsReadAsEmptyAndKept) {
    const std::string valid =
        "[HKEY_CURRENT_USER\\Software\\Corvane\\LumbraGUI]\n\"Palm Format\"=\"KM7P\"\n";
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path& store)> plant;
    } cases[] = {
        {"a link to /dev/zero",
         [](const auto& store) { std::filesystem::create_symlink("/dev/zero", store); }},
        {"a link to a FIFO",
         [](const auto& store) {
             ASSERT_EQ(mkfifo((store.parent_path() / "fifo").c_str(), 0600), 0);
             std::filesystem::create_symlink("fifo", store);
         }},
        {"a FIFO", [](const auto& store) { ASSERT_EQ(mkfifo(store.c_str(), 0600), 0); }},
        {"a folder", [](const auto& store) { std::filesystem::create_directory(store); }},
        {"a file of 16 MB and a byte",
         [&](const auto& store) {
             writeFile(store, valid);
             std::filesystem::resize_file(store, (16u << 20) + 1);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempConfigHome home;
        const std::filesystem::path store = home.registryFile();
        std::filesystem::create_directories(store.parent_path());
        c.plant(store);
        struct stat before {};
        ASSERT_EQ(lstat(store.c_str(), &before), 0);
        const std::string report = (home.path() / "stderr").string();

        const int failures = inChild([&] {
            boundChild(10);
            if (!freopen(report.c_str(), "w", stderr))
                return 64;
            int found = 0;
            HKEY key = nullptr;
            DWORD size = 0;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Corvane\\LumbraGUI", 0, KEY_READ,
                              &key) != LONG(ERROR_FILE_NOT_FOUND))
                found |= 1;
            if (RegQueryValueExW(HKEY_CURRENT_USER, u"x", nullptr, nullptr, nullptr, &size) !=
                LONG(ERROR_FILE_NOT_FOUND))
                found |= 2;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Corvane", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr) != LONG(ERROR_FILE_INVALID))
                found |= 4;
            if (setString(HKEY_CURRENT_USER, u"x", u"y") != LONG(ERROR_FILE_INVALID))
                found |= 8;
            std::fflush(stderr);
            return found;
        });
        EXPECT_EQ(failures, 0);
        struct stat after {};
        ASSERT_EQ(lstat(store.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_size, before.st_size);
        if (S_ISREG(after.st_mode)) {
            std::string start(valid.size(), '\0');
            std::ifstream(store, std::ios::binary)
                .read(start.data(), std::streamsize(start.size()));
            EXPECT_EQ(start, valid);
        }
        const std::string said = readFile(report);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(store.string()), std::string::npos) << said;
    }
}

// A store reached through a link is replaced where the link leads, also when
// that file is still to be made; the link stays as it was.
TEST(Registry, ALinkedStoreIsWrittenWhereItLeads) {
    for (bool made : {true, false}) {
        SCOPED_TRACE(made ? "a link to a store" : "a link to a store not made yet");
        TempConfigHome home;
        const std::filesystem::path store = home.registryFile();
        const std::filesystem::path real = home.path() / "elsewhere" / "settings";
        std::filesystem::create_directories(real.parent_path());
        std::filesystem::create_directories(store.parent_path());
        if (made)
            writeFile(real, "[HKEY_CURRENT_USER\\Software]\n\"Kept\"=\"yes\"\n");
        std::filesystem::create_symlink("../elsewhere/settings", store);

        HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\Corvane");
        ASSERT_EQ(setString(key, u"Value", u"linked"), ERROR_SUCCESS);
        LONG status;
        DWORD type;
        EXPECT_EQ(query(key, u"Value", &type, &status), bytesOf(u"linked"));
        RegCloseKey(key);

        ASSERT_TRUE(std::filesystem::is_symlink(store));
        EXPECT_EQ(std::filesystem::read_symlink(store), "../elsewhere/settings");
        const std::string text = readFile(real);
        EXPECT_NE(text.find("\"Value\"=\"linked\""), std::string::npos) << text;
        EXPECT_EQ(text.find("\"Kept\"=\"yes\"") != std::string::npos, made) << text;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(real.parent_path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

// The folder used without a home (/tmp/lumbra) counts only while it is this
// user's own and no one else may enter it; a missing one is made so.
TEST(Registry, TheFallbackFolderMustBeThisUsersOwn) {
    TempConfigHome scratch;
    const bool root = geteuid() == 0;
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
        bool create;
        bool usable;
    } cases[] = {
        {"missing, made", [](const std::string&) {}, true, true},
        {"missing, not made", [](const std::string&) {}, false, false},
        {"this user's, mode 0700", [](const std::string& p) { mkdir(p.c_str(), 0700); }, false,
         true},
        {"mode 0755",
         [](const std::string& p) {
             mkdir(p.c_str(), 0700);
             chmod(p.c_str(), 0755);
         },
         true, false},
        {"a link to a folder of mode 0700",
         [&](const std::string& p) {
             mkdir((p + "-real").c_str(), 0700);
             symlink((p + "-real").c_str(), p.c_str());
         },
         true, false},
        {"a file", [](const std::string& p) { writeFile(p, "x"); }, true, false},
        {"another user's",
         [&](const std::string& p) {
             mkdir(p.c_str(), 0700);
             if (root && chown(p.c_str(), 65534, 65534) != 0)
                 std::filesystem::remove(p);
         },
         true, !root},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (scratch.path() / ("lumbra" + std::to_string(++n))).string();
        c.make(path);
        EXPECT_EQ(isPrivateFolder(path, c.create), c.usable);
        struct stat st {};
        if (c.usable) {
            ASSERT_EQ(lstat(path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0700u);
        } else if (std::string(c.name) == "missing, not made") {
            EXPECT_NE(lstat(path.c_str(), &st), 0);
        }
    }
}

// An allocation that fails inside a call is its answer, not an exception
// (outside the sanitizer build, whose allocator does not heed the limit).
TEST(Registry, RunningOutOfMemoryIsAnAnswer) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "address space limits do not apply under the sanitizer";
#else
    TempConfigHome home;
    HKEY key = createKey(HKEY_CURRENT_USER, u"Software\\Corvane");
    const int result = inChild([&] {
        constexpr size_t kLarge = size_t(1) << 30;
        std::unique_ptr<BYTE[]> data(new BYTE[kLarge]);  // untouched: no memory yet
        limitAddressSpace(256u << 20);
        return RegSetValueExW(key, u"Large", 0, REG_BINARY, data.get(), DWORD(kLarge)) ==
                       LONG(ERROR_NOT_ENOUGH_MEMORY)
                   ? 0
                   : 1;
    });
    EXPECT_EQ(result, 0);
    RegCloseKey(key);
#endif
}

// Processes writing at the same time each re-read the store under the lock:
// every value written by any of them is there at the end.
TEST(Registry, ConcurrentWritersKeepEachOthersValues) {
    TempConfigHome home;
    constexpr int kWriters = 3, kValues = 20;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        if (pid == 0) {
            HKEY key = nullptr;
            int failures = 0;
            for (int i = 0; i < kValues; ++i) {
                if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Shared", 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
                    ++failures;
                    continue;
                }
                std::string name = "w" + std::to_string(w) + "v" + std::to_string(i);
                DWORD value = DWORD(w * 1000 + i);
                std::u16string wide(name.begin(), name.end());
                if (RegSetValueExW(key, wide.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&value), 4) != ERROR_SUCCESS)
                    ++failures;
                RegCloseKey(key);
            }
            _exit(failures == 0 ? 0 : 1);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Shared", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    for (int w = 0; w < kWriters; ++w) {
        for (int i = 0; i < kValues; ++i) {
            std::string name = "w" + std::to_string(w) + "v" + std::to_string(i);
            std::u16string wide(name.begin(), name.end());
            DWORD value = 0, size = 4;
            ASSERT_EQ(RegQueryValueExW(key, wide.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&value), &size),
                      ERROR_SUCCESS)
                << name;
            EXPECT_EQ(value, DWORD(w * 1000 + i));
        }
    }
    RegCloseKey(key);
}

}  // namespace
}  // namespace win
