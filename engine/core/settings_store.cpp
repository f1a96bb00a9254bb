#include "engine/core/settings_store.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace vistrel {

// --------------------------------------------------------------- SettingValue

SettingValue::SettingValue(const SettingValue& other) {
    assign(other);
}

void SettingValue::assign(const SettingValue& other) {
    if (&other == this)
        return;
    text.assign(other.text);
    integer = other.integer;
    real = other.real;
    boolean = other.boolean;
    kind = other.kind;
}

SettingValue SettingValue::ofText(const WString& value) {
    SettingValue v;
    v.text.assign(value);
    v.kind = kText;
    return v;
}

SettingValue SettingValue::ofReal(double value) {
    SettingValue v;
    v.real = value;
    v.kind = kReal;
    return v;
}

SettingValue SettingValue::ofInteger(std::int32_t value) {
    SettingValue v;
    v.integer = value;
    v.kind = kInteger;
    return v;
}

SettingValue SettingValue::ofBoolean(bool value) {
    SettingValue v;
    v.boolean = value;
    v.kind = kBoolean;
    return v;
}

// ------------------------------------------------------------------- reading

bool readSettingSwitch(const SettingValue* value, bool fallback) {
    if (value == nullptr)
        return fallback;
    switch (value->kind) {
        case SettingValue::kText:
            return value->text.equalsText(u"true");
        case SettingValue::kReal:
            return value->real != 0.0;
        case SettingValue::kInteger:
            return value->integer != 0;
        case SettingValue::kBoolean:
            return value->boolean;
        default:
            return fallback;
    }
}

std::int32_t readSettingNumber(const SettingValue* value, std::int32_t fallback) {
    if (value == nullptr)
        return fallback;
    switch (value->kind) {
        case SettingValue::kText:
            return value->text.toInt(10);
        case SettingValue::kReal: {
            // Half away from zero, then truncated; out-of-range values clamp.
            const double r = value->real >= 0 ? value->real + 0.5 : value->real - 0.5;
            if (std::isnan(r))
                return 0;
            if (r >= 2147483647.0)
                return std::numeric_limits<std::int32_t>::max();
            if (r <= -2147483648.0)
                return std::numeric_limits<std::int32_t>::min();
            return static_cast<std::int32_t>(r);
        }
        case SettingValue::kInteger:
            return value->integer;
        case SettingValue::kBoolean:
            return value->boolean ? 1 : 0;
        default:
            return fallback;
    }
}

WString readSettingText(const SettingValue* value, const WString& fallback) {
    if (value == nullptr)
        return fallback;
    WString out;
    switch (value->kind) {
        case SettingValue::kText:
            out.assign(value->text);
            return out;
        case SettingValue::kReal:
            out.fromDouble(value->real);
            return out;
        case SettingValue::kInteger:
            out.fromInt(value->integer);
            return out;
        case SettingValue::kBoolean:
            out.assignText(value->boolean ? u"true" : u"false");
            return out;
        default:
            return fallback;
    }
}

// -------------------------------------------------------------- StringHashMap

namespace {

// 2 x the smallest power of two at least n (n > 0).
std::int32_t doubledPowerOfTwo(std::int64_t n) {
    std::int64_t p = 1;
    while (p < n)
        p <<= 1;
    return static_cast<std::int32_t>(2 * p);
}

// A cleared array of n chain heads, or null.
template <class Entry>
Entry** newBuckets(std::int32_t n) {
    void* p = globalNewArray(static_cast<std::size_t>(n) * sizeof(Entry*));
    if (p == nullptr)
        return nullptr;
    std::memset(p, 0, static_cast<std::size_t>(n) * sizeof(Entry*));
    return static_cast<Entry**>(p);
}

}  // namespace

template <class V>
StringHashMap<V>::StringHashMap()
    : bucketCount_(doubledPowerOfTwo(64)),
      mask_(static_cast<std::uint32_t>(bucketCount_ - 1)),
      minimumBucketCount_(bucketCount_),
      buckets_(newBuckets<Entry>(bucketCount_)) {}

