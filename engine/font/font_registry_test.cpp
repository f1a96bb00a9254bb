#include "engine/font/font_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/settings_store.h"
#include "engine/font/cid_font.h"
#include "engine/font/encoding_table.h"
#include "engine/font/font_database.h"
#include "engine/font/font_dict.h"
#include "engine/font/font_encoding.h"
#include "engine/font/glyph_cache.h"
#include "engine/font/glyph_names.h"
#include "engine/font/installed_font_map.h"
#include "engine/font/font_test_util.h"
#include "engine/render/raster/raster_test_util.h"

namespace vistrel {
namespace {

using test::RecordingDevice;
using testing::SettingGuard;

std::string text(const WString& s) {
    return s.toUtf8();
}

// --- Fakes: kinds, descriptions, fonts, factories and loaders ---

struct KindInfo {
    const char16_t* name;
    std::int32_t number;
};
constexpr KindInfo kKinds[] = {
    {u"Type1", 257}, {u"TrueType", 0}, {u"Type3", 3}, {u"X", 100}, {u"Y", 101}, {u"Type1CID", 264},
};
enum Kind { kType1, kTrueType, kType3, kX, kY, kType1CID };

class TestDescription : public FontDescription {
public:
    TestDescription(std::int32_t kind, const WString& face) : kind_(kind) { name().assign(face); }
    std::int32_t kind() const override { return kind_; }

private:
    std::int32_t kind_;
};

// What the loaders tried, as "<kind> <face> +" (StrictTTSubst on) or "-".
std::vector<std::string> tries;
// The "<kind> <face>" pairs the loaders can load.
std::set<std::string> available;
// The request the last factory read.
const StandardFontRequest* lastRequest = nullptr;
int fontsAlive = 0;
int fontsMade = 0;

class TestFont : public FontRenderer {
public:
    TestFont(std::string name, OutputDevice* device)
        : FontRenderer(nullptr, device), label(std::move(name)), serial(++fontsMade) {
        ++fontsAlive;
    }
    ~TestFont() override { --fontsAlive; }

    bool trimCache(int level) override {
        trims.push_back(level);
        return trimAnswer;
    }
    void readOptions() override { ++optionReads; }
    bool isReleasable() const override { return releasable; }
    void description(WString& out) const override { out.assign(WString::fromUtf8(label)); }

    std::string label;
    int serial;
    std::vector<int> trims;
    bool trimAnswer = false;
    int optionReads = 0;
    bool releasable = true;
    // Handles the font holds (as a Type 3 font holds its resources' fonts).
    std::vector<Ref<FontHandle>> held;
};

TestFont* testFont(FontHandle* handle) {
    return handle ? static_cast<TestFont*>(handle->currentFont()) : nullptr;
}

// The face a factory reads: the request's face list, or a description's
// name.
WString faceOf(const FontSource& source) {
    if (source.request())
        return source.request()->faces;
    if (source.description())
        return source.description()->name();
    return WString();
}

template <int K>
Ref<FontDescription> testFactory(const FontSource& source, WString& outName) {
    lastRequest = source.request();
    const WString face = faceOf(source);
    outName.assign(WString(kKinds[K].name) + u": " + face);
    return Ref<FontDescription>::adopt(new TestDescription(kKinds[K].number, face));
}

// A second factory for a pair: its key names tell it apart.
Ref<FontDescription> otherFactory(const FontSource& source, WString& outName) {
    outName.assignText(u"other");
    return Ref<FontDescription>::adopt(new TestDescription(257, faceOf(source)));
}

template <int K>
std::unique_ptr<FontRenderer> testLoader(FontDescription& description, OutputDevice* device) {
    const std::string name = text(WString(kKinds[K].name)) + " " + text(description.name());
    const bool strict = readSettingSwitch(
        settingsStore().find(settings::FontSystem, settings::StrictTTSubst), false);
    tries.push_back(name + (strict ? " +" : " -"));
    if (!available.count(name))
        return nullptr;
    return std::make_unique<TestFont>(name, device);
}

// The registrations the engine makes at start.
void registerEngineKinds(FontRegistry& r) {
    r.registerLoader(fontwords::Type1CID, testLoader<kType1CID>, -200);
    r.registerLoader(fontwords::Type1, testLoader<kType1>, -100);
    r.registerLoader(fontwords::TrueType, testLoader<kTrueType>, 1000);
    r.registerLoader(fontwords::Type3, testLoader<kType3>, 100000);
    r.registerFactory(fontwords::Type1, fontwords::Standard, testFactory<kType1>);
    r.registerFactory(fontwords::Type1, fontwords::PDF, testFactory<kType1>);
    r.registerFactory(fontwords::TrueType, fontwords::Standard, testFactory<kTrueType>);
    r.registerFactory(fontwords::TrueType, fontwords::PDF, testFactory<kTrueType>);
    r.registerFactory(fontwords::Type3, fontwords::PDF, testFactory<kType3>);
}

Ref<StandardFontRequest> request(const char16_t* faces) {
    auto r = Ref<StandardFontRequest>::adopt(new StandardFontRequest());
    r->faces.assignText(faces);
    r->name.assignText(u"request");
    r->weight = 700;
    r->italic = true;
    r->differences = std::make_unique<Differences>();
    r->differences->add(65, WString(u"/Alpha"));
    return r;
}

class FontRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        tries.clear();
        available.clear();
        lastRequest = nullptr;
        registerEngineKinds(registry);
    }
    void TearDown() override {
        registry.purge(-1);
        EXPECT_EQ(registry.liveFontCount(), 0);
    }

