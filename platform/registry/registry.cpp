#include "platform/registry/registry.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/registry/store_file.h"

namespace win {

namespace {

struct OpenKey {
    KeyPath path;
    REGSAM access = 0;
    bool predefined = false;
};

// Open keys by handle number. Handles are numbers looked up on every use, so
// a closed or forged handle is refused rather than followed.
class KeyTable {
public:
    HKEY add(OpenKey key) {
        std::lock_guard lock(mutex_);
        std::uintptr_t id = ++last_;
        keys_.emplace(id, std::move(key));
        return reinterpret_cast<HKEY>(id);  // NOLINT(performance-no-int-to-ptr): handles are numbers, never followed
    }

    bool find(HKEY handle, OpenKey& key) {
        if (handle == HKEY_CURRENT_USER || handle == HKEY_CLASSES_ROOT) {
            key.path = handle == HKEY_CURRENT_USER ? KeyPath{} : KeyPath{u"Software", u"Classes"};
            key.access = KEY_ALL_ACCESS;
            key.predefined = true;
            return true;
        }
        std::lock_guard lock(mutex_);
        auto it = keys_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == keys_.end())
            return false;
        key = it->second;
        return true;
    }

    bool remove(HKEY handle) {
        std::lock_guard lock(mutex_);
        return keys_.erase(reinterpret_cast<std::uintptr_t>(handle)) == 1;
    }

private:
    std::mutex mutex_;
    std::uintptr_t last_ = 0;
    std::unordered_map<std::uintptr_t, OpenKey> keys_;
};

KeyTable& keyTable() {
    static KeyTable table;
    return table;
}

// Appends the components of subKey to path. Empty components are skipped; a
// control character or a lone surrogate is refused.
bool appendSubKey(KeyPath& path, LPCWSTR subKey) {
    if (!subKey)
        return true;
    std::u16string part;
    for (const char16_t* p = subKey;; ++p) {
        char16_t c = *p;
        if (c == 0 || c == u'\\') {
            if (!part.empty())
                path.push_back(std::move(part));
            part.clear();
            if (c == 0)
                return true;
            continue;
        }
        if (c < 0x20 || c == 0x7F)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (p[1] < 0xDC00 || p[1] > 0xDFFF)
                return false;
            part += c;
            c = *++p;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        part += c;
    }
}

std::u16string valueNameOf(LPCWSTR name) {
    return name ? std::u16string(name) : std::u16string();
}

// Runs a call's body; no exception leaves the registry calls. The store's
// containers throw only when memory runs out.
template <class Body>
LONG guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return LONG(ERROR_NOT_ENOUGH_MEMORY);
    }
}

