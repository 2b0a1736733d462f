#include "app/MainGauge.h"

#include <gtest/gtest.h>

#include "GuiTestSupport.h"

using app::TMainGauge;

TEST(MainGauge, PercentRoundsHalfToEvenAndStaysInRange) {
    testsupport::ensureApp();
    TMainGauge gauge;
    EXPECT_EQ(gauge.text(), "0%");
    gauge.setMaxValue(200);
    gauge.setValue(1);    // 0.5 -> 0
    EXPECT_EQ(gauge.percent(), 0);
    gauge.setValue(3);    // 1.5 -> 2
    EXPECT_EQ(gauge.percent(), 2);
    gauge.setValue(5);    // 2.5 -> 2
    EXPECT_EQ(gauge.percent(), 2);
    gauge.setValue(7);    // 3.5 -> 4
    EXPECT_EQ(gauge.text(), "4%");
    gauge.setValue(500);  // above the maximum is stored as the maximum
    EXPECT_EQ(gauge.value(), 200);
    EXPECT_EQ(gauge.text(), "100%");
    gauge.setValue(-5);
    EXPECT_EQ(gauge.value(), 0);
    gauge.setValue(150);
    gauge.setMaxValue(100);  // lowering the maximum drags the value down
    EXPECT_EQ(gauge.value(), 100);
    gauge.setMaxValue(0);    // an unknown length: the range collapses, 0% throughout
    gauge.setValue(12345);
    EXPECT_EQ(gauge.text(), "0%");
    // Byte counts of huge transfers do not overflow the arithmetic.
    gauge.setMaxValue(INT64_MAX);
    gauge.setValue(INT64_MAX / 2);
    EXPECT_EQ(gauge.percent(), 50);
    EXPECT_EQ(TMainGauge::scaledRoundHalfEven(1, 3, 130), 43);
}
