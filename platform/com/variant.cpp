#include "platform/com/variant.h"

#include <charconv>
#include <cmath>
#include <string>

#include "platform/com/unknown.h"

namespace win {

namespace {

constexpr VARTYPE kByteArray = VT_ARRAY | VT_UI1;

bool known(VARTYPE type) {
    switch (type) {
        case VT_EMPTY:
        case VT_I2:
        case VT_I4:
        case VT_R8:
        case VT_BSTR:
        case VT_BOOL:
        case VT_UNKNOWN:
        case VT_DISPATCH:
        case kByteArray:
            return true;
        default:
            return false;
    }
}

// Reads a decimal number with optional sign, fraction and exponent, blanks
// around it allowed, whatever the process locale.
bool parseNumber(BSTR text, double* value) {
    std::string narrow;
    for (UINT i = 0, n = SysStringLen(text); i < n; ++i) {
        if (text[i] > 0x7F)
            return false;
        narrow += char(text[i]);
    }
    size_t first = narrow.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    size_t last = narrow.find_last_not_of(" \t");
    std::string_view s(narrow.data() + first, last - first + 1);
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // Only digits and a point may begin the number ("inf" and "nan" are not).
    if (s.empty() || !((s.front() >= '0' && s.front() <= '9') || s.front() == '.'))
        return false;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *value);
    if (error != std::errc() || end != s.data() + s.size())
        return false;
    if (negative)
        *value = -*value;
    return true;
}

// Rounds half to even, as conversions to integer kinds do.
double roundHalfEven(double v) {
    double floor = std::floor(v);
    double rest = v - floor;
    if (rest > 0.5)
        return floor + 1;
    if (rest < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

HRESULT numberOf(const VARIANT& source, double* value) {
    switch (source.vt) {
        case VT_EMPTY:
            *value = 0;
            return S_OK;
        case VT_I2:
            *value = source.iVal;
            return S_OK;
        case VT_I4:
            *value = source.lVal;
            return S_OK;
        case VT_R8:
            *value = source.dblVal;
            return S_OK;
        case VT_BOOL:
            *value = source.boolVal;
            return S_OK;
        case VT_BSTR:
            return parseNumber(source.bstrVal, value) ? S_OK : DISP_E_TYPEMISMATCH;
        case VT_UNKNOWN:
        case VT_DISPATCH:
        case kByteArray:
            return DISP_E_TYPEMISMATCH;
        default:
            return DISP_E_BADVARTYPE;
    }
}

}  // namespace

void VariantInit(VARIANT* value) {
    if (value)
        *value = VARIANT{};
}

HRESULT VariantClear(VARIANT* value) {
    if (!value)
        return E_INVALIDARG;
    switch (value->vt) {
        case VT_BSTR:
            SysFreeString(value->bstrVal);
            break;
        case VT_UNKNOWN:
            if (value->punkVal)
                value->punkVal->Release();
            break;
        case VT_DISPATCH:
            if (value->pdispVal)
                value->pdispVal->Release();
            break;
        case kByteArray: {
            HRESULT hr = SafeArrayDestroy(value->parray);
            if (FAILED(hr))
                return hr;
            break;
        }
        default:
            if (!known(value->vt))
                return DISP_E_BADVARTYPE;
    }
    *value = VARIANT{};
    return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
    if (!target || !source)
        return E_INVALIDARG;
    if (target == source)
        return S_OK;
    if (!known(source->vt))
        return DISP_E_BADVARTYPE;
    VARIANT copy = *source;
    switch (source->vt) {
        case VT_BSTR:
            if (source->bstrVal) {
                copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
                if (!copy.bstrVal)
                    return E_OUTOFMEMORY;
            }
            break;
        case VT_UNKNOWN:
            if (copy.punkVal)
                copy.punkVal->AddRef();
            break;
        case VT_DISPATCH:
            if (copy.pdispVal)
                copy.pdispVal->AddRef();
            break;
        case kByteArray:
            if (FAILED(SafeArrayCopy(source->parray, &copy.parray)))
                return E_OUTOFMEMORY;
            break;
        default:
            break;
    }
    HRESULT hr = VariantClear(target);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *target = copy;
    return S_OK;
}

HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, USHORT, VARTYPE type) {
    if (!target || !source)
        return E_INVALIDARG;
    if (type == source->vt && known(type))
        return VariantCopy(target, source);
    if (type != VT_I2 && type != VT_I4 && type != VT_R8)
        return DISP_E_BADVARTYPE;
    double number = 0;
    HRESULT hr = numberOf(*source, &number);
    if (FAILED(hr))
        return hr;

    VARIANT result{};
    result.vt = type;
    if (type == VT_R8) {
        result.dblVal = number;
    } else {
        double whole = roundHalfEven(number);
        double low = type == VT_I2 ? -32768.0 : -2147483648.0;
        double high = type == VT_I2 ? 32767.0 : 2147483647.0;
        if (!(whole >= low && whole <= high))
            return DISP_E_OVERFLOW;  // NaN too
        if (type == VT_I2) {
            result.iVal = SHORT(whole);
        } else {
            result.lVal = LONG(whole);
        }
    }
    // The source may be the target: its value has been taken already.
    hr = VariantClear(target);
    if (FAILED(hr))
        return hr;
    *target = result;
    return S_OK;
}

}  // namespace win
