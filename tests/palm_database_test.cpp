// Palm databases written by the page store, read back by the reference reader
// (palm_database_check.py): every database a test writes must satisfy it, and
// its pages must decode to the device values of the previews the conversion
// painted into the page bitmaps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "engine/export/pdb_page_store.h"
#include "platform/gdi/gdi_test_util.h"
#include "tests/support/palm_reader.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_files.h"
#include "tests/support/tiny_disk.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;
using win::COLORREF;
using win::RGB;

// A page to render: its size, the colour of every pixel, and where it comes
// from (document page and zoom) and goes (device format).
struct PageSpec {
    int width;
    int height;
    std::uint16_t format = kColor4;
    int page = 1;
    double zoom = 1.0;
    std::function<COLORREF(int x, int y)> color = [](int, int) { return RGB(255, 255, 255); };
};

// A grey whose 4-bit level is `level` (0 darkest).
COLORREF greyLevel(int level) {
    const auto v = win::BYTE(level * 17);
    return RGB(v, v, v);
}

bool writePng(const std::string& path, const win::Canvas& canvas) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, canvas.width, canvas.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = (std::size_t(canvas.width) * 3 + 3) / 4 * 4;
    std::vector<png_byte> row(std::size_t(canvas.width) * 3);
    for (int y = 0; y < canvas.height; ++y) {
        const std::uint8_t* bgr = canvas.bits + std::size_t(y) * stride;
        for (int x = 0; x < canvas.width; ++x) {
            row[3 * x] = bgr[3 * x + 2];
            row[3 * x + 1] = bgr[3 * x + 1];
            row[3 * x + 2] = bgr[3 * x];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

class PalmDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(out_.ok() && spillRoot_.ok());
        env_.emplace("TMPDIR", spillRoot_.dir().string());
    }
    void TearDown() override {
        // Every store of the test is gone: its spill folder with it.
        EXPECT_TRUE(fs::is_empty(spillRoot_.dir()));
        env_.reset();
    }

    // Renders a page into a canvas, converts it into the store and keeps its
    // preview for the reader; false when the conversion fails.
    bool convert(PDBPageStore& store, const PageSpec& spec) {
        win::Canvas canvas(spec.width, spec.height);
        for (int y = 0; y < spec.height; ++y) {
            std::uint8_t* bgr = canvas.bits + std::size_t(y) * ((spec.width * 3 + 3) / 4 * 4);
            for (int x = 0; x < spec.width; ++x) {
                const COLORREF c = spec.color(x, y);
                bgr[3 * x] = win::GetBValue(c);
                bgr[3 * x + 1] = win::GetGValue(c);
                bgr[3 * x + 2] = win::GetRValue(c);
            }
        }
        if (!store.convertRenderedPage(canvas.dc, spec.width, spec.height, spec.page, spec.zoom,
                                       spec.format)) {
            return false;
        }
        if (!keepPreviews_)
            return true;
        const std::string preview =
            out_.path("preview-" + std::to_string(previews_.size() + 1) + ".png");
        previews_.push_back(preview);
        return writePng(preview, canvas);
    }

    // Converts and spills a page with its lists.
    void add(PDBPageStore& store, const PageSpec& spec,
             std::unique_ptr<PdbLinkList> links = nullptr,
             std::unique_ptr<PdbAnnotationList> annotations = nullptr) {
        ASSERT_TRUE(convert(store, spec));
        ASSERT_EQ(store.spillPage(std::move(links), std::move(annotations)), store.pageCount());
    }

    // Converts and spills a 4 x 4 page with n empty annotations, each of
    // which takes a record.
    void addAnnotated(PDBPageStore& store, int n) {
        auto many = std::make_unique<PdbAnnotationList>();
        for (int i = 0; i < n; ++i)
            many->append(PdbAnnotation{0, 0, 1, 1, u"", u""});
        add(store, {4, 4}, nullptr, std::move(many));
    }

    // Runs the reader over a database with the previews of the pages spilled
    // so far; its dump, or its complaint when the database is not sound.
    std::string check(const std::string& path) {
        return testing::readPalmDatabase(path, "", previews_);
    }

    // Writes the store and checks what was written.
    std::string writeAndCheck(PDBPageStore& store, const std::string& name = "out.pdb") {
        const std::string path = out_.path(name);
        if (!store.write(std::u16string(path.begin(), path.end())))
            return "write failed";
        return check(path);
    }

    bool writeRefused(PDBPageStore& store, const std::string& name = "out.pdb") {
        const std::string path = out_.path(name);
        return !store.write(std::u16string(path.begin(), path.end())) && !fs::exists(path);
    }

    TempDir out_{"vistrel-pdb-out"};
    TempDir spillRoot_{"vistrel-pdb-spill"};
    std::optional<ScopedEnv> env_;
    std::vector<std::string> previews_;
    bool keepPreviews_ = true;
};

