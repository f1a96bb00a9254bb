// The process-wide font registry: it turns a request for a font (a kind such
// as "Type1", a category such as "PDF" and a source object such as a font
// dictionary) into a live font. It holds three tables: the font loaders by
// kind, each with a priority (lower is tried first); the description
// factories by category and kind; and the live fonts by their handles.
//
// createFont tries the asked kind first, then falls back to the other kinds
// of the category by priority, and reuses a live font whose description is
// equal when asked to. Before each try it writes "FontSystem"/"StrictTTSubst"
// (on for the first try, then on only while further face alternatives of a
// "Standard" request remain); loaders read it to decide how strictly they
// match a face name. The value stays after the call.
//
// The registry owns every font object. Handles are counted: the registry
// holds one reference, each user another. A handle only the registry still
// holds goes at the next purge with a non-zero level. Walks over the live
// fonts and over the loaders use one cursor each and must not be
// interleaved with calls that change the tables (createFont, bindFont,
// purge); such a change ends the walk.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

#include "engine/constants/constant_registry.h"
#include "engine/core/allocator.h"
#include "engine/core/keyed_hash_map.h"
#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/font/font_source.h"
#include "engine/render/content/font_handle.h"
#include "engine/render/content/font_renderer.h"

namespace vistrel {

class OutputDevice;

// A loader makes a font from a description for a device (or none), or
// answers null. It owns nothing of its arguments; the font it returns
// belongs to the registry.
using FontLoader = std::unique_ptr<FontRenderer> (*)(FontDescription& description,
                                                     OutputDevice* device);

struct FontLoaderEntry {
    FontLoader loader = nullptr;
    // Lower is tried first; a kind without a loader ranks last.
    std::int32_t priority = std::numeric_limits<std::int32_t>::max();
};

// The registry's record of one live font.
struct LiveFont {
    VISTREL_GLOBAL_ALLOCATOR()

    // The kind that was asked for (not the kind whose loader succeeded).
    WString kind;
    WString category;
    // Written by the factory; "Plain " + kind in the "Plain" category.
    WString key;
    Ref<FontDescription> description;
    // The caller's source (for "Standard" the caller's own request, all
    // face alternatives in it).
    FontSource source;
    // Declared last, so that it goes before what it may borrow from.
    std::unique_ptr<FontRenderer> font;
};

class FontRegistry : public Purgeable {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    FontRegistry();
    // Purges at level -1, destroying every font only the registry holds. A
    // handle still held elsewhere keeps its font and destroys it with itself.
    ~FontRegistry() override;

    // False, changing nothing, when the kind has a loader already.
    bool registerLoader(const WString& kind, FontLoader loader, std::int32_t priority);
    // Makes the category's table when it is new. False, changing nothing,
    // when the category has a factory for the kind already.
    bool registerFactory(const WString& kind, const WString& category, FontFactory factory);
    bool hasLoader(const WString& kind) const;
    bool hasFactory(const WString& kind, const WString& category) const;
    // False when there is nothing to remove.
    bool unregisterLoader(const WString& kind);
    // A category left without factories goes with its table.
    bool unregisterFactory(const WString& kind, const WString& category);
    // The loader entry of a kind: {none, the largest priority} when missing.
    FontLoaderEntry loaderEntry(const WString& kind) const;

    // A live font for the request, with one reference for the caller; null
    // when every try fails or the category is not registered. In the
    // category "Plain" the source is a description handed to the kind's
    // loader alone (no factory, no fallback, StrictTTSubst untouched). With
    // reuse, a live font with an equal description is shared: its handle
    // comes back with one more reference, bound, and attached to the device
    // when one is given.
    Ref<FontHandle> createFont(const WString& kind, const WString& category,
                               const FontSource& source, OutputDevice* device, bool reuse);
    // Gives a handle a font object of its own: the font is made again from
    // the handle's record (same kind, category and source, on the device of
    // the record's font, no reuse). The handle then holds the new font and
    // the old record goes with the purge that follows (level -1). When no
    // font can be made the handle gets back the record's font. Nothing for a
    // handle the registry does not know.
    void bindFont(FontHandle& handle);
    // Level 0: every live font trims its cache; true when one freed
    // something. Other levels: every handle only the registry holds goes
    // with its font, and the remaining fonts drop their cached glyphs; true
    // when fonts remain, false when none is left.
    bool purge(int level) override;

