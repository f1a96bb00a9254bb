// SAFEARRAY of one dimension with elements of type VT_UI1 (bytes): the
// buffer that carries encoded images to the host. Accessing the data locks
// the array; a locked array cannot be resized or destroyed.
#pragma once

#include "platform/com/com_types.h"

namespace win {

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

// A zero-filled array; null for another element type, another number of
// dimensions, or when memory runs out.
SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dimensions, SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements);

// New element count and lower bound; added elements are zero.
// DISP_E_ARRAYISLOCKED while the data is accessed.
HRESULT SafeArrayRedim(SAFEARRAY* array, SAFEARRAYBOUND* bound);

// Bounds of dimension 1 (DISP_E_BADINDEX for any other). The upper bound of
// an empty array is the lower bound - 1.
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* upperBound);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* lowerBound);

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);

// A new unlocked array with the same bounds and elements (*copy null for a
// null array).
HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy);

// Frees the array (null is allowed); DISP_E_ARRAYISLOCKED while accessed.
HRESULT SafeArrayDestroy(SAFEARRAY* array);

}  // namespace win