std::unique_ptr<PdbLinkList> linkList(std::initializer_list<PdbLink> links) {
    auto list = std::make_unique<PdbLinkList>();
    for (const PdbLink& l : links)
        list->append(l);
    return list;
}

std::unique_ptr<PdbAnnotationList> annotationList(std::initializer_list<PdbAnnotation> notes) {
    auto list = std::make_unique<PdbAnnotationList>();
    for (const PdbAnnotation& a : notes)
        list->append(a);
    return list;
}

TEST_F(PalmDatabase, WritesTheLayoutOfHandBuiltRecords) {
    PDBPageStore store(u"A document whose name is longer than the handheld takes");
    // Page 1 at zoom 1; page 2 at zoom 0.5 and again at zoom 2 (its links go
    // to its first export).
    add(store,
        {6, 3, kColor4, 1, 1.0, [](int x, int y) { return greyLevel((x + y) % 2 ? 15 : 0); }},
        linkList({{1, 2, 3, 4, 2, 100, 50}, {0, 0, 1, 1, 9, 5, 5}}),
        annotationList(
            {{3, 1, 10, 2, u"wide", u""}, {5, 2, 2, 2, u"a\r\nb", u"caf\u00e9 \u20ac"}}));
    add(store, {5, 2, kColor16, 2, 0.5, [](int x, int) { return greyLevel(x * 3); }},
        linkList({{0, 0, 1, 1, 4, 0, 0}}), annotationList({}));
    add(store, {3, 3, kColor16a, 2, 2.0, [](int x, int y) { return greyLevel(x * y * 7 % 16); }},
        linkList({{0, 0, 2, 2, 1, 30, -7}, {1, 1, 2, 2, 2, 9, 9}}));
    store.setExtraBlock(
        {u"Title\r", u"Subject", u"Author", u"", u"Creator", u"Producer", u"", u"D:20240101"});

    EXPECT_EQ(writeAndCheck(store),
              "name \"A document whose name is longer\"\n"
              "records 14\n"
              "page 1 6x3 bpp 2 images 3 links 7 annotations 9\n"
              "link 1 1 2 3 4 0 100 50\n"
              "annotation 1 0 1 10 2 \"wide\" \"\"\n"
              "annotation 1 4 1 2 2 \"a\\n\\nb\" \"caf\\u00e9 ?\"\n"
              "page 2 5x2 bpp 4 images 2 links 0 annotations 10\n"
              "page 3 3x3 bpp 4 images 3 links 8 annotations 0\n"
              "link 3 0 0 2 2 0 15 -3\n"
              "link 3 1 1 2 2 0 4 4\n"
              "info \"Title\\n\" \"Subject\" \"Author\" \"\" \"Creator\" \"Producer\" \"\" "
              "\"D:20240101\"\n");
}

