// Registry stand-in: the key and value calls the viewer and the COM layer
// make, over one per-user text file (registry_store.h). HKEY_CURRENT_USER is
// that store; HKEY_CLASSES_ROOT is its "Software\Classes" key, so classes are
// registered per user. Key paths and value names compare without regard to
// case. The file is parsed once and kept; a call reads it again only when
// another process (or an edit) has replaced it since. Every change checks it
// under an advisory lock and replaces it whole (store_file.h), so other
// processes' changes are seen and kept.
#pragma once

#include <cstdint>

#include "platform/files/win_files.h"

namespace win {

using BYTE = std::uint8_t;
using LPBYTE = BYTE*;
using WCHAR = char16_t;
using LPCWSTR = const char16_t*;
using LPWSTR = char16_t*;
using REGSAM = DWORD;

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_READ_FAULT = 30;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_KEY_DELETED = 1018;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Opens subKey below key, creating it (and the keys above it) when missing.
// *disposition (when given) tells which. Empty path components are ignored;
// a component with a control character is refused (ERROR_INVALID_PARAMETER).
// Class, options and security are accepted and ignored.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM desired, void* security, PHKEY result, DWORD* disposition);

// Opens an existing key (a null or empty subKey opens key again);
// ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);

LONG RegCloseKey(HKEY key);

// Reads a value (a null or empty name is the key's default value). With data
// null, *dataSize gets the size needed; with a buffer too small,
// ERROR_MORE_DATA and *dataSize the size needed. A REG_SZ value comes with
// its terminator. Needs KEY_QUERY_VALUE.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, LPBYTE data,
                      DWORD* dataSize);

// Writes a REG_SZ (an even byte count; one trailing terminator is dropped),
// REG_BINARY or REG_DWORD (four bytes) value. Needs KEY_SET_VALUE.
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);

// Deletes subKey with its values; ERROR_ACCESS_DENIED while keys lie below it.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);

}  // namespace win
