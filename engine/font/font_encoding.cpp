#include "engine/font/font_encoding.h"

#include <new>

#include "engine/constants/font_constants.h"

namespace vistrel {

namespace {

std::unique_ptr<Differences> copyOf(const Differences* differences) {
    return differences ? std::unique_ptr<Differences>(new (std::nothrow) Differences(*differences))
                       : nullptr;
}

}  // namespace

FontEncoding::FontEncoding(const WString& name, const Differences* differences)
    : name_(name), base_(encodingTableByName(name)), differences_(copyOf(differences)) {
    buildEffective();
}

FontEncoding::FontEncoding(const EncodingTable& table, const Differences* differences)
    : ownedBase_(new EncodingTable(table)) {
    base_ = ownedBase_.get();
    if (differences && differences->count() > 0)
        differences_ = copyOf(differences);
    buildEffective();
}

FontEncoding::FontEncoding(const FontEncoding& other)
    : name_(other.name_), differences_(copyOf(other.differences_.get())) {
    if (other.ownedBase_) {
        ownedBase_.reset(new EncodingTable(*other.ownedBase_));
        base_ = ownedBase_.get();
    } else {
        base_ = encodingTableByName(name_);
    }
    buildEffective();
}

FontEncoding::~FontEncoding() = default;

void FontEncoding::buildEffective() {
    if (!differences_) {
        effective_ = base_;
        return;
    }
    ownedEffective_.reset(base_ ? new EncodingTable(*base_) : new EncodingTable());
    if (ownedEffective_)
        ownedEffective_->applyDifferences(*differences_);
    effective_ = ownedEffective_.get();
}

const WString& FontEncoding::glyphName(int32_t code) const {
    // Shown codes are 16 bits wide; only 0 to 255 name an entry.
    if (!effective_ || code < 0 || code >= EncodingTable::kCodes)
        return emptyWString();
    return effective_->entry(code);
}

int32_t FontEncoding::codeOf(const WString& name, int32_t from) const {
    if (effective_ && !name.empty()) {
        for (int32_t code = from; code < EncodingTable::kCodes; ++code) {
            if (effective_->entry(code).equals(name))
                return code;
        }
    }
    return EncodingTable::kCodes;
}

bool FontEncoding::findFirst(const WString& name) {
    position_ = codeOf(name, 0);
    return position_ < EncodingTable::kCodes;
}

bool FontEncoding::findNext(int32_t& code, const WString& name) {
    if (position_ >= EncodingTable::kCodes)
        return false;
    code = position_;
    position_ = codeOf(name, position_ + 1);
    return position_ < EncodingTable::kCodes;
}

void FontEncoding::describe(WString& text) const {
    static constexpr struct {
        const WStringConstant& name;
        const WStringConstant& shown;
    } kShown[] = {
        {encodings::WinAnsiEncoding, encodings::WinANSI},
        {encodings::StandartEncoding, encodings::Standard},
        {encodings::MacRomanEncoding, encodings::MacRoman},
        {encodings::MacExpertEncoding, encodings::MaxExpert},
    };
    const WString* shown = &encodings::Custom;
    for (const auto& entry : kShown) {
        if (entry.name.equals(name_)) {
            shown = &entry.shown;
            break;
        }
    }
    text.assign(*shown);
    if (hasDifferences())
        text.append(encodings::Modified);
}

}  // namespace vistrel