TEST_F(PalmDatabase, ReaderRejectsDamagedDatabases) {
    PDBPageStore store(u"damage");
    add(store, {4, 2, kColor16, 1, 1.0, [](int x, int y) { return greyLevel(x * 4 + y); }},
        linkList({{0, 0, 1, 1, 1, 0, 0}}), annotationList({{0, 0, 1, 1, u"c", u"t"}}));
    store.setExtraBlock({u"title"});
    ASSERT_EQ(writeAndCheck(store).rfind("name", 0), 0u);
    const std::vector<std::uint8_t> sound = testing::readBytes(out_.path("out.pdb"));
    // Records: 0 index, 1 row table, 2 image, 3 links, 4 annotations, 5 text,
    // 6 information.
    auto record = [&](int i) {
        const std::size_t at = 78 + 8 * std::size_t(i);
        return std::size_t(sound[at]) << 24 | std::size_t(sound[at + 1]) << 16 |
               std::size_t(sound[at + 2]) << 8 | sound[at + 3];
    };
    const struct {
        const char* name;
        std::size_t at;
        std::string bytes;
    } damage[] = {
        {"unterminated name", 0, std::string(32, 'n')},
        {"creation date", 36, std::string(1, '\0')},
        {"record attributes", 78 + 8 * 2 + 4, std::string(1, '\0')},
        {"unique id", 78 + 8 * 3 + 7, std::string(1, '\x77')},
        {"row offset", record(1) + 6 + 3, std::string(1, '\x01')},
        {"row length", record(1) + 5, std::string(1, '\x03')},
        {"pixel", record(2), std::string(1, '\xFA')},
        {"link to no view", record(3) + 19, std::string(1, '\x05')},
        {"annotation outside the page", record(4) + 1, std::string(1, '\x09')},
        {"unterminated information", sound.size() - 1, "x"},
    };
    for (const auto& d : damage) {
        std::vector<std::uint8_t> bytes = sound;
        std::copy(d.bytes.begin(), d.bytes.end(), bytes.begin() + std::ptrdiff_t(d.at));
        const std::string path = out_.path("damaged.pdb");
        ASSERT_TRUE(testing::writeFile(path, std::string(bytes.begin(), bytes.end())));
        EXPECT_EQ(check(path).rfind("reader failed", 0), 0u) << d.name;
    }
}

TEST_F(PalmDatabase, CutsPagesIntoImageRecordsOfAtMost64K) {
    const struct {
        const char* name;
        PageSpec page;
        const char* rows;  // rows of each image record
    } cases[] = {
        {"62,000 packed bytes", {200, 620, kColor16}, "620"},
        {"62,001 packed bytes", {166, 747, kColor16}, "373,374"},
        {"several bands", {1000, 500, kColor4}, "166,166,168"},
        // Levels changing every 4 pixels code to 1.5 times their size: the
        // one band takes two records.
        {"gradient past 64K",
         {2000, 62, kColor16, 1, 1.0, [](int x, int) { return greyLevel(x / 4 % 16); }},
         "43,19"},
    };
    for (const auto& c : cases) {
        PDBPageStore store(u"bands");
        previews_.clear();
        add(store, c.page);
        const std::string dump = writeAndCheck(store);
        EXPECT_NE(dump.find(std::string(" images ") + c.rows + " "), std::string::npos)
            << c.name << ": " << dump;
    }
}

TEST_F(PalmDatabase, RefusesWhatItsSixteenBitFieldsCannotHold) {
    {
        // 70,004 records: the count itself would wrap.
        PDBPageStore store(u"annotations");
        addAnnotated(store, 70000);
        EXPECT_EQ(store.countRecords(), 70004);
        EXPECT_TRUE(writeRefused(store));
    }
    const struct {
        const char* name;
        PageSpec page;
        int pages;
        bool written;
    } cases[] = {
        {"row table of 65,532 bytes", {1, 10922}, 1, true},
        {"row table of 65,538 bytes", {1, 10923}, 1, false},
        {"width 65,535", {65535, 1}, 1, true},
        {"width 65,536", {65536, 1}, 1, false},
        {"index of 5,461 pages", {1, 1}, 5461, false},  // 4 + 12 x 5,461 bytes
    };
    for (const auto& c : cases) {
        PDBPageStore store(u"limits");
        previews_.clear();
        keepPreviews_ = c.pages == 1;
        for (int i = 0; i < c.pages; ++i)
            add(store, c.page);
        const std::string name = std::string(c.name) + ".pdb";
        if (c.written) {
            EXPECT_EQ(writeAndCheck(store, name).rfind("name", 0), 0u) << c.name;
        } else {
            EXPECT_TRUE(writeRefused(store, name)) << c.name;
        }
    }
}

