// The content loop: turns the bytes of a content stream into operations and
// runs them on a ContentInterpreter, reporting progress to its sink. The same
// loop runs a page's content, a form's and a glyph procedure's.
#pragma once

#include <cstdint>

#include "engine/core/streams.h"
#include "engine/object/pdf_object.h"

namespace vistrel {

class ContentInterpreter;
class ContentOperandStack;
class ContentRunner;
class ObjectParser;

// Reads one operation at a time for the content loop: the tokens of the
// content from the parser's tokenizer, numbers straight onto the operand
// stack as values, every other token made an object by the parser (names
// and operators shared, no object made for them once seen).
class OperationReader {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // Usable with a parser (its tokenizer is set to give numbers without
    // their text); without one the reader is not usable and starts ended.
    explicit OperationReader(ObjectParser* parser);
    OperationReader(const OperationReader&) = delete;
    OperationReader& operator=(const OperationReader&) = delete;

    // A new run over `input`: when usable, clears ended, points the tokenizer
    // at the input and drops every object the parser still holds.
    void reset(InputStream* input);

    // Reads one operation and runs it on the interpreter
    // (ContentInterpreter::step): the handler's status, 1 for an operator
    // the interpreter's state does not take, 2 at the end of the input or
    // when the reader is not usable.
    std::int32_t step(ContentInterpreter& interpreter);
    // Steps until a step gives 2 (the reader has ended), or until
    // kMaxIdleSteps steps in a row have read no byte. The content loop steps
    // by itself instead, to report progress between the steps.
    void run(ContentInterpreter& interpreter);

    // Pushes the operands up to the next operator onto the stack and returns
    // the operator keyword; null at the end of the input, at a token that
    // makes no object (a closer, a brace) and from then on until the next
    // reset. The reader must be usable.
    ObjectRef readOperator(ContentOperandStack& operands);

    bool ok() const { return parser_ != nullptr; }
    bool ended() const { return ended_; }
    void setEnded(bool ended) { ended_ = ended; }
    ObjectParser* parser() const { return parser_; }
    // Bytes the tokenizer took from the input (less those given back) since
    // the reader was made.
    std::uint64_t bytesRead() const;

private:
    ObjectParser* parser_;
    bool ended_;
    // A token that makes no object ends the content until the next reset.
    bool stopped_ = false;
    std::uint64_t startCount_ = 0;
};

// Steps in a row that read no byte after which a run ends.
inline constexpr std::int32_t kMaxIdleSteps = 1000;

// "Interface" / "ProgressIndicator": on when missing; a value of an unknown
// kind counts as off.
bool progressWanted();

// Runs the whole content the interpreter's content input delivers, with the
// runner's resources (when it has some) and the full operator state map. The
// interpreter must have its content input, device, base matrix and
// resources set.
void runContentStream(ContentRunner& runner, ContentInterpreter& interpreter);

}  // namespace vistrel
