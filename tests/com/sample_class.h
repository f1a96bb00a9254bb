// A small COM class built as a library of its own, registered and created
// the way a host registers and creates the engine: one custom dual interface
// and one event interface fired through a connection point.
#pragma once

#include "platform/com/unknown.h"

namespace sample {

// {3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E01}
constexpr win::CLSID CLSID_Sample = {
    0x3D6F5A10, 0x8C2E, 0x4B7A, {0x9E, 0x41, 0x2A, 0x5C, 0x7D, 0x9B, 0x0E, 0x01}};
// {3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E02}
constexpr win::IID IID_ISample = {
    0x3D6F5A10, 0x8C2E, 0x4B7A, {0x9E, 0x41, 0x2A, 0x5C, 0x7D, 0x9B, 0x0E, 0x02}};
// {3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E03}
constexpr win::IID DIID_SampleEvents = {
    0x3D6F5A10, 0x8C2E, 0x4B7A, {0x9E, 0x41, 0x2A, 0x5C, 0x7D, 0x9B, 0x0E, 0x03}};
// {3D6F5A10-8C2E-4B7A-9E41-2A5C7D9B0E04}
constexpr win::GUID LIBID_Sample = {
    0x3D6F5A10, 0x8C2E, 0x4B7A, {0x9E, 0x41, 0x2A, 0x5C, 0x7D, 0x9B, 0x0E, 0x04}};

struct ISample : win::IDispatch {
    // Fires event `member` with the arguments (x, y).
    virtual win::HRESULT fire(win::LONG member, win::LONG x, win::LONG y) = 0;
    virtual win::HRESULT get_value(win::LONG* value) = 0;
    virtual win::HRESULT put_value(win::LONG value) = 0;

protected:
    ~ISample() = default;
};

}  // namespace sample
