#include "engine/render/function/calculator.h"

#include <algorithm>
#include <cmath>

namespace vistrel {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Operator names, in the order of CalculatorProgram::Op.
constexpr const char* kOperatorNames[] = {
    "abs", "add",  "and",   "atan", "bitshift", "ceiling", "copy",     "cos", "cvi",  "cvr",
    "div", "dup",  "eq",    "exch", "exp",      "floor",   "ge",       "gt",  "idiv", "index",
    "le",  "ln",   "log",   "lt",   "mod",      "mul",     "ne",       "neg", "not",  "or",
    "pop", "roll", "round", "sin",  "sqrt",     "sub",     "truncate", "xor",
};
constexpr int kOperatorCount = int(sizeof(kOperatorNames) / sizeof(kOperatorNames[0]));
static_assert(kOperatorCount == CalculatorProgram::OpXor + 1);

int findOperator(const std::string& word) {
    for (int i = 0; i < kOperatorCount; ++i) {
        if (word == kOperatorNames[i])
            return i;
    }
    return -1;
}

double degToRad(double x) {
    return x * kPi * (1.0 / 180.0);
}
double radToDeg(double x) {
    return x * 180.0 / kPi;
}

CalculatorValue integerResult(double v) {
    return CalculatorValue{v, truncateSaturated(v), CalculatorValue::Integer};
}

}  // namespace

// ---------------------------------------------------------------------------
// Compilation

