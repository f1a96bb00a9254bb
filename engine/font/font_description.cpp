#include "engine/font/font_description.h"

#include "engine/constants/font_constants.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

bool FontDescription::equals(const FontDescription* other) const {
    return other && other->kind() == kind() && wideStringEquals(other->name_, name_);
}

namespace {

bool holds(const WString& name, const WString& word) {
    return name.find(word.chars()) >= 0;
}

}  // namespace

bool FontDescription::isItalic() const {
    return holds(name_, fontwords::italic) || holds(name_, fontwords::oblique);
}

bool FontDescription::isUnderline() const {
    return holds(name_, fontwords::underline);
}

bool FontDescription::isStrikeout() const {
    return holds(name_, fontwords::strikeout);
}

bool FontDescription::isSerif() const {
    return holds(name_, fontwords::serif);
}

bool FontDescription::isMonospace() const {
    return holds(name_, fontwords::monospace);
}

int32_t FontDescription::weight() const {
    for (const WeightWord& w : kWeightWords) {
        if (holds(name_, *w.word))
            return w.weight;
    }
    return kNormalWeight;
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
    : fontDict_(Ref<Type3FontDict>::share(fontDict)),
      interpreter_(Ref<InterpreterLink>::share(interpreter ? interpreter->link() : nullptr)) {}

ContentInterpreter* Type3FontDescription::interpreter() const {
    return interpreter_ ? interpreter_->get() : nullptr;
}

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
