// Sampled (type 0) and calculator (type 4) functions, built over stream data
// the way the document hands it over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/streams.h"
#include "engine/doc/typed_objects.h"
#include "engine/render/function/function_test_util.h"
#include "engine/render/function/pdf_function.h"
#include "engine/render/function/postscript_function.h"
#include "engine/render/function/sampled_function.h"

namespace vistrel {
namespace {

using namespace fixtures;

// A function over a stream: the dictionary gets /Length, the raw input
// stands at the data.
struct StreamFunction {
    StreamFunction(const Ref<PdfDict>& d, std::string bytes) : data(std::move(bytes)) {
        raw = std::make_unique<MemoryInputStream>(data.data(), data.size());
        if (!d->get(*name(u"/Length")))
            d->put(name(u"/Length"), num(double(data.size())));
        function = makeFunction(*d, raw.get(), nullptr);
    }
    std::string data;
    std::unique_ptr<MemoryInputStream> raw;
    Ref<PdfFunction> function;
};

Ref<PdfDict> sampled(std::initializer_list<std::pair<const char16_t*, ObjectRef>> extra) {
    Ref<PdfDict> d = dict(extra);
    auto fallback = [&](const char16_t* key, ObjectRef value) {
        if (!d->get(*name(std::u16string(u"/") + key)))
            d->put(name(std::u16string(u"/") + key), std::move(value));
    };
    fallback(u"Domain", array({0, 1}));
    fallback(u"Range", array({0, 1}));
    fallback(u"Size", array({2}));
    fallback(u"BitsPerSample", num(8));
    d->put(name(u"/FunctionType"), num(0));
    return d;
}

Ref<PdfDict> calculator(std::initializer_list<std::pair<const char16_t*, ObjectRef>> extra) {
    Ref<PdfDict> d = dict(extra);
    if (!d->get(*name(u"/Domain")))
        d->put(name(u"/Domain"), array({0, 1}));
    if (!d->get(*name(u"/Range")))
        d->put(name(u"/Range"), array({0, 1}));
    d->put(name(u"/FunctionType"), num(4));
    return d;
}

struct Eval {
    std::vector<double> in;
    bool ok;
    std::vector<double> want;
};

struct Case {
    const char* what;
    Ref<PdfDict> dict;
    std::string data;
    bool built;
    std::vector<Eval> evals;
};

void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        StreamFunction sf(c.dict, c.data);
        EXPECT_EQ(bool(sf.function), c.built) << c.what;
        if (!sf.function)
            continue;
        for (const Eval& e : c.evals) {
            DoubleArray inputs;
            for (double v : e.in)
                inputs.append(v);
            DoubleArray outputs;
            bool ok = sf.function->evaluate(inputs, outputs);
            EXPECT_EQ(ok, e.ok) << c.what << " at " << (e.in.empty() ? -1 : e.in[0]);
            if (!ok || !e.ok)
                continue;
            ASSERT_EQ(size_t(outputs.count()), e.want.size()) << c.what;
            for (size_t j = 0; j < e.want.size(); ++j) {
                EXPECT_NEAR(outputs[int32_t(j)], e.want[j], 1e-12)
                    << c.what << " at " << e.in[0] << " output " << j;
            }
        }
    }
}

const std::string kTwoPoints("\x00\xFF", 2);

