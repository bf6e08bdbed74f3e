// dao_get_valid_variant: the values Access has no kind for become the
// nearest kind it has, or Empty.
#include "dao_get_valid_variant.h"

#include <gtest/gtest.h>

#include "ole_variant.h"

namespace {

ole_variant i8(int64_t v)
{
    return ole_variant(static_cast<long long>(v));
}

}  // namespace

TEST(DaoGetValidVariant, NarrowsTheKindsAccessLacks)
{
    ole_variant v = dao_get_valid_variant(i8(-1234567890123));
    EXPECT_EQ(v.get_vt(), VT_R8);
    EXPECT_EQ(v.as_r8(), -1234567890123.0);
    v = dao_get_valid_variant(ole_variant(uint64_t{18446744073709551615u}));
    EXPECT_EQ(v.as_r8(), 18446744073709551615.0);
    v = dao_get_valid_variant(ole_variant(static_cast<unsigned short>(65535)));
    EXPECT_EQ(v.get_vt(), VT_I4);
    EXPECT_EQ(v.as_i4(), 65535);
    v = dao_get_valid_variant(ole_variant(4294967295u));
    EXPECT_EQ(v.get_vt(), VT_R8);
    EXPECT_EQ(v.as_r8(), 4294967295.0);
    v = dao_get_valid_variant(ole_variant(static_cast<signed char>(-5)));
    EXPECT_EQ(v.get_vt(), VT_I2);
    EXPECT_EQ(v.as_i2(), -5);
    EXPECT_EQ(dao_get_valid_variant(ole_variant(5)).get_vt(), VT_EMPTY);
    EXPECT_EQ(dao_get_valid_variant(ole_variant("x")).get_vt(), VT_EMPTY);
}
