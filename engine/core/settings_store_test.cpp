#include "engine/core/settings_store.h"

#include <gtest/gtest.h>

#include <string>

namespace vistrel {
namespace {

const WString kQuality{u"Quality", WString::kConstant};
const WString kSizeLimit{u"ImageSizeLimit", WString::kConstant};
const WString kInterface{u"Interface", WString::kConstant};
const WString kProgress{u"ProgressIndicator", WString::kConstant};

WString w(const char16_t* text) {
    return WString(text);
}

TEST(SettingValueTest, ReadingConventions) {
    struct Case {
        const char* what;
        SettingValue value;
        bool asSwitch;
        std::int32_t asNumber;
        std::u16string asText;
    };
    const Case cases[] = {
        {"text true", SettingValue::ofText(w(u"true")), true, 0, u"true"},
        {"text True", SettingValue::ofText(w(u"True")), false, 0, u"True"},
        {"text 1", SettingValue::ofText(w(u"1")), false, 1, u"1"},
        {"text -42", SettingValue::ofText(w(u"-42")), false, -42, u"-42"},
        {"real 2.5", SettingValue::ofReal(2.5), true, 3, u"2.500000"},
        {"real -2.5", SettingValue::ofReal(-2.5), true, -3, u"-2.500000"},
        {"real 2.49", SettingValue::ofReal(2.49), true, 2, u"2.490000"},
        {"real 0.0", SettingValue::ofReal(0.0), false, 0, u"0.000000"},
        {"real 1e300", SettingValue::ofReal(1e300), true, INT32_MAX, std::u16string()},
        {"integer 7", SettingValue::ofInteger(7), true, 7, u"7"},
        {"integer 0", SettingValue::ofInteger(0), false, 0, u"0"},
        {"boolean on", SettingValue::ofBoolean(true), true, 1, u"true"},
        {"boolean off", SettingValue::ofBoolean(false), false, 0, u"false"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readSettingSwitch(&c.value, !c.asSwitch), c.asSwitch);
        EXPECT_EQ(readSettingNumber(&c.value, 99), c.asNumber);
        if (!c.asText.empty()) {
            EXPECT_EQ(std::u16string(readSettingText(&c.value, w(u"default")).view()), c.asText);
        }
    }
    // No value, or a kind outside 1 to 4: the reader's default.
    SettingValue odd;
    odd.kind = 9;
    for (const SettingValue* v :
         {static_cast<const SettingValue*>(nullptr), static_cast<const SettingValue*>(&odd)}) {
        EXPECT_TRUE(readSettingSwitch(v, true));
        EXPECT_FALSE(readSettingSwitch(v, false));
        EXPECT_EQ(readSettingNumber(v, 13), 13);
        EXPECT_EQ(std::u16string(readSettingText(v, w(u"\\")).view()), u"\\");
    }
}

TEST(SettingsStoreTest, SetAndFind) {
    SettingsStore store;
    EXPECT_EQ(store.find(kQuality, kSizeLimit), nullptr);
    store.set(kQuality, kSizeLimit, SettingValue::ofInteger(1000));
    SettingValue* v = store.find(kQuality, kSizeLimit);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->kind, SettingValue::kInteger);
    EXPECT_EQ(v->integer, 1000);
    // Names are compared with case, and by value, not by address.
    EXPECT_EQ(store.find(w(u"quality"), kSizeLimit), nullptr);
    EXPECT_EQ(store.find(kQuality, w(u"imageSizeLimit")), nullptr);
    EXPECT_EQ(store.find(w(u"Quality"), w(u"ImageSizeLimit")), v);
    EXPECT_EQ(store.find(kInterface, kSizeLimit), nullptr);
    // A second set changes the stored value in place.
    SettingValue text = SettingValue::ofText(w(u"true"));
    store.set(kQuality, kSizeLimit, text);
    EXPECT_EQ(store.find(kQuality, kSizeLimit), v);
    EXPECT_EQ(v->kind, SettingValue::kText);
    EXPECT_EQ(std::u16string(v->text.view()), u"true");
    // The store keeps its own copy.
    text.text.assignText(u"changed");
    EXPECT_EQ(std::u16string(v->text.view()), u"true");
    EXPECT_EQ(store.sectionCount(), 1);
}

TEST(SettingsStoreTest, SaveAndRestore) {
    SettingsStore store;
    store.set(kInterface, kProgress, SettingValue::ofBoolean(true));
    // A temporary override: save, set, restore.
    store.save(kInterface, kProgress);
    EXPECT_EQ(store.find(kInterface, kProgress), nullptr);
    store.set(kInterface, kProgress, SettingValue::ofBoolean(false));
    EXPECT_FALSE(readSettingSwitch(store.find(kInterface, kProgress), true));
    store.restore(kInterface, kProgress);
    SettingValue* v = store.find(kInterface, kProgress);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->kind, SettingValue::kBoolean);
    EXPECT_TRUE(v->boolean);
    // Restore with nothing parked leaves no value.
    store.restore(kInterface, kProgress);
    EXPECT_EQ(store.find(kInterface, kProgress), nullptr);
    // Saving twice destroys the first parked value.
    store.set(kInterface, kProgress, SettingValue::ofInteger(5));
    store.save(kInterface, kProgress);
    store.save(kInterface, kProgress);
    store.restore(kInterface, kProgress);
    EXPECT_EQ(store.find(kInterface, kProgress), nullptr);
    // Missing sections and keys are not an error.
    store.save(w(u"Nope"), kProgress);
    store.restore(kInterface, w(u"Nope"));
    EXPECT_EQ(store.sectionCount(), 1);
}

TEST(StringHashMapTest, GrowsAtTheLoadFactor) {
    StringHashMap<int> map;
    EXPECT_EQ(map.bucketCount(), 128);
    for (int i = 0; i < 121; ++i) {
        WString key;
        key.fromInt(i);
        ASSERT_NE(map.insert(key, i), nullptr);
        EXPECT_EQ(map.bucketCount(), i < 120 ? 128 : 512) << i;
    }
    for (int i = 0; i < 121; ++i) {
        WString key;
        key.fromInt(i);
        int* v = map.find(key);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*v, i);
    }
    EXPECT_EQ(map.find(w(u"121")), nullptr);
}

TEST(SettingsStoreTest, GlobalStoreIsOne) {
    EXPECT_EQ(&settingsStore(), &settingsStore());
}

}  // namespace
}  // namespace vistrel
