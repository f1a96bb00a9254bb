#include "engine/font/standard_font_request.h"

#include <new>

namespace vistrel {

Ref<StandardFontRequest> StandardFontRequest::withFaces(const WString& newFaces) const {
    Ref<StandardFontRequest> copy = Ref<StandardFontRequest>::adopt(new StandardFontRequest());
    if (!copy)
        return nullptr;
    if (differences) {
        copy->differences.reset(new (std::nothrow) Differences(*differences));
        if (!copy->differences)
            return nullptr;
    }
    if (!copy->name.assign(name) || !copy->faces.assign(newFaces))
        return nullptr;
    copy->weight = weight;
    copy->italic = italic;
    copy->underline = underline;
    copy->strikeout = strikeout;
    return copy;
}

}  // namespace vistrel