    Ref<FontHandle> create(const WString& kind, const WString& category,
                           StandardFontRequest* source, bool reuse = true,
                           OutputDevice* device = nullptr) {
        return registry.createFont(kind, category, FontSource(source), device, reuse);
    }
    std::string strictSetting() const {
        const SettingValue* v = settingsStore().find(settings::FontSystem, settings::StrictTTSubst);
        return v ? text(readSettingText(v, WString())) : "none";
    }

    SettingGuard strict{settings::FontSystem, settings::StrictTTSubst};
    FontRegistry registry;
};

// --- Registration ---

TEST_F(FontRegistryTest, RegisteringTwiceKeepsTheFirst) {
    EXPECT_FALSE(registry.registerLoader(fontwords::Type1, testLoader<kX>, 7));
    EXPECT_EQ(registry.loaderEntry(fontwords::Type1).priority, -100);
    EXPECT_EQ(registry.loaderEntry(WString(u"blah")).loader, nullptr);
    EXPECT_EQ(registry.loaderEntry(WString(u"blah")).priority, 2147483647);
    EXPECT_FALSE(registry.registerFactory(fontwords::Type1, fontwords::PDF, otherFactory));
    EXPECT_TRUE(registry.hasFactory(fontwords::Type1, fontwords::PDF));
    EXPECT_FALSE(registry.hasFactory(fontwords::Type3, fontwords::Standard));
    EXPECT_FALSE(registry.hasFactory(fontwords::Type1, WString(u"Fonts")));

    available = {"Type1 Arial"};
    auto r = request(u"Arial");
    Ref<FontHandle> h = create(fontwords::Type1, fontwords::PDF, r.get());
    ASSERT_TRUE(h);
    EXPECT_EQ(text(registry.liveFont(*h)->key), "Type1: Arial");
}

TEST_F(FontRegistryTest, UnregisteringDropsEmptyCategories) {
    EXPECT_FALSE(registry.unregisterLoader(WString(u"blah")));
    EXPECT_FALSE(registry.unregisterFactory(fontwords::Type3, fontwords::Standard));
    EXPECT_TRUE(registry.unregisterFactory(fontwords::Type1, fontwords::Standard));
    EXPECT_TRUE(registry.hasFactory(fontwords::TrueType, fontwords::Standard));
    EXPECT_TRUE(registry.unregisterFactory(fontwords::TrueType, fontwords::Standard));
    EXPECT_FALSE(registry.hasFactory(fontwords::TrueType, fontwords::Standard));
    // The category is gone: a request for it tries nothing.
    auto r = request(u"Arial");
    EXPECT_FALSE(create(fontwords::Type1, fontwords::Standard, r.get()));
    EXPECT_TRUE(tries.empty());
    // It comes back with a new factory.
    EXPECT_TRUE(registry.registerFactory(fontwords::Type1, fontwords::Standard, otherFactory));

    EXPECT_TRUE(registry.unregisterLoader(fontwords::Type1CID));
    EXPECT_FALSE(registry.hasLoader(fontwords::Type1CID));
    std::set<std::string> kinds;
    for (bool on = registry.firstLoader(); on; on = registry.nextLoader())
        kinds.insert(text(*registry.currentLoaderKind()));
    EXPECT_EQ(kinds, (std::set<std::string>{"Type1", "TrueType", "Type3"}));
    EXPECT_EQ(registry.currentLoaderKind(), nullptr);
}

