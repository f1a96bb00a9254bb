// A global WString over a wide literal: used in place (never copied or freed),
// length and capacity the literal's length plus one, hash computed once.
#pragma once

#include "engine/core/wstring.h"

namespace vistrel {

class WStringConstant : public WString {
public:
    explicit constexpr WStringConstant(const char16_t* literal)
        : WString(literal, WString::kConstant) {}
};

}  // namespace vistrel
