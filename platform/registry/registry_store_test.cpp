#include "platform/registry/registry_store.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/registry/registry.h"

namespace win {
namespace {

StoredValue stringValue(std::u16string name, std::u16string text) {
    StoredValue v{std::move(name), REG_SZ, {}};
    v.data.resize(text.size() * 2);
    if (!text.empty())
        std::memcpy(v.data.data(), text.data(), v.data.size());
    return v;
}

// Files written by hand: what is read, and what a rewrite gives back.
TEST(RegistryStoreText, ReadsAndRewrites) {
    struct Case {
        const char* what;
        const char* text;
        const char* rewritten;
    };
    const Case cases[] = {
        {"empty file", "", ""},
        {"blank lines and carriage returns go",
         "\r\n[HKEY_CURRENT_USER\\A]\r\n\r\n\"x\"=dword:1\r\n",
         "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:00000001\n"},
        {"lines before the first section are kept",
         "; my settings\n[HKEY_CURRENT_USER\\A]\n@=\"v\"\n",
         "; my settings\n\n[HKEY_CURRENT_USER\\A]\n@=\"v\"\n"},
        {"a garbled value line stays where it was",
         "[HKEY_CURRENT_USER\\A]\n\"x\"=hex:0g\n\"y\"=\"ok\"\n\"z\"=\"no end\n",
         "[HKEY_CURRENT_USER\\A]\n\"x\"=hex:0g\n\"y\"=\"ok\"\n\"z\"=\"no end\n"},
        {"a section of another root keeps its lines as they are",
         "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:1\n[hkey_current_user\\B]\n\"y\"=hex:AB,cd\n",
         "[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:1\n\n[HKEY_CURRENT_USER\\B]\n\"y\"=hex:ab,cd\n"},
        {"ill-formed UTF-8 is not read", "[HKEY_CURRENT_USER\\A]\n\"x\"=\"\xC3(\"\n",
         "[HKEY_CURRENT_USER\\A]\n\"x\"=\"\xC3(\"\n"},
        {"numbers of more than 32 bits are not read",
         "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n",
         "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RegistryStore::parse(c.text).serialize(), c.rewritten) << c.what;
    }

    RegistryStore store = RegistryStore::parse(cases[4].text);
    EXPECT_FALSE(store.keyExists({u"A"}));
    ASSERT_NE(store.findValue({u"b"}, u"Y"), nullptr);
    EXPECT_EQ(store.findValue({u"B"}, u"y")->data, (std::vector<std::uint8_t>{0xAB, 0xCD}));
    store = RegistryStore::parse(cases[3].text);
    EXPECT_EQ(store.findValue({u"A"}, u"x"), nullptr);
    EXPECT_NE(store.findValue({u"A"}, u"y"), nullptr);
}

// Every unit of a name or text survives a write and a read, whatever it is.
TEST(RegistryStoreText, StringsRoundTrip) {
    const std::u16string texts[] = {
        u"",
        u"plain",
        u"quote \" backslash \\ tab \t cr \r lf \n",
        std::u16string(u"nul\0inside", 10),
        u"\u00e9t\u00e9 \u0416 \u20ac \U0001F600",
        u"\x01\x1f\x7f",
        u"lone \xD800 and \xDC00 surrogates",
    };
    for (const auto& text : texts) {
        RegistryStore store;
        store.createKey({u"K", u"\u00c9t\u00e9 ]"});
        ASSERT_TRUE(store.setValue({u"K", u"\u00c9t\u00e9 ]"}, stringValue(text, text)));
        std::string file = store.serialize();
        RegistryStore again = RegistryStore::parse(file);
        const StoredValue* v = again.findValue({u"k", u"\u00e9T\u00c9 ]"}, text);
        ASSERT_NE(v, nullptr) << file;
        EXPECT_EQ(*v, stringValue(text, text)) << file;
        EXPECT_EQ(again.serialize(), file);
    }
}

TEST(RegistryStoreKeys, CreateAndDelete) {
    RegistryStore store;
    EXPECT_TRUE(store.createKey({u"Software", u"Corvane", u"LumbraGUI"}));
    EXPECT_TRUE(store.keyExists({u"SOFTWARE", u"corvane"}));  // through the key below it
    EXPECT_FALSE(store.createKey({u"software", u"CORVANE", u"lumbragui"}));
    EXPECT_TRUE(store.createKey({u"software", u"corvane", u"Other"}));
    // The new key is spelled like the keys above it that exist already.
    EXPECT_NE(store.serialize().find("[HKEY_CURRENT_USER\\Software\\Corvane\\Other]"),
              std::string::npos);

    EXPECT_EQ(store.deleteKey({u"Software", u"Corvane"}), RegistryStore::DeleteResult::HasSubkeys);
    EXPECT_EQ(store.deleteKey({u"Software", u"Corvane", u"Other"}),
              RegistryStore::DeleteResult::Deleted);
    EXPECT_EQ(store.deleteKey({u"Software", u"Corvane", u"Other"}),
              RegistryStore::DeleteResult::NotFound);
    EXPECT_EQ(store.deleteKey({}), RegistryStore::DeleteResult::NotFound);
}

}  // namespace
}  // namespace win
