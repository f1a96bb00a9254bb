// Basic types and result codes of the COM and OLE Automation stand-in. The
// type library's `long` is 32 bits here too (LONG), never the LP64 long.
#pragma once

#include <cstdint>

#include "platform/files/win_files.h"

namespace win {

using HRESULT = std::int32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using INT = std::int32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using DOUBLE = double;
using LCID = DWORD;
using DISPID = LONG;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

// A Win32 error code as a result (ERROR_SUCCESS gives S_OK).
constexpr HRESULT HRESULT_FROM_WIN32(LONG error) {
    return error <= 0 ? HRESULT(error) : HRESULT(0x80070000u | (DWORD(error) & 0xFFFFu));
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_ACCESSDENIED = HRESULT(0x80070005u);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = HRESULT(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154u);
constexpr HRESULT CONNECT_E_NOCONNECTION = HRESULT(0x80040200u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = HRESULT(0x80040202u);
constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0u);
constexpr HRESULT CO_E_ERRORINDLL = HRESULT(0x800401F9u);
constexpr HRESULT RPC_E_CHANGED_MODE = HRESULT(0x80010106u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = HRESULT(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = HRESULT(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = HRESULT(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = HRESULT(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = HRESULT(0x80020006u);
constexpr HRESULT DISP_E_BADVARTYPE = HRESULT(0x80020008u);
constexpr HRESULT DISP_E_OVERFLOW = HRESULT(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = HRESULT(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = HRESULT(0x8002000Du);
constexpr HRESULT DISP_E_BADPARAMCOUNT = HRESULT(0x8002000Eu);

// A library that cannot be loaded.
constexpr LONG ERROR_MOD_NOT_FOUND = 126;

}  // namespace win