// A record's unique id is 0x6F followed by the 16 bits of its index plus
// 0x8000: past index 0x7FFF the sum wraps and the first byte stays 0x6F.
TEST_F(PalmDatabase, RecordIdsKeepTheirFirstByte) {
    PDBPageStore store(u"ids");
    addAnnotated(store, 40000);
    ASSERT_EQ(writeAndCheck(store).rfind("name", 0), 0u);
    const std::vector<std::uint8_t> bytes = testing::readBytes(out_.path("out.pdb"));
    auto id = [&](std::size_t record) {
        const std::size_t at = 78 + 8 * record + 5;
        return std::uint32_t(bytes[at]) << 16 | std::uint32_t(bytes[at + 1]) << 8 | bytes[at + 2];
    };
    EXPECT_EQ(id(0), 0x6F8000u);
    EXPECT_EQ(id(0x7FFF), 0x6FFFFFu);
    EXPECT_EQ(id(0x8000), 0x6F0000u);
    EXPECT_EQ(id(40003), 0x6F0000u + 40003 - 0x8000);
}

TEST_F(PalmDatabase, WritesNothingForAnEmptyStore) {
    PDBPageStore store(u"empty");
    EXPECT_TRUE(writeRefused(store));
}

TEST_F(PalmDatabase, LeavesNoFileWhenAPageCannotBeReadBack) {
    for (const char* damage : {"missing", "short"}) {
        PDBPageStore store(u"damaged", 0);
        add(store, {8, 8});
        add(store, {8, 8});
        const std::string second = store.spillFolder().pagePath(2);
        if (std::string(damage) == "missing") {
            fs::remove(second);
        } else {
            fs::resize_file(second, 15);
        }
        EXPECT_TRUE(writeRefused(store)) << damage;
    }
}

TEST_F(PalmDatabase, LeavesNoFileOnAFullDisk) {
    // Bytes that never repeat: the pages code to their packed size.
    const PageSpec page{200, 100, kColor16,
                        1,   1.0, [](int x, int) { return greyLevel(x % 16); }};  // 10,000 bytes
    const std::string db = out_.path("full.pdb");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // No file may grow past 20,000 bytes.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{20000, 20000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(10);
        int failures = 0;
        {
            PDBPageStore store(u"full", 0);
            if (!convert(store, {400, 101, kColor16}) || store.spillPage(nullptr, nullptr) != -1 ||
                !store.currentRecord() || fs::exists(store.spillFolder().pagePath(1))) {
                failures |= 1;  // a page larger than the disk takes is not spilled
            }
            for (int i = 0; i < 3; ++i) {
                if (!convert(store, page) || store.spillPage(nullptr, nullptr) != i)
                    failures |= 2;
            }
            if (store.write(std::u16string(db.begin(), db.end())) || fs::exists(db))
                failures |= 4;  // the database does not fit
        }
        _exit(failures);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // Without the limit the same pages make a sound database.
    PDBPageStore store(u"full");
    for (int i = 0; i < 3; ++i)
        add(store, page);
    EXPECT_EQ(writeAndCheck(store).rfind("name", 0), 0u);
}