// --- Selection ---

// Requests -> the loaders tried, each with the StrictTTSubst value it saw,
// and the font made.
TEST_F(FontRegistryTest, OrderOfTries) {
    const struct {
        const char16_t* kind;
        const char16_t* category;
        const char16_t* faces;
        std::set<std::string> available;
        std::vector<std::string> tries;
        std::string font;  // empty: none
    } cases[] = {
        {u"Type1", u"PDF", u"Arial", {"Type1 Arial"}, {"Type1 Arial +"}, "Type1 Arial"},
        {u"Type1",
         u"PDF",
         u"Arial",
         {},
         {"Type1 Arial +", "Type1 Arial -", "TrueType Arial -", "Type3 Arial -"},
         ""},
        {u"Type1",
         u"Standard",
         u"Arial",
         {"TrueType Arial"},
         {"Type1 Arial +", "Type1 Arial -", "TrueType Arial -"},
         "TrueType Arial"},
        {u"Type1",
         u"Standard",
         u"A;B;C",
         {},
         {"Type1 A +", "Type1 A +", "TrueType A +", "Type1 B +", "Type1 B +", "TrueType B +",
          "Type1 C +", "Type1 C -", "TrueType C -"},
         ""},
        {u"Type1",
         u"Standard",
         u"A;B;C",
         {"TrueType B"},
         {"Type1 A +", "Type1 A +", "TrueType A +", "Type1 B +", "Type1 B +", "TrueType B +"},
         "TrueType B"},
        {u"Type1",
         u"Standard",
         u"A;;C",
         {"Type1 C"},
         {"Type1 A +", "Type1 A +", "TrueType A +", "Type1  +", "Type1  +", "TrueType  +",
          "Type1 C +"},
         "Type1 C"},
        // A kind without loader or factory comes from the fallback alone.
        {u"blah",
         u"PDF",
         u"Arial",
         {"Type3 Arial"},
         {"Type1 Arial -", "TrueType Arial -", "Type3 Arial -"},
         "Type3 Arial"},
        {u"Type1", u"Fonts", u"Arial", {"Type1 Arial"}, {}, ""},
    };
    for (const auto& c : cases) {
        tries.clear();
        available = c.available;
        auto r = request(c.faces);
        Ref<FontHandle> h = create(WString(c.kind), WString(c.category), r.get());
        const std::string label = text(WString(c.kind)) + " " + text(WString(c.faces));
        EXPECT_EQ(tries, c.tries) << label;
        ASSERT_EQ(bool(h), !c.font.empty()) << label;
        if (!h)
            continue;
        EXPECT_EQ(testFont(h.get())->label, c.font) << label;
        EXPECT_EQ(h->refCount(), 2u);
        // The record keeps the asked kind and the caller's own request.
        const LiveFont* record = registry.liveFont(*h);
        EXPECT_EQ(text(record->kind), text(WString(c.kind))) << label;
        EXPECT_EQ(text(record->category), text(WString(c.category))) << label;
        EXPECT_EQ(record->source.request(), r.get()) << label;
        EXPECT_EQ(record->font.get(), h->currentFont());
        EXPECT_EQ(text(record->key),
                  c.font.substr(0, c.font.find(' ')) + ": " + c.font.substr(c.font.find(' ') + 1));
        // StrictTTSubst stays at the value of the last try.
        EXPECT_EQ(strictSetting(), c.tries.back().back() == '+' ? "true" : "false") << label;
        h = nullptr;
        registry.purge(-1);
    }
}

