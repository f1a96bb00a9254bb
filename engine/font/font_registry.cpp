#include "engine/font/font_registry.h"

#include <iterator>
#include <utility>

#include "engine/constants/font_constants.h"
#include "engine/constants/setting_keys.h"
#include "engine/core/containers.h"
#include "engine/core/settings_store.h"
#include "engine/font/cid_font.h"
#include "engine/font/encoding_table.h"
#include "engine/font/font_database.h"
#include "engine/font/font_encoding.h"
#include "engine/font/glyph_cache.h"
#include "engine/font/glyph_names.h"
#include "engine/font/installed_font_map.h"
#include "engine/font/page_text_line_list.h"
#include "engine/render/raster/output_device.h"

namespace vistrel {

// The registry's handles: each knows its registry, which its destructor
// tells, and the description its font was made from.
class LiveFontHandle final : public FontHandle {
public:
    LiveFontHandle(FontRegistry* registry, FontRenderer* font, FontDescription* description)
        : FontHandle(font), registry_(registry), description_(description) {}

    FontDescription* description() const { return description_; }
    void setDescription(FontDescription* description) { description_ = description; }

    // The registry goes while the handle is held elsewhere: the handle keeps
    // its record and destroys it with itself.
    void orphan(std::unique_ptr<LiveFont> record) {
        registry_ = nullptr;
        orphanRecord_ = std::move(record);
    }

    // Links the handles a purge pass collects.
    LiveFontHandle* nextPurged = nullptr;

private:
    ~LiveFontHandle() override {
        if (registry_)
            registry_->removeLiveFont(*this);
    }

    FontRegistry* registry_;
    FontDescription* description_;
    std::unique_ptr<LiveFont> orphanRecord_;
};

struct FontRegistry::LoaderRecord {
    VISTREL_GLOBAL_ALLOCATOR()

    WString kind;
    FontLoaderEntry entry;
};

struct FontRegistry::FactoryRecord {
    VISTREL_GLOBAL_ALLOCATOR()

    WString kind;
    FontFactory factory;
};

struct FontRegistry::FactoryTable {
    VISTREL_GLOBAL_ALLOCATOR()

    WString category;
    KeyedHashMap<const WString*, std::unique_ptr<FactoryRecord>> kinds;

