#include "engine/constants/cff_strings.h"

#include <algorithm>
#include <array>

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
// small letter, "/.notdef" as if it had no dot. Written on the bare texts,
// as the compiler sorts with it (in a limited number of steps).
constexpr bool loadsBefore(const char16_t* a, const char16_t* b) {
    a += a[0] == u'/' && a[1] == u'.' ? 2 : 1;
    b += b[0] == u'/' && b[1] == u'.' ? 2 : 1;
    // The first difference of case, for names that are the same without it.
    int cased = 0;
    for (;; ++a, ++b) {
        if (*a == 0 || *b == 0)
            return *a == 0 && *b == 0 ? cased < 0 : *a == 0;
        if (lower(*a) != lower(*b))
            return lower(*a) < lower(*b);
        if (cased == 0 && *a != *b)
            cased = *a < *b ? -1 : 1;
    }
}

// The SIDs in load order, sorted by the compiler: every program start would
// sort them again otherwise.
constexpr std::array<int16_t, kCffStandardStringCount> sortedLoadOrder() {
    std::array<int16_t, kCffStandardStringCount> order{};
    for (int16_t i = 0; i < kCffStandardStringCount; ++i)
        order[size_t(i)] = i;
    std::sort(order.begin(), order.end(),
              [](int16_t a, int16_t b) { return loadsBefore(kTexts[a], kTexts[b]); });
    return order;
}

constexpr std::array<int16_t, kCffStandardStringCount> loadOrder = sortedLoadOrder();

}  // namespace

void buildCffStandardStringConstants() {
    for (const int16_t sid : loadOrder)
        detail::cffStandardStringSlots[sid].construct(kTexts[sid]);
}

void destroyCffStandardStringConstants() {
    for (auto it = loadOrder.rbegin(); it != loadOrder.rend(); ++it)
        detail::cffStandardStringSlots[*it].destroy();
}

}  // namespace vistrel