LONG openKey(HKEY key, LPCWSTR subKey, REGSAM desired, PHKEY result, bool create,
             DWORD* disposition) {
    if (!result)
        return LONG(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    OpenKey parent;
    if (!keyTable().find(key, parent))
        return LONG(ERROR_INVALID_HANDLE);
    OpenKey opened{parent.path, desired, false};
    if (!appendSubKey(opened.path, subKey))
        return LONG(ERROR_INVALID_PARAMETER);

    std::shared_ptr<const RegistryStore> store;
    LONG status = readRegistryStore(store);
    if (status != ERROR_SUCCESS)
        return status;
    bool exists = store->keyExists(opened.path);
    if (!exists && !create)
        return LONG(ERROR_FILE_NOT_FOUND);
    if (!exists) {
        status = changeRegistryStore([&](RegistryStore& s, bool* changed) {
            *changed = s.createKey(opened.path);
            exists = !*changed;
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS)
            return status;
    }
    if (disposition)
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = keyTable().add(std::move(opened));
    return ERROR_SUCCESS;
}

// The open key behind a handle, which must grant the access asked for.
LONG findKey(HKEY key, REGSAM need, OpenKey& open) {
    if (!keyTable().find(key, open))
        return LONG(ERROR_INVALID_HANDLE);
    if ((open.access & need) != need)
        return LONG(ERROR_ACCESS_DENIED);
    return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM desired, void*,
                     PHKEY result, DWORD* disposition) {
    return guarded([&]() -> LONG {
        if (!subKey)
            return LONG(ERROR_INVALID_PARAMETER);
        return openKey(key, subKey, desired, result, true, disposition);
    });
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    return guarded([&]() -> LONG { return openKey(key, subKey, desired, result, false, nullptr); });
}

LONG RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT)
        return ERROR_SUCCESS;
    return keyTable().remove(key) ? ERROR_SUCCESS : LONG(ERROR_INVALID_HANDLE);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD*, DWORD* type, LPBYTE data,
                      DWORD* dataSize) {
    return guarded([&]() -> LONG {
        OpenKey open;
        if (const LONG status = findKey(key, KEY_QUERY_VALUE, open); status != ERROR_SUCCESS)
            return status;
        if (data && !dataSize)
            return LONG(ERROR_INVALID_PARAMETER);
        std::shared_ptr<const RegistryStore> store;
        LONG status = readRegistryStore(store);
        if (status != ERROR_SUCCESS)
            return status;
        if (!open.predefined && !store->keyExists(open.path))
            return ERROR_KEY_DELETED;
        const StoredValue* value = store->findValue(open.path, valueNameOf(valueName));
        if (!value)
            return LONG(ERROR_FILE_NOT_FOUND);

        size_t size = value->data.size() + (value->type == REG_SZ ? sizeof(char16_t) : 0);
        if (size > 0xFFFFFFFFu)
            return LONG(ERROR_INVALID_PARAMETER);
        if (type)
            *type = value->type;
        if (!dataSize)
            return ERROR_SUCCESS;
        if (data && *dataSize < size) {
            *dataSize = DWORD(size);
            return ERROR_MORE_DATA;
        }
        if (data) {
            if (!value->data.empty())
                std::memcpy(data, value->data.data(), value->data.size());
            if (value->type == REG_SZ)
                std::memset(data + value->data.size(), 0, sizeof(char16_t));
        }
        *dataSize = DWORD(size);
        return ERROR_SUCCESS;
    });
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    return guarded([&]() -> LONG {
        OpenKey open;
        if (const LONG status = findKey(key, KEY_SET_VALUE, open); status != ERROR_SUCCESS)
            return status;
        if (!data && dataSize > 0)
            return LONG(ERROR_INVALID_PARAMETER);
        StoredValue value;
        value.name = valueNameOf(valueName);
        value.type = type;
        if (dataSize > 0)
            value.data.assign(data, data + dataSize);
        switch (type) {
            case REG_SZ:
                if (dataSize % 2 != 0)
                    return LONG(ERROR_INVALID_PARAMETER);
                if (dataSize >= 2 && data[dataSize - 1] == 0 && data[dataSize - 2] == 0)
                    value.data.resize(dataSize - 2);
                break;
            case REG_DWORD:
                if (dataSize != 4)
                    return LONG(ERROR_INVALID_PARAMETER);
                break;
            case REG_BINARY:
                break;
            default:
                return LONG(ERROR_INVALID_PARAMETER);
        }
        return changeRegistryStore([&](RegistryStore& store, bool* changed) {
            if (open.predefined)
                store.createKey(open.path);
            const StoredValue* old = store.findValue(open.path, value.name);
            if (old && old->type == value.type && old->data == value.data)
                return ERROR_SUCCESS;
            if (!store.setValue(open.path, value))
                return ERROR_KEY_DELETED;
            *changed = true;
            return ERROR_SUCCESS;
        });
    });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    return guarded([&]() -> LONG {
        OpenKey open;
        if (const LONG status = findKey(key, KEY_SET_VALUE, open); status != ERROR_SUCCESS)
            return status;
        return changeRegistryStore([&](RegistryStore& store, bool* changed) {
            *changed = store.deleteValue(open.path, valueNameOf(valueName));
            return *changed ? ERROR_SUCCESS : LONG(ERROR_FILE_NOT_FOUND);
        });
    });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
    return guarded([&]() -> LONG {
        OpenKey open;
        if (const LONG status = findKey(key, 0, open); status != ERROR_SUCCESS)
            return status;
        KeyPath path = open.path;
        if (!subKey || !appendSubKey(path, subKey) || path.size() == open.path.size())
            return LONG(ERROR_INVALID_PARAMETER);
        return changeRegistryStore([&](RegistryStore& store, bool* changed) {
            switch (store.deleteKey(path)) {
                case RegistryStore::DeleteResult::Deleted:
                    *changed = true;
                    return ERROR_SUCCESS;
                case RegistryStore::DeleteResult::HasSubkeys:
                    return LONG(ERROR_ACCESS_DENIED);
                case RegistryStore::DeleteResult::NotFound:
                    break;
            }
            return LONG(ERROR_FILE_NOT_FOUND);
        });
    });
}

}  // namespace win