// A face list without ';' goes to the factories as it is; the alternatives
// of one with ';' reach them in a copy that keeps every other field.
TEST_F(FontRegistryTest, AlternativesGoThroughACopyOfTheRequest) {
    auto single = request(u"Arial");
    EXPECT_FALSE(create(fontwords::Type1, fontwords::Standard, single.get()));
    EXPECT_EQ(lastRequest, single.get());

    auto several = request(u"A;B");
    EXPECT_FALSE(create(fontwords::Type1, fontwords::Standard, several.get()));
    ASSERT_NE(lastRequest, nullptr);
    EXPECT_NE(lastRequest, several.get());
    EXPECT_EQ(text(several->faces), "A;B");

    auto copy = several->withFaces(WString(u"B"));
    EXPECT_EQ(text(copy->faces), "B");
    EXPECT_EQ(text(copy->name), "request");
    EXPECT_EQ(copy->weight, 700);
    EXPECT_TRUE(copy->italic);
    ASSERT_TRUE(copy->differences);
    EXPECT_NE(copy->differences.get(), several->differences.get());
    EXPECT_TRUE(copy->differences->equals(*several->differences));
}

// "Plain": the source description goes to the kind's loader alone; a kind
// without loader gives none; StrictTTSubst is not touched either way.
TEST_F(FontRegistryTest, PlainCategory) {
    strict.set(SettingValue::ofText(WString(u"untouched")));
    auto description = Ref<FontDescription>::adopt(new TestDescription(257, WString(u"Arial")));
    const FontSource source(description.get());
    available = {"Type1 Arial", "TrueType Arial"};

    EXPECT_FALSE(registry.createFont(WString(u"blah"), fontwords::Plain, source, nullptr, true));
    Ref<FontHandle> h =
        registry.createFont(fontwords::Type1, fontwords::Plain, source, nullptr, true);
    ASSERT_TRUE(h);
    EXPECT_EQ(tries, std::vector<std::string>{"Type1 Arial -"});
    const LiveFont* record = registry.liveFont(*h);
    EXPECT_EQ(text(record->key), "Plain Type1");
    EXPECT_EQ(record->description.get(), description.get());
    EXPECT_EQ(record->source.description(), description.get());

    // An equal description is reused; no loader runs.
    auto equal = Ref<FontDescription>::adopt(new TestDescription(257, WString(u"Arial")));
    Ref<FontHandle> again = registry.createFont(fontwords::Type1, fontwords::Plain,
                                                FontSource(equal.get()), nullptr, true);
    EXPECT_EQ(again, h);
    EXPECT_EQ(h->refCount(), 3u);
    EXPECT_EQ(tries.size(), 1u);
    EXPECT_EQ(strictSetting(), "untouched");
}

// With reuse, an equal description yields the live handle with one more
// reference and no loader call: on the first try, or during the fallback
// once the asked kind has failed.
TEST_F(FontRegistryTest, ReuseOfEqualDescriptions) {
    const struct {
        std::set<std::string> available;
        std::vector<std::string> secondTries;
    } cases[] = {
        {{"Type1 Arial"}, {}},
        {{"TrueType Arial"}, {"Type1 Arial +", "Type1 Arial -"}},
    };
    for (const auto& c : cases) {
        available = c.available;
        auto first = request(u"Arial");
        Ref<FontHandle> h = create(fontwords::Type1, fontwords::PDF, first.get());
        ASSERT_TRUE(h);
        tries.clear();
        auto second = request(u"Arial");
        Ref<FontHandle> again = create(fontwords::Type1, fontwords::PDF, second.get());
        EXPECT_EQ(again, h);
        EXPECT_EQ(h->refCount(), 3u);
        EXPECT_EQ(tries, c.secondTries);
        EXPECT_EQ(registry.liveFontCount(), 1);
        // Without reuse a second font is made.
        Ref<FontHandle> fresh = create(fontwords::Type1, fontwords::PDF, second.get(), false);
        EXPECT_NE(fresh, h);
        EXPECT_EQ(registry.liveFontCount(), 2);
        h = again = fresh = nullptr;
        registry.purge(-1);
    }
}

