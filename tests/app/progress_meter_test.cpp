// The numbers of the progress display.
#include <gtest/gtest.h>

#include "app/progress_meter.h"

namespace {

TEST(ProgressMeter, PercentagesAndTimeEstimate) {
    CProgressMeter meter;
    meter.StartJob(600, 1000, 10000);
    meter.StartEntry(300, 500, 10000);
    SProgressDisplay display = meter.Compute(150, 250, 11500);
    EXPECT_EQ(display.currentPercent, 50);
    EXPECT_EQ(display.currentPercentText, L"50 %");
    EXPECT_EQ(display.totalPercent, 25);
    EXPECT_EQ(display.totalPercentText, L"25 %");
    EXPECT_EQ(display.currentTimeText, L"00:00:01");
    // 1500 ms for 250 per mille: 6 seconds for the whole job.
    EXPECT_EQ(display.timeText, L"00:00:01 / 00:00:06");

    display = meter.ComputeFinished(12000);
    EXPECT_EQ(display.currentPercent, 100);
    EXPECT_EQ(display.totalPercent, 50);
    meter.FinishEntry();

    // The second entry starts its own clock; the job's clock runs on.
    meter.StartEntry(300, 500, 14000);
    display = meter.Compute(0, 100, 16000);
    EXPECT_EQ(display.currentPercent, 20);
    EXPECT_EQ(display.totalPercent, 60);
    EXPECT_EQ(display.currentTimeText, L"00:00:02");
    EXPECT_EQ(display.timeText, L"00:00:06 / 00:00:10");
}

TEST(ProgressMeter, UnknownSizesFallBackToPackedSizes) {
    CProgressMeter meter;
    meter.StartJob(2000, kProgressUnknown, 0);
    meter.StartEntry(1000, kProgressUnknown, 0);
    SProgressDisplay display = meter.Compute(400, 123456, 1000);
    EXPECT_EQ(display.currentPercent, 40);
    EXPECT_EQ(display.totalPercent, 20);
    meter.FinishEntry();
    meter.StartEntry(1000, kProgressUnknown, 1000);
    EXPECT_EQ(meter.Compute(500, 0, 2000).totalPercent, 75);
}

TEST(ProgressMeter, HugeSizesNeitherOverflowNorWrap) {
    constexpr int64_t kHuge = int64_t{1} << 62;
    CProgressMeter meter;
    meter.StartJob(INT64_MAX, INT64_MAX, 0);  // two entries of 2^62, summed with saturation
    meter.StartEntry(kHuge, kHuge, 0);
    SProgressDisplay display = meter.Compute(kHuge / 2, kHuge / 2, 1000);
    EXPECT_EQ(display.currentPercent, 50);
    EXPECT_EQ(display.totalPercent, 25);
    meter.FinishEntry();
    meter.StartEntry(kHuge, kHuge, 1000);
    display = meter.Compute(kHuge, kHuge, 2000);
    EXPECT_EQ(display.currentPercent, 100);
    EXPECT_EQ(display.totalPercent, 100);
    meter.FinishEntry();
    // Sizes of 2^63 and more arrive as negative values: unknown, never a divisor.
    meter.StartJob(INT64_MIN, -5, 0);
    meter.StartEntry(INT64_MIN + 1, -2, 0);
    display = meter.Compute(INT64_MAX, INT64_MAX, 1000);
    EXPECT_EQ(display.currentPercent, 0);
    EXPECT_EQ(display.totalPercent, 0);
}

TEST(ProgressMeter, EmptyAndUnknownTotalsNeverDivideByZero) {
    CProgressMeter meter;
    meter.StartJob(0, 0, 0);  // only zero-length files
    meter.StartEntry(0, 0, 0);
    SProgressDisplay display = meter.ComputeFinished(5000);
    EXPECT_EQ(display.currentPercent, 0);
    EXPECT_EQ(display.totalPercent, 0);
    EXPECT_EQ(display.timeText, L"00:00:05 / 00:00:00");

    meter.StartJob(kProgressUnknown, kProgressUnknown, 0);
    meter.StartEntry(0, kProgressUnknown, 0);
    display = meter.Compute(10, 10, 100);
    EXPECT_EQ(display.currentPercent, 0);
    EXPECT_EQ(display.totalPercent, 0);
}

TEST(ProgressMeter, UpdatesAreDueEvery200Milliseconds) {
    CProgressMeter meter;
    meter.StartJob(1, 1, 1000);
    EXPECT_FALSE(meter.TakeUpdateTurn(1199));
    EXPECT_TRUE(meter.TakeUpdateTurn(1200));
    EXPECT_FALSE(meter.TakeUpdateTurn(1399));
    EXPECT_TRUE(meter.TakeUpdateTurn(1450));

    // The millisecond tick wraps after about 49 days.
    meter.StartJob(1, 1, 0xFFFFFFA0u);
    EXPECT_FALSE(meter.TakeUpdateTurn(0x10u));  // 112 ms later
    EXPECT_TRUE(meter.TakeUpdateTurn(0x80u));   // 224 ms later
    EXPECT_EQ(meter.Compute(0, 0, 0x80u).timeText, L"00:00:00 / 00:00:00");
}

TEST(ProgressMeter, ElapsedTimeText) {
    EXPECT_EQ(FormatElapsed(0), L"00:00:00");
    EXPECT_EQ(FormatElapsed(999), L"00:00:00");
    EXPECT_EQ(FormatElapsed(3723000), L"01:02:03");
    EXPECT_EQ(FormatElapsed(90000000), L"25:00:00");  // hours run past a day
}

}  // namespace
