// The late-bound side of the library's dual interfaces: GetIDsOfNames over a
// static member table, and the argument and result handling an Invoke
// implementation needs (arguments arrive last first; a property put carries
// its value as the last argument, optionally named DISPID_PROPERTYPUT).
#pragma once

#include <span>
#include <string_view>

#include "platform/com/bstr.h"
#include "platform/com/guid.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace VISTRELLib {

// A member name and its dispatch id.
struct DispatchMember {
    const char16_t* name;
    win::DISPID id;
};

namespace detail {

inline char16_t foldCase(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

inline bool sameNameIgnoringCase(const char16_t* a, const char16_t* b) {
    for (; *a && *b; ++a, ++b) {
        if (foldCase(*a) != foldCase(*b))
            return false;
    }
    return *a == *b;
}

}  // namespace detail

// GetIDsOfNames over a table: names[0] is looked up among the members
// without regard to case; any further names (argument names) are not known.
// Unknown names get DISPID_UNKNOWN and the answer DISP_E_UNKNOWNNAME.
inline win::HRESULT dispatchIdsOfNames(std::span<const DispatchMember> members, win::REFIID iid,
                                       win::LPOLESTR* names, win::UINT count, win::DISPID* ids) {
    if (iid != win::IID_NULL)
        return win::DISP_E_UNKNOWNINTERFACE;
    if (count > 0 && (!names || !ids))
        return win::E_POINTER;
    win::HRESULT result = win::S_OK;
    for (win::UINT i = 0; i < count; ++i) {
        ids[i] = win::DISPID_UNKNOWN;
        if (i == 0 && names[0]) {
            for (const DispatchMember& member : members) {
                if (detail::sameNameIgnoringCase(names[0], member.name)) {
                    ids[0] = member.id;
                    break;
                }
            }
        }
        if (ids[i] == win::DISPID_UNKNOWN)
            result = win::DISP_E_UNKNOWNNAME;
    }
    return result;
}

// A new BSTR of the text into *out: S_OK, or E_OUTOFMEMORY with *out
// untouched.
inline win::HRESULT newText(std::u16string_view text, win::BSTR* out) {
    win::BSTR made = win::SysAllocStringLen(text.data(), win::UINT(text.size()));
    if (!made)
        return win::E_OUTOFMEMORY;
    *out = made;
    return win::S_OK;
}

// IDispatch's type-information members for objects that offer none.
inline win::HRESULT noTypeInfoCount(win::UINT* count) {
    if (!count)
        return win::E_POINTER;
    *count = 0;
    return win::S_OK;
}

inline win::HRESULT noTypeInfo(win::ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return win::E_NOTIMPL;
}

// One Invoke call: checks how a member is called and reads its arguments,
// and hands the member's results to the caller's result VARIANT.
class DispatchCall {
public:
    enum class Kind { Method, PropertyGet, PropertyPut };

    DispatchCall(win::WORD flags, win::DISPPARAMS* params, win::VARIANT* result,
                 win::UINT* argumentError)
        : flags_(flags), params_(params), result_(result), argumentError_(argumentError) {}

    // Whether the call puts a property (else it gets one or calls a method).
    bool isPut() const {
        return (flags_ & (win::DISPATCH_PROPERTYPUT | win::DISPATCH_PROPERTYPUTREF)) != 0;
    }

    // S_OK when the member may be called this way with `arguments` arguments
    // (a put's value included); otherwise the error Invoke answers.
    win::HRESULT expect(Kind kind, win::UINT arguments) const {
        const bool allowed =
            kind == Kind::PropertyPut ? isPut()
            : kind == Kind::PropertyGet
                ? (flags_ & (win::DISPATCH_PROPERTYGET | win::DISPATCH_METHOD)) != 0
                : (flags_ & win::DISPATCH_METHOD) != 0;
        if (!allowed)
            return win::DISP_E_MEMBERNOTFOUND;
        const win::UINT given = params_ ? params_->cArgs : 0;
        const win::UINT named = params_ ? params_->cNamedArgs : 0;
        if (named > 0) {
            // Only a put's value may be named, and only as the property's value.
            if (kind != Kind::PropertyPut || named != 1 || !params_->rgdispidNamedArgs ||
                params_->rgdispidNamedArgs[0] != win::DISPID_PROPERTYPUT)
                return win::DISP_E_PARAMNOTFOUND;
        }
        if (given != arguments || (given > 0 && !params_->rgvarg))
            return win::DISP_E_BADPARAMCOUNT;
        return win::S_OK;
    }

