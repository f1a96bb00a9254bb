#include "viewer/app/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_config_home.h"
#include "viewer/app/scrambler.h"
#include "viewer/app/settings_table.h"

namespace brevant {
namespace {

using vistrel::test::TempConfigHome;

const char16_t kKey[] = u"Software\\Corvane\\LumbraGUI";

// Writes a value straight into the settings key, as a hand edit would.
void writeRaw(const char16_t* name, win::DWORD type, const void* data, win::DWORD size) {
    win::HKEY key = nullptr;
    ASSERT_EQ(win::RegCreateKeyExW(win::HKEY_CURRENT_USER, kKey, 0, nullptr, 0, win::KEY_ALL_ACCESS,
                                   nullptr, &key, nullptr),
              win::ERROR_SUCCESS);
    ASSERT_EQ(win::RegSetValueExW(key, name, 0, type, static_cast<const win::BYTE*>(data), size),
              win::ERROR_SUCCESS);
    win::RegCloseKey(key);
}

void writeRawText(const char16_t* name, std::u16string_view text) {
    writeRaw(name, win::REG_SZ, text.data(), win::DWORD(text.size() * 2));
}

// The stored text of a string value, or "(missing)".
std::u16string rawText(const char16_t* name) {
    win::HKEY key = nullptr;
    if (win::RegOpenKeyExW(win::HKEY_CURRENT_USER, kKey, 0, win::KEY_READ, &key) !=
        win::ERROR_SUCCESS)
        return u"(missing)";
    char16_t text[256] = {};
    win::DWORD size = sizeof text - 2;
    win::LONG status = win::RegQueryValueExW(key, name, nullptr, nullptr,
                                             reinterpret_cast<win::BYTE*>(text), &size);
    win::RegCloseKey(key);
    return status == win::ERROR_SUCCESS ? std::u16string(text) : u"(missing)";
}

TEST(Options, MissingKeyAndValuesGiveDefaults) {
    TempConfigHome home;
    {
        TOptions options;
        EXPECT_EQ(options.ReadString("Open dir", "."), ".");
        EXPECT_EQ(options.ReadInteger("Default zoom", 100), 100);
        EXPECT_EQ(options.ReadInteger("Default zoom", -3), -3);
        EXPECT_TRUE(options.ReadBool("Show Splash", true));
        EXPECT_FALSE(options.ReadBool("Open dialog", false));
        std::uint8_t buffer[44];
        EXPECT_EQ(options.ReadBinary("Main Form", buffer), 0);
    }
    EXPECT_EQ(readSetting(settings::kOpenDir), ".");
    EXPECT_EQ(readSetting(settings::kPalmFormat), 4);
    EXPECT_EQ(readMainForm(), std::nullopt);
    // The first write creates the key.
    writeSetting(settings::kDefaultZoom, 250);
    EXPECT_EQ(readSetting(settings::kDefaultZoom), 250);
}

TEST(Options, ValuesAreStoredScrambled) {
    TempConfigHome home;
    const QString history = QString::fromUtf16(u"C:\\Grüße\\файл.pdf\r\n/home/𝄞/b.pdf");
    {
        TOptions options;
        options.WriteInteger("Default page", 100);
        options.WriteBool("Tool bar", true);
        options.WriteBool("Status bar", false);
        options.WriteString("File history", history);
        options.WriteInteger("Defaul Quality", -2);
    }
    EXPECT_EQ(rawText(u"Default page"), u"KF7KKF7MKF7M");
    EXPECT_EQ(rawText(u"Tool bar"), u"KF7K");
    EXPECT_EQ(rawText(u"Status bar"), u"KF7M");
    TOptions options;
    EXPECT_EQ(options.ReadInteger("Default page", 1), 100);
    EXPECT_TRUE(options.ReadBool("Tool bar", false));
    EXPECT_FALSE(options.ReadBool("Status bar", true));
    EXPECT_EQ(options.ReadString("File history", ""), history);
    EXPECT_EQ(options.ReadInteger("Defaul Quality", 4), -2);
}

TEST(Options, StoredTextsThatDoNotReadBack) {
    TempConfigHome home;
    // A plain value written by hand is unscrambled like any other.
    writeRawText(u"Open dir", u"/home/user");
    writeRawText(u"Tree Path", u"");
    const win::DWORD number = 7;
    writeRaw(u"Default page", win::REG_DWORD, &number, 4);
    TOptions options;
    QString plain = "/home/user";
    QString expected = plain;
    UnscrambleText(expected);
    EXPECT_EQ(options.ReadString("Open dir", "."), expected);
    EXPECT_EQ(options.ReadString("Open dir", ".").size(), 3);
    // Empty once unscrambled, or not a string: the default.
    EXPECT_EQ(options.ReadString("Tree Path", "x"), "x");
    EXPECT_EQ(options.ReadInteger("Default page", 1), 1);
    // Texts that are not whole numbers give the default.
    for (const char* text : {"12a", " 12", "1.5", "99999999999", "/home/user"}) {
        options.WriteString("Default zoom", text);
        EXPECT_EQ(options.ReadInteger("Default zoom", 100), 100) << text;
        EXPECT_TRUE(options.ReadBool("Default zoom", true)) << text;
    }
    options.WriteString("Default zoom", "+0");
    EXPECT_FALSE(options.ReadBool("Default zoom", true));
}

TEST(Options, BinaryValues) {
    TempConfigHome home;
    WindowPlacement placement;
    placement.flags = 2;
    placement.showState = 3;
    placement.minX = -1;
    placement.minY = -1;
    placement.maxX = -8;
    placement.maxY = -30;
    placement.left = 100;
    placement.top = 50;
    placement.right = 900;
    placement.bottom = 700;
    writeMainForm(placement);
    EXPECT_EQ(readMainForm(), placement);
    const std::array<std::uint8_t, 44> bytes = placement.toBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<std::uint8_t>{44, 0, 0, 0, 2, 0, 0, 0}));

    // Only a block of exactly 44 bytes is a placement; a larger value does
    // not fit the buffer and reads as nothing.
    std::vector<std::uint8_t> other(bytes.begin(), bytes.end());
    for (size_t size : {43, 45, 0}) {
        other.resize(size);
        TOptions().WriteBinary("Main Form", other);
        EXPECT_EQ(readMainForm(), std::nullopt) << size;
    }
    other.resize(43);
    TOptions().WriteBinary("Main Form", other);
    std::uint8_t buffer[44];
    EXPECT_EQ(TOptions().ReadBinary("Main Form", buffer), 43);
    // A string value is not binary.
    TOptions().WriteString("Main Form", "x");
    EXPECT_EQ(TOptions().ReadBinary("Main Form", buffer), 0);
}

TEST(Options, RegistryThatCannotBeWritten) {
    TempConfigHome home;
    // The store's folder cannot be made: a file stands in its place.
    std::ofstream(home.path() / "lumbra") << "not a folder";
    TOptions options;
    EXPECT_EQ(options.ReadString("Open dir", "."), ".");
    EXPECT_EQ(options.ReadInteger("Palm Format", 4), 4);
    EXPECT_THROW(options.WriteString("Open dir", "/tmp/"), SettingsError);
    EXPECT_THROW(options.WriteBool("Left panel", false), SettingsError);
    EXPECT_NO_THROW(options.WriteBinary("Main Form", WindowPlacement().toBytes()));
    EXPECT_THROW(writeSetting(settings::kLeftPanel, false), SettingsError);
}

}  // namespace
}  // namespace brevant