TEST(SampledFunctionTest, Evaluates) {
    check({
        {"nearest of two points",
         sampled({}),
         kTwoPoints,
         true,
         {{{0}, true, {0}},
          {{0.49}, true, {0}},
          {{0.5}, true, {1}},
          {{1}, true, {1}},
          {{-4}, true, {0}},
          {{4}, true, {1}}}},
        {"order 3 gives the same points",
         sampled({{u"Order", num(3)}}),
         kTwoPoints,
         true,
         {{{0.49}, true, {0}}, {{0.5}, true, {1}}}},
        {"through a decode filter",
         sampled({{u"Filter", name(u"/ASCIIHexDecode")}}),
         "00 ff>",
         true,
         {{{0.7}, true, {1}}}},
        {"16-bit samples",
         sampled({{u"Size", array({1})},
                  {u"BitsPerSample", num(16)},
                  {u"Decode", array({0, 65535})},
                  {u"Range", array({0, 65535})}}),
         "\x12\x34",
         true,
         {{{0.5}, true, {0x1234}}}},
        {"12-bit samples, decode onto 0..4095",
         sampled({{u"Size", array({2})},
                  {u"BitsPerSample", num(12)},
                  {u"Decode", array({0, 4095})},
                  {u"Range", array({0, 5000})}}),
         "\xAB\xCD\xEF",
         true,
         {{{0}, true, {0xABC}}, {{1}, true, {0xDEF}}}},
        {"decode narrower than the range",
         sampled({{u"Decode", array({0.25, 0.75})}}),
         kTwoPoints,
         true,
         {{{1}, true, {0.75}}}},
        {"a bad decode falls back to the range",
         sampled({{u"Decode", array({0.25})}, {u"Range", array({0, 2})}}),
         kTwoPoints,
         true,
         {{{1}, true, {2}}}},
        {"range clips the decoded value",
         sampled({{u"Decode", array({0, 2})}}),
         kTwoPoints,
         true,
         {{{1}, true, {1}}}},
        {"encode picks the points",
         sampled({{u"Encode", array({1, 0})}}),
         kTwoPoints,
         true,
         {{{0}, true, {1}}, {{1}, true, {0}}}},
        {"a bad encode falls back to 0..size-1",
         sampled({{u"Encode", arrayOf({num(1), name(u"/x")})}}),
         kTwoPoints,
         true,
         {{{0}, true, {0}}}},
        {"two inputs, two outputs, first input fastest",
         sampled({{u"Domain", array({0, 1, 0, 1})},
                  {u"Size", array({2, 2})},
                  {u"Range", array({0, 255, 0, 255})},
                  {u"Decode", array({0, 255, 0, 255})}}),
         std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8),
         true,
         {{{0, 0}, true, {1, 2}},
          {{1, 0}, true, {3, 4}},
          {{0, 1}, true, {5, 6}},
          {{1, 1}, true, {7, 8}},
          {{1}, false, {}},
          {{1, 1, 1}, false, {}}}},
        {"one input too many",
         sampled({}),
         kTwoPoints,
         true,
         {{{0.5, 0.5}, false, {}}, {{}, false, {}}}},
        {"zero-width domain looks up point 0",
         sampled({{u"Domain", array({0.5, 0.5})}}),
         kTwoPoints,
         true,
         {{{0.5}, true, {0}}, {{7}, true, {0}}}},
        {"extra data is ignored",
         sampled({}),
         std::string("\x00\xFF\x80", 3),
         true,
         {{{1}, true, {1}}}},
        // refused at construction
        {"one byte short", sampled({}), std::string("\x00", 1), false, {}},
        {"16-bit sample cut in half",
         sampled({{u"Size", array({1})}, {u"BitsPerSample", num(16)}}),
         "\x12",
         false,
         {}},
        {"12-bit samples missing their last byte",
         sampled({{u"BitsPerSample", num(12)}}),
         "\xAB\xCD",
         false,
         {}},
        {"no data", sampled({}), "", false, {}},
        {"no range", sampled({{u"Range", num(0)}}), kTwoPoints, false, {}},
        {"odd range", sampled({{u"Range", array({0, 1, 0})}}), kTwoPoints, false, {}},
        {"size too short",
         sampled({{u"Domain", array({0, 1, 0, 1})}, {u"Size", array({2})}}),
         std::string(4, '\0'),
         false,
         {}},
        {"size of zero", sampled({{u"Size", array({0})}}), kTwoPoints, false, {}},
        {"negative size", sampled({{u"Size", array({-2})}}), kTwoPoints, false, {}},
        {"size a name", sampled({{u"Size", arrayOf({name(u"/two")})}}), kTwoPoints, false, {}},
        {"sample count beyond 32 bits",
         sampled({{u"Domain", array({0, 1, 0, 1, 0, 1})}, {u"Size", array({65536, 65536, 2})}}),
         kTwoPoints,
         false,
         {}},
        {"count that wraps to a small number in 32 bits",
         sampled({{u"Domain", array({0, 1, 0, 1})},
                  {u"Size", array({65536, 65536})},
                  {u"Range", array({0, 1, 0, 1})}}),
         kTwoPoints,
         false,
         {}},
        {"bits per sample 3", sampled({{u"BitsPerSample", num(3)}}), kTwoPoints, false, {}},
        {"bits per sample 64", sampled({{u"BitsPerSample", num(64)}}), kTwoPoints, false, {}},
        {"no bits per sample", sampled({{u"BitsPerSample", name(u"/x")}}), kTwoPoints, false, {}},
    });
}