    // Argument `position` (0 = the first) as a 32-bit integer.
    win::HRESULT longArgument(win::UINT position, win::LONG* value) const {
        win::VARIANT converted{};
        win::HRESULT hr = win::VariantChangeType(&converted, argument(position), 0, win::VT_I4);
        if (win::FAILED(hr))
            return mismatch(position, hr);
        *value = converted.lVal;
        return win::S_OK;
    }

    // Argument `position` as a text: the argument's own BSTR, borrowed (null
    // for an empty argument).
    win::HRESULT stringArgument(win::UINT position, win::BSTR* text) const {
        const win::VARIANT* arg = argument(position);
        if (arg->vt == win::VT_EMPTY) {
            *text = nullptr;
        } else if (arg->vt == win::VT_BSTR) {
            *text = arg->bstrVal;
        } else {
            return mismatch(position, win::DISP_E_TYPEMISMATCH);
        }
        return win::S_OK;
    }

    // Argument `position` as interface iid of the object it holds, with one
    // reference for the caller; null for an empty argument or a null object.
    win::HRESULT interfaceArgument(win::UINT position, win::REFIID iid, void** object) const {
        *object = nullptr;
        const win::VARIANT* arg = argument(position);
        if (arg->vt == win::VT_EMPTY)
            return win::S_OK;
        if (arg->vt != win::VT_DISPATCH && arg->vt != win::VT_UNKNOWN)
            return mismatch(position, win::DISP_E_TYPEMISMATCH);
        win::IUnknown* held =
            arg->vt == win::VT_DISPATCH ? static_cast<win::IUnknown*>(arg->pdispVal) : arg->punkVal;
        if (!held)
            return win::S_OK;
        if (win::FAILED(held->QueryInterface(iid, object)))
            return mismatch(position, win::DISP_E_TYPEMISMATCH);
        return win::S_OK;
    }

    // The value of a property put (the last argument).
    win::UINT valuePosition() const { return params_ && params_->cArgs ? params_->cArgs - 1 : 0; }

    // A property get of a number or a text: getter(&value) answers; the
    // number becomes the result when it succeeds, the text on S_OK.
    template <class Getter>
    win::HRESULT getLong(Getter getter) const {
        if (win::HRESULT bad = expect(Kind::PropertyGet, 0); bad != win::S_OK)
            return bad;
        win::LONG value = 0;
        const win::HRESULT hr = getter(&value);
        if (win::SUCCEEDED(hr))
            returnLong(value);
        return hr;
    }
    template <class Getter>
    win::HRESULT getText(Getter getter) const {
        if (win::HRESULT bad = expect(Kind::PropertyGet, 0); bad != win::S_OK)
            return bad;
        win::BSTR text = nullptr;
        const win::HRESULT hr = getter(&text);
        if (hr == win::S_OK)
            returnString(text);
        return hr;
    }

    // Results: the caller's VARIANT takes over the value; without one the
    // value is let go.
    void returnLong(win::LONG value) const {
        if (result_) {
            win::VariantClear(result_);
            result_->vt = win::VT_I4;
            result_->lVal = value;
        }
    }
    void returnString(win::BSTR owned) const {
        if (!result_) {
            win::SysFreeString(owned);
            return;
        }
        win::VariantClear(result_);
        result_->vt = win::VT_BSTR;
        result_->bstrVal = owned;
    }
    void returnVariant(win::VARIANT& owned) const {
        if (!result_) {
            win::VariantClear(&owned);
            return;
        }
        win::VariantClear(result_);
        *result_ = owned;
        owned.vt = win::VT_EMPTY;
    }
    void returnDispatch(win::IDispatch* owned) const {
        if (!result_) {
            if (owned)
                owned->Release();
            return;
        }
        win::VariantClear(result_);
        result_->vt = win::VT_DISPATCH;
        result_->pdispVal = owned;
    }

private:
    const win::VARIANT* argument(win::UINT position) const {
        return &params_->rgvarg[params_->cArgs - 1 - position];
    }
    win::HRESULT mismatch(win::UINT position, win::HRESULT hr) const {
        if (argumentError_)
            *argumentError_ = params_->cArgs - 1 - position;
        return hr == win::DISP_E_OVERFLOW ? hr : win::DISP_E_TYPEMISMATCH;
    }

    win::WORD flags_;
    win::DISPPARAMS* params_;
    win::VARIANT* result_;
    win::UINT* argumentError_;
};

}  // namespace VISTRELLib