// Equal priorities keep the kind met first in the category's table (here
// X, whose bucket comes before Y's); a lower number goes first.
TEST_F(FontRegistryTest, EqualPrioritiesKeepTheFirstMet) {
    const WString category(u"Own");
    const struct {
        std::int32_t priorityX, priorityY;
        std::vector<std::string> tries;
    } cases[] = {
        {5, 5, {"X Arial -", "Y Arial -"}},
        {5, 4, {"Y Arial -", "X Arial -"}},
    };
    for (const auto& c : cases) {
        FontRegistry own;
        own.registerLoader(WString(u"Y"), testLoader<kY>, c.priorityY);
        own.registerLoader(WString(u"X"), testLoader<kX>, c.priorityX);
        own.registerFactory(WString(u"Y"), category, testFactory<kY>);
        own.registerFactory(WString(u"X"), category, testFactory<kX>);
        tries.clear();
        auto r = request(u"Arial");
        EXPECT_FALSE(own.createFont(WString(u"Z"), category, FontSource(r.get()), nullptr, true));
        EXPECT_EQ(tries, c.tries);
    }
}

// --- Binding ---

// A released handle binds to a fresh font made on the old font's device;
// the old record goes with the purge. When nothing can be made the handle
// gets the old font back.
TEST_F(FontRegistryTest, BindExchangesTheRecords) {
    RecordingDevice device;
    available = {"Type1 Arial"};
    auto r = request(u"Arial");
    Ref<FontHandle> h = create(fontwords::Type1, fontwords::PDF, r.get(), true, &device);
    TestFont* first = testFont(h.get());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->device(), &device);

    registry.releaseCategoryFonts(fontwords::Standard);
    EXPECT_EQ(h->currentFont(), first);
    registry.releaseCategoryFonts(fontwords::PDF);
    EXPECT_EQ(h->currentFont(), nullptr);
    EXPECT_EQ(fontsAlive, 1);

    tries.clear();
    const int firstSerial = first->serial;
    registry.bindFont(*h);
    TestFont* second = testFont(h.get());
    ASSERT_TRUE(second);
    EXPECT_NE(second->serial, firstSerial);
    EXPECT_EQ(second->device(), &device);
    EXPECT_EQ(tries, std::vector<std::string>{"Type1 Arial +"});
    EXPECT_EQ(fontsAlive, 1);
    EXPECT_EQ(registry.liveFontCount(), 1);
    EXPECT_EQ(h->refCount(), 2u);
    EXPECT_EQ(registry.liveFont(*h)->font.get(), second);
    EXPECT_EQ(registry.liveFont(*h)->source.request(), r.get());

    registry.releaseCategoryFonts(fontwords::PDF);
    available.clear();
    registry.bindFont(*h);
    EXPECT_EQ(h->currentFont(), second);
    EXPECT_EQ(fontsAlive, 1);

    // A font that may not be released keeps its handle.
    second->releasable = false;
    registry.releaseCategoryFonts(fontwords::PDF);
    EXPECT_EQ(h->currentFont(), second);

    // A handle the registry does not know stays as it is.
    Ref<FontHandle> stranger = makeRef<FontHandle>();
    registry.bindFont(*stranger);
    EXPECT_EQ(stranger->currentFont(), nullptr);
}

// Reusing a released font binds it and attaches the caller's device.
TEST_F(FontRegistryTest, ReuseBindsAndAttaches) {
    RecordingDevice device;
    available = {"Type1 Arial"};
    auto r = request(u"Arial");
    Ref<FontHandle> h = create(fontwords::Type1, fontwords::PDF, r.get());
    registry.releaseCategoryFonts(fontwords::PDF);
    Ref<FontHandle> again = create(fontwords::Type1, fontwords::PDF, r.get(), true, &device);
    EXPECT_EQ(again, h);
    ASSERT_TRUE(h->currentFont());
    EXPECT_EQ(h->currentFont()->device(), &device);
    EXPECT_EQ(fontsAlive, 1);
}

// The process-wide registry binds handles through FontHandle::font.
TEST(FontRegistryGlobalTest, HandlesBindThroughTheProcessRegistry) {
    destroyFontRegistry();
    ASSERT_TRUE(createFontRegistry());
    FontRegistry* registry = fontRegistry();
    ASSERT_NE(registry, nullptr);
    registerEngineKinds(*registry);
    available = {"Type1 Arial"};
    auto r = request(u"Arial");
    Ref<FontHandle> h =
        registry->createFont(fontwords::Type1, fontwords::PDF, FontSource(r.get()), nullptr, true);
    ASSERT_TRUE(h);
    registry->releaseCategoryFonts(fontwords::PDF);
    EXPECT_NE(h->font(), nullptr);
    destroyFontRegistry();
    EXPECT_EQ(fontRegistry(), nullptr);
    // The handle outlived the registry: it keeps its font and destroys it
    // with itself.
    EXPECT_NE(h->font(), nullptr);
    EXPECT_EQ(fontsAlive, 1);
    h = nullptr;
    EXPECT_EQ(fontsAlive, 0);
    createFontRegistry();
}

