// What a font is asked for by: the object a description factory reads. For
// the category "PDF" a font dictionary, for "Standard" a StandardFontRequest,
// for "Plain" (and the Type 3 factory) a description made beforehand.
#pragma once

#include "engine/core/ref.h"
#include "engine/core/wstring.h"
#include "engine/font/font_description.h"
#include "engine/font/standard_font_request.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

// Holds one reference on the object it names.
class FontSource {
public:
    FontSource() = default;
    explicit FontSource(PdfObject* object) : object_(ObjectRef::share(object)) {}
    explicit FontSource(FontDescription* description)
        : description_(Ref<FontDescription>::share(description)) {}
    explicit FontSource(StandardFontRequest* request)
        : request_(Ref<StandardFontRequest>::share(request)) {}

    // The PDF object, or null when the source is something else.
    PdfObject* object() const { return object_.get(); }
    // The description, or null when the source is something else.
    FontDescription* description() const { return description_.get(); }
    // The request, or null when the source is something else.
    StandardFontRequest* request() const { return request_.get(); }

private:
    ObjectRef object_;
    Ref<FontDescription> description_;
    Ref<StandardFontRequest> request_;
};

// A description factory: a new description, or null when the source is not
// of the shape the factory reads or memory runs out. It writes the font's key
// name into outName.
using FontFactory = Ref<FontDescription> (*)(const FontSource& source, WString& outName);

}  // namespace vistrel
