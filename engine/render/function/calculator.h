// The PostScript calculator language of type 4 functions: a program is read
// once into a compact instruction list (one list per procedure) and run on a
// fixed-size operand stack as often as needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vistrel {

// Outcome of running a block of a calculator program.
enum class CalculatorStatus : int {
    Continue = 0,               // an operator succeeded
    UnknownOperator = 1,        // a word that is no literal, if/ifelse or operator
    Done = 2,                   // a block ended normally
    TypeCheck = 3,              // wrong operand kind, negative index/roll count
    StackUnderflow = 4,         // too few entries, if/ifelse without procedures
    StackOverflow = 5,          // the operand stack is full
    BadToken = 7,               // name, string, array/dictionary delimiter, ...
    TooManyProcedures = 8,      // a third procedure before if/ifelse used two
    UnterminatedProcedure = 9,  // the text ends inside braces
};

// Entries the operand stack holds at most; a push beyond it fails the
// evaluation.
inline constexpr int kCalculatorStackLimit = 100;
// Deepest brace nesting a program may have; deeper programs are refused.
inline constexpr int kCalculatorMaxNesting = 100;

// One token of program text, as the engine's tokenizer reports it.
struct CalculatorToken {
    enum Kind : int {
        None = 0,
        End = 1,
        Number = 2,
        Name = 3,
        Keyword = 4,
        String = 5,
        LeftBrace = 6,
        RightBrace = 7,
        LeftBracket = 8,
        RightBracket = 9,
        DictOpen = 10,
        DictClose = 11,
    };
    int kind = End;
    bool isReal = false;
    int32_t intValue = 0;
    double realValue = 0.0;
    std::string word;  // keyword text; characters above 0x7E are stored as 0x7F
};

// One entry of the operand stack: a number (integer or real) or a boolean.
// A number keeps its real value and its integer part (the truncation toward
// zero, saturated to 32 bits).
// Trivial, so that the operand stack costs nothing to set up.
struct CalculatorValue {
    enum Kind : uint8_t { Integer, Real, Boolean };
    double real;
    int32_t integer;
    Kind kind;

    bool isNumber() const { return kind != Boolean; }
    static CalculatorValue fromInt(int32_t v) { return {double(v), v, Integer}; }
    static CalculatorValue fromReal(double v);
    static CalculatorValue fromBool(bool v) { return {v ? 1.0 : 0.0, v ? 1 : 0, Boolean}; }
    // A computed number: an integer when the value equals its 32-bit
    // truncation, a real otherwise.
    static CalculatorValue computed(double v);
};

// Truncation toward zero saturated to the signed 32-bit range (NaN gives 0).
inline int32_t truncateSaturated(double v) {
    if (v > -2147483649.0 && v < 2147483648.0)
        return int32_t(v);
    if (v >= 2147483648.0)
        return INT32_MAX;
    if (v <= -2147483649.0)
        return INT32_MIN;
    return 0;  // NaN
}

inline CalculatorValue CalculatorValue::fromReal(double v) {
    return {v, truncateSaturated(v), Real};
}

inline CalculatorValue CalculatorValue::computed(double v) {
    int32_t i = truncateSaturated(v);
    return {v, i, v == double(i) ? Integer : Real};
}

// A compiled calculator program.
class CalculatorProgram {
public:
    // Builds the program from the token list of its text (the list ends with
    // an End token or is cut short: a missing End counts as the end of text).
    static CalculatorProgram compile(const std::vector<CalculatorToken>& tokens);

    // Largest brace nesting over a token list (a right brace at depth 0 is
    // ignored).
    static int nestingDepth(const std::vector<CalculatorToken>& tokens);

    // Runs the program with the operand stack holding inputs[0..inputCount)
    // as reals (the last on top) and takes up to outputCount entries from the
    // top. Answers true when the top-level block ended normally, the stack
    // never overflowed, and outputCount numbers were taken; outputs then
    // holds them, the deepest first.
    bool run(const double* inputs, int inputCount, double* outputs, int outputCount) const;

    // The status of the top-level block and the stack after a run (for
    // inspection by tests and tools).
    struct Trace {
        CalculatorStatus status = CalculatorStatus::Done;
        std::vector<CalculatorValue> stack;
    };
    Trace trace(const double* inputs, int inputCount) const;

    size_t instructionCount() const { return code_.size(); }

    enum Op : uint8_t {
        // operators, in the order of their names
        OpAbs,
        OpAdd,
        OpAnd,
        OpAtan,
        OpBitshift,
        OpCeiling,
        OpCopy,
        OpCos,
        OpCvi,
        OpCvr,
        OpDiv,
        OpDup,
        OpEq,
        OpExch,
        OpExp,
        OpFloor,
        OpGe,
        OpGt,
        OpIdiv,
        OpIndex,
        OpLe,
        OpLn,
        OpLog,
        OpLt,
        OpMod,
        OpMul,
        OpNe,
        OpNeg,
        OpNot,
        OpOr,
        OpPop,
        OpRoll,
        OpRound,
        OpSin,
        OpSqrt,
        OpSub,
        OpTruncate,
        OpXor,
        // program structure
        OpPush,    // push value
        OpIf,      // a: procedure
        OpIfElse,  // a: procedure when true, b: procedure when false
        OpFail,    // a: status
        OpEnd,     // a: procedure left pending (-1: none); the block is Done
    };

    struct Instruction {
        Instruction(Op o, int32_t x = -1, int32_t y = -1, CalculatorValue v = {})
            : op(o), a(x), b(y), value(v) {}
        Op op;
        int32_t a;
        int32_t b;
        CalculatorValue value;
    };

private:
    struct Machine;
    int compileBlock(const std::vector<CalculatorToken>& tokens, size_t& pos, int depth,
                     bool& terminated);
    CalculatorStatus runBlock(int block, Machine& m) const;
    bool start(Machine& m, const double* inputs, int inputCount) const;

    std::vector<Instruction> code_;
    std::vector<uint32_t> blockStart_;  // first instruction of each procedure
    int topBlock_ = -1;
};

}  // namespace vistrel
