#include "engine/render/content/font_handle.h"

namespace vistrel {
namespace {

FontBindHook bindHook = nullptr;
std::uint64_t handlesMade = 0;

}  // namespace

FontBindHook setFontBindHook(FontBindHook hook) {
    FontBindHook old = bindHook;
    bindHook = hook;
    return old;
}

FontHandle::FontHandle(FontRenderer* font) : font_(font), creationNumber_(++handlesMade) {}

FontRenderer* FontHandle::font() {
    if (!font_ && bindHook)
        bindHook(*this);
    return font_;
}

}  // namespace vistrel
