#include "platform/com/registration.h"

#include <vector>

#include "platform/registry/registry.h"
#include "platform/registry/utf16_text.h"

namespace win {

namespace {

// Sets a REG_SZ value (the default value for a null name), creating the key.
LONG setText(const std::u16string& keyPath, const char16_t* name, std::u16string_view text) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                            DWORD((text.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return status;
}

// Deletes the keys, deepest first as listed; keys already gone are fine.
HRESULT deleteKeys(const std::vector<std::u16string>& keys) {
    HRESULT result = S_OK;
    for (const auto& key : keys) {
        LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        if (status != ERROR_SUCCESS && status != LONG(ERROR_FILE_NOT_FOUND) && SUCCEEDED(result))
            result = HRESULT_FROM_WIN32(status);
    }
    return result;
}

std::u16string versionText(const TypeLibRegistration& typeLib) {
    auto hex = [](unsigned n) {
        std::u16string text;
        do {
            text.insert(text.begin(), u"0123456789abcdef"[n % 16]);
            n /= 16;
        } while (n);
        return text;
    };
    return hex(typeLib.majorVersion) + u"." + hex(typeLib.minorVersion);
}

}  // namespace

std::u16string GuidText(REFGUID id) {
    char16_t text[39];
    StringFromGUID2(id, text, 39);
    return text;
}

HRESULT RegisterClassEntry(const ClassEntry& entry, const std::string& libraryPath,
                           const TypeLibRegistration* typeLib) {
    const std::u16string id = GuidText(*entry.clsid);
    const std::u16string classKey = u"CLSID\\" + id;
    const std::u16string description = entry.description ? entry.description : u"";
    struct Value {
        std::u16string key;
        const char16_t* name;
        std::u16string text;
    };
    std::vector<Value> values = {
        {classKey, nullptr, description},
        {classKey + u"\\InprocServer32", nullptr, utf16FromUtf8(libraryPath)},
        {classKey + u"\\InprocServer32", u"ThreadingModel", u"Apartment"},
    };
    if (entry.progId) {
        values.push_back({classKey + u"\\ProgID", nullptr, entry.progId});
        values.push_back({entry.progId, nullptr, description});
        values.push_back({std::u16string(entry.progId) + u"\\CLSID", nullptr, id});
    }
    if (entry.versionIndependentProgId) {
        std::u16string key = entry.versionIndependentProgId;
        values.push_back({classKey + u"\\VersionIndependentProgID", nullptr, key});
        values.push_back({key, nullptr, description});
        values.push_back({key + u"\\CLSID", nullptr, id});
        if (entry.progId)
            values.push_back({key + u"\\CurVer", nullptr, entry.progId});
    }
    if (typeLib)
        values.push_back({classKey + u"\\TypeLib", nullptr, GuidText(*typeLib->libId)});
    for (const Value& v : values) {
        LONG status = setText(v.key, v.name, v.text);
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

HRESULT UnregisterClassEntry(const ClassEntry& entry) {
    const std::u16string id = GuidText(*entry.clsid);
    const std::u16string classKey = u"CLSID\\" + id;
    std::vector<std::u16string> keys = {classKey + u"\\InprocServer32", classKey + u"\\ProgID",
                                        classKey + u"\\VersionIndependentProgID",
                                        classKey + u"\\TypeLib", classKey};
    if (entry.progId) {
        keys.push_back(std::u16string(entry.progId) + u"\\CLSID");
        keys.push_back(entry.progId);
    }
    if (entry.versionIndependentProgId) {
        std::u16string key = entry.versionIndependentProgId;
        keys.push_back(key + u"\\CLSID");
        keys.push_back(key + u"\\CurVer");
        keys.push_back(key);
    }
    return deleteKeys(keys);
}

HRESULT RegisterTypeLibEntry(const TypeLibRegistration& typeLib) {
    LONG status = setText(u"TypeLib\\" + GuidText(*typeLib.libId) + u"\\" + versionText(typeLib),
                          nullptr, typeLib.name ? typeLib.name : u"");
    return HRESULT_FROM_WIN32(status);
}

HRESULT UnregisterTypeLibEntry(const TypeLibRegistration& typeLib) {
    const std::u16string libKey = u"TypeLib\\" + GuidText(*typeLib.libId);
    HRESULT hr = deleteKeys({libKey + u"\\" + versionText(typeLib)});
    // Other versions of the library may still be registered under its id.
    LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, libKey.c_str());
    if (FAILED(hr))
        return hr;
    if (status != ERROR_SUCCESS && status != LONG(ERROR_FILE_NOT_FOUND) &&
        status != LONG(ERROR_ACCESS_DENIED))
        return HRESULT_FROM_WIN32(status);
    return S_OK;
}

}  // namespace win
