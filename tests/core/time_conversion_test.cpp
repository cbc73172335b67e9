// Entry time conversions. The test runs with TZ=KST-9 (UTC+9, no daylight saving), set by CTest.
#include <gtest/gtest.h>

#include "archive/core/time_conversion.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kEpochDifference = 11644473600LL;

int64_t FileTimeOf(int64_t unixSeconds) {
    return (unixSeconds + kEpochDifference) * kUnitsPerSecond;
}

TEST(TimeConversion, DosTimeIsLocalTime) {
    struct Case {
        uint32_t dos;
        int64_t unixSeconds;
    };
    const Case cases[] = {
        {0x5A2C6E0F, 1736657310},  // 2025-01-12 13:48:30 KST
        {0x00210000, 315500400},   // 1980-01-01 00:00:00 KST
        {0x5A2C6FAF, 1736657970},  // minute 61 is taken as 59
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DosTimeToUnixTime(c.dos), c.unixSeconds) << std::hex << c.dos;
    }
}

TEST(TimeConversion, FileTimeComesBackAsTheSameInstant) {
    for (int64_t seconds : {int64_t{0} + 86400, int64_t{1736657310}, int64_t{4102444800}}) {
        EXPECT_EQ(FileTimeToUnixTime(FileTimeOf(seconds)), seconds);
    }
    // Sub-second parts are dropped.
    EXPECT_EQ(FileTimeToUnixTime(FileTimeOf(1736657310) + 9999999), 1736657310);
}

}  // namespace
