#include "engine/font/installed_font_map.h"

#include <unistd.h>

#include <cstdlib>
#include <new>

#include "engine/constants/constant_slot.h"

namespace vistrel {
namespace {

ConstantSlot<InstalledFontMap> mapSlot;
bool mapBuilt = false;

}  // namespace

InstalledFontMap::~InstalledFontMap() {
    for (const auto& node : table_) {
        if (node.value > 0)
            ::unlink(node.key->toUtf8().c_str());
        delete node.key;
    }
    table_.clear();
    for (const Folder& folder : folders_)
        ::rmdir(folder.path.c_str());
}

std::int32_t InstalledFontMap::count(const WString& path) const {
    return table_.get(&path);
}

bool InstalledFontMap::setCount(const WString& path, std::int32_t count) {
    if (auto* node = table_.find(&path)) {
        node->value = count;
        return true;
    }
    auto* key = new (std::nothrow) WString();
    if (!key || !key->assign(path) || !table_.insert(key, count)) {
        delete key;
        return false;
    }
    return true;
}

std::string InstalledFontMap::privateFolder(const std::string& base) {
    for (const Folder& folder : folders_) {
        if (folder.base == base)
            return folder.path;
    }
    std::string pattern = base + "/vistrel-fonts-XXXXXX";
    // mkdtemp makes the folder with mode 0700 under a name nobody holds.
    if (!::mkdtemp(pattern.data()))
        return {};
    folders_.push_back({base, pattern});
    return pattern;
}

InstalledFontMap* installedFontMap() {
    return mapBuilt ? &mapSlot.object : nullptr;
}

void buildInstalledFontMap() {
    if (mapBuilt)
        return;
    mapSlot.construct();
    mapBuilt = true;
}

void destroyInstalledFontMap() {
    if (!mapBuilt)
        return;
    mapBuilt = false;
    mapSlot.destroy();
}

}  // namespace vistrel
