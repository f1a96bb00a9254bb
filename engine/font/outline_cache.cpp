#include "engine/font/outline_cache.h"

#include <new>

namespace vistrel {

std::unique_ptr<OutlineCache> OutlineCache::create(std::int32_t capacity,
                                                   std::int32_t highestCode) {
    if (capacity <= 256 && highestCode <= 255)
        return std::unique_ptr<OutlineCache>(new OutlineTable(capacity));
    return std::unique_ptr<OutlineCache>(new OutlineHash(capacity));
}

// --- OutlineTable ---

OutlineTable::OutlineTable(std::int32_t capacity) {
    slots_.resize(std::size_t(capacity > 0 ? capacity : 8));
}

GlyphOutline* OutlineTable::lookup(std::uint32_t code) const {
    return code < slots_.size() ? slots_[code].get() : nullptr;
}

bool OutlineTable::insert(std::uint32_t code, std::unique_ptr<GlyphOutline> entry) {
    if (code >= slots_.size())
        return false;
    slots_[code] = std::move(entry);
    return true;
}

bool OutlineTable::walkFrom(std::uint32_t from, std::uint32_t& code, GlyphOutline*& entry) {
    for (cursor_ = from; cursor_ < slots_.size(); ++cursor_) {
        if (slots_[cursor_]) {
            code = cursor_;
            entry = slots_[cursor_].get();
            return true;
        }
    }
    return false;
}

bool OutlineTable::first(std::uint32_t& code, GlyphOutline*& entry) {
    return walkFrom(0, code, entry);
}

bool OutlineTable::next(std::uint32_t& code, GlyphOutline*& entry) {
    if (cursor_ >= slots_.size())
        return false;
    return walkFrom(cursor_ + 1, code, entry);
}

// --- OutlineHash ---

OutlineHash::OutlineHash(std::int32_t capacity) : table_(nullptr, capacity) {}

OutlineHash::~OutlineHash() {
    for (auto& node : table_)
        delete node.value;
}

GlyphOutline* OutlineHash::lookup(std::uint32_t code) const {
    return table_.get(code);
}

bool OutlineHash::insert(std::uint32_t code, std::unique_ptr<GlyphOutline> entry) {
    cursor_.reset();
    if (Table::Node* node = table_.find(code)) {
        delete node->value;
        node->value = entry.release();
        return true;
    }
    if (!table_.insert(code, entry.get()))
        return false;
    (void)entry.release();
    return true;
}

bool OutlineHash::report(std::uint32_t& code, GlyphOutline*& entry) {
    if (*cursor_ == table_.end()) {
        cursor_.reset();
        return false;
    }
    code = (*cursor_)->key;
    entry = (*cursor_)->value;
    return true;
}

bool OutlineHash::first(std::uint32_t& code, GlyphOutline*& entry) {
    cursor_.emplace(table_.begin());
    return report(code, entry);
}

bool OutlineHash::next(std::uint32_t& code, GlyphOutline*& entry) {
    if (!cursor_)
        return false;
    ++*cursor_;
    return report(code, entry);
}

}  // namespace vistrel