// --- Purging ---

TEST_F(FontRegistryTest, PurgeAtBothLevels) {
    EXPECT_FALSE(registry.purge(-1));
    EXPECT_FALSE(registry.purge(0));

    available = {"Type1 A", "Type1 B", "Type1 C"};
    auto a = request(u"A"), b = request(u"B"), c = request(u"C");
    Ref<FontHandle> ha = create(fontwords::Type1, fontwords::PDF, a.get());
    Ref<FontHandle> hb = create(fontwords::Type1, fontwords::PDF, b.get());
    Ref<FontHandle> hc = create(fontwords::Type1, fontwords::PDF, c.get());
    TestFont* fa = testFont(ha.get());
    TestFont* fb = testFont(hb.get());

    // Level 0: every font trims; true when one of them freed something.
    EXPECT_FALSE(registry.purge(0));
    fb->trimAnswer = true;
    EXPECT_TRUE(registry.purge(0));
    EXPECT_EQ(fa->trims, (std::vector<int>{0, 0}));

    // Shared handles stay and drop their glyphs.
    fa->trims.clear();
    EXPECT_TRUE(registry.purge(-1));
    EXPECT_EQ(fa->trims, std::vector<int>{-1});
    EXPECT_EQ(fontsAlive, 3);

    // Handles only the registry holds go.
    hb = nullptr;
    hc = nullptr;
    EXPECT_EQ(fontsAlive, 3);
    EXPECT_TRUE(registry.purge(-1));
    EXPECT_EQ(fontsAlive, 1);
    EXPECT_EQ(registry.liveFontCount(), 1);
    ha = nullptr;
    EXPECT_FALSE(registry.purge(-1));
    EXPECT_EQ(fontsAlive, 0);
}

// A font that holds another font's handle releases it when it goes: the
// purge walks again and takes that one too. The heap's low-memory walk
// reaches the registry through the purge list.
TEST_F(FontRegistryTest, PurgeFollowsReleasedHandles) {
    available = {"Type1 A", "Type1 B"};
    auto a = request(u"A"), b = request(u"B");
    Ref<FontHandle> ha = create(fontwords::Type1, fontwords::PDF, a.get());
    Ref<FontHandle> hb = create(fontwords::Type1, fontwords::PDF, b.get());
    testFont(ha.get())->held.push_back(std::move(hb));
    ha = nullptr;
    purgeCaches(-1);
    EXPECT_EQ(fontsAlive, 0);
    EXPECT_EQ(registry.liveFontCount(), 0);
}

// --- Walks and options ---

TEST_F(FontRegistryTest, FontInfoWalk) {
    WString key(u"k"), description(u"d"), encoding(u"e");
    EXPECT_FALSE(registry.firstFont());
    registry.currentFontInfo(key, description, encoding);
    EXPECT_EQ(text(key), "k");

    available = {"Type1 A", "TrueType B"};
    auto a = request(u"A"), b = request(u"B");
    Ref<FontHandle> ha = create(fontwords::Type1, fontwords::PDF, a.get());
    Ref<FontHandle> hb = create(fontwords::TrueType, fontwords::Standard, b.get());
    testFont(hb.get())->setEncoding(new FontEncoding(WString(u"WinAnsiEncoding")));

    std::set<std::string> seen;
    for (bool on = registry.firstFont(); on; on = registry.nextFont()) {
        registry.currentFontInfo(key, description, encoding);
        seen.insert(text(key) + "|" + text(description) + "|" + text(encoding));
    }
    EXPECT_EQ(seen, (std::set<std::string>{"Type1: A|Type1 A|",
                                           "TrueType: B|TrueType B|WinAnsiEncoding"}));

    // Options are read again by every font.
    registry.rereadFontOptions();
    EXPECT_EQ(testFont(ha.get())->optionReads, 1);
    EXPECT_EQ(testFont(hb.get())->optionReads, 1);

    // A purge under the cursor ends the walk.
    ASSERT_TRUE(registry.firstFont());
    ha = nullptr;
    hb = nullptr;
    registry.purge(-1);
    key.assignText(u"k");
    registry.currentFontInfo(key, description, encoding);
    EXPECT_EQ(text(key), "k");
    EXPECT_FALSE(registry.nextFont());
}