    // The live-font walk: firstFont and nextFont answer whether the cursor
    // stands on a font.
    bool firstFont();
    bool nextFont();
    // For the cursor's font: the key name, the font's description text and
    // the name of its encoding (empty when it has none). Nothing when the
    // cursor stands on no font.
    void currentFontInfo(WString& key, WString& description, WString& encoding) const;

    // The loader walk.
    bool firstLoader();
    bool nextLoader();
    // The kind at the cursor, or null.
    const WString* currentLoaderKind() const;

    // Takes the font object from every handle of the category whose font
    // allows it (the record keeps and still owns the font); the next user of
    // such a handle binds it again.
    void releaseCategoryFonts(const WString& category);
    // Every live font reads its options again.
    void rereadFontOptions();

    std::int32_t liveFontCount() const { return live_.count(); }
    // The record of a live handle, or null.
    const LiveFont* liveFont(const FontHandle& handle) const;

private:
    friend class LiveFontHandle;

    struct HandleIdentity {
        static std::uint32_t hash(const FontHandle* handle) {
            const std::uint64_t n = handle->creationNumber();
            return std::uint32_t(n ^ (n >> 32));
        }
        static bool equal(const FontHandle* stored, const FontHandle* probe) {
            return stored == probe;
        }
    };
    struct LoaderRecord;
    struct FactoryRecord;
    struct FactoryTable;
    using LoaderTable = KeyedHashMap<const WString*, std::unique_ptr<LoaderRecord>>;
    using CategoryTable = KeyedHashMap<const WString*, std::unique_ptr<FactoryTable>>;
    using LiveTable = KeyedHashMap<FontHandle*, std::unique_ptr<LiveFont>, HandleIdentity>;

    FactoryTable* findCategory(const WString& category) const;
    Ref<FontHandle> createPlainFont(const WString& kind, const WString& category,
                                    const FontSource& source, OutputDevice* device, bool reuse);
    // The handle of the first live font whose description equals the given
    // one, with one more reference, bound and attached to the device.
    Ref<FontHandle> reuseLiveFont(const FontDescription& description, OutputDevice* device);
    // Runs the loader and records the font; null when the loader fails.
    Ref<FontHandle> loadFont(FontLoader loader, const Ref<FontDescription>& description,
                             const FontSource& source, const WString& key, const WString& category,
                             const WString& kind, OutputDevice* device);
    Ref<FontHandle> addLiveFont(std::unique_ptr<FontRenderer> font,
                                const Ref<FontDescription>& description, const FontSource& source,
                                const WString& key, const WString& category, const WString& kind);
    // Run by a handle's destructor.
    void removeLiveFont(FontHandle& handle);
    void endLiveWalk() { liveCursor_.reset(); }

    LoaderTable loaders_;
    CategoryTable categories_;
    LiveTable live_;
    std::optional<LoaderTable::iterator> loaderCursor_;
    std::optional<LiveTable::iterator> liveCursor_;
};

// The process-wide registry: null until createFontRegistry and after
// destroyFontRegistry.
FontRegistry* fontRegistry();
// Makes the registry (nothing when it exists) and lets unbound handles bind
// through it; false when memory runs out.
bool createFontRegistry();
// Destroys the registry (see ~FontRegistry) and stops the binding.
void destroyFontRegistry();

// The font system's start-up step: runs the output devices' start-up hook;
// true.
bool initFontSystem();

// The font layer's static objects: the four built-in encoding tables, the
// font registry, the glyph cache, the installed-font map, the font
// substitution database (empty until the Type 1 loaders are registered), the
// CID keyword list, and the glyph-name and accent maps with the factory of
// the pages' text lines. They are built in that order when the program or
// library is loaded, after the engine's constants, and destroyed newest first
// when it ends or is unloaded: pages get text lines that record nothing again
// and the maps go, the database releases what it read, the map of installed
// fonts deletes its paths, the glyph cache its glyphs, the registry purges
// and deletes its fonts, and the encoding tables go last. The library's load
// and unload hooks also build and destroy them around the engine's constants.
ConstantRegistry& fontStaticObjects();

}  // namespace vistrel
