#include "engine/font/installed_font_map.h"

#include <new>

#include "engine/constants/constant_slot.h"

namespace vistrel {
namespace {

ConstantSlot<InstalledFontMap> mapSlot;
bool mapBuilt = false;

}  // namespace

InstalledFontMap::~InstalledFontMap() {
    for (const auto& node : table_)
        delete node.key;
    table_.clear();
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
