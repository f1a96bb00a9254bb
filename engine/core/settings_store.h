// The engine's run-time settings: typed values under a section and a key, set
// by code (presets, feature switches) and read by rendering and font code,
// each reader with a default of its own. A value can be parked with save and
// brought back with restore.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/core/allocator.h"
#include "engine/core/wstring.h"

namespace vistrel {

struct SettingValue {
    VISTREL_POOLED_CLASS(SettingValue)

    enum Kind : std::int32_t { kText = 1, kReal = 2, kInteger = 3, kBoolean = 4 };

    SettingValue() = default;
    SettingValue(const SettingValue& other);
    SettingValue& operator=(const SettingValue& other) {
        assign(other);
        return *this;
    }
    // Copies all five fields.
    void assign(const SettingValue& other);

    static SettingValue ofText(const WString& text);
    static SettingValue ofReal(double value);
    static SettingValue ofInteger(std::int32_t value);
    static SettingValue ofBoolean(bool value);

    WString text;
    std::int32_t integer = 0;
    double real = 0.0;
    bool boolean = false;
    std::int32_t kind = 0;
};

// The reading conventions. Each gives `fallback` when there is no value or its
// kind is not one of the four.
// Switch: text equal to "true", a real or integer not 0, a true boolean.
bool readSettingSwitch(const SettingValue* value, bool fallback);
// Number: text in radix 10, a real rounded half away from zero, the integer,
// 1 or 0 for a boolean.
std::int32_t readSettingNumber(const SettingValue* value, std::int32_t fallback);
// Text: the text, a number in its text form, "true" or "false".
WString readSettingText(const SettingValue* value, const WString& fallback);

// Hash table from a WString name (an owned copy) to V, with the growth rule
// of the engine's name tables: 2 x the smallest power of two >= 64 buckets at
// first, load factor 0.75, growth step 64. Entries are never removed.
template <class V>
class StringHashMap {
    VISTREL_POOLED_CLASS(StringHashMap)

public:
    StringHashMap();
    ~StringHashMap();
    StringHashMap(const StringHashMap&) = delete;
    StringHashMap& operator=(const StringHashMap&) = delete;

    // The stored value, or null when the name is missing.
    V* find(const WString& name) const;
    // Adds name -> value (the name must be missing); returns the stored value,
    // or null when memory runs out.
    V* insert(const WString& name, V value);

    std::int32_t bucketCount() const { return bucketCount_; }
    std::int32_t count() const { return count_; }

private:
    struct Entry {
        VISTREL_POOLED_CLASS(Entry)

        std::uint32_t hash;
        WString key;
        V value;
        Entry* next;
    };
    void grow();

    std::int32_t bucketCount_;
    std::uint32_t mask_;
    std::int32_t minimumBucketCount_;
    std::int32_t growthStep_ = 64;
    std::int32_t count_ = 0;
    double loadFactor_ = 0.75;
    Entry** buckets_;  // from globalNewArray, cleared
};

class SettingsStore {
public:
    SettingsStore();
    virtual ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The current value, or null when the section, the key or a current value
    // is missing. Borrowed: it lives until the entry is changed by set of a
    // parked value, save or restore, or the store is destroyed.
    SettingValue* find(const WString& section, const WString& key) const;
    // Stores a copy of value; an existing current value is changed in place.
    void set(const WString& section, const WString& key, const SettingValue& value);
    // Parks the current value (an older parked value is destroyed); reads then
    // see no value.
    void save(const WString& section, const WString& key);
    // Destroys the current value and brings the parked one back.
    void restore(const WString& section, const WString& key);

    std::int32_t sectionCount() const { return sections_.count(); }

private:
    struct Entry {
        VISTREL_POOLED_CLASS(Entry)

        std::unique_ptr<SettingValue> current;
        std::unique_ptr<SettingValue> saved;
    };
    using KeyTable = StringHashMap<std::unique_ptr<Entry>>;

    Entry* entry(const WString& section, const WString& key) const;

    StringHashMap<std::unique_ptr<KeyTable>> sections_;
};

// The process-wide store, empty until code fills it.
SettingsStore& settingsStore();

}  // namespace vistrel
