// The destinations held by TOC tree nodes. A node never hands out a pointer:
// its ID is a non-zero 32-bit handle into this table, so a number a host
// gives back (a node it made or changed itself) is looked up, and a number
// that names no live entry names no destination.
//
// An entry holds one reference on its destination and counts the nodes that
// hold it; it goes with the last of them. One destination object has one
// handle while it is held, so a node and its copies answer the same ID.
// Handles are not reused while the table's counter has not come round
// (2^31 - 1 handles).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>

#include "engine/object/pdf_object.h"

namespace vistrel {

class HeldDestinations {
public:
    HeldDestinations() = default;
    HeldDestinations(const HeldDestinations&) = delete;
    HeldDestinations& operator=(const HeldDestinations&) = delete;

    // The handle of the destination with one more hold (a new entry when it
    // is not held yet); 0 for null.
    int32_t hold(PdfObject* destination);
    // One more hold on a live handle; false (nothing held) for any other
    // number.
    bool holdAgain(int32_t handle);
    // Gives up one hold; the last one removes the entry and releases the
    // destination. Numbers that name no entry are ignored.
    void release(int32_t handle);
    // The destination of a live handle (borrowed), or null.
    PdfObject* find(int32_t handle) const;
    // Removes every entry whose destination `picks` chooses (those of a
    // document that closes), whatever holds remain: their numbers then name
    // nothing.
    void dropIf(const std::function<bool(PdfObject*)>& picks);

    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        ObjectRef destination;
        int64_t holds = 0;
    };

    int32_t nextHandle();

    std::unordered_map<int32_t, Entry> entries_;
    std::unordered_map<const PdfObject*, int32_t> handles_;
    int32_t last_ = 0;
};

// The engine's table.
HeldDestinations& heldDestinations();

}  // namespace vistrel
