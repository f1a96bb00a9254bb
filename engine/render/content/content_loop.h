// The content loop: turns the bytes of a content stream into operations and
// runs them on a ContentInterpreter, reporting progress to its sink. The same
// loop runs a page's content, a form's and a glyph procedure's.
#pragma once

#include <cstdint>

#include "engine/core/streams.h"

namespace vistrel {

class ContentInterpreter;
class ContentRunner;
class ObjectParser;

// Reads one operation at a time from a parser for the content loop. The
// tokenizer reads the content input through the reader, which counts the
// bytes taken, so that the loop can tell a step that read nothing.
class OperationReader {
    VISTREL_GLOBAL_ALLOCATOR()

public:
    // Usable with a parser (its tokenizer is turned to read through the
    // reader); without one the reader is not usable and starts ended.
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

    bool ok() const { return parser_ != nullptr; }
    bool ended() const { return ended_; }
    void setEnded(bool ended) { ended_ = ended; }
    ObjectParser* parser() const { return parser_; }
    // Bytes taken from the input (less those given back) since the reader
    // was made.
    std::uint64_t bytesRead() const { return input_.count(); }

private:
    // Passes every call on to the content input and counts the bytes.
    class CountingInput : public InputStream {
    public:
        void setInner(InputStream* inner) { inner_ = inner; }
        std::uint64_t count() const { return count_; }

        std::uint16_t getByte() override;
        void unread(std::uint16_t byte) override;
        std::uint64_t size() override { return inner_ ? inner_->size() : 0; }
        std::uint64_t position() override { return inner_ ? inner_->position() : 0; }
        bool atEnd() override { return inner_ ? inner_->atEnd() : true; }

    private:
        InputStream* inner_ = nullptr;
        std::uint64_t count_ = 0;
    };

    ObjectParser* parser_;
    bool ended_;
    CountingInput input_;
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
