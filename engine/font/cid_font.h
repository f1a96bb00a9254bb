// CID-keyed Type 1 fonts. No factory or document font makes a description of
// the CID-keyed kind, so the "Type1CID" loader never has a font to make: it
// answers none for every description, and the registry goes on to its next
// loader. The keyword list a CID font program reader would scan with is kept
// as the process's static object, empty.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/containers.h"
#include "engine/core/wstring.h"
#include "engine/render/content/font_renderer.h"

namespace vistrel {

class FontDescription;
class OutputDevice;

// The "Type1CID" loader: no font.
std::unique_ptr<FontRenderer> loadCidFont(FontDescription& description, OutputDevice* device);

// One keyword of a CID font program: its text, a value and its number in
// the list.
struct CidKeyword {
    VISTREL_GLOBAL_ALLOCATOR()

    WString keyword;
    std::int32_t value = 0;
    std::int32_t number = 0;
};

// The CID keyword list: capacity 8 and nothing in it from load to unload;
// null outside that time.
PointerArray<CidKeyword>* cidKeywordList();
bool buildCidKeywordList();
// Destroys the records it holds and gives its storage back.
void destroyCidKeywordList();

}  // namespace vistrel
