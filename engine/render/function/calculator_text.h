// Splitting calculator program text into tokens.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/render/function/calculator.h"

namespace vistrel {

// The tokens of a program text (one byte per character), ending with an End
// token.
std::vector<CalculatorToken> tokenizeCalculatorText(const char* text, size_t length);

}  // namespace vistrel