TEST(PostScriptFunctionTest, Evaluates) {
    check({
        {"double, clipped",
         calculator({}),
         "{ 2 mul }",
         true,
         {{{0.25}, true, {0.5}}, {{0.75}, true, {1}}, {{-1}, true, {0}}}},
        {"branch taken",
         calculator({{u"Range", array({-1, 1})}}),
         "{ dup 0.5 gt { 1 sub } if 2 mul }",
         true,
         {{{0.75}, true, {-0.5}}, {{0.25}, true, {0.5}}}},
        {"a boolean on top", calculator({}), "{ 1 true }", true, {{{0.5}, false, {}}}},
        {"one output of two pushed",
         calculator({{u"Range", array({0, 5})}}),
         "{ pop 1 2 }",
         true,
         {{{0.5}, true, {2}}}},
        {"two outputs",
         calculator({{u"Range", array({0, 5, 0, 5})}}),
         "{ pop 1 2 }",
         true,
         {{{0.5}, true, {1, 2}}}},
        {"a failing body leaves the input", calculator({}), "{ add }", true, {{{1.5}, true, {1}}}},
        {"an odd range gives no clipping",
         calculator({{u"Range", array({0, 1, 0})}}),
         "{ 3 mul }",
         true,
         {{{0.5}, true, {1.5}}}},
        {"the empty program passes the input on", calculator({}), "", true, {{{0.3}, true, {0.3}}}},
        {"inputs beyond m are ignored, too few fail",
         calculator({{u"Domain", array({0, 1, 0, 1})}}),
         "{ sub }",
         true,
         {{{0.75, 0.25, 9}, true, {0.5}}, {{0.75}, false, {}}}},
        {"CMYK from one tint",
         calculator({{u"Range", array({0, 1, 0, 1, 0, 1, 0, 1})}}),
         "{ dup 0.2 mul exch dup 0 mul exch dup 0.9 mul exch 0.1 mul }",
         true,
         {{{0.5}, true, {0.1, 0, 0.45, 0.05}}}},
        {"through a decode filter",
         calculator({{u"Filter", name(u"/ASCIIHexDecode")}}),
         "7B 32 20 6D 75 6C 7D>",
         true,
         {{{0.25}, true, {0.5}}}},
        {"unterminated", calculator({}), "{ 1 { 2 }", true, {{{0.5}, false, {}}}},
        {"no range", calculator({{u"Range", num(1)}}), "{ }", false, {}},
        {"a range shorter than a pair", calculator({{u"Range", array({0})}}), "{ }", false, {}},
        {"no domain", calculator({{u"Domain", name(u"/x")}}), "{ }", false, {}},
    });
}

TEST(PostScriptFunctionTest, RefusesProgramsNestedTooDeeply) {
    auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += "{ ";
        s += "0.5";
        for (int i = 0; i < depth; ++i)
            s += " }";
        return s;
    };
    StreamFunction ok(calculator({}), nested(100));
    ASSERT_TRUE(ok.function);
    bool good = false;
    EXPECT_EQ(run(*ok.function, {0.9}, good), std::vector<double>{0.5});
    EXPECT_TRUE(good);
    EXPECT_FALSE(StreamFunction(calculator({}), nested(101)).function);
    EXPECT_FALSE(StreamFunction(calculator({}), nested(200000)).function);
    // unbalanced braces count as they open
    EXPECT_FALSE(StreamFunction(calculator({}), std::string(50000, '{')).function);
}

TEST(PostScriptFunctionTest, KeepsTheProgramText) {
    StreamFunction sf(calculator({}), "{ 2 mul }\n");
    ASSERT_TRUE(sf.function);
    EXPECT_EQ(sf.function->functionType(), 4);
    auto* ps = static_cast<PostScriptFunction*>(sf.function.get());
    EXPECT_EQ(ps->programText(), "{ 2 mul }\n");
    // evaluating again runs the same compiled program
    bool ok = false;
    EXPECT_EQ(run(*ps, {0.2}, ok), std::vector<double>{0.4});
    EXPECT_EQ(run(*ps, {0.3}, ok), std::vector<double>{0.6});
}

TEST(StitchingFunctionTest, PassesFurtherInputsToItsFunctions) {
    StreamFunction sub(calculator({{u"Domain", array({0, 1, 0, 10})}, {u"Range", array({0, 20})}}),
                       "{ add }");
    ASSERT_TRUE(sub.function);
    Ref<PdfDict> d = dict({{u"FunctionType", num(3)},
                           {u"Domain", array({0, 1})},
                           {u"Functions", arrayOf({sub.function})},
                           {u"Bounds", array({})},
                           {u"Encode", array({1, 0})}});
    Ref<PdfFunction> f = makeFunction(*d, nullptr, nullptr);
    ASSERT_TRUE(f);
    bool ok = false;
    EXPECT_EQ(run(*f, {0.25, 4}, ok), std::vector<double>{4.75});
    EXPECT_TRUE(ok);
}

// The document's typed-object factory asks for a function first, for plain
// dictionaries and for streams alike.
TEST(FunctionFactoryTest, TheDocumentMakesFunctions) {
    ObjectRef made = createTypedObject(dict({{u"FunctionType", num(2)},
                                             {u"Domain", array({0, 1})},
                                             {u"N", num(1)},
                                             {u"Type", name(u"/Page")}}));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->classKind(), kClassFunction);

    Ref<PdfDict> d = calculator({{u"Length", num(9)}});
    std::string program = "{ 2 mul }";
    MemoryInputStream raw(program.data(), program.size());
    made = createStreamObject(d, &raw, nullptr);
    PdfFunction* f = asFunction(made.get());
    ASSERT_TRUE(f);
    bool ok = false;
    EXPECT_EQ(run(*f, {0.25}, ok), std::vector<double>{0.5});

    // a stream whose function is unusable stays a stream
    made =
        createStreamObject(calculator({{u"Length", num(9)}, {u"Range", array({})}}), &raw, nullptr);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->classKind(), kClassStream);
}

}  // namespace
}  // namespace vistrel
