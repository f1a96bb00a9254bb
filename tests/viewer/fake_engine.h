// A stand-in engine library for the viewer's binding tests: the `Vistrel`
// class id with IVistrel and its event connection point, built and
// registered like the real engine, behaving simply (it records what it is
// called with, answers fixed values) and steered through IFakeEngine.
#pragma once

#include "typelib/vistrel_typelib.h"

namespace fake {

// {6A1E3C52-0B7D-4F18-9C2A-5D4E8F6A7B01}
inline constexpr win::IID IID_IFakeEngine = {
    0x6A1E3C52, 0x0B7D, 0x4F18, {0x9C, 0x2A, 0x5D, 0x4E, 0x8F, 0x6A, 0x7B, 0x01}};

// Set in the environment before the object is created: it then answers no
// IVistrel.
inline constexpr const char* kWithoutIVistrel = "FAKE_ENGINE_WITHOUT_IVISTREL";

// Fixed answers of the fake.
inline constexpr win::LONG kWidth = 612, kHeight = 792, kPages = 3;
inline constexpr win::LONG kActualWidth = 306, kActualHeight = 396;
inline constexpr const char16_t* kInfo = u"\"Grüße, \"\"Titel\"\"\",\"\",Autor";
inline constexpr const char16_t* kSecurityInfo = u"1,0,1,1,0,1,1,0";

struct IFakeEngine : win::IUnknown {
    // The result `member` (an IVistrel dispatch id) gives from now on.
    virtual win::HRESULT setResult(win::DISPID member, win::HRESULT result) = 0;
    // Fires event `member` with the arguments, given in declaration order.
    virtual win::HRESULT fire(win::DISPID member, const win::VARIANT* arguments,
                              win::UINT count) = 0;
    // The calls made since the last look, one line each; cleared.
    virtual win::HRESULT takeCalls(win::BSTR* calls) = 0;
    virtual win::HRESULT sinkCount(win::LONG* count) = 0;
    // The page size `width` and `height` answer from now on.
    virtual win::HRESULT setPageSize(win::LONG width, win::LONG height) = 0;
    // The size at 100 % `actualWidth` and `actualHeight` answer from now on.
    virtual win::HRESULT setActualSize(win::LONG width, win::LONG height) = 0;

protected:
    ~IFakeEngine() = default;
};

}  // namespace fake
