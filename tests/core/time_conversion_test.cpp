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

// Hostile or impossible times become unknown where they enter, alike on every platform.
TEST(TimeConversion, OutOfRangeTimesAreUnknown) {
    const int64_t unknown[] = {
        INT64_MIN,                             // 2^63 read as signed
        -1,                                    // all ones
        INT64_MAX,                             // year 30828
        0,                                     // 1601
        FileTimeOf(-86400),                    // before 1970
        FileTimeOf(VEK_LATEST_UNIX_TIME + 1),  // after the year 3000
        FileTimeOf(0) + kUnitsPerSecond / 2,   // within the first second: 0 anyway
    };
    for (int64_t fileTime : unknown) {
        EXPECT_EQ(FileTimeToUnixTime(fileTime), 0) << fileTime;
    }
    EXPECT_EQ(FileTimeToUnixTime(FileTimeOf(VEK_LATEST_UNIX_TIME)), VEK_LATEST_UNIX_TIME);
    // DOS times all lie between 1980 and 2108; none is out of range, the last one included.
    EXPECT_GT(DosTimeToUnixTime(0xFF9FBF7D), 4000000000);
}

TEST(TimeConversion, UnixTimeToFileTimeRefusesWhatPasses64Bits) {
    int64_t fileTime = 1;
    EXPECT_TRUE(UnixTimeToFileTime(0, &fileTime));
    EXPECT_EQ(fileTime, FileTimeOf(0));
    EXPECT_TRUE(UnixTimeToFileTime(-kEpochDifference, &fileTime));
    EXPECT_EQ(fileTime, 0);
    for (int64_t bad : {INT64_MAX, INT64_MIN, -kEpochDifference - 1, INT64_MAX / kUnitsPerSecond}) {
        EXPECT_FALSE(UnixTimeToFileTime(bad, &fileTime)) << bad;
    }
}

}  // namespace
