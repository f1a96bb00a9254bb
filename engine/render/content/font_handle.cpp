#include "engine/render/content/font_handle.h"

namespace vistrel {
namespace {

FontBindHook bindHook = nullptr;
FontMaker fontMaker = nullptr;
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

FontMaker setFontMaker(FontMaker maker) {
    FontMaker old = fontMaker;
    fontMaker = maker;
    return old;
}

Ref<FontHandle> makeFont(PdfDict& fontDict, ContentInterpreter& interpreter) {
    return fontMaker ? fontMaker(fontDict, interpreter) : nullptr;
}

}  // namespace vistrel
