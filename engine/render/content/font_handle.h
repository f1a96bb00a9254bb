// The counted handle of a live font, as the text state and the font-use map
// of a content run hold it. The font registry makes the handles (a subclass
// of its own), owns their font objects and may take one away; the next user
// of the handle then has the registry bind a fresh one (font()).
//
// The font layer also installs how "Tf" turns a font dictionary into a
// handle (setFontMaker).
#pragma once

#include <cstdint>

#include "engine/core/allocator.h"
#include "engine/core/ref.h"

namespace vistrel {

class ContentInterpreter;
class FontRenderer;
class FontHandle;
class PdfDict;

// Gives a handle without a font object one (the font registry's bind step).
using FontBindHook = void (*)(FontHandle& handle);
// Installs the hook (null removes it) and returns the one it replaces.
FontBindHook setFontBindHook(FontBindHook hook);

class FontHandle {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // One reference for the creator.
    explicit FontHandle(FontRenderer* font = nullptr);
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;

    void addRef() { ++refCount_; }
    // The last reference destroys the handle.
    void release() {
        if (--refCount_ == 0)
            delete this;
    }
    std::uint32_t refCount() const { return refCount_; }

    // The font object, bound through the bind hook first when the handle has
    // none; null when none can be had.
    FontRenderer* font();
    // The font object as it stands, without binding.
    FontRenderer* currentFont() const { return font_; }
    void setFont(FontRenderer* font) { font_ = font; }
    // Numbers the handles of the process in the order they were made: an
    // identity that, unlike the address, is the same from run to run.
    std::uint64_t creationNumber() const { return creationNumber_; }

protected:
    virtual ~FontHandle() = default;

private:
    std::uint32_t refCount_ = 1;
    FontRenderer* font_;
    std::uint64_t creationNumber_;
};

// Makes the font of a font dictionary (class kind 44) for a content run: a
// handle with one reference for the caller, or null.
using FontMaker = Ref<FontHandle> (*)(PdfDict& fontDict, ContentInterpreter& interpreter);
// Installs the maker (null removes it) and returns the one it replaces.
FontMaker setFontMaker(FontMaker maker);
// The font through the installed maker; null while none is installed.
Ref<FontHandle> makeFont(PdfDict& fontDict, ContentInterpreter& interpreter);

}  // namespace vistrel
