#include "platform/com/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/com/unknown.h"

namespace win {
namespace {

// An object on the stack that only counts its references.
class Counted : public IDispatch {
public:
    ULONG refs = 1;
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

VARIANT make(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}
VARIANT i2(SHORT n) {
    VARIANT v = make(VT_I2);
    v.iVal = n;
    return v;
}
VARIANT i4(LONG n) {
    VARIANT v = make(VT_I4);
    v.lVal = n;
    return v;
}
VARIANT r8(double d) {
    VARIANT v = make(VT_R8);
    v.dblVal = d;
    return v;
}
VARIANT boolean(VARIANT_BOOL b) {
    VARIANT v = make(VT_BOOL);
    v.boolVal = b;
    return v;
}
VARIANT text(const char16_t* s) {
    VARIANT v = make(VT_BSTR);
    v.bstrVal = SysAllocString(s);
    return v;
}
VARIANT bytes(const char* b, ULONG n) {
    VARIANT v = make(VT_ARRAY | VT_UI1);
    v.parray = SafeArrayCreateVector(VT_UI1, 0, n);
    void* data;
    SafeArrayAccessData(v.parray, &data);
    std::memcpy(data, b, n);
    SafeArrayUnaccessData(v.parray);
    return v;
}

// A copy owns its own string and array and one more interface reference;
// clearing either side leaves the other whole.
TEST(Variant, CopiesAreDeepAndClearsFreeTheirParts) {
    Counted object;
    VARIANT unknown = make(VT_UNKNOWN);
    unknown.punkVal = &object;
    VARIANT dispatch = make(VT_DISPATCH);
    dispatch.pdispVal = &object;
    object.refs = 3;  // the object's own and one for each variant above
    VARIANT nulls = make(VT_BSTR);
    nulls.bstrVal = nullptr;
    VARIANT cases[] = {make(VT_EMPTY),
                       i2(-3),
                       i4(123456),
                       r8(0.25),
                       boolean(VARIANT_TRUE),
                       text(u"caption, \"quoted\""),
                       nulls,
                       unknown,
                       dispatch,
                       bytes("\x89PNG\0\1", 6)};
    for (VARIANT& source : cases) {
        VARIANT copy = text(u"overwritten");  // freed by the copy
        const ULONG refsBefore = object.refs;
        ASSERT_EQ(VariantCopy(&copy, &source), S_OK) << source.vt;
        ASSERT_EQ(copy.vt, source.vt);
        switch (source.vt) {
            case VT_BSTR:
                if (source.bstrVal) {
                    EXPECT_NE(copy.bstrVal, source.bstrVal);
                    EXPECT_EQ(std::u16string(copy.bstrVal), std::u16string(source.bstrVal));
                } else {
                    EXPECT_EQ(copy.bstrVal, nullptr);
                }
                break;
            case VT_UNKNOWN:
            case VT_DISPATCH:
                EXPECT_EQ(object.refs, refsBefore + 1);
                break;
            case VT_ARRAY | VT_UI1: {
                EXPECT_NE(copy.parray, source.parray);
                void* data;
                ASSERT_EQ(SafeArrayAccessData(copy.parray, &data), S_OK);
                EXPECT_EQ(std::memcmp(data, "\x89PNG\0\1", 6), 0);
                SafeArrayUnaccessData(copy.parray);
                break;
            }
            default:
                EXPECT_EQ(std::bit_cast<std::uint64_t>(copy.dblVal), std::bit_cast<std::uint64_t>(source.dblVal));
        }
        EXPECT_EQ(VariantClear(&copy), S_OK);
        EXPECT_EQ(copy.vt, VT_EMPTY);
        EXPECT_EQ(VariantCopy(&source, &source), S_OK);  // onto itself: nothing happens
        EXPECT_EQ(VariantClear(&source), S_OK);
    }
    EXPECT_EQ(object.refs, 1u);

    // A locked array and an unknown kind are left alone.
    VARIANT locked = bytes("x", 1);
    void* data;
    SafeArrayAccessData(locked.parray, &data);
    EXPECT_EQ(VariantClear(&locked), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(locked.vt, VT_ARRAY | VT_UI1);
    SafeArrayUnaccessData(locked.parray);
    EXPECT_EQ(VariantClear(&locked), S_OK);
    VARIANT odd = make(VT_I4 | 0x4000);
    EXPECT_EQ(VariantClear(&odd), DISP_E_BADVARTYPE);
    VARIANT target = i4(1);
    EXPECT_EQ(VariantCopy(&target, &odd), DISP_E_BADVARTYPE);
}

TEST(Variant, ChangeTypeToNumbers) {
    const double nan = std::nan("");
    struct Case {
        VARIANT source;
        VARTYPE type;
        HRESULT result;
        double value;  // what the target holds on success
    };
    Case cases[] = {
        {i2(7), VT_I4, S_OK, 7},
        {i4(-5), VT_I2, S_OK, -5},
        {i4(40000), VT_I2, DISP_E_OVERFLOW, 0},
        {i4(-32768), VT_I2, S_OK, -32768},
        {r8(2.5), VT_I4, S_OK, 2},  // half to even
        {r8(3.5), VT_I4, S_OK, 4},
        {r8(-2.5), VT_I2, S_OK, -2},
        {r8(2.4999), VT_I4, S_OK, 2},
        {r8(-0.6), VT_I4, S_OK, -1},
        {r8(2147483647.4), VT_I4, S_OK, 2147483647},
        {r8(2147483647.5), VT_I4, DISP_E_OVERFLOW, 0},
        {r8(nan), VT_I4, DISP_E_OVERFLOW, 0},
        {i4(12), VT_R8, S_OK, 12},
        {boolean(VARIANT_TRUE), VT_I4, S_OK, -1},
        {boolean(VARIANT_FALSE), VT_R8, S_OK, 0},
        {make(VT_EMPTY), VT_I2, S_OK, 0},
        {text(u" 12.5 "), VT_R8, S_OK, 12.5},
        {text(u"2.5"), VT_I4, S_OK, 2},
        {text(u"1e3"), VT_I2, S_OK, 1000},
        {text(u"+7"), VT_I4, S_OK, 7},
        {text(u"-32769"), VT_I2, DISP_E_OVERFLOW, 0},
        {text(u"12abc"), VT_I4, DISP_E_TYPEMISMATCH, 0},
        {text(u"1,5"), VT_R8, DISP_E_TYPEMISMATCH, 0},
        {text(u"inf"), VT_R8, DISP_E_TYPEMISMATCH, 0},
        {text(u""), VT_I4, DISP_E_TYPEMISMATCH, 0},
        {text(nullptr), VT_I4, DISP_E_TYPEMISMATCH, 0},
        {bytes("1", 1), VT_I4, DISP_E_TYPEMISMATCH, 0},
        {i4(1), VT_BSTR, DISP_E_BADVARTYPE, 0},
    };
    for (Case& c : cases) {
        VARIANT target = text(u"old");  // freed when the change succeeds
        HRESULT hr = VariantChangeType(&target, &c.source, 0, c.type);
        EXPECT_EQ(hr, c.result) << "case " << (&c - cases);
        if (SUCCEEDED(hr)) {
            ASSERT_EQ(target.vt, c.type);
            double got = c.type == VT_I2   ? target.iVal
                         : c.type == VT_I4 ? target.lVal
                                           : target.dblVal;
            EXPECT_EQ(got, c.value) << "case " << (&c - cases);
        } else {
            EXPECT_EQ(target.vt, VT_BSTR);  // untouched
        }
        VariantClear(&target);
        VariantClear(&c.source);
    }

    // In place, as a handler converting its own argument does.
    VARIANT v = text(u"42");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 42);
}

}  // namespace
}  // namespace win