    FontFactory factory(const WString& kind) const {
        const auto& record = kinds.get(&kind);
        return record ? record->factory : nullptr;
    }
};

namespace {

void setStrictSubstitution(bool strict) {
    settingsStore().set(settings::FontSystem, settings::StrictTTSubst,
                        SettingValue::ofBoolean(strict));
}

}  // namespace

FontRegistry::FontRegistry() = default;

FontRegistry::~FontRegistry() {
    purge(-1);
    loaderCursor_.reset();
    endLiveWalk();
    // Handles still held elsewhere take their records with them; the
    // registry's reference goes.
    for (auto& node : live_)
        static_cast<LiveFontHandle*>(node.key)->orphan(std::move(node.value));
    for (auto& node : live_)
        node.key->release();
    live_.clear();
}

// --- Loaders and factories ---

bool FontRegistry::registerLoader(const WString& kind, FontLoader loader, std::int32_t priority) {
    if (hasLoader(kind))
        return false;
    std::unique_ptr<LoaderRecord> record(new LoaderRecord{kind, {loader, priority}});
    if (!record)
        return false;
    const WString* key = &record->kind;
    loaderCursor_.reset();
    return loaders_.insert(key, std::move(record));
}

bool FontRegistry::registerFactory(const WString& kind, const WString& category,
                                   FontFactory factory) {
    FactoryTable* table = findCategory(category);
    if (!table) {
        std::unique_ptr<FactoryTable> fresh(new FactoryTable());
        if (!fresh || !fresh->category.assign(category))
            return false;
        table = fresh.get();
        const WString* key = &fresh->category;
        if (!categories_.insert(key, std::move(fresh)))
            return false;
    }
    if (table->kinds.contains(&kind))
        return false;
    std::unique_ptr<FactoryRecord> record(new FactoryRecord{kind, factory});
    if (!record)
        return false;
    const WString* key = &record->kind;
    return table->kinds.insert(key, std::move(record));
}

bool FontRegistry::hasLoader(const WString& kind) const {
    return loaders_.contains(&kind);
}

bool FontRegistry::hasFactory(const WString& kind, const WString& category) const {
    const FactoryTable* table = findCategory(category);
    return table && table->kinds.contains(&kind);
}

bool FontRegistry::unregisterLoader(const WString& kind) {
    loaderCursor_.reset();
    return loaders_.remove(&kind);
}

bool FontRegistry::unregisterFactory(const WString& kind, const WString& category) {
    FactoryTable* table = findCategory(category);
    if (!table || !table->kinds.remove(&kind))
        return false;
    if (table->kinds.empty())
        categories_.remove(&category);
    return true;
}

FontLoaderEntry FontRegistry::loaderEntry(const WString& kind) const {
    const auto& record = loaders_.get(&kind);
    return record ? record->entry : FontLoaderEntry();
}

FontRegistry::FactoryTable* FontRegistry::findCategory(const WString& category) const {
    return categories_.get(&category).get();
}

// --- Making fonts ---

Ref<FontHandle> FontRegistry::createFont(const WString& kind, const WString& category,
                                         const FontSource& source, OutputDevice* device,
                                         bool reuse) {
    if (category.equals(fontwords::Plain))
        return createPlainFont(kind, category, source, device, reuse);

    // A "Standard" face list with alternatives: each is tried in turn
    // through a copy of the request that names it alone.
    const StandardFontRequest* request = source.request();
    Ref<StandardFontRequest> copy;
    bool moreFaces = false;
    std::int32_t used = -1;  // the ';' after the alternative being tried
    if (request && category.equals(fontwords::Standard)) {
        const std::int32_t i = request->faces.findChar(u';');
        if (i >= 0) {
            copy = request->withFaces(request->faces.substr(0, i));
            if (!copy)
                return nullptr;
            moreFaces = true;
            used = i;
        }
    }
    const FactoryTable* table = findCategory(category);
    if (!table)
        return nullptr;
    const FontSource copySource(copy.get());
    const FontSource& asked = copy ? copySource : source;

    WString key;
    PointerArray<const WString> tried;
    for (;;) {
        // The asked kind first, strictly.
        const FontLoaderEntry first = loaderEntry(kind);
        const FontFactory firstFactory = table->factory(kind);
        if (first.loader && firstFactory) {
            if (Ref<FontDescription> description = firstFactory(asked, key)) {
                if (reuse) {
                    if (Ref<FontHandle> shared = reuseLiveFont(*description, device))
                        return shared;
                }
                setStrictSubstitution(true);
                if (Ref<FontHandle> made =
                        loadFont(first.loader, description, source, key, category, kind, device))
                    return made;
            }
        }

        // Then every kind of the category by priority, the asked one again
        // among them, strictly only while further faces remain.
        setStrictSubstitution(moreFaces);
        tried.clear();
        for (;;) {
            const WString* picked = nullptr;
            FontLoaderEntry best;
            for (const auto& node : table->kinds) {
                const WString* candidate = node.key;
                bool done = false;
                for (std::int32_t t = 0; t < tried.count() && !done; ++t)
                    done = tried[t]->equals(*candidate);
                if (done)
                    continue;
                const FontLoaderEntry entry = loaderEntry(*candidate);
                if (entry.loader && (!picked || entry.priority < best.priority)) {
                    picked = candidate;
                    best = entry;
                }
            }
            // A kind that cannot be marked tried would be picked for ever.
            if (!picked || !tried.append(picked))
                break;
            const FontFactory factory = table->factory(*picked);
            if (Ref<FontDescription> description = factory(asked, key)) {
                if (reuse) {
                    if (Ref<FontHandle> shared = reuseLiveFont(*description, device))
                        return shared;
                }
                if (Ref<FontHandle> made =
                        loadFont(best.loader, description, source, key, category, kind, device))
                    return made;
            }
        }

        if (!copy || !moreFaces)
            return nullptr;
        // The next alternative: up to the next ';', or the rest (the last).
        const std::int32_t start = used + 1;
        const std::int32_t next = request->faces.findChar(u';', start);
        const std::int32_t end = next >= 0 ? next : request->faces.size();
        if (!copy->faces.assign(request->faces.substr(start, end - start)))
            return nullptr;
        moreFaces = next >= 0;
        used = end;
    }
}

Ref<FontHandle> FontRegistry::createPlainFont(const WString& kind, const WString& category,
                                              const FontSource& source, OutputDevice* device,
                                              bool reuse) {
    const FontLoaderEntry entry = loaderEntry(kind);
    FontDescription* description = source.description();
    if (!entry.loader || !description)
        return nullptr;
    if (reuse) {
        if (Ref<FontHandle> shared = reuseLiveFont(*description, device))
            return shared;
    }
    const WString key = u"Plain " + kind;
    return loadFont(entry.loader, Ref<FontDescription>::share(description), source, key, category,
                    kind, device);
}

Ref<FontHandle> FontRegistry::reuseLiveFont(const FontDescription& description,
                                            OutputDevice* device) {
    Ref<FontHandle> found;
    for (const auto& node : live_) {
        const LiveFont& record = *node.value;
        if (record.description && record.description->equals(&description)) {
            found = Ref<FontHandle>::share(node.key);
            break;
        }
    }
    if (found && device) {
        if (!found->currentFont())
            bindFont(*found);
        if (FontRenderer* font = found->currentFont())
            font->attachDevice(device, nullptr);
    }
    return found;
}

Ref<FontHandle> FontRegistry::loadFont(FontLoader loader, const Ref<FontDescription>& description,
                                       const FontSource& source, const WString& key,
                                       const WString& category, const WString& kind,
                                       OutputDevice* device) {
    std::unique_ptr<FontRenderer> font = loader(*description, device);
    if (!font)
        return nullptr;
    return addLiveFont(std::move(font), description, source, key, category, kind);
}

Ref<FontHandle> FontRegistry::addLiveFont(std::unique_ptr<FontRenderer> font,
                                          const Ref<FontDescription>& description,
                                          const FontSource& source, const WString& key,
                                          const WString& category, const WString& kind) {
    std::unique_ptr<LiveFont> record(new LiveFont{kind, category, key, description, source, {}});
    if (!record)
        return nullptr;
    auto* handle = new LiveFontHandle(this, font.get(), description.get());
    if (!handle)
        return nullptr;
    record->font = std::move(font);
    endLiveWalk();
    if (!live_.insert(handle, std::move(record))) {
        // Not in the table: the handle's destructor finds nothing to remove,
        // and the record (with the font) has gone with the failed insert.
        handle->release();
        return nullptr;
    }
    // The registry keeps the first reference, the caller gets a second.
    return Ref<FontHandle>::share(handle);
}

void FontRegistry::removeLiveFont(FontHandle& handle) {
    std::unique_ptr<LiveFont> record;
    if (live_.empty() || !live_.remove(&handle, nullptr, &record))
        return;
    endLiveWalk();
    // The record goes after it left the table: destroying a font may
    // release further handles.
    record.reset();
}

const LiveFont* FontRegistry::liveFont(const FontHandle& handle) const {
    return live_.get(const_cast<FontHandle*>(&handle)).get();
}

void FontRegistry::bindFont(FontHandle& handle) {
    LiveTable::Node* node = live_.find(&handle);
    if (!node)
        return;
    const LiveFont& record = *node->value;
    OutputDevice* device = record.font ? record.font->device() : nullptr;
    Ref<FontHandle> fresh = createFont(record.kind, record.category, record.source, device, false);
    if (!fresh) {
        handle.setFont(record.font.get());
        return;
    }
    // Exchange the records: the handle takes the new font, the fresh handle
    // the old one, and goes with the purge once only the registry holds it.
    node = live_.find(&handle);
    LiveTable::Node* freshNode = live_.find(fresh.get());
    if (!node || !freshNode)
        return;
    std::swap(node->value, freshNode->value);
    auto& mine = static_cast<LiveFontHandle&>(handle);
    auto& theirs = static_cast<LiveFontHandle&>(*fresh);
    mine.setFont(node->value->font.get());
    theirs.setFont(freshNode->value->font.get());
    const auto description = mine.description();
    mine.setDescription(theirs.description());
    theirs.setDescription(description);
    fresh.reset();
    purge(-1);
}

// --- Purging ---

bool FontRegistry::purge(int level) {
    if (level == 0) {
        bool trimmed = false;
        for (const auto& node : live_) {
            if (node.value->font)
                trimmed = node.value->font->trimCache(0) || trimmed;
        }
        return trimmed;
    }
    for (;;) {
        if (live_.empty())
            return false;
        // Collect the handles only the registry holds, each with a reference
        // of the walk, then let them go: destroying a font may release other
        // handles, so the walk runs again until it finds none.
        LiveFontHandle* purged = nullptr;
        for (const auto& node : live_) {
            if (node.key->refCount() == 1) {
                auto* handle = static_cast<LiveFontHandle*>(node.key);
                handle->addRef();
                handle->nextPurged = purged;
                purged = handle;
            }
        }
        if (!purged)
            break;
        while (purged) {
            LiveFontHandle* handle = purged;
            purged = handle->nextPurged;
            handle->nextPurged = nullptr;
            if (handle->refCount() == 2)
                handle->release();
            handle->release();
        }
    }
    for (const auto& node : live_) {
        if (node.value->font)
            node.value->font->trimCache(-1);
    }
    return true;
}

// --- Walks ---

bool FontRegistry::firstFont() {
    liveCursor_.emplace(live_.begin());
    if (*liveCursor_ == live_.end()) {
        endLiveWalk();
        return false;
    }
    return true;
}

bool FontRegistry::nextFont() {
    if (!liveCursor_)
        return false;
    ++*liveCursor_;
    if (*liveCursor_ == live_.end()) {
        endLiveWalk();
        return false;
    }
    return true;
}

void FontRegistry::currentFontInfo(WString& key, WString& description, WString& encoding) const {
    if (!liveCursor_)
        return;
    const LiveFont& record = *(*liveCursor_)->value;
    key.assign(record.key);
    description.assign(emptyWString());
    encoding.assign(emptyWString());
    if (!record.font)
        return;
    record.font->description(description);
    if (const FontEncoding* fontEncoding = record.font->encoding())
        encoding.assign(fontEncoding->name());
}

bool FontRegistry::firstLoader() {
    loaderCursor_.emplace(loaders_.begin());
    if (*loaderCursor_ == loaders_.end()) {
        loaderCursor_.reset();
        return false;
    }
    return true;
}

bool FontRegistry::nextLoader() {
    if (!loaderCursor_)
        return false;
    ++*loaderCursor_;
    if (*loaderCursor_ == loaders_.end()) {
        loaderCursor_.reset();
        return false;
    }
    return true;
}

const WString* FontRegistry::currentLoaderKind() const {
    return loaderCursor_ ? (*loaderCursor_)->key : nullptr;
}

void FontRegistry::releaseCategoryFonts(const WString& category) {
    for (const auto& node : live_) {
        const LiveFont& record = *node.value;
        if (record.category.equals(category) && record.font && record.font->isReleasable())
            node.key->setFont(nullptr);
    }
}

void FontRegistry::rereadFontOptions() {
    for (const auto& node : live_) {
        if (node.value->font)
            node.value->font->readOptions();
    }
}

// --- The process-wide registry ---

namespace {

FontRegistry* theFontRegistry = nullptr;

void bindThroughRegistry(FontHandle& handle) {
    if (theFontRegistry)
        theFontRegistry->bindFont(handle);
}

}  // namespace

FontRegistry* fontRegistry() {
    return theFontRegistry;
}

bool createFontRegistry() {
    if (!theFontRegistry) {
        theFontRegistry = new FontRegistry();
        if (!theFontRegistry)
            return false;
        setFontBindHook(bindThroughRegistry);
    }
    return true;
}

void destroyFontRegistry() {
    if (!theFontRegistry)
        return;
    setFontBindHook(nullptr);
    FontRegistry* registry = theFontRegistry;
    theFontRegistry = nullptr;
    delete registry;
}

bool initFontSystem() {
    initOutputDevices();
    return true;
}

// --- The static objects ---

namespace {

constexpr ConstantGroup kFontGroups[] = {
    {"built-in encoding tables", buildEncodingTables, destroyEncodingTables},
    {"font registry", [] { createFontRegistry(); }, destroyFontRegistry},
    {"glyph cache", [] { createGlyphCache(); }, destroyGlyphCache},
    {"installed-font map", buildInstalledFontMap, destroyInstalledFontMap},
    {"font database", [] { createFontDatabase(); }, destroyFontDatabase},
    {"CID keyword list", [] { buildCidKeywordList(); }, destroyCidKeywordList},
    {"glyph-name maps and text lines",
     [] {
         createGlyphNameMaps();
         installTextLineLists();
     },
     [] {
         uninstallTextLineLists();
         destroyGlyphNameMaps();
     }},
};

constinit ConstantRegistry fontStatics{kFontGroups, std::size(kFontGroups)};

// After the engine's constants (101) and the content-operator tables (102);
// destroyed before them.
__attribute__((constructor(103))) void buildFontStatics() {
    fontStatics.buildAll();
}
__attribute__((destructor(103))) void destroyFontStatics() {
    fontStatics.destroyAll();
}

}  // namespace

ConstantRegistry& fontStaticObjects() {
    return fontStatics;
}

}  // namespace vistrel
