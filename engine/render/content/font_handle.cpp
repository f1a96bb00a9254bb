#include "engine/render/content/font_handle.h"

namespace vistrel {
namespace {

FontBindHook bindHook = nullptr;

}  // namespace

FontBindHook setFontBindHook(FontBindHook hook) {
    FontBindHook old = bindHook;
    bindHook = hook;
    return old;
}

FontRenderer* FontHandle::font() {
    if (!font_ && bindHook)
        bindHook(*this);
    return font_;
}

}  // namespace vistrel
