#include "engine/render/function/pdf_function.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/render/function/function_test_util.h"

namespace vistrel {
namespace {

using namespace fixtures;

struct BuildCase {
    const char* what;
    Ref<PdfDict> dict;
    bool built;
};

TEST(MakeFunctionTest, RefusesUnusableDictionaries) {
    auto f = [] { return arrayOf({}); };  // stand-in sub-function list
    const BuildCase cases[] = {
        {"exponential",
         dict({{u"FunctionType", num(2)}, {u"Domain", array({0, 1})}, {u"N", num(1)}}), true},
        {"type 2.7 is 2",
         dict({{u"FunctionType", num(2.7)}, {u"Domain", array({0, 1})}, {u"N", num(1)}}), true},
        {"type 1", dict({{u"FunctionType", num(1)}, {u"Domain", array({0, 1})}, {u"N", num(1)}}),
         false},
        {"type -1", dict({{u"FunctionType", num(-1)}, {u"Domain", array({0, 1})}, {u"N", num(1)}}),
         false},
        {"type 5", dict({{u"FunctionType", num(5)}, {u"Domain", array({0, 1})}, {u"N", num(1)}}),
         false},
        {"type a name",
         dict({{u"FunctionType", name(u"/Two")}, {u"Domain", array({0, 1})}, {u"N", num(1)}}),
         false},
        {"no type", dict({{u"Domain", array({0, 1})}, {u"N", num(1)}}), false},
        {"sampled without a stream",
         dict({{u"FunctionType", num(0)},
               {u"Domain", array({0, 1})},
               {u"Range", array({0, 1})},
               {u"Size", array({2})},
               {u"BitsPerSample", num(8)}}),
         false},
        // the domain every type needs
        {"no domain", dict({{u"FunctionType", num(2)}, {u"N", num(1)}}), false},
        {"empty domain", dict({{u"FunctionType", num(2)}, {u"Domain", array({})}, {u"N", num(1)}}),
         false},
        {"odd domain",
         dict({{u"FunctionType", num(2)}, {u"Domain", array({0, 1, 2})}, {u"N", num(1)}}), false},
        {"domain not an array",
         dict({{u"FunctionType", num(2)}, {u"Domain", num(1)}, {u"N", num(1)}}), false},
        {"domain with a name",
         dict({{u"FunctionType", num(2)},
               {u"Domain", arrayOf({num(0), name(u"/x")})},
               {u"N", num(1)}}),
         false},
        // exponential
        {"exponential of two inputs",
         dict({{u"FunctionType", num(2)}, {u"Domain", array({0, 1, 0, 1})}, {u"N", num(1)}}),
         false},
        {"exponential without N", dict({{u"FunctionType", num(2)}, {u"Domain", array({0, 1})}}),
         false},
        {"exponential with a name for N",
         dict({{u"FunctionType", num(2)}, {u"Domain", array({0, 1})}, {u"N", name(u"/N")}}), false},
        {"exponential with an odd range",
         dict({{u"FunctionType", num(2)},
               {u"Domain", array({0, 1})},
               {u"N", num(1)},
               {u"Range", array({0})}}),
         true},
        // stitching
        {"stitching",
         dict({{u"FunctionType", num(3)},
               {u"Domain", array({0, 1})},
               {u"Functions", arrayOf({num(0), num(0)})},
               {u"Bounds", array({0.5})},
               {u"Encode", array({0, 1, 0, 1})}}),
         true},
        {"stitching with k bounds",
         dict({{u"FunctionType", num(3)},
               {u"Domain", array({0, 1})},
               {u"Functions", arrayOf({num(0), num(0)})},
               {u"Bounds", array({0.3, 0.6})},
               {u"Encode", array({0, 1, 0, 1})}}),
         false},
        {"stitching with a short encode",
         dict({{u"FunctionType", num(3)},
               {u"Domain", array({0, 1})},
               {u"Functions", arrayOf({num(0), num(0)})},
               {u"Bounds", array({0.5})},
               {u"Encode", array({0, 1, 0})}}),
         false},
        {"stitching with a name in bounds",
         dict({{u"FunctionType", num(3)},
               {u"Domain", array({0, 1})},
               {u"Functions", arrayOf({num(0), num(0)})},
               {u"Bounds", arrayOf({name(u"/b")})},
               {u"Encode", array({0, 1, 0, 1})}}),
         false},
        {"stitching without functions",
         dict({{u"FunctionType", num(3)},
               {u"Domain", array({0, 1})},
               {u"Functions", f()},
               {u"Bounds", array({})},
               {u"Encode", array({})}}),
         false},
        {"stitching of two inputs",
         dict({{u"FunctionType", num(3)},
               {u"Domain", array({0, 1, 0, 1})},
               {u"Functions", arrayOf({num(0)})},
               {u"Bounds", array({})},
               {u"Encode", array({0, 1})}}),
         false},
    };
    for (const BuildCase& c : cases) {
        Ref<PdfFunction> fn = makeFunction(*c.dict, nullptr, nullptr);
        EXPECT_EQ(bool(fn), c.built) << c.what;
        if (fn) {
            EXPECT_EQ(fn->classKind(), kClassFunction) << c.what;
            EXPECT_EQ(fn->kind(), kKindDict) << c.what;
            EXPECT_TRUE(fn->isValid()) << c.what;
            EXPECT_EQ(fn->refCount(), 1u) << c.what;
        }
    }
}

TEST(MakeFunctionTest, KeepsTheEntriesAndId) {
    Ref<PdfDict> d = dict({{u"FunctionType", num(2)},
                           {u"Domain", array({0, 1})},
                           {u"N", num(1)},
                           {u"Extra", name(u"/Kept")}});
    d->setId(12, 0, false);
    Ref<PdfFunction> f = makeFunction(*d, nullptr, nullptr);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size(), d->size());
    EXPECT_EQ(f->getId().number, 12);
    EXPECT_EQ(f->functionType(), 2);
    EXPECT_EQ(asFunction(f.get()), f.get());
    EXPECT_EQ(asFunction(d.get()), nullptr);
    EXPECT_EQ(asFunction(nullptr), nullptr);
}

struct EvalCase {
    const char* what;
    Ref<PdfDict> dict;
    std::vector<double> in;
    bool ok;
    std::vector<double> want;
};

void checkEvaluations(const std::vector<EvalCase>& cases) {
    for (const EvalCase& c : cases) {
        Ref<PdfFunction> f = makeFunction(*c.dict, nullptr, nullptr);
        ASSERT_TRUE(f) << c.what;
        DoubleArray inputs;
        for (double v : c.in)
            inputs.append(v);
        DoubleArray outputs;
        outputs.append(99);  // emptied by evaluate
        bool ok = f->evaluate(inputs, outputs);
        EXPECT_EQ(ok, c.ok) << c.what;
        if (!ok || !c.ok)
            continue;
        ASSERT_EQ(size_t(outputs.count()), c.want.size()) << c.what;
        for (size_t j = 0; j < c.want.size(); ++j) {
            EXPECT_NEAR(outputs[int32_t(j)], c.want[j], 1e-12) << c.what << " output " << j;
        }
    }
}

Ref<PdfDict> exponential(std::initializer_list<std::pair<const char16_t*, ObjectRef>> extra) {
    Ref<PdfDict> d = dict(extra);
    if (!d->get(*name(u"/Domain")))
        d->put(name(u"/Domain"), array({0, 1}));
    d->put(name(u"/FunctionType"), num(2));
    return d;
}

TEST(ExponentialFunctionTest, Evaluates) {
    checkEvaluations({
        {"identity", exponential({{u"N", num(1)}}), {0.3}, true, {0.3}},
        {"below the domain", exponential({{u"N", num(1)}}), {-1}, true, {0}},
        {"above the domain", exponential({{u"N", num(1)}}), {7}, true, {1}},
        {"inverted domain",
         exponential({{u"N", num(1)}, {u"Domain", array({1, 0})}}),
         {0.5},
         true,
         {0}},
        {"square root", exponential({{u"N", num(0.5)}}), {0.25}, true, {0.5}},
        {"two outputs",
         exponential({{u"N", num(2)}, {u"C0", array({0, 0.5})}, {u"C1", array({1, 1})}}),
         {0.5},
         true,
         {0.25, 0.625}},
        {"one range pair clips output 0 only",
         exponential({{u"N", num(1)}, {u"C0", array({0, 0, 0})}, {u"Range", array({0, 0.5})}}),
         {0.8},
         true,
         {0.5, 0.8, 0.8}},
        {"short C0 and a name in C1",
         exponential(
             {{u"N", num(1)}, {u"C0", array({0.2})}, {u"C1", arrayOf({num(1), name(u"/x")})}}),
         {0.5},
         true,
         {0.6, 0.5}},
        {"C1 longer than C0",
         exponential({{u"N", num(1)}, {u"C1", array({2, 4})}}),
         {0.25},
         true,
         {0.5, 1}},
        {"the second input is ignored", exponential({{u"N", num(1)}}), {0.3, 0.9}, true, {0.3}},
        {"no input", exponential({{u"N", num(1)}}), {}, false, {}},
        {"range wider than the outputs",
         exponential({{u"N", num(1)}, {u"Range", array({0, 0.5, 0, 0.5})}}),
         {0.9},
         true,
         {0.5, 0.5}},
    });
}

// f(x) = x and g(x) = 10 + 10x, as functions.
ObjectRef identityFunction() {
    return makeFunction(*exponential({{u"N", num(1)}}), nullptr, nullptr);
}
ObjectRef tenToTwenty() {
    return makeFunction(*exponential({{u"N", num(1)}, {u"C0", array({10})}, {u"C1", array({20})}}),
                        nullptr, nullptr);
}

Ref<PdfDict> stitching(std::initializer_list<std::pair<const char16_t*, ObjectRef>> extra) {
    Ref<PdfDict> d = dict(extra);
    if (!d->get(*name(u"/Domain")))
        d->put(name(u"/Domain"), array({0, 1}));
    if (!d->get(*name(u"/Functions"))) {
        d->put(name(u"/Functions"), arrayOf({identityFunction(), tenToTwenty()}));
    }
    if (!d->get(*name(u"/Bounds")))
        d->put(name(u"/Bounds"), array({0.5}));
    if (!d->get(*name(u"/Encode")))
        d->put(name(u"/Encode"), array({0, 1, 0, 1}));
    d->put(name(u"/FunctionType"), num(3));
    return d;
}

TEST(StitchingFunctionTest, Evaluates) {
    checkEvaluations({
        {"first subdomain", stitching({}), {0.25}, true, {0.5}},
        {"a bound belongs to the upper subdomain", stitching({}), {0.5}, true, {10}},
        {"the last subdomain includes the maximum", stitching({}), {1}, true, {20}},
        {"inside the second", stitching({}), {0.75}, true, {15}},
        {"below the domain", stitching({}), {-3}, true, {0}},
        {"above the domain", stitching({}), {3}, true, {20}},
        {"reversed encodes", stitching({{u"Encode", array({1, 0, 1, 0})}}), {0.25}, true, {0.5}},
        {"reversed encodes at the minimum",
         stitching({{u"Encode", array({1, 0, 1, 0})}}),
         {0},
         true,
         {1}},
        {"encode beyond the sub-domain is clipped there",
         stitching({{u"Encode", array({0, 4, 0, 1})}}),
         {0.25},
         true,
         {1}},
        {"three pieces",
         stitching(
             {{u"Functions", arrayOf({identityFunction(), tenToTwenty(), identityFunction()})},
              {u"Bounds", array({0.2, 0.6})},
              {u"Encode", array({0, 1, 0, 1, 0, 1})}}),
         {0.4},
         true,
         {15}},
        {"zero-width last piece at its bound",
         stitching({{u"Bounds", array({1})}, {u"Encode", array({0, 1, 0.25, 1})}}),
         {1},
         true,
         {12.5}},
        {"its own range is not applied",
         stitching({{u"Range", array({0, 1})}}),
         {0.75},
         true,
         {15}},
        {"one function",
         stitching({{u"Functions", arrayOf({tenToTwenty()})},
                    {u"Bounds", array({})},
                    {u"Encode", array({1, 0})}}),
         {0.25},
         true,
         {17.5}},
        {"a sub-function that is no function",
         stitching({{u"Functions", arrayOf({identityFunction(), num(4)})}}),
         {0.75},
         false,
         {}},
        {"the other sub-function still works",
         stitching({{u"Functions", arrayOf({identityFunction(), num(4)})}}),
         {0.25},
         true,
         {0.5}},
        {"functions replaced by a number",
         stitching({{u"Functions", arrayOf({num(1)})},
                    {u"Bounds", array({})},
                    {u"Encode", array({0, 1})}}),
         {0.5},
         false,
         {}},
        {"no input", stitching({}), {}, false, {}},
    });
}

TEST(StitchingFunctionTest, FunctionsLeadingBackToItselfFail) {
    Ref<PdfArray> functions = arrayOf({identityFunction()});
    Ref<PdfFunction> f = makeFunction(
        *stitching({{u"Functions", functions}, {u"Bounds", array({})}, {u"Encode", array({0, 1})}}),
        nullptr, nullptr);
    ASSERT_TRUE(f);
    bool ok = false;
    EXPECT_EQ(run(*f, {0.5}, ok), std::vector<double>{0.5});
    EXPECT_TRUE(ok);
    // The function's /Functions is the same array: make it hold the function.
    functions->set(0, f);
    run(*f, {0.5}, ok);
    EXPECT_FALSE(ok);
    functions->clear();  // break the cycle
}

}  // namespace
}  // namespace vistrel
