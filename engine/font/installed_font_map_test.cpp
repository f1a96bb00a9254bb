#include "engine/font/installed_font_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace vistrel {
namespace {

// A path the map does not hold counts 0; the map keeps its own copy of each
// path.
TEST(InstalledFontMapTest, CountsByPath) {
    InstalledFontMap map;
    EXPECT_EQ(map.bucketCount(), 128);
    WString path(u"/fonts/a.ttf");
    EXPECT_EQ(map.count(path), 0);
    EXPECT_TRUE(map.setCount(path, 1));
    EXPECT_TRUE(map.setCount(WString(u"/fonts/b.ttf"), 3));
    path.assignText(u"/fonts/b.ttf");
    EXPECT_EQ(map.count(path), 3);
    EXPECT_TRUE(map.setCount(path, 0));
    EXPECT_EQ(map.count(path), 0);
    EXPECT_EQ(map.count(WString(u"/fonts/a.ttf")), 1);
    EXPECT_EQ(map.size(), 2);
}

// Each base folder gets one private folder of mode 0700; the map's end
// deletes the files still in use and the folders.
TEST(InstalledFontMapTest, PrivateFoldersGoWithTheMap) {
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / "vistrel-map-test";
    fs::remove_all(base);
    fs::create_directory(base);
    fs::path folder;
    {
        InstalledFontMap map;
        folder = map.privateFolder(base.string());
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.parent_path(), base);
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        EXPECT_EQ(map.privateFolder(base.string()), folder.string());
        EXPECT_EQ(map.privateFolder((base / "missing").string()), "");
        std::ofstream(folder / "a.ttf") << "font";
        EXPECT_TRUE(map.setCount(WString::fromUtf8((folder / "a.ttf").string()), 2));
    }
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::is_empty(base));
    fs::remove_all(base);
}

}  // namespace
}  // namespace vistrel