// A registry destroyed while a handle is held elsewhere leaves the handle its
// font until the handle goes.
TEST(FontRegistryLifetimeTest, HeldHandlesOutliveTheRegistry) {
    available = {"Type1 A", "Type1 B"};
    auto a = request(u"A"), b = request(u"B");
    Ref<FontHandle> held;
    {
        FontRegistry registry;
        registerEngineKinds(registry);
        held = registry.createFont(fontwords::Type1, fontwords::PDF, FontSource(a.get()), nullptr,
                                   true);
        registry.createFont(fontwords::Type1, fontwords::PDF, FontSource(b.get()), nullptr, true);
        EXPECT_EQ(fontsAlive, 2);
    }
    EXPECT_EQ(fontsAlive, 1);
    ASSERT_TRUE(held);
    EXPECT_EQ(testFont(held.get())->label, "Type1 A");
    held = nullptr;
    EXPECT_EQ(fontsAlive, 0);
}

}  // namespace
}  // namespace vistrel

namespace vistrel {
namespace {

// The font layer's static objects exist from load on; destroyed, the
// registry takes its fonts with it (a Type 3 font releases its dictionary);
// built again, they start empty: the substitution database without files,
// the CID keyword list with room for 8 and nothing in it.
TEST(FontStaticObjectsTest, BuiltAtLoadAndDestroyedNewestFirst) {
    ASSERT_NE(encodingTableByName(WString(u"WinAnsiEncoding")), nullptr);
    ASSERT_NE(glyphCache(), nullptr);
    ASSERT_NE(installedFontMap(), nullptr);
    EXPECT_EQ(installedFontMap()->bucketCount(), 128);
    EXPECT_EQ(installedFontMap()->count(WString(u"/a.ttf")), 0);
    EXPECT_TRUE(installedFontMap()->setCount(WString(u"/a.ttf"), 1));

    testing::freshEngineRegistry();
    testing::FontTestDocument doc({"<< /Type /Font /Subtype /Type3 >>"});
    auto* dict = static_cast<Type3FontDict*>(asFontDict(doc.object(1)));
    const std::uint32_t count = dict->refCount();
    {
        auto description = makeRef<Type3FontDescription>(dict, nullptr);
        ASSERT_TRUE(fontRegistry()->createFont(fontwords::Type3, fontwords::PDF,
                                               FontSource(description.get()), nullptr, true));
    }
    EXPECT_GT(dict->refCount(), count);

    ConstantRegistry& statics = fontStaticObjects();
    EXPECT_EQ(statics.builtCount(), 7u);
    statics.destroyAll();
    EXPECT_EQ(fontDatabase(), nullptr);
    EXPECT_EQ(cidKeywordList(), nullptr);
    EXPECT_EQ(dict->refCount(), count);
    EXPECT_EQ(fontRegistry(), nullptr);
    EXPECT_EQ(glyphCache(), nullptr);
    EXPECT_EQ(installedFontMap(), nullptr);
    EXPECT_EQ(glyphNameMap(), nullptr);
    EXPECT_EQ(accentMap(), nullptr);
    EXPECT_EQ(encodingTableByName(WString(u"WinAnsiEncoding")), nullptr);

    statics.buildAll();
    EXPECT_EQ(glyphNameMap()->count(), 338);
    EXPECT_EQ(installedFontMap()->count(WString(u"/a.ttf")), 0);
    EXPECT_EQ(fontRegistry()->liveFontCount(), 0);
    EXPECT_FALSE(fontRegistry()->firstLoader());
    ASSERT_NE(fontDatabase(), nullptr);
    EXPECT_EQ(fontDatabase()->fonts(), nullptr);
    ASSERT_NE(cidKeywordList(), nullptr);
    EXPECT_EQ(cidKeywordList()->count(), 0);
    EXPECT_EQ(cidKeywordList()->capacity(), 8);
    testing::freshEngineRegistry();
}

}  // namespace
}  // namespace vistrel
