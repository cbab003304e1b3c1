#include <gtest/gtest.h>

#include <cstdint>

#include "core/arithmetic.h"

namespace kadrel {
namespace {

constexpr int32_t maxValue = 2147483647;
constexpr int32_t minValue = -2147483647 - 1;

TEST(Arithmetic, SaturatingAddStopsAtTheLimits) {
    EXPECT_EQ(saturatingAdd(maxValue, 1), maxValue);
    EXPECT_EQ(saturatingAdd(minValue, -1), minValue);
    EXPECT_EQ(saturatingAdd(-1, minValue), minValue);
    EXPECT_EQ(saturatingAdd(1, maxValue), maxValue);
    EXPECT_EQ(saturatingAdd(3, -10), -7);
    EXPECT_EQ(saturatingAdd(maxValue, minValue), -1);
}

TEST(Arithmetic, SaturatingSubTakesTheLowestAmountWithoutWrapping) {
    EXPECT_EQ(saturatingSub(0, minValue), maxValue);
    EXPECT_EQ(saturatingSub(-1, minValue), maxValue);
    EXPECT_EQ(saturatingSub(-2, minValue), maxValue - 1);
    EXPECT_EQ(saturatingSub(minValue, 1), minValue);
    EXPECT_EQ(saturatingSub(200, 500), -300);
}

TEST(Arithmetic, WrappingOperationsAreTwosComplement) {
    EXPECT_EQ(wrappingAdd(maxValue, 1), minValue);
    EXPECT_EQ(wrappingSub(minValue, 1), maxValue);
    EXPECT_EQ(wrappingMul(65536, 65536), 0);
}

TEST(Arithmetic, FloorShiftRightRoundsDown) {
    EXPECT_EQ(floorShiftRight(8192, 4), 512);
    EXPECT_EQ(floorShiftRight(15, 4), 0);
    EXPECT_EQ(floorShiftRight(-1, 4), -1);
    EXPECT_EQ(floorShiftRight(-16, 4), -1);
    EXPECT_EQ(floorShiftRight(-17, 4), -2);
    EXPECT_EQ(floorShiftRight(minValue, 4), minValue / 16);
}

}  // namespace
}  // namespace kadrel