template <class V>
StringHashMap<V>::~StringHashMap() {
    if (buckets_ == nullptr)
        return;
    for (std::int32_t i = 0; i < bucketCount_; ++i) {
        for (Entry* e = buckets_[i]; e != nullptr;) {
            Entry* next = e->next;
            delete e;
            e = next;
        }
    }
    globalDeleteArray(buckets_);
}

template <class V>
V* StringHashMap<V>::find(const WString& name) const {
    if (buckets_ == nullptr)
        return nullptr;
    const std::uint32_t h = name.hash();
    for (Entry* e = buckets_[h & mask_]; e != nullptr; e = e->next) {
        if (e->hash == h && e->key.equals(name))
            return &e->value;
    }
    return nullptr;
}

template <class V>
V* StringHashMap<V>::insert(const WString& name, V value) {
    if (buckets_ == nullptr)
        return nullptr;
    const std::uint32_t h = name.hash();
    Entry* e = new Entry{h, WString(), std::move(value), nullptr};
    if (e == nullptr)
        return nullptr;
    if (!e->key.assign(name)) {
        delete e;
        return nullptr;
    }
    Entry*& head = buckets_[h & mask_];
    e->next = head;
    head = e;
    ++count_;
    // Half the growth step in whole buckets, as the keyed hash map grows.
    // NOLINTNEXTLINE(bugprone-integer-division)
    if ((growthStep_ / 2 + bucketCount_) * loadFactor_ < count_)
        grow();
    return &e->value;
}

template <class V>
void StringHashMap<V>::grow() {
    const std::int32_t newCount = doubledPowerOfTwo(std::int64_t{bucketCount_} + growthStep_);
    if (newCount < minimumBucketCount_ || newCount > (1 << 28))
        return;
    Entry** fresh = newBuckets<Entry>(newCount);
    if (fresh == nullptr)
        return;  // keeps working with longer chains
    const auto newMask = static_cast<std::uint32_t>(newCount - 1);
    for (std::int32_t i = 0; i < bucketCount_; ++i) {
        for (Entry* e = buckets_[i]; e != nullptr;) {
            Entry* next = e->next;
            e->hash = e->key.hash();
            Entry*& head = fresh[e->hash & newMask];
            e->next = head;
            head = e;
            e = next;
        }
    }
    globalDeleteArray(buckets_);
    buckets_ = fresh;
    bucketCount_ = newCount;
    mask_ = newMask;
}

template class StringHashMap<int>;

// -------------------------------------------------------------- SettingsStore

SettingsStore::SettingsStore() = default;

SettingsStore::~SettingsStore() = default;

SettingsStore::Entry* SettingsStore::entry(const WString& section, const WString& key) const {
    auto* table = sections_.find(section);
    if (table == nullptr)
        return nullptr;
    auto* e = (*table)->find(key);
    return e == nullptr ? nullptr : e->get();
}

SettingValue* SettingsStore::find(const WString& section, const WString& key) const {
    Entry* e = entry(section, key);
    return e == nullptr ? nullptr : e->current.get();
}

void SettingsStore::set(const WString& section, const WString& key, const SettingValue& value) {
    auto* table = sections_.find(section);
    if (table == nullptr) {
        std::unique_ptr<KeyTable> fresh(new KeyTable());
        if (!fresh)
            return;
        table = sections_.insert(section, std::move(fresh));
        if (table == nullptr)
            return;
    }
    if (auto* slot = (*table)->find(key)) {
        Entry& e = **slot;
        if (e.current) {
            e.current->assign(value);
        } else {
            e.current.reset(new SettingValue(value));
        }
        return;
    }
    std::unique_ptr<Entry> fresh(new Entry());
    if (!fresh)
        return;
    fresh->current.reset(new SettingValue(value));
    if (!fresh->current)
        return;
    (*table)->insert(key, std::move(fresh));
}

void SettingsStore::save(const WString& section, const WString& key) {
    if (Entry* e = entry(section, key))
        e->saved = std::move(e->current);
}

void SettingsStore::restore(const WString& section, const WString& key) {
    if (Entry* e = entry(section, key))
        e->current = std::move(e->saved);
}

SettingsStore& settingsStore() {
    static SettingsStore store;
    return store;
}

}  // namespace vistrel
