// VARIANT: the tagged value of automation arguments and results. The kinds
// held here are VT_EMPTY, VT_I2, VT_I4, VT_R8, VT_BSTR, VT_BOOL, VT_UNKNOWN,
// VT_DISPATCH and VT_ARRAY | VT_UI1 (a byte SAFEARRAY); a VARIANT owns its
// string, its interface reference and its array.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/com_types.h"
#include "platform/com/safearray.h"

namespace win {

struct IUnknown;
struct IDispatch;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_UNKNOWN = 13;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_ARRAY = 0x2000;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        SHORT iVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
    };
};
using VARIANTARG = VARIANT;

void VariantInit(VARIANT* value);

// Frees what the value owns and leaves it VT_EMPTY. DISP_E_BADVARTYPE for a
// kind not listed above, DISP_E_ARRAYISLOCKED for an accessed array; the
// value is then left as it was.
HRESULT VariantClear(VARIANT* value);

// Clears target, then makes it a deep copy of source (a new string, one more
// interface reference, a copied array). Copying a value onto itself does
// nothing.
HRESULT VariantCopy(VARIANT* target, const VARIANT* source);

// Converts source to VT_I2, VT_I4 or VT_R8 into target (which may be source).
// Reals round half to even; strings are read as locale-independent decimal
// numbers. DISP_E_OVERFLOW when the value does not fit, DISP_E_TYPEMISMATCH
// for a text that is not a number or an interface or array, DISP_E_BADVARTYPE
// for another target kind. Converting to the source's own kind copies it.
HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, USHORT flags, VARTYPE type);

}  // namespace win
