// The fonts one content run selects, by the resource name "Tf" found them
// under. The content loop detaches them from the device when the run ends.
#pragma once

#include <cstdint>

#include "engine/core/keyed_hash_map.h"
#include "engine/core/ref.h"
#include "engine/object/pdf_object.h"
#include "engine/render/content/font_handle.h"

namespace vistrel {

class FontUseMap {
    VISTREL_POOLED_CLASS(FontUseMap)

public:
    FontUseMap() = default;
    // Releases every name and font.
    ~FontUseMap();
    FontUseMap(const FontUseMap&) = delete;
    FontUseMap& operator=(const FontUseMap&) = delete;

    // Records the font under the name, holding both; a name already present
    // keeps its entry and gets the new font. False when memory runs out.
    bool put(ObjectRef name, Ref<FontHandle> font);
    // The font recorded under the name, borrowed; null when there is none.
    FontHandle* get(const PdfObject& name) const;
    std::int32_t count() const { return table_.count(); }

    // Calls f (FontHandle&) for every font, in table order.
    template <class F>
    void forEach(F&& f) const {
        for (const auto& node : table_)
            f(*node.value);
    }

private:
    KeyedHashMap<PdfObject*, FontHandle*> table_{nullptr, 64, 64, 0.75};
};

}  // namespace vistrel
