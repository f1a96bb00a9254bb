#include "platform/com/safearray.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/com/variant.h"

namespace win {
namespace {

LONG upper(SAFEARRAY* a) {
    LONG u = -99;
    EXPECT_EQ(SafeArrayGetUBound(a, 1, &u), S_OK);
    return u;
}

TEST(SafeArray, CreateOnlyOneDimensionOfBytes) {
    SAFEARRAYBOUND bound{4, 0};
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, &bound), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 1, nullptr), nullptr);
    SAFEARRAY* a = SafeArrayCreate(VT_UI1, 1, &bound);
    ASSERT_NE(a, nullptr);
    LONG lower = -1;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lower), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper(a), 3);
    LONG ignored;
    EXPECT_EQ(SafeArrayGetUBound(a, 2, &ignored), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetUBound(nullptr, 1, &ignored), E_INVALIDARG);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);

    SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 5, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(upper(empty), 4);  // lower bound - 1
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

// Growing the way an output buffer does: the bytes written so far stay,
// added bytes are zero, and the bounds follow.
TEST(SafeArray, GrowsAndShrinksKeepingBytes) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 3);
    ASSERT_NE(a, nullptr);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    std::memcpy(data, "abc", 3);
    ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);

    for (ULONG size : {1027u, 70000u, 2u, 0u, 5u}) {
        SAFEARRAYBOUND bound{size, 0};
        ASSERT_EQ(SafeArrayRedim(a, &bound), S_OK) << size;
        EXPECT_EQ(upper(a), LONG(size) - 1);
    }
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    // Shrunk to nothing on the way, so all five bytes are new.
    EXPECT_EQ(std::memcmp(data, "\0\0\0\0\0", 5), 0);
    ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);

    SAFEARRAYBOUND keep{2, 0};
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    std::memcpy(data, "xyzw!", 5);
    ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);
    SAFEARRAYBOUND grow{6, 1};
    ASSERT_EQ(SafeArrayRedim(a, &keep), S_OK);
    ASSERT_EQ(SafeArrayRedim(a, &grow), S_OK);
    LONG lower = 0;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lower), S_OK);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper(a), 6);
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    EXPECT_EQ(std::memcmp(data, "xy\0\0\0\0", 6), 0);
    ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);
}

TEST(SafeArray, LockedArraysAreNeitherResizedNorDestroyed) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 8);
    ASSERT_NE(a, nullptr);
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &first), S_OK);
    ASSERT_EQ(SafeArrayAccessData(a, &second), S_OK);
    EXPECT_EQ(first, second);
    SAFEARRAYBOUND bound{16, 0};
    ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayRedim(a, &bound), DISP_E_ARRAYISLOCKED);  // still locked once
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(upper(a), 7);

    // The copy is a separate, unlocked array with the same bytes.
    static_cast<unsigned char*>(first)[7] = 0x5A;
    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(a, &copy), S_OK);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->cLocks, 0u);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(copy, &data), S_OK);
    EXPECT_NE(data, first);
    EXPECT_EQ(static_cast<unsigned char*>(data)[7], 0x5A);
    ASSERT_EQ(SafeArrayUnaccessData(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

    ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(a), E_UNEXPECTED);  // more unlocks than locks
    EXPECT_EQ(SafeArrayRedim(a, &bound), S_OK);
    EXPECT_EQ(SafeArrayDestroy(a), S_OK);

    SAFEARRAY* none = a;
    EXPECT_EQ(SafeArrayCopy(nullptr, &none), S_OK);
    EXPECT_EQ(none, nullptr);
}

}  // namespace
}  // namespace win
