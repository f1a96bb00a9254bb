#include "engine/constants/cff_strings.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vistrel {

namespace detail {
ConstantSlot<WStringConstant> cffStandardStringSlots[kCffStandardStringCount];
}  // namespace detail

namespace {

#define VISTREL_X(text) text,
constexpr const char16_t* kTexts[] = {VISTREL_CFF_STANDARD_STRINGS(VISTREL_X)};
#undef VISTREL_X
static_assert(std::size(kTexts) == kCffStandardStringCount);

constexpr char16_t lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

// The load order: alphabetical without regard to case, a capital before its
// small letter, "/.notdef" as if it had no dot.
constexpr bool loadsBefore(std::u16string_view a, std::u16string_view b) {
    a.remove_prefix(a.starts_with(u"/.") ? 2 : 1);
    b.remove_prefix(b.starts_with(u"/.") ? 2 : 1);
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (lower(a[i]) != lower(b[i]))
            return lower(a[i]) < lower(b[i]);
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

// The SIDs in load order, sorted when the constants are built (nothing is
// allocated).
std::array<int16_t, kCffStandardStringCount> loadOrder;

}  // namespace

void buildCffStandardStringConstants() {
    for (int16_t i = 0; i < kCffStandardStringCount; ++i)
        loadOrder[size_t(i)] = i;
    std::sort(loadOrder.begin(), loadOrder.end(),
              [](int16_t a, int16_t b) { return loadsBefore(kTexts[a], kTexts[b]); });
    for (const int16_t sid : loadOrder)
        detail::cffStandardStringSlots[sid].construct(kTexts[sid]);
}

void destroyCffStandardStringConstants() {
    for (auto it = loadOrder.rbegin(); it != loadOrder.rend(); ++it)
        detail::cffStandardStringSlots[*it].destroy();
}

}  // namespace vistrel
