#include "engine/font/cid_font.h"

namespace vistrel {
namespace {

// The storage of the keyword list (general heap).
constinit AllocatorHandle cidKeywordListHandle{kAllocGeneral, 0};

PointerArray<CidKeyword>* theCidKeywords = nullptr;

}  // namespace

std::unique_ptr<FontRenderer> loadCidFont(FontDescription& /*description*/,
                                          OutputDevice* /*device*/) {
    return nullptr;
}

PointerArray<CidKeyword>* cidKeywordList() {
    return theCidKeywords;
}

bool buildCidKeywordList() {
    if (!theCidKeywords)
        theCidKeywords = new (std::nothrow) PointerArray<CidKeyword>(8, &cidKeywordListHandle);
    return theCidKeywords != nullptr;
}

void destroyCidKeywordList() {
    if (!theCidKeywords)
        return;
    for (CidKeyword* record : *theCidKeywords)
        delete record;
    delete theCidKeywords;
    theCidKeywords = nullptr;
}

}  // namespace vistrel
