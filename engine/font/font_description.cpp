#include "engine/font/font_description.h"

#include "engine/object/pdf_object.h"

namespace vistrel {

bool FontDescription::equals(const FontDescription* other) const {
    return other && other->kind() == kind() && wideStringEquals(other->name_, name_);
}

bool SimpleFontDescription::equals(const FontDescription* other) const {
    if (!FontDescription::equals(other))
        return false;
    const auto* o = dynamic_cast<const SimpleFontDescription*>(other);
    return o && wideStringEquals(o->encodingName_, encodingName_) &&
           sameDifferences(o->differences(), differences());
}

bool Type1FontDescription::equals(const FontDescription* other) const {
    if (!SimpleFontDescription::equals(other))
        return false;
    const auto* o = dynamic_cast<const Type1FontDescription*>(other);
    return o && o->isCompact_ == isCompact_;
}

bool TrueTypeFontDescription::equals(const FontDescription* other) const {
    if (!SimpleFontDescription::equals(other))
        return false;
    const auto* o = dynamic_cast<const TrueTypeFontDescription*>(other);
    return o && o->avgWidth == avgWidth && o->maxWidth == maxWidth && o->ascent == ascent &&
           o->descent == descent;
}

Type3FontDescription::Type3FontDescription(Type3FontDict* fontDict, ContentInterpreter* interpreter)
    : fontDict_(Ref<Type3FontDict>::share(fontDict)), interpreter_(interpreter) {}

bool Type3FontDescription::equals(const FontDescription* other) const {
    if (!FontDescription::equals(other))
        return false;
    const auto* o = dynamic_cast<const Type3FontDescription*>(other);
    if (!o)
        return false;
    if (!fontDict_ || !o->fontDict_)
        return fontDict_ == o->fontDict_;
    return fontDict_->equals(o->fontDict_.get());
}

}  // namespace vistrel
