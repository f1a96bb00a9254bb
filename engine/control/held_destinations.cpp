#include "engine/control/held_destinations.h"

#include <limits>
#include <vector>

namespace vistrel {

int32_t HeldDestinations::nextHandle() {
    // Positive numbers in turn, passing over any still in use.
    do {
        last_ = last_ == std::numeric_limits<int32_t>::max() ? 1 : last_ + 1;
    } while (entries_.count(last_));
    return last_;
}

int32_t HeldDestinations::hold(PdfObject* destination) {
    if (!destination)
        return 0;
    auto known = handles_.find(destination);
    if (known != handles_.end()) {
        ++entries_[known->second].holds;
        return known->second;
    }
    const int32_t handle = nextHandle();
    entries_.emplace(handle, Entry{ObjectRef::share(destination), 1});
    handles_.emplace(destination, handle);
    return handle;
}

bool HeldDestinations::holdAgain(int32_t handle) {
    auto entry = entries_.find(handle);
    if (entry == entries_.end())
        return false;
    ++entry->second.holds;
    return true;
}

void HeldDestinations::release(int32_t handle) {
    auto entry = entries_.find(handle);
    if (entry == entries_.end() || --entry->second.holds > 0)
        return;
    // The entry leaves the table before its destination is released.
    ObjectRef destination = std::move(entry->second.destination);
    handles_.erase(destination.get());
    entries_.erase(entry);
}

PdfObject* HeldDestinations::find(int32_t handle) const {
    auto entry = entries_.find(handle);
    return entry == entries_.end() ? nullptr : entry->second.destination.get();
}

void HeldDestinations::dropIf(const std::function<bool(PdfObject*)>& picks) {
    std::vector<ObjectRef> dropped;
    for (auto entry = entries_.begin(); entry != entries_.end();) {
        if (picks(entry->second.destination.get())) {
            handles_.erase(entry->second.destination.get());
            dropped.push_back(std::move(entry->second.destination));
            entry = entries_.erase(entry);
        } else {
            ++entry;
        }
    }
    // The destinations go once the table is consistent again.
}

HeldDestinations& heldDestinations() {
    static HeldDestinations table;
    return table;
}

}  // namespace vistrel
