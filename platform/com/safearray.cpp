#include "platform/com/safearray.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/com/variant.h"

namespace win {

namespace {

// Arrays larger than this are refused rather than allocated.
constexpr ULONG kMaxElements = 0x7FFFFFFF;

bool oneDimension(SAFEARRAY* array, UINT dimension, HRESULT* status) {
    if (!array) {
        *status = E_INVALIDARG;
        return false;
    }
    if (dimension != 1) {
        *status = DISP_E_BADINDEX;
        return false;
    }
    return true;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dimensions, SAFEARRAYBOUND* bounds) {
    if (type != VT_UI1 || dimensions != 1 || !bounds || bounds->cElements > kMaxElements)
        return nullptr;
    auto* array = new (std::nothrow) SAFEARRAY{};
    if (!array)
        return nullptr;
    if (bounds->cElements > 0) {
        array->pvData = std::calloc(bounds->cElements, 1);
        if (!array->pvData) {
            delete array;
            return nullptr;
        }
    }
    array->cDims = 1;
    array->cbElements = 1;
    array->rgsabound[0] = *bounds;
    return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements) {
    SAFEARRAYBOUND bound{elements, lowerBound};
    return SafeArrayCreate(type, 1, &bound);
}

HRESULT SafeArrayRedim(SAFEARRAY* array, SAFEARRAYBOUND* bound) {
    if (!array || !bound)
        return E_INVALIDARG;
    if (array->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    if (bound->cElements > kMaxElements)
        return E_OUTOFMEMORY;
    ULONG old = array->rgsabound[0].cElements;
    ULONG count = bound->cElements;
    if (count == 0) {
        std::free(array->pvData);
        array->pvData = nullptr;
    } else if (count != old) {
        void* data = std::realloc(array->pvData, count);
        if (!data)
            return E_OUTOFMEMORY;
        if (count > old)
            std::memset(static_cast<std::uint8_t*>(data) + old, 0, count - old);
        array->pvData = data;
    }
    array->rgsabound[0] = *bound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* upperBound) {
    HRESULT status;
    if (!oneDimension(array, dimension, &status))
        return status;
    if (!upperBound)
        return E_INVALIDARG;
    std::int64_t upper =
        std::int64_t(array->rgsabound[0].lLbound) + std::int64_t(array->rgsabound[0].cElements) - 1;
    if (upper > std::numeric_limits<LONG>::max())
        return DISP_E_OVERFLOW;
    *upperBound = LONG(upper);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* lowerBound) {
    HRESULT status;
    if (!oneDimension(array, dimension, &status))
        return status;
    if (!lowerBound)
        return E_INVALIDARG;
    *lowerBound = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    if (!array || !data)
        return E_INVALIDARG;
    if (array->cLocks == std::numeric_limits<ULONG>::max())
        return E_UNEXPECTED;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    if (!array)
        return E_INVALIDARG;
    if (array->cLocks == 0)
        return E_UNEXPECTED;
    --array->cLocks;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy) {
    if (!copy)
        return E_INVALIDARG;
    *copy = nullptr;
    if (!array)
        return S_OK;
    SAFEARRAY* result = SafeArrayCreate(VT_UI1, 1, array->rgsabound);
    if (!result)
        return E_OUTOFMEMORY;
    if (array->rgsabound[0].cElements > 0)
        std::memcpy(result->pvData, array->pvData, array->rgsabound[0].cElements);
    *copy = result;
    return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array)
        return S_OK;
    if (array->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    std::free(array->pvData);
    delete array;
    return S_OK;
}

}  // namespace win
