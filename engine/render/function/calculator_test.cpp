#include "engine/render/function/calculator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "engine/render/function/calculator_text.h"

namespace vistrel {
namespace {

using Status = CalculatorStatus;

CalculatorProgram compileText(const std::string& text) {
    return CalculatorProgram::compile(tokenizeCalculatorText(text.data(), text.size()));
}

// Expected stack written as words: 3 is the integer 3, 2.5r the real 2.5,
// true/false booleans, nan a not-a-number real, inf an infinite real.
std::string describe(const std::vector<CalculatorValue>& stack) {
    std::ostringstream out;
    for (const CalculatorValue& v : stack) {
        if (v.kind == CalculatorValue::Boolean) {
            out << (v.integer ? "true" : "false");
        } else if (v.kind == CalculatorValue::Integer) {
            out << v.integer;
        } else if (std::isnan(v.real)) {
            out << "nan";
        } else {
            out << v.real << "r";
        }
        out << ' ';
    }
    std::string s = out.str();
    if (!s.empty())
        s.pop_back();
    return s;
}

bool stackMatches(const std::vector<CalculatorValue>& stack, const std::string& expected) {
    std::istringstream in(expected);
    std::string w;
    size_t i = 0;
    while (in >> w) {
        if (i >= stack.size())
            return false;
        const CalculatorValue& v = stack[i++];
        if (w == "true" || w == "false") {
            if (v.kind != CalculatorValue::Boolean || (v.integer != 0) != (w == "true")) {
                return false;
            }
        } else if (w == "nan") {
            if (v.kind != CalculatorValue::Real || !std::isnan(v.real))
                return false;
        } else if (w == "inf" || w == "-inf") {
            if (v.kind != CalculatorValue::Real || v.real != (w == "inf" ? INFINITY : -INFINITY)) {
                return false;
            }
        } else if (w.back() == 'r') {
            double want = std::stod(w.substr(0, w.size() - 1));
            if (v.kind != CalculatorValue::Real || std::fabs(v.real - want) > 1e-12)
                return false;
        } else {
            long want = std::stol(w);
            if (v.kind != CalculatorValue::Integer || v.integer != want || v.real != double(want)) {
                return false;
            }
        }
    }
    return i == stack.size();
}

struct StackCase {
    const char* program;
    Status status;
    const char* stack;
};

// Every operator, with the stack it leaves (no inputs). Results computed by
// hand or with Python's math module.
const StackCase kOperatorCases[] = {
    // literals and arithmetic (a computed integral value becomes an integer)
    {"{ 1 2 add }", Status::Done, "3"},
    {"{ 0.5 0.5 add }", Status::Done, "1"},
    {"{ 0.5 0.25 add }", Status::Done, "0.75r"},
    {"{ 1.0 }", Status::Done, "1r"},
    {"{ 3 4 exch sub }", Status::Done, "1"},
    {"{ 2.5 4 mul }", Status::Done, "10"},
    {"{ 7 2 div }", Status::Done, "3.5r"},
    {"{ 8 2 div }", Status::Done, "4"},
    {"{ 1 0 div }", Status::Done, "inf"},
    {"{ 0 0 div }", Status::Done, "nan"},
    {"{ 1.5 2 exp }", Status::Done, "2.25r"},
    {"{ 2 10 exp }", Status::Done, "1024"},
    {"{ -8 0.5 exp }", Status::Done, "nan"},
    {"{ 7 2 idiv }", Status::Done, "3"},
    {"{ -7 2 idiv }", Status::Done, "-3"},
    {"{ -7 2 mod }", Status::Done, "-1"},
    {"{ 7 -2 mod }", Status::Done, "1"},
    {"{ 0.5 0.5 add 2 idiv }", Status::Done, "0"},
    {"{ 5 neg }", Status::Done, "-5"},
    {"{ -2.5 neg }", Status::Done, "2.5r"},
    {"{ -2.0 abs }", Status::Done, "2r"},  // kind kept: still a real
    {"{ -3 abs }", Status::Done, "3"},
    // results beyond 32 bits: a real, or an integer whose integer part saturates
    {"{ 2147483647 1 add }", Status::Done, "2147483648r"},
    {"{ 2147483647 2 mul ceiling 2 idiv }", Status::Done, "1073741823"},
    {"{ 1 -2147483648 bitshift }", Status::Done, "1"},
    // rounding operators give integers
    {"{ 1.2 ceiling -1.2 ceiling }", Status::Done, "2 -1"},
    {"{ 1.8 floor -1.2 floor }", Status::Done, "1 -2"},
    {"{ 2.5 round -2.5 round 2.4 round }", Status::Done, "3 -3 2"},
    {"{ -3.7 truncate 6 truncate }", Status::Done, "-3 6"},
    {"{ 3.9 cvi -3.9 cvi }", Status::Done, "3 -3"},
    {"{ 4 cvr }", Status::Done, "4r"},
    {"{ 4 cvr 2 idiv }", Status::TypeCheck, "4r"},
    // transcendental operators (degrees)
    {"{ 90 sin }", Status::Done, "1"},
    {"{ 30 sin }", Status::Done, "0.49999999999999994r"},
    {"{ 60 cos }", Status::Done, "0.5000000000000001r"},
    {"{ 0 cos }", Status::Done, "1"},
    {"{ 16 sqrt 2 sqrt }", Status::Done, "4 1.4142135623730951r"},
    {"{ -1 sqrt }", Status::Done, "nan"},
    {"{ 1000 log 1 ln }", Status::Done, "3 0"},
    {"{ 0 ln }", Status::Done, "-inf"},
    {"{ 2.718281828459045 ln }", Status::Done, "1"},
    // num den atan: degrees from 0 up to 360
    {"{ 1 1 atan }", Status::Done, "45"},
    {"{ 0 1 atan }", Status::Done, "0"},
    {"{ 1 0 atan }", Status::Done, "90"},
    {"{ 1 -1 atan }", Status::Done, "135"},
    {"{ -1 -1 atan }", Status::Done, "225"},
    {"{ -100 0 atan }", Status::Done, "270"},
    {"{ 0 0 atan }", Status::Done, "0"},
    {"{ 0 -1 atan }", Status::Done, "180"},
    {"{ -1 1 atan }", Status::Done, "315"},
    // just below the top of the range: never negative, never 360
    {"{ -0.000001 1 atan }", Status::Done, "359.99994270422049r"},
    {"{ -0.0 1 atan }", Status::Done, "0"},
    // the one-operand form of other calculators is refused, the operand kept
    {"{ 1 atan }", Status::StackUnderflow, "1"},
    // bitwise and logical operators
    {"{ 1 4 bitshift 16 -2 bitshift }", Status::Done, "16 4"},
    {"{ -16 -2 bitshift }", Status::Done, "-4"},
    {"{ 1 33 bitshift }", Status::Done, "2"},
    {"{ 12 10 and 12 10 or 12 10 xor }", Status::Done, "8 14 6"},
    {"{ true false and true false or true true xor }", Status::Done, "false true false"},
    {"{ 5 not true not }", Status::Done, "-6 false"},
    {"{ 1.5 not }", Status::TypeCheck, "1.5r"},
    {"{ true 1 and }", Status::TypeCheck, "true"},
    {"{ 1 true and }", Status::TypeCheck, "1"},
    {"{ 1 1.0 and }", Status::TypeCheck, "1"},
    // relations
    {"{ 1 1.0 eq 1 true eq true true eq false true ne }", Status::Done, "true false true true"},
    {"{ 2 3 lt 2 3 gt 3 3 ge 3 3 le 4 3 le }", Status::Done, "true false true true false"},
    {"{ 1 true lt }", Status::TypeCheck, "1"},
    {"{ 5 true 1 lt }", Status::TypeCheck, "5"},
    // stack operators
    {"{ 5 dup 1 add }", Status::Done, "5 6"},
    {"{ 1 2 pop }", Status::Done, "1"},
    {"{ 1 2 3 3 1 roll }", Status::Done, "3 1 2"},
    {"{ 1 2 3 3 -1 roll }", Status::Done, "2 3 1"},
    {"{ 1 2 3 3 4 roll }", Status::Done, "3 1 2"},
    {"{ 1 2 3 3 0 roll }", Status::Done, "1 2 3"},
    {"{ 1 2 3 0 5 roll }", Status::Done, "1 2 3"},
    {"{ 1 2 3 2 copy }", Status::Done, "1 2 3 2 3"},
    {"{ 1 2 0 copy }", Status::Done, "1 2"},
    {"{ 1 2 3 2 index }", Status::Done, "1 2 3 1"},
    {"{ 1 2 3 0 index }", Status::Done, "1 2 3 3"},
    // operand errors: two-operand operators keep a and drop b
    {"{ add }", Status::StackUnderflow, ""},
    {"{ 1 add }", Status::StackUnderflow, "1"},
    {"{ 1 true add }", Status::TypeCheck, "1"},
    {"{ 1 0 idiv }", Status::TypeCheck, "1"},
    {"{ 1 0 mod }", Status::TypeCheck, "1"},
    {"{ -2147483648 -1 idiv }", Status::TypeCheck, "-2147483648"},
    {"{ 1.5 2 idiv }", Status::TypeCheck, "1.5r"},
    {"{ neg }", Status::StackUnderflow, ""},
    {"{ true neg }", Status::TypeCheck, "true"},
    {"{ pop }", Status::StackUnderflow, ""},
    {"{ dup }", Status::StackUnderflow, ""},
    {"{ 1 exch }", Status::StackUnderflow, "1"},
    {"{ 1 eq }", Status::StackUnderflow, "1"},
    {"{ copy }", Status::StackUnderflow, ""},
    {"{ 1 2 1.0 copy }", Status::TypeCheck, "1 2"},
    {"{ 1 2 3 copy }", Status::StackUnderflow, "1 2"},
    {"{ 1 2 -1 copy }", Status::StackUnderflow, "1 2"},
    {"{ index }", Status::StackUnderflow, ""},
    {"{ 1 2 2 index }", Status::StackUnderflow, "1 2"},
    {"{ 1 2 -1 index }", Status::TypeCheck, "1 2"},
    {"{ 1 2 true index }", Status::TypeCheck, "1 2"},
    {"{ 1 roll }", Status::StackUnderflow, "1"},
    {"{ 1 2 2 1.5 roll }", Status::TypeCheck, "1 2 2"},
    {"{ 1 2 2.0 1 roll }", Status::TypeCheck, "1 2"},
    {"{ 1 2 -1 1 roll }", Status::TypeCheck, "1 2"},
    {"{ 1 2 3 1 roll }", Status::StackUnderflow, "1 2"},
};

TEST(CalculatorOperatorsTest, LeaveTheExpectedStack) {
    for (const StackCase& c : kOperatorCases) {
        CalculatorProgram p = compileText(c.program);
        CalculatorProgram::Trace t = p.trace(nullptr, 0);
        // The outer body's status is not the top level's: look one level in.
        std::string body = std::string(c.program);
        body = body.substr(body.find('{') + 1, body.rfind('}') - body.find('{') - 1);
        CalculatorProgram::Trace inner = compileText(body).trace(nullptr, 0);
        EXPECT_EQ(t.status, Status::Done) << c.program;
        EXPECT_EQ(inner.status, c.status) << c.program;
        EXPECT_TRUE(stackMatches(t.stack, c.stack))
            << c.program << " left " << describe(t.stack) << ", expected " << c.stack;
    }
}

// Procedures, if/ifelse and the pending slots.
const StackCase kStructureCases[] = {
    {"{ true { 1 } if 2 }", Status::Done, "1 2"},
    {"{ false { 1 } if 2 }", Status::Done, "2"},
    {"{ true { 1 } { 2 } ifelse 3 }", Status::Done, "1 3"},
    {"{ false { 1 } { 2 } ifelse 3 }", Status::Done, "2 3"},
    {"{ 0.75 dup 0.5 gt { 1 sub } if 2 mul }", Status::Done, "-0.5r"},
    {"{ 0.25 dup 0.5 gt { 1 sub } if 2 mul }", Status::Done, "0.5r"},
    // nested conditionals
    {"{ 3 dup 2 gt { dup 4 gt { 10 } { 20 } ifelse } { 30 } ifelse }", Status::Done, "3 20"},
    // if leaves slot 2 waiting; the next procedure fills slot 1
    {"{ true { 1 } { 2 } if false { 3 } ifelse }", Status::Done, "1 2"},
    // a procedure left in slot 1 runs when its block ends; slot 2 does not
    {"{ 5 { 6 } }", Status::Done, "5 6"},
    {"{ { 1 } { 2 } }", Status::Done, "1"},
    // the top level reads on after the outer braces before running the body
    {"{ 2 mul } 3", Status::Done, "6"},
    // failures inside a procedure end it and every procedure around it
    {"{ 1 { { 2 } { 3 } { 4 } } 5 }", Status::Done, "1 5"},
    {"{ 1 true { 2 foo 3 } if 4 }", Status::Done, "1 2"},
    {"{ 1 /x 2 }", Status::Done, "1"},
    {"{ 1 (s) 2 }", Status::Done, "1"},
    {"{ 1 [ 2 }", Status::Done, "1"},
    {"{ 1 if }", Status::Done, "1"},
    {"{ { 1 } ifelse }", Status::Done, ""},
    {"{ 1 { 2 } if }", Status::Done, ""},
    {"{ true { 1 add } if 9 }", Status::Done, "1"},
    // failures outside the outer braces reach the top level
    {"{ 1 { 2 }", Status::UnterminatedProcedure, ""},
    {"1 { 2", Status::UnterminatedProcedure, "1"},
    {"{ 1 } foo", Status::UnknownOperator, ""},
    {"{ 1 } /x", Status::BadToken, ""},
    {"{ 1 } { 2 } { 3 }", Status::TooManyProcedures, ""},
    {"", Status::Done, ""},
    {"% comment only\n", Status::Done, ""},
    {"{ 1 % comment } 2\n 3 }", Status::Done, "1 3"},
    // words as the PDF tokenizer splits them
    {"{ 1e5 }", Status::Done, "1"},
    {"{ -.5 +3 - }", Status::Done, "-0.5r 3 0"},
    {"{ 12abc 1 }", Status::Done, ""},
    {"{ 1 ) 2 }", Status::Done, "1 2"},
    {"{ 1 ~ 2 }", Status::Done, "1"},
    {"{ 1 <41> 2 }", Status::Done, "1"},
    {"{ 1 << 2 }", Status::Done, "1"},
    {"{ 1 \xE9"
     "dd 2 }",
     Status::Done, "1"},
    {"{1 2 add}", Status::Done, "3"},
    {"{1{2}if}", Status::Done, ""},
};

TEST(CalculatorProceduresTest, FollowThePendingSlots) {
    for (const StackCase& c : kStructureCases) {
        CalculatorProgram::Trace t = compileText(c.program).trace(nullptr, 0);
        EXPECT_EQ(t.status, c.status) << c.program;
        EXPECT_TRUE(stackMatches(t.stack, c.stack))
            << c.program << " left " << describe(t.stack) << ", expected " << c.stack;
    }
}

TEST(CalculatorProceduresTest, ThirdPendingProcedureEndsTheBody) {
    CalculatorProgram::Trace t = compileText("{ 1 } { 2 } { 3 }").trace(nullptr, 0);
    EXPECT_EQ(t.status, Status::TooManyProcedures);
    t = compileText("{ 1 { 2 } { 3 } { 4 } 5 }").trace(nullptr, 0);
    EXPECT_EQ(t.status, Status::Done);
    EXPECT_TRUE(stackMatches(t.stack, "1")) << describe(t.stack);
}

struct RunCase {
    const char* program;
    std::vector<double> inputs;
    int outputCount;
    bool ok;
    std::vector<double> outputs;
};

TEST(CalculatorRunTest, TakesOutputsFromTheTop) {
    const RunCase cases[] = {
        {"{ 2 mul }", {0.25}, 1, true, {0.5}},
        {"{ pop 1 2 }", {0.3}, 1, true, {2}},
        {"{ pop 1 2 }", {0.3}, 2, true, {1, 2}},
        {"{ 1 true }", {0.3}, 1, false, {}},
        {"{ 1 true }", {0.3}, 2, false, {}},
        {"{ add }", {0.3}, 1, true, {0.3}},
        {"{ add }", {0.25, 0.5}, 1, true, {0.75}},
        {"{ exch }", {1, 2}, 2, true, {2, 1}},
        {"{ }", {0.5}, 2, false, {}},
        {"{ 1 } foo", {0.5}, 1, false, {}},
        // three inputs, DeviceN-style: c m y -> gray
        {"{ add add 3 div 1 exch sub }", {0.3, 0.6, 0.9}, 1, true, {0.4}},
    };
    for (const RunCase& c : cases) {
        CalculatorProgram p = compileText(c.program);
        double out[8] = {};
        bool ok = p.run(c.inputs.data(), int(c.inputs.size()), out, c.outputCount);
        EXPECT_EQ(ok, c.ok) << c.program;
        if (!ok || !c.ok)
            continue;
        for (size_t j = 0; j < c.outputs.size(); ++j) {
            EXPECT_NEAR(out[j], c.outputs[j], 1e-12) << c.program << " output " << j;
        }
    }
}

TEST(CalculatorRunTest, InputsArePushedAsReals) {
    double in = 1.0;
    CalculatorProgram::Trace t = compileText("{ }").trace(&in, 1);
    EXPECT_TRUE(stackMatches(t.stack, "1r")) << describe(t.stack);
    // so an integer-only operator refuses an input
    t = compileText("{ 2 idiv }").trace(&in, 1);
    EXPECT_TRUE(stackMatches(t.stack, "1r")) << describe(t.stack);
}

TEST(CalculatorLimitsTest, StackOverflowFailsTheEvaluation) {
    std::string doubling = "{ 1 dup 2 copy 4 copy 8 copy 16 copy 32 copy 64 copy }";
    double out = 0;
    EXPECT_FALSE(compileText(doubling).run(nullptr, 0, &out, 1));
    std::string many = "{";
    for (int i = 0; i <= kCalculatorStackLimit; ++i)
        many += " 1";
    many += " }";
    EXPECT_FALSE(compileText(many).run(nullptr, 0, &out, 1));
    EXPECT_EQ(compileText(many).trace(nullptr, 0).status, Status::StackOverflow);
    // one entry less fits
    many = "{";
    for (int i = 0; i < kCalculatorStackLimit; ++i)
        many += " 1";
    many += " }";
    EXPECT_TRUE(compileText(many).run(nullptr, 0, &out, 1));
    // also through dup and a procedure run at the end of its block
    std::string viaDup = many.substr(0, many.size() - 1) + " dup }";
    EXPECT_FALSE(compileText(viaDup).run(nullptr, 0, &out, 1));
    std::string nested = "{ { " + many.substr(1, many.size() - 2) + " 1 } }";
    EXPECT_FALSE(compileText(nested).run(nullptr, 0, &out, 1));
}

TEST(CalculatorLimitsTest, NestingBeyondTheCapIsRefused) {
    auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += "{ ";
        s += "1";
        for (int i = 0; i < depth; ++i)
            s += " }";
        return s;
    };
    std::string ok = nested(kCalculatorMaxNesting);
    EXPECT_EQ(CalculatorProgram::nestingDepth(tokenizeCalculatorText(ok.data(), ok.size())),
              kCalculatorMaxNesting);
    double out = 0;
    EXPECT_TRUE(compileText(ok).run(nullptr, 0, &out, 1));
    EXPECT_EQ(out, 1.0);
    std::string deep = nested(100000);  // would exhaust the native stack
    EXPECT_EQ(CalculatorProgram::nestingDepth(tokenizeCalculatorText(deep.data(), deep.size())),
              100000);
    EXPECT_FALSE(compileText(deep).run(nullptr, 0, &out, 1));
}

}  // namespace
}  // namespace vistrel
