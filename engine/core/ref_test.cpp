#include "engine/core/ref.h"

#include <gtest/gtest.h>

namespace vistrel {
namespace {

struct Counted {
    void addRef() { ++count; }
    void release() {
        if (--count == 0)
            ++*destroyed;
    }
    int count = 1;
    int* destroyed;
};
struct Derived : Counted {};

TEST(RefTest, OwnershipThroughAdoptShareCopyMoveAndDetach) {
    int destroyed = 0;
    Derived object;
    object.destroyed = &destroyed;
    {
        Ref<Derived> owner = Ref<Derived>::adopt(&object);  // takes the first reference
        EXPECT_EQ(object.count, 1);
        Ref<Counted> base = owner;  // converting copy
        EXPECT_EQ(object.count, 2);
        Ref<Counted> moved = std::move(base);
        EXPECT_EQ(object.count, 2);
        EXPECT_FALSE(base);  // NOLINT(bugprone-use-after-move): moved from, now empty
        Ref<Counted> shared = Ref<Counted>::share(&object);
        EXPECT_EQ(object.count, 3);
        shared = moved;  // assignment of the same object
        EXPECT_EQ(object.count, 3);
        shared = nullptr;
        EXPECT_EQ(object.count, 2);
        Counted* raw = moved.detach();
        EXPECT_EQ(object.count, 2);
        Ref<Counted> back = Ref<Counted>::adopt(raw);
        back.reset();
        EXPECT_EQ(object.count, 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(Ref<Counted>::share(nullptr));
}

}  // namespace
}  // namespace vistrel
