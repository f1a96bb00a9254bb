#include "engine/render/content/kept_image_rows.h"

#include <new>
#include <utility>

#include "engine/render/content/image_dict.h"

namespace vistrel {

namespace {

thread_local KeptImageRows* currentKeeper = nullptr;

}  // namespace

KeptImageRows::KeptImageRows(std::size_t budget) : budget_(budget) {}

KeptImageRows::~KeptImageRows() {
    for (Entry& entry : entries_)
        entry.image->dropKeptRows();
}

KeptImageRows::Scope::Scope(KeptImageRows& keeper) : previous_(currentKeeper) {
    currentKeeper = &keeper;
}

KeptImageRows::Scope::~Scope() {
    currentKeeper = previous_;
}

KeptImageRows* KeptImageRows::current() {
    return currentKeeper;
}

void KeptImageRows::makeRoom(std::size_t bytes) {
    while (!entries_.empty() && used_ > budget_ - bytes) {
        entries_.front().image->dropKeptRows();
        used_ -= entries_.front().memory.size;
        entries_.pop_front();
    }
}

KeptImageRows::Memory KeptImageRows::rowMemory(std::size_t bytes) {
    if (bytes == 0 || bytes > budget_)
        return {};
    Memory memory;
    if (spare_.size >= bytes) {
        memory = std::move(spare_);
        spare_ = {};
        makeRoom(memory.size);
        return memory;
    }
    spare_ = {};
    makeRoom(bytes);
    memory.bytes.reset(new (std::nothrow) std::uint8_t[bytes]);
    memory.size = memory.bytes ? bytes : 0;
    return memory;
}

bool KeptImageRows::add(ImageXObject& image, Memory memory) {
    if (!memory.bytes || memory.size > budget_)
        return false;
    makeRoom(memory.size);
    used_ += memory.size;
    entries_.push_back({Ref<ImageXObject>::share(&image), std::move(memory)});
    return true;
}

void KeptImageRows::clear() {
    for (Entry& entry : entries_) {
        entry.image->dropKeptRows();
        // A buffer still read from stays with its reading.
        if (entry.memory.bytes.use_count() == 1 && entry.memory.size > spare_.size)
            spare_ = std::move(entry.memory);
    }
    entries_.clear();
    used_ = 0;
}

}  // namespace vistrel
