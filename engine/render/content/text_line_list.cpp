#include "engine/render/content/text_line_list.h"

#include "engine/core/allocator.h"

namespace vistrel {
namespace {

// The list pages keep until the font layer installs its own.
class TextLinesNotKept final : public TextLineList {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    void clear() override {}
    void spaceWords() override {}
    void addShownText(const WString&, const Matrix&, FontHandle*) override {}
};

TextLineList* newTextLinesNotKept() {
    return new TextLinesNotKept;
}

TextLineListFactory gFactory = newTextLinesNotKept;

}  // namespace

TextLineListFactory setTextLineListFactory(TextLineListFactory factory) {
    TextLineListFactory old = gFactory;
    gFactory = factory ? factory : newTextLinesNotKept;
    return old;
}

TextLineList* newTextLineList() {
    return gFactory();
}

}  // namespace vistrel