// A failed write leaves the database it was to replace as it was, byte for
// byte, and no file of its own beside it: on a full disk (a file system of
// 64 KiB where this process may mount one, else a file-size limit of 8 KiB)
// and when a write fails halfway (a limit at half the new database). A
// read-only earlier database is not replaced either; a write that succeeds
// replaces it and leaves nothing else.
TEST_F(PalmDatabase, AFailedWriteKeepsTheEarlierDatabase) {
    keepPreviews_ = false;
    // Bytes that never repeat: each page codes to its 10,000 packed bytes.
    const PageSpec page{200, 100, kColor16,
                        1,   1.0, [](int x, int) { return greyLevel(x % 16); }};
    const struct {
        const char* name;
        bool tinyDisk;
        rlim_t limit;  // of the injected failure
    } cases[] = {{"full disk", true, 8192}, {"halfway", false, 15000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = out_.path(c.name);
        ASSERT_TRUE(fs::create_directory(folder));
        const std::string db = folder + "/pages.pdb";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const bool mounted = c.tinyDisk && testing::mountTinyDisk(folder, 64 * 1024);
            // The stores go (with their spill folders) before the child ends.
            const int failures = [&] {
                PDBPageStore earlier(u"earlier");
                PDBPageStore later(u"later");
                if (!convert(earlier, {8, 8}) || earlier.spillPage(nullptr, nullptr) != 0 ||
                    !earlier.write(std::u16string(db.begin(), db.end())))
                    return 1;
                const std::string before = testing::readFile(db);
                for (int i = 0; i < 3; ++i) {
                    if (!convert(later, page) || later.spillPage(nullptr, nullptr) != i)
                        return 2;
                }
                const rlimit limit{c.limit, c.limit};
                if (mounted ? !testing::fillDisk(folder + "/filler", 8192)
                            : setrlimit(RLIMIT_FSIZE, &limit) != 0)
                    return 4;
                int found = 0;
                if (later.write(std::u16string(db.begin(), db.end())))
                    found |= 8;
                if (testing::readFile(db) != before)
                    found |= 16;
                for (const auto& entry : fs::directory_iterator(folder)) {
                    const std::string name = entry.path().filename().string();
                    if (name != "pages.pdb" && name != "filler")
                        found |= 32;
                }
                return found;
            }();
            // 64: no file system could be mounted, the limit stood in.
            _exit(failures | (mounted || !c.tinyDisk ? 0 : 64));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) & 64)
            std::printf("No file system can be mounted here: a file-size limit stands in.\n");
        EXPECT_EQ(WEXITSTATUS(status) & ~64, 0);
    }

    const std::string folder = out_.path("replaced");
    ASSERT_TRUE(fs::create_directory(folder));
    const std::string db = folder + "/pages.pdb";
    PDBPageStore earlier(u"earlier");
    add(earlier, {8, 8});
    ASSERT_TRUE(earlier.write(std::u16string(db.begin(), db.end())));
    const std::string before = testing::readFile(db);
    const bool root = geteuid() == 0;
    const std::string lock = root ? "chattr +i '" + db + "' 2>/dev/null" : "chmod 0444 '" + db + "'";
    const std::string unlock = root ? "chattr -i '" + db + "'" : "chmod 0644 '" + db + "'";
    if (std::system(lock.c_str()) == 0) {
        PDBPageStore later(u"later");
        add(later, {10, 10});
        EXPECT_FALSE(later.write(std::u16string(db.begin(), db.end())));
        ASSERT_EQ(std::system(unlock.c_str()), 0);
        EXPECT_EQ(testing::readFile(db), before);
    }
    PDBPageStore later(u"later");
    add(later, page);
    ASSERT_TRUE(later.write(std::u16string(db.begin(), db.end())));
    EXPECT_EQ(testing::readPalmDatabase(db, "", {}).rfind("name \"later\"", 0), 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

// A database replaced through a link replaces the file the link leads to,
// which keeps its permissions; the link stays a link.
TEST_F(PalmDatabase, ReplacingFollowsALinkAndKeepsPermissions) {
    const std::string folder = out_.path("linked");
    ASSERT_TRUE(fs::create_directory(folder));
    const std::string real = folder + "/real.pdb";
    const std::string link = folder + "/link.pdb";
    PDBPageStore earlier(u"earlier");
    add(earlier, {8, 8});
    ASSERT_TRUE(earlier.write(std::u16string(real.begin(), real.end())));
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    fs::create_symlink("real.pdb", link);

    PDBPageStore later(u"later");
    add(later, {10, 10});
    ASSERT_TRUE(later.write(std::u16string(link.begin(), link.end())));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(testing::readPalmDatabase(real, "", {}).rfind("name \"later\"", 0), 0u);
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

// Pages past the store's memory budget go to spill files, the others stay
// in memory; the database is the same byte for byte whichever way each page
// went, and no spill file outlives the write.
TEST_F(PalmDatabase, TheMemoryBudgetDoesNotChangeTheDatabase) {
    keepPreviews_ = false;
    // Each page codes to its 10,000 packed bytes.
    auto stripes = [](int shift) {
        return [shift](int x, int) { return greyLevel((x + shift) % 16); };
    };
    const struct {
        const char* name;
        std::size_t budget;
        int spilled;  // spill files after the three pages
    } cases[] = {
        {"every page spilled", 0, 3},
        {"the first page kept", 15000, 2},
        {"every page kept", kPageStoreMemoryBudget, 0},
    };
    std::vector<std::uint8_t> first;
    for (const auto& c : cases) {
        {
            PDBPageStore store(u"budget", c.budget);
            for (int i = 0; i < 3; ++i)
                add(store, {200, 100, kColor16, i + 1, 1.0, stripes(i)});
            auto spillFiles = [&store] {
                int files = 0;
                for (int position = 1; position <= 3; ++position)
                    files += fs::exists(store.spillFolder().pagePath(position)) ? 1 : 0;
                return files;
            };
            EXPECT_EQ(spillFiles(), c.spilled) << c.name;
            ASSERT_EQ(writeAndCheck(store).rfind("name", 0), 0u) << c.name;
            EXPECT_EQ(spillFiles(), 0) << c.name;
        }
        const std::vector<std::uint8_t> bytes = testing::readBytes(out_.path("out.pdb"));
        if (first.empty())
            first = bytes;
        EXPECT_EQ(bytes, first) << c.name;
    }
}

TEST_F(PalmDatabase, ExportsFromAReadOnlyCurrentFolder) {
    TempDir readOnly("vistrel-pdb-cwd");
    const fs::path before = fs::current_path();
    fs::current_path(readOnly.dir());
    chmod(readOnly.dir().c_str(), 0555);
    std::string dump;
    {
        PDBPageStore store(u"readonly");
        add(store, {10, 10, kColor4, 1, 1.0, [](int x, int) { return greyLevel(x); }});
        add(store, {10, 10, kColor16, 2});
        dump = writeAndCheck(store);
    }
    fs::current_path(before);
    chmod(readOnly.dir().c_str(), 0700);
    EXPECT_EQ(dump.rfind("name \"readonly\"", 0), 0u) << dump;
    EXPECT_TRUE(fs::is_empty(readOnly.dir()));
}

// A killed export leaves its spill folder, and may leave its new database
// beside the target. The next export removes what is provably such a
// leftover: the name's pattern, this user's, no link, the process it names
// gone and its lock free. Everything else stays, and names left beside the
// target never stop an export.
TEST_F(PalmDatabase, TheNextExportRemovesWhatKilledExportsLeft) {
    keepPreviews_ = false;
    const std::string folder = out_.path("leftovers");
    ASSERT_TRUE(fs::create_directory(folder));
    const std::string db = folder + "/pages.pdb";
    const std::string root = spillRoot_.dir().string();

    // A process that spilled two pages and was killed.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t killed = fork();
    ASSERT_GE(killed, 0);
    if (killed == 0) {
        PDBPageStore store(u"killed", 0);
        for (int i = 0; i < 2; ++i) {
            if (!convert(store, {8, 8}) || store.spillPage(nullptr, nullptr) != i)
                _exit(1);
        }
        if (write(ready[1], "x", 1) != 1)
            _exit(2);
        alarm(60);  // should the test stop before it kills this process
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(killed, SIGKILL);
    ASSERT_EQ(waitpid(killed, nullptr, 0), killed);
    std::vector<std::string> spilled;
    for (const auto& entry : fs::directory_iterator(root))
        spilled.push_back(entry.path().filename().string());
    ASSERT_EQ(spilled.size(), 1u);
    EXPECT_TRUE(fs::exists(root + "/" + spilled[0] + "/2.tmp"));

    // A process that runs on.
    const pid_t running = fork();
    ASSERT_GE(running, 0);
    if (running == 0) {
        alarm(60);
        pause();
        _exit(0);
    }
    const std::string dead = std::to_string(killed);
    const std::string live = std::to_string(running);
    const bool rootUser = geteuid() == 0;
    std::vector<int> heldLocks;
    auto hold = [&](const std::string& path) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0 && flock(fd, LOCK_EX) == 0)
            heldLocks.push_back(fd);
    };
    auto spillFolder = [&](const std::string& at, const std::string& pid, const char* other) {
        fs::create_directory(at);
        if (!pid.empty())
            testing::writeFile(at + "/lock", pid + "\n");
        testing::writeFile(at + "/1.tmp", "page");
        if (other)
            testing::writeFile(at + "/" + other, "note");
    };
    const struct {
        const char* name;
        std::string path;
        bool removed;
        std::function<void(const std::string&)> plant;
    } cases[] = {
        {"the killed export's spill folder", root + "/" + spilled[0], true, nullptr},
        {"a spill folder of a gone process", root + "/vistrel-pdb-dead01", true,
         [&](const std::string& p) { spillFolder(p, dead, nullptr); }},
        {"a spill folder of a running process", root + "/vistrel-pdb-live01", false,
         [&](const std::string& p) { spillFolder(p, live, nullptr); }},
        {"a spill folder whose lock is held", root + "/vistrel-pdb-held01", false,
         [&](const std::string& p) {
             spillFolder(p, dead, nullptr);
             hold(p + "/lock");
         }},
        {"a spill folder without a lock file", root + "/vistrel-pdb-nolock", false,
         [&](const std::string& p) { spillFolder(p, "", nullptr); }},
        {"a spill folder holding another file", root + "/vistrel-pdb-other1", false,
         [&](const std::string& p) { spillFolder(p, dead, "notes.txt"); }},
        {"another name", root + "/vistrel-pdb-dead0001", false,
         [&](const std::string& p) { spillFolder(p, dead, nullptr); }},
        {"a link to a spill folder", root + "/vistrel-pdb-link01", false,
         [&](const std::string& p) {
             spillFolder(folder + "/linked", dead, nullptr);
             fs::create_directory_symlink(folder + "/linked", p);
         }},
        {"a spill folder of another user", root + "/vistrel-pdb-alien1", !rootUser,
         [&](const std::string& p) {
             spillFolder(p, dead, nullptr);
             if (!rootUser || chown(p.c_str(), 65534, 65534) != 0)
                 fs::remove_all(p);
         }},
        {"a new file of a gone process", db + "." + dead + ".0123456789abcdef.tmp", true,
         [&](const std::string& p) { testing::writeFile(p, "half"); }},
        {"a new file of a running process", db + "." + live + ".0123456789abcdef.tmp", false,
         [&](const std::string& p) { testing::writeFile(p, "half"); }},
        {"a new file whose lock is held", db + "." + dead + ".fedcba9876543210.tmp", false,
         [&](const std::string& p) {
             testing::writeFile(p, "half");
             hold(p);
         }},
        {"a new file for another name", folder + "/other.pdb." + dead + ".0123456789abcdef.tmp",
         false, [&](const std::string& p) { testing::writeFile(p, "half"); }},
        {"a new file of another user", db + "." + dead + ".00000000000000aa.tmp", !rootUser,
         [&](const std::string& p) {
             testing::writeFile(p, "half");
             if (!rootUser || chown(p.c_str(), 65534, 65534) != 0)
                 fs::remove(p);
         }},
        {"a numbered file", db + ".1.tmp", false,
         [&](const std::string&) {
             for (int n = 1; n <= 100; ++n)
                 testing::writeFile(db + "." + std::to_string(n) + ".tmp", "old");
         }},
    };
    for (const auto& c : cases) {
        if (c.plant)
            c.plant(c.path);
    }

    {
        PDBPageStore next(u"next");
        add(next, {8, 8});
        EXPECT_EQ(writeAndCheck(next, "leftovers/pages.pdb").rfind("name \"next\"", 0), 0u);
    }
    for (const auto& c : cases) {
        EXPECT_EQ(fs::exists(fs::symlink_status(c.path)), !c.removed) << c.name;
    }
    EXPECT_TRUE(fs::exists(folder + "/linked/lock"));
    EXPECT_TRUE(fs::exists(db + ".100.tmp"));

    for (int fd : heldLocks)
        close(fd);
    kill(running, SIGKILL);
    waitpid(running, nullptr, 0);
    for (const auto& entry : fs::directory_iterator(root))
        fs::remove_all(entry.path());
}

}  // namespace
}  // namespace vistrel
