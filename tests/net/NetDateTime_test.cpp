#include "net/NetDateTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using net::TDateTime;

namespace {

TDateTime dateTime(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    TDateTime date = 0, time = 0;
    EXPECT_TRUE(net::TryEncodeDate(y, mo, d, date));
    EXPECT_TRUE(net::TryEncodeTime(h, mi, s, time));
    return date + time;
}

TDateTime hours(double h) { return h / 24; }

// Sets the process time zone for one test and puts the old one back.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) m_old = old, m_had = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (m_had) setenv("TZ", m_old.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::string m_old;
    bool m_had = false;
};

}  // namespace

TEST(NetDateTime, DayCountsStartAtTheEndOf1899) {
    TDateTime value = -1;
    ASSERT_TRUE(net::TryEncodeDate(1899, 12, 30, value));
    EXPECT_EQ(value, 0);
    ASSERT_TRUE(net::TryEncodeDate(1900, 3, 1, value));
    EXPECT_EQ(value, 61);
    EXPECT_FALSE(net::TryEncodeDate(2023, 2, 29, value));
    EXPECT_TRUE(net::TryEncodeDate(2024, 2, 29, value));
    EXPECT_FALSE(net::TryEncodeTime(24, 0, 0, value));
    const auto parts = net::DecodeDateTime(dateTime(2026, 12, 7, 23, 51, 0));
    EXPECT_EQ(parts.year, 2026);
    EXPECT_EQ(parts.day, 7);
    EXPECT_EQ(parts.minute, 51);
    EXPECT_EQ(parts.dayOfWeek, 1) << "7 December 2026 is a Monday";
}

TEST(NetDateTime, ReadsTheThreeDateForms) {
    const TDateTime want = dateTime(1994, 11, 6, 8, 49, 37);
    std::string rfc1123 = "Sun, 06 Nov 1994 08:49:37 GMT";
    std::string rfc850 = "Sunday, 06-Nov-94 08:49:37 GMT";
    std::string asctime = "Sun Nov  6 08:49:37 1994";
    EXPECT_EQ(net::ParseInternetDate(rfc1123), want);
    EXPECT_EQ(rfc1123, "GMT");
    EXPECT_EQ(net::ParseInternetDate(rfc850), want);
    EXPECT_EQ(rfc850, "GMT");
    EXPECT_EQ(net::ParseInternetDate(asctime), want);
    EXPECT_EQ(asctime, "");
    std::string noDayName = "06 Nov 1994 08:49:37 +0100";
    EXPECT_EQ(net::ParseInternetDate(noDayName), want);
    EXPECT_EQ(noDayName, "+0100");
    std::string dateOnly = "6 Nov 1994";
    EXPECT_EQ(net::ParseInternetDate(dateOnly), dateTime(1994, 11, 6));
}

TEST(NetDateTime, TwoDigitYearsAndUnreadableDates) {
    std::string y79 = "Thu, 01 Jan 79 00:00:00 GMT", y80 = "01-Jan-80 00:00:00 GMT", y00 = "1 Jan 00";
    EXPECT_EQ(net::ParseInternetDate(y79), dateTime(2079, 1, 1));
    EXPECT_EQ(net::ParseInternetDate(y80), dateTime(1980, 1, 1));
    EXPECT_EQ(net::ParseInternetDate(y00), dateTime(2000, 1, 1));
    std::string dayNotANumber = "xx Nov 1994";
    EXPECT_EQ(net::ParseInternetDate(dayNotANumber), dateTime(1994, 11, 1)) << "such a day counts as 1";

    for (const char* bad : {"", "   ", "garbage", "Sun, 32 Nov 1994 08:49:37 GMT", "Sun, 06 Foo 1994 08:49:37 GMT",
                            "06 Nov 1994 24:00:00", "06 Nov 1994 08:60:00", "06 Nov 1994 08:00:100",
                            "06 Nov 99999999999999999999", "29 Feb 2023", "06 Nov"}) {
        std::string text = bad;
        EXPECT_EQ(net::ParseInternetDate(text), 0) << bad;
        EXPECT_EQ(net::InternetDateToLocal(bad), 0) << bad;
    }
}

TEST(NetDateTime, ZoneOffsets) {
    EXPECT_DOUBLE_EQ(net::ParseZoneOffset(" +0130 "), hours(1.5));
    EXPECT_DOUBLE_EQ(net::ParseZoneOffset("-0800"), hours(-8));
    EXPECT_EQ(net::ParseZoneOffset("GMT"), 0);
    EXPECT_EQ(net::ParseZoneOffset("+01"), 0);
    EXPECT_EQ(net::ParseZoneOffset("+0a00"), 0);
    EXPECT_EQ(net::ParseZoneOffset("+2500"), 0);
    EXPECT_EQ(net::FormatZoneOffset(0, true), "GMT");
    EXPECT_EQ(net::FormatZoneOffset(0, false), "+0000");
    EXPECT_EQ(net::FormatZoneOffset(hours(-5.5), true), "-0530");
    EXPECT_EQ(net::FormatZoneOffset(hours(1), false), "+0100");
}

TEST(NetDateTime, LocalZoneIncludesDaylightSaving) {
    {
        ZoneScope zone("UTC0");
        EXPECT_EQ(net::LocalZoneOffset(), 0);
    }
    {
        ZoneScope zone("XYZ-3:30");
        EXPECT_DOUBLE_EQ(net::LocalZoneOffset(), hours(3.5));
    }
    {
        // Daylight saving in force all year: five hours west, one hour back.
        ZoneScope zone("EST5EDT,0/0,J365/25");
        EXPECT_DOUBLE_EQ(net::LocalZoneOffset(), hours(-4));
    }
}

TEST(NetDateTime, LocalConversionAndFormatting) {
    ZoneScope zone("XYZ-2");
    const TDateTime utc = dateTime(1994, 11, 6, 8, 49, 37);
    EXPECT_NEAR(net::InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 GMT"), utc + hours(2), 1e-9);
    EXPECT_NEAR(net::InternetDateToLocal("Sun, 06 Nov 1994 08:49:37 +0100"), utc - hours(1) + hours(2), 1e-9);

    EXPECT_EQ(net::FormatInternetDate(dateTime(2026, 12, 7, 23, 51, 0), false), "Mon, 7 Dec 2026 23:51:00 +0200");
    EXPECT_EQ(net::FormatInternetDate(dateTime(1994, 11, 6, 8, 49, 37), false), "Sun, 6 Nov 1994 08:49:37 +0200");
    // What is written reads back as the same local time.
    const TDateTime now = net::NowLocal();
    EXPECT_NEAR(net::InternetDateToLocal(net::FormatInternetDate(now, false)), now, 1.0 / 86400);
    // Far beyond the calendar's end is written as its last second, not as garbage.
    EXPECT_EQ(net::FormatInternetDate(1e12, false), "Fri, 31 Dec 9999 23:59:59 +0200");
}