int CalculatorProgram::nestingDepth(const std::vector<CalculatorToken>& tokens) {
    int depth = 0;
    int deepest = 0;
    for (const CalculatorToken& t : tokens) {
        if (t.kind == CalculatorToken::End)
            break;
        if (t.kind == CalculatorToken::LeftBrace) {
            deepest = std::max(deepest, ++depth);
        } else if (t.kind == CalculatorToken::RightBrace && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

CalculatorProgram CalculatorProgram::compile(const std::vector<CalculatorToken>& tokens) {
    CalculatorProgram p;
    // Too deep a program stays empty and never runs.
    if (nestingDepth(tokens) > kCalculatorMaxNesting)
        return p;
    size_t pos = 0;
    bool terminated = false;
    p.topBlock_ = p.compileBlock(tokens, pos, 0, terminated);
    return p;
}

// Compiles one block: the tokens from pos up to its closing brace or the end
// of the text. Which procedures wait in the two pending slots follows from
// the tokens alone, so if/ifelse are bound to their procedures here. After an
// instruction that always ends the block, the remaining tokens are only
// scanned for the closing brace. terminated tells whether a closing brace
// (rather than the end of the text) ended the block.
int CalculatorProgram::compileBlock(const std::vector<CalculatorToken>& tokens, size_t& pos,
                                    int depth, bool& terminated) {
    std::vector<Instruction> out;
    int slot1 = -1;
    int slot2 = -1;
    bool dead = false;
    terminated = false;
    auto fail = [&](CalculatorStatus s) {
        if (!dead)
            out.push_back(Instruction{OpFail, int32_t(s)});
        dead = true;
    };
    for (;;) {
        const CalculatorToken* t = pos < tokens.size() ? &tokens[pos] : nullptr;
        ++pos;
        if (!t || t->kind == CalculatorToken::End || t->kind == CalculatorToken::RightBrace) {
            if (t && t->kind == CalculatorToken::RightBrace)
                terminated = true;
            if (!t || t->kind == CalculatorToken::End)
                pos = tokens.size();
            if (!dead)
                out.push_back(Instruction{OpEnd, slot1});
            break;
        }
        switch (t->kind) {
            case CalculatorToken::Number:
                if (!dead) {
                    out.push_back(Instruction{OpPush, -1, -1,
                                              t->isReal ? CalculatorValue::fromReal(t->realValue)
                                                        : CalculatorValue::fromInt(t->intValue)});
                }
                break;
            case CalculatorToken::LeftBrace: {
                if (!dead && slot1 >= 0 && slot2 >= 0)
                    fail(CalculatorStatus::TooManyProcedures);
                bool inner = false;
                int block = compileBlock(tokens, pos, depth + 1, inner);
                if (!inner) {
                    fail(CalculatorStatus::UnterminatedProcedure);
                } else if (!dead) {
                    (slot1 < 0 ? slot1 : slot2) = block;
                }
                break;
            }
            case CalculatorToken::Keyword:
                if (dead)
                    break;
                if (t->word == "true" || t->word == "false") {
                    out.push_back(
                        Instruction{OpPush, -1, -1, CalculatorValue::fromBool(t->word == "true")});
                } else if (t->word == "if") {
                    if (slot1 < 0) {
                        fail(CalculatorStatus::StackUnderflow);
                    } else {
                        out.push_back(Instruction{OpIf, slot1});
                        slot1 = -1;
                    }
                } else if (t->word == "ifelse") {
                    if (slot1 < 0 || slot2 < 0) {
                        fail(CalculatorStatus::StackUnderflow);
                    } else {
                        out.push_back(Instruction{OpIfElse, slot1, slot2});
                        slot1 = slot2 = -1;
                    }
                } else {
                    int op = findOperator(t->word);
                    if (op < 0) {
                        fail(CalculatorStatus::UnknownOperator);
                    } else {
                        out.push_back(Instruction{Op(op)});
                    }
                }
                break;
            default:
                fail(CalculatorStatus::BadToken);
                break;
        }
    }
    int id = int(blockStart_.size());
    blockStart_.push_back(uint32_t(code_.size()));
    code_.insert(code_.end(), out.begin(), out.end());
    return id;
}

// ---------------------------------------------------------------------------
// Execution

struct CalculatorProgram::Machine {
    CalculatorValue stack[kCalculatorStackLimit];
    int count = 0;
    bool overflow = false;

    bool push(const CalculatorValue& v) {
        if (count >= kCalculatorStackLimit) {
            overflow = true;
            return false;
        }
        stack[count++] = v;
        return true;
    }
};

namespace {

using Status = CalculatorStatus;
using Value = CalculatorValue;

// Operators of two numbers whose result replaces a.
template <typename F>
Status binaryNumber(Value* s, int& n, F f) {
    if (n < 2)
        return Status::StackUnderflow;
    Value b = s[--n];
    Value& a = s[n - 1];
    if (!a.isNumber() || !b.isNumber())
        return Status::TypeCheck;
    a = Value::computed(f(a.real, b.real));
    return Status::Continue;
}

// Operators of two integers whose integer result replaces a; f answers false
// when the operation is undefined for the operands.
template <typename F>
Status binaryInteger(Value* s, int& n, F f) {
    if (n < 2)
        return Status::StackUnderflow;
    Value b = s[--n];
    Value& a = s[n - 1];
    if (a.kind != Value::Integer || b.kind != Value::Integer)
        return Status::TypeCheck;
    int32_t r = 0;
    if (!f(a.integer, b.integer, r))
        return Status::TypeCheck;
    a = Value::fromInt(r);
    return Status::Continue;
}

// and, or, xor: b decides between the logical and the bitwise form.
template <typename F>
Status binaryLogic(Value* s, int& n, F f) {
    if (n < 2)
        return Status::StackUnderflow;
    Value b = s[--n];
    Value& a = s[n - 1];
    if (b.kind == Value::Real || a.kind != b.kind)
        return Status::TypeCheck;
    int32_t r = f(a.integer, b.integer);
    a = b.kind == Value::Boolean ? Value::fromBool(r != 0) : Value::fromInt(r);
    return Status::Continue;
}

template <typename F>
Status compare(Value* s, int& n, F f) {
    if (n < 2)
        return Status::StackUnderflow;
    Value b = s[--n];
    if (!b.isNumber())
        return Status::TypeCheck;
    Value a = s[--n];
    if (!a.isNumber())
        return Status::TypeCheck;
    s[n++] = Value::fromBool(f(a.real, b.real));
    return Status::Continue;
}

bool valuesEqual(const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber())
        return a.real == b.real;
    if (a.kind == Value::Boolean && b.kind == Value::Boolean)
        return a.integer == b.integer;
    return false;
}

// Unary operators on a number; f gives the new value.
template <typename F>
Status unaryNumber(Value* s, int n, F f) {
    if (n < 1)
        return Status::StackUnderflow;
    Value& a = s[n - 1];
    if (!a.isNumber())
        return Status::TypeCheck;
    a = f(a);
    return Status::Continue;
}

}  // namespace

CalculatorStatus CalculatorProgram::runBlock(int block, Machine& m) const {
    Value* s = m.stack;
    // The count lives in a local while the block runs and goes back to the
    // machine whenever the block returns or runs a procedure.
    int n = m.count;
    struct Sync {
        Machine& m;
        int& n;
        ~Sync() { m.count = n; }
    } sync{m, n};
    auto push = [&](const Value& v) {
        if (n >= kCalculatorStackLimit) {
            m.overflow = true;
            return false;
        }
        s[n++] = v;
        return true;
    };
    for (const Instruction* ip = code_.data() + blockStart_[block];; ++ip) {
        Status st = Status::Continue;
        switch (ip->op) {
            case OpPush:
                if (!push(ip->value))
                    return Status::StackOverflow;
                continue;
            case OpIf:
            case OpIfElse: {
                if (n < 1)
                    return Status::StackUnderflow;
                Value c = s[--n];
                if (c.kind != Value::Boolean)
                    return Status::TypeCheck;
                int proc = c.integer ? ip->a : ip->b;
                if (proc >= 0) {
                    m.count = n;
                    Status r = runBlock(proc, m);
                    n = m.count;
                    if (r != Status::Done)
                        return r;
                }
                continue;
            }
            case OpFail:
                return Status(ip->a);
            case OpEnd:
                // A procedure still pending when its block ends runs now; its
                // outcome does not change the block's.
                if (ip->a >= 0) {
                    m.count = n;
                    runBlock(ip->a, m);
                    n = m.count;
                }
                return Status::Done;

            case OpAbs:
                st = unaryNumber(s, n, [](Value a) {
                    double r = std::fabs(a.real);
                    return Value{r, truncateSaturated(r), a.kind};
                });
                break;
            case OpNeg:
                st = unaryNumber(s, n, [](Value a) {
                    double r = -a.real;
                    return Value{r, truncateSaturated(r), a.kind};
                });
                break;
            case OpCeiling:
                st = unaryNumber(s, n, [](Value a) { return integerResult(std::ceil(a.real)); });
                break;
            case OpFloor:
                st = unaryNumber(s, n, [](Value a) { return integerResult(std::floor(a.real)); });
                break;
            case OpRound:
                st = unaryNumber(s, n, [](Value a) {
                    return integerResult(a.real > 0 ? std::trunc(a.real + 0.5)
                                                    : std::trunc(a.real - 0.5));
                });
                break;
            case OpTruncate:
            case OpCvi:
                st = unaryNumber(s, n, [](Value a) {
                    return a.kind == Value::Integer ? a : integerResult(std::trunc(a.real));
                });
                break;
            case OpCvr:
                st = unaryNumber(s, n, [](Value a) {
                    return Value{a.real, a.integer, Value::Real};
                });
                break;
            case OpSin:
                st = unaryNumber(
                    s, n, [](Value a) { return Value::computed(std::sin(degToRad(a.real))); });
                break;
            case OpCos:
                st = unaryNumber(
                    s, n, [](Value a) { return Value::computed(std::cos(degToRad(a.real))); });
                break;
            case OpLn:
                st = unaryNumber(s, n, [](Value a) { return Value::computed(std::log(a.real)); });
                break;
            case OpLog:
                st = unaryNumber(s, n, [](Value a) { return Value::computed(std::log10(a.real)); });
                break;
            case OpSqrt:
                st = unaryNumber(s, n, [](Value a) { return Value::computed(std::sqrt(a.real)); });
                break;
            case OpNot: {
                if (n < 1)
                    return Status::StackUnderflow;
                Value& a = s[n - 1];
                if (a.kind == Value::Real)
                    return Status::TypeCheck;
                a = a.kind == Value::Boolean ? Value::fromBool(!a.integer)
                                             : Value::fromInt(~a.integer);
                break;
            }

            case OpAdd:
                st = binaryNumber(s, n, [](double a, double b) { return a + b; });
                break;
            case OpSub:
                st = binaryNumber(s, n, [](double a, double b) { return a - b; });
                break;
            case OpMul:
                st = binaryNumber(s, n, [](double a, double b) { return a * b; });
                break;
            case OpDiv:
                st = binaryNumber(s, n, [](double a, double b) { return a / b; });
                break;
            case OpExp:
                st = binaryNumber(s, n, [](double a, double b) { return std::pow(a, b); });
                break;
            case OpAtan:
                // num den atan: the angle whose tangent is num/den, in degrees
                // from 0 up to 360.
                st = binaryNumber(s, n, [](double num, double den) {
                    double angle = radToDeg(std::atan2(num, den));
                    return angle < 0 ? angle + 360.0 : angle;
                });
                break;
            case OpIdiv:
                st = binaryInteger(s, n, [](int32_t a, int32_t b, int32_t& r) {
                    if (b == 0 || (a == INT32_MIN && b == -1))
                        return false;
                    r = a / b;
                    return true;
                });
                break;
            case OpMod:
                st = binaryInteger(s, n, [](int32_t a, int32_t b, int32_t& r) {
                    if (b == 0)
                        return false;
                    r = b == -1 ? 0 : a % b;
                    return true;
                });
                break;
            case OpBitshift:
                st = binaryInteger(s, n, [](int32_t a, int32_t b, int32_t& r) {
                    if (b > 0) {
                        r = int32_t(uint32_t(a) << (uint32_t(b) & 31));
                    } else {
                        uint32_t count = uint32_t(-int64_t(b)) & 31;
                        r = a >> count;
                    }
                    return true;
                });
                break;
            case OpAnd:
                st = binaryLogic(s, n, [](int32_t a, int32_t b) { return a & b; });
                break;
            case OpOr:
                st = binaryLogic(s, n, [](int32_t a, int32_t b) { return a | b; });
                break;
            case OpXor:
                st = binaryLogic(s, n, [](int32_t a, int32_t b) { return a ^ b; });
                break;

            case OpEq:
            case OpNe: {
                if (n < 2)
                    return Status::StackUnderflow;
                bool eq = valuesEqual(s[n - 2], s[n - 1]);
                n -= 2;
                s[n++] = Value::fromBool(ip->op == OpEq ? eq : !eq);
                break;
            }
            case OpGe:
                st = compare(s, n, [](double a, double b) { return a >= b; });
                break;
            case OpGt:
                st = compare(s, n, [](double a, double b) { return a > b; });
                break;
            case OpLe:
                st = compare(s, n, [](double a, double b) { return a <= b; });
                break;
            case OpLt:
                st = compare(s, n, [](double a, double b) { return a < b; });
                break;

            case OpPop:
                if (n < 1)
                    return Status::StackUnderflow;
                --n;
                break;
            case OpDup:
                if (n < 1)
                    return Status::StackUnderflow;
                if (!push(s[n - 1]))
                    return Status::StackOverflow;
                break;
            case OpExch:
                if (n < 2)
                    return Status::StackUnderflow;
                std::swap(s[n - 1], s[n - 2]);
                break;
            case OpCopy: {
                if (n < 1)
                    return Status::StackUnderflow;
                Value c = s[--n];
                if (c.kind != Value::Integer)
                    return Status::TypeCheck;
                if (c.integer < 0 || c.integer > n)
                    return Status::StackUnderflow;
                int k = c.integer;
                if (n + k > kCalculatorStackLimit) {
                    m.overflow = true;
                    return Status::StackOverflow;
                }
                std::copy(s + n - k, s + n, s + n);
                n += k;
                break;
            }
            case OpIndex: {
                if (n < 1)
                    return Status::StackUnderflow;
                Value c = s[--n];
                if (c.kind != Value::Integer || c.integer < 0)
                    return Status::TypeCheck;
                if (c.integer >= n)
                    return Status::StackUnderflow;
                s[n] = s[n - 1 - c.integer];
                ++n;  // room: the popped count's slot
                break;
            }
            case OpRoll: {
                if (n < 2)
                    return Status::StackUnderflow;
                Value j = s[--n];
                if (j.kind != Value::Integer)
                    return Status::TypeCheck;
                Value c = s[--n];
                if (c.kind != Value::Integer || c.integer < 0)
                    return Status::TypeCheck;
                if (c.integer > n)
                    return Status::StackUnderflow;
                int k = c.integer;
                if (k == 0)
                    break;
                int shift = int(((int64_t(j.integer) % k) + k) % k);
                if (shift)
                    std::rotate(s + n - k, s + n - shift, s + n);
                break;
            }
        }
        if (st != Status::Continue)
            return st;
    }
}

bool CalculatorProgram::start(Machine& m, const double* inputs, int inputCount) const {
    for (int i = 0; i < inputCount; ++i) {
        if (!m.push(Value::fromReal(inputs[i])))
            return false;
    }
    return topBlock_ >= 0;
}

bool CalculatorProgram::run(const double* inputs, int inputCount, double* outputs,
                            int outputCount) const {
    Machine m;
    if (!start(m, inputs, inputCount))
        return false;
    Status st = runBlock(topBlock_, m);
    if (m.overflow || st != Status::Done)
        return false;
    // Up to outputCount entries come off the top; the numbers among them are
    // the outputs, deepest first.
    int take = std::min(outputCount, m.count);
    int numbers = 0;
    for (int i = m.count - take; i < m.count; ++i) {
        if (m.stack[i].isNumber())
            outputs[numbers++] = m.stack[i].real;
    }
    return numbers == outputCount;
}

CalculatorProgram::Trace CalculatorProgram::trace(const double* inputs, int inputCount) const {
    Machine m;
    Trace t;
    if (!start(m, inputs, inputCount)) {
        t.status = Status::StackOverflow;
    } else {
        t.status = runBlock(topBlock_, m);
        if (m.overflow)
            t.status = Status::StackOverflow;
    }
    t.stack.assign(m.stack, m.stack + m.count);
    return t;
}

}  // namespace vistrel
