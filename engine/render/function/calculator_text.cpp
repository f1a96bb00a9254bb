#include "engine/render/function/calculator_text.h"

#include "engine/core/streams.h"
#include "engine/object/tokenizer.h"

namespace vistrel {

std::vector<CalculatorToken> tokenizeCalculatorText(const char* text, size_t length) {
    std::vector<CalculatorToken> out;
    MemoryInputStream input(text, length);
    Tokenizer tokenizer(&input);
    for (;;) {
        CalculatorToken t;
        t.kind = tokenizer.NextToken();
        if (t.kind == Tokenizer::kNumber) {
            t.isReal = tokenizer.isReal;
            t.intValue = tokenizer.intValue;
            t.realValue = tokenizer.realValue;
        } else if (t.kind == Tokenizer::kKeyword) {
            const char16_t* chars = tokenizer.text.chars();
            for (int32_t i = 0; chars && i < tokenizer.text.size(); ++i) {
                // Characters outside printable ASCII match no operator.
                char16_t c = chars[i];
                t.word.push_back(c >= 0x20 && c < 0x7F ? char(c) : '\x7F');
            }
        }
        out.push_back(std::move(t));
        if (out.back().kind == Tokenizer::kEnd)
            return out;
    }
}

}  // namespace vistrel
