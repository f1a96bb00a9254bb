#include "engine/render/content/font_use_map.h"

namespace vistrel {

FontUseMap::~FontUseMap() {
    for (const auto& node : table_) {
        node.value->release();
        node.key->release();
    }
    table_.clear();
}

bool FontUseMap::put(ObjectRef name, Ref<FontHandle> font) {
    if (!name || !font)
        return false;
    PdfObject* key = name.get();
    if (auto* node = table_.find(key)) {
        node->value->release();
        node->value = font.detach();
        return true;
    }
    if (!table_.insert(key, font.get()))
        return false;
    (void)name.detach();
    (void)font.detach();
    return true;
}

FontHandle* FontUseMap::get(const PdfObject& name) const {
    return table_.get(&name);
}

}  // namespace vistrel
