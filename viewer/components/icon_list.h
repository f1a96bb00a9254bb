// A list of icons that streams itself as the "Icons" property: a 32-bit
// count, then for each icon a 32-bit byte count (0 for an empty entry) and
// the icon in its file format.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "viewer/components/icon.h"

namespace brevant {

class IconList {
public:
    IconList() = default;
    IconList(const IconList&) = delete;
    IconList& operator=(const IconList&) = delete;

    int count() const { return int(icons_.size()); }
    // The icon at index; null for an empty entry.
    const Icon* icon(int index) const { return icons_.at(std::size_t(index)).get(); }

    // Appends a copy of an icon (an empty icon makes an empty entry); its index.
    int add(const Icon& icon);
    // Replaces the entry at index; an index equal to the count appends.
    void put(int index, const Icon& icon);
    void insert(int index, const Icon& icon);
    // Index of the entry holding this very icon, -1 when none does.
    int indexOf(const Icon* icon) const;
    void remove(int index);
    void exchange(int a, int b);
    void move(int from, int to);
    void clear();

    void assign(const IconList& other);
    void assign(const Icon& icon);

    // The stream layout of the "Icons" property.
    void loadFromBytes(ByteSpan data);
    Bytes saveToBytes() const;
    // Whether the property is written: the list differs from the one it
    // inherits (none for a form of its own), or is not empty.
    bool shouldStore(const IconList* inherited) const;

    void beginUpdate() { ++updating_; }
    void endUpdate();
    std::function<void()> onChange;

private:
    std::unique_ptr<Icon> makeEntry(const Icon& icon);
    void changed();

    std::vector<std::unique_ptr<Icon>> icons_;
    int updating_ = 0;
    bool pending_ = false;
};

}  // namespace brevant
