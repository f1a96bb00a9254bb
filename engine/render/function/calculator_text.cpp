#include "engine/render/function/calculator_text.h"

#include <cstring>

namespace vistrel {

namespace {
bool isWhite(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isDelimiter(int c) { return isWhite(c) || (c && std::strchr("%<~>[]{}()/", c)); }
}  // namespace

std::vector<CalculatorToken> tokenizeCalculatorText(const char* text, size_t length) {
    std::vector<CalculatorToken> out;
    size_t i = 0;
    for (;;) {
        while (i < length && (isWhite(text[i]) || text[i] == '%')) {
            if (text[i] == '%') {
                while (i < length && text[i] != '\n' && text[i] != '\r') ++i;
            } else {
                ++i;
            }
        }
        CalculatorToken t;
        if (i >= length) {
            t.kind = CalculatorToken::End;
            out.push_back(t);
            return out;
        }
        char c = text[i++];
        switch (c) {
            case '{': t.kind = CalculatorToken::LeftBrace; break;
            case '}': t.kind = CalculatorToken::RightBrace; break;
            case '[': t.kind = CalculatorToken::LeftBracket; break;
            case ']': t.kind = CalculatorToken::RightBracket; break;
            case '(':
                t.kind = CalculatorToken::String;
                while (i < length && text[i] != ')') ++i;
                ++i;
                break;
            default: {
                size_t start = i - 1;
                while (i < length && !isDelimiter(text[i])) ++i;
                t.word.assign(text + start, i - start);
                if (c == '/') {
                    t.word.clear();
                    while (i < length && !isDelimiter(text[i])) ++i;
                    t.kind = CalculatorToken::Name;
                } else if (std::strchr("+-.0123456789", c)) {
                    char* end = nullptr;
                    double v = std::strtod(t.word.c_str(), &end);
                    t.kind = CalculatorToken::Number;
                    t.isReal = t.word.find('.') != std::string::npos;
                    t.realValue = v;
                    t.intValue = int32_t(long(v));
                } else {
                    t.kind = CalculatorToken::Keyword;
                }
            }
        }
        out.push_back(t);
    }
}

}  // namespace vistrel
