#include "viewer/components/icon_list.h"

#include <stdexcept>

#include "viewer/components/graphic_errors.h"

namespace brevant {

std::unique_ptr<Icon> IconList::makeEntry(const Icon& icon) {
    if (icon.empty())
        return nullptr;
    auto entry = std::make_unique<Icon>(icon);
    entry->onChange = [this] { changed(); };
    return entry;
}

void IconList::changed() {
    if (updating_ > 0) {
        pending_ = true;
        return;
    }
    if (onChange)
        onChange();
}

void IconList::endUpdate() {
    if (updating_ > 0 && --updating_ == 0 && pending_) {
        pending_ = false;
        changed();
    }
}

int IconList::add(const Icon& icon) {
    icons_.push_back(makeEntry(icon));
    changed();
    return count() - 1;
}

void IconList::put(int index, const Icon& icon) {
    if (index == count()) {
        add(icon);
        return;
    }
    icons_.at(std::size_t(index)) = makeEntry(icon);
    changed();
}

void IconList::insert(int index, const Icon& icon) {
    if (index < 0 || index > count())
        throw std::out_of_range("List index out of bounds");
    icons_.insert(icons_.begin() + index, makeEntry(icon));
    changed();
}

int IconList::indexOf(const Icon* icon) const {
    for (std::size_t i = 0; i < icons_.size(); ++i)
        if (icons_[i].get() == icon)
            return int(i);
    return -1;
}

void IconList::remove(int index) {
    if (index < 0 || index >= count())
        throw std::out_of_range("List index out of bounds");
    icons_.erase(icons_.begin() + index);
    changed();
}

void IconList::exchange(int a, int b) {
    std::swap(icons_.at(std::size_t(a)), icons_.at(std::size_t(b)));
    changed();
}

void IconList::move(int from, int to) {
    if (from == to)
        return;
    auto entry = std::move(icons_.at(std::size_t(from)));
    icons_.erase(icons_.begin() + from);
    if (to < 0 || to > count()) {
        icons_.insert(icons_.begin() + from, std::move(entry));
        throw std::out_of_range("List index out of bounds");
    }
    icons_.insert(icons_.begin() + to, std::move(entry));
    changed();
}

void IconList::clear() {
    icons_.clear();
    changed();
}

void IconList::assign(const IconList& other) {
    if (&other == this)
        return;
    beginUpdate();
    icons_.clear();
    for (const auto& e : other.icons_)
        icons_.push_back(e ? makeEntry(*e) : nullptr);
    changed();
    endUpdate();
}

void IconList::assign(const Icon& icon) {
    beginUpdate();
    icons_.clear();
    add(icon);
    endUpdate();
}

void IconList::loadFromBytes(ByteSpan data) {
    ByteReader r(data);
    std::uint32_t n = r.le32();
    // Every entry needs its byte count at least.
    if (n > r.remaining() / 4)
        throw StreamReadError();
    std::vector<std::unique_ptr<Icon>> loaded;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t size = r.le32();
        ByteSpan bytes = r.take(size);
        loaded.push_back(size ? makeEntry(Icon(bytes)) : nullptr);
    }
    icons_ = std::move(loaded);
    changed();
}

Bytes IconList::saveToBytes() const {
    Bytes out;
    putLe32(out, std::uint32_t(icons_.size()));
    for (const auto& e : icons_) {
        if (!e) {
            putLe32(out, 0);
            continue;
        }
        putLe32(out, std::uint32_t(e->bytes().size()));
        putBytes(out, e->bytes());
    }
    return out;
}

bool IconList::shouldStore(const IconList* inherited) const {
    if (!icons_.empty())
        return true;
    if (!inherited)
        return false;
    Bytes mine = saveToBytes(), theirs = inherited->saveToBytes();
    return mine.size() != theirs.size() || !compareBytes(mine.data(), theirs.data(), mine.size());
}

}  // namespace brevant
