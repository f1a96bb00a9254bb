// The embedded TrueType font files the TrueType renderers install for the
// system's font table while fonts use them: each file's path and how many
// fonts use it. One map serves the process (installedFontMap).
//
// The files live in folders private to the process, made on first use
// (mode 0700) inside a base folder, so that no file of anybody else is
// overwritten or deleted and two processes never share one. The map's end
// deletes what is left in them and the folders themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/allocator.h"
#include "engine/core/keyed_hash_map.h"
#include "engine/core/wstring.h"

namespace vistrel {

class InstalledFontMap {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    InstalledFontMap() = default;
    // Deletes the files still counted and the private folders (the font
    // table they were added to goes with the process), then every path.
    ~InstalledFontMap();
    InstalledFontMap(const InstalledFontMap&) = delete;
    InstalledFontMap& operator=(const InstalledFontMap&) = delete;

    // How many fonts use the file; 0 for a path the map does not hold.
    std::int32_t count(const WString& path) const;
    // Sets the count of a path, keeping a copy of a path that is new. False
    // when memory runs out.
    bool setCount(const WString& path, std::int32_t count);

    // The process's private folder inside `base` (a folder path without a
    // trailing separator), made on the first call for that base; empty when
    // it cannot be made.
    std::string privateFolder(const std::string& base);

    std::int32_t size() const { return table_.count(); }
    std::int32_t bucketCount() const { return table_.bucketCount(); }

private:
    KeyedHashMap<WString*, std::int32_t> table_{0, 64, 64, 0.75};
    struct Folder {
        std::string base;
        std::string path;
    };
    std::vector<Folder> folders_;
};

// The process's map: null until the font layer's static objects are built
// and after they are destroyed (fontStaticObjects in font_registry.h).
InstalledFontMap* installedFontMap();
// Builds the process's map (nothing when it exists) and destroys it.
void buildInstalledFontMap();
void destroyInstalledFontMap();

}  // namespace vistrel
