#pragma once
// Date-times of the HTTP client and the Internet date texts of headers and
// cookies. A date-time is a day count with the time of day as fraction, day 0
// being 30 December 1899; 0 means "unset". Spans (zone offsets) use the same
// unit: one hour is 1/24.
// Safe from any thread (no shared state).

#include <string>
#include <string_view>

#include "net/NetException.h"

namespace net {

using TDateTime = double;

RTL_DECLARE_EXCEPTION(ENetFailedToRetreiveTimeZoneInfo, ENetException);

struct TDateTimeParts {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
};

// Year 1..9999, month 1..12, day valid for the month; false otherwise.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
// Hour 0..23, minute and second 0..59; false otherwise.
bool TryEncodeTime(int hour, int minute, int second, TDateTime& out);
// Splits a date-time, cut to the whole second; values outside years
// 1..9999 are clamped to that range.
TDateTimeParts DecodeDateTime(TDateTime value);

// The local wall-clock time now.
TDateTime NowLocal();

// Reads an Internet date in any of the three forms (RFC 1123, RFC 850 with a
// two-digit year, asctime) without zone conversion. On success `text` keeps
// only the zone part; any unreadable part gives 0 and leaves `text` alone.
TDateTime ParseInternetDate(std::string& text);
// The date of `text` in local time: its zone ("+hhmm" / "-hhmm"; "GMT" and
// other short names count as UTC) taken off, the local offset added. 0 when unreadable.
TDateTime InternetDateToLocal(std::string_view text);
// "+0130" -> 1.5 hours as a span; anything unreadable gives 0.
TDateTime ParseZoneOffset(std::string_view text);
// The local zone's offset from UTC now, daylight saving included, east positive.
// Throws ENetFailedToRetreiveTimeZoneInfo when the platform cannot tell.
TDateTime LocalZoneOffset();
// "Mon, 7 Dec 2026 23:51:00 +0100": `value` written as it is (local time)
// followed by the local zone offset.
std::string FormatInternetDate(TDateTime value, bool gmt);
// "GMT" for a zero span when `gmt`; otherwise "+hhmm" or "-hhmm".
std::string FormatZoneOffset(TDateTime span, bool gmt);

}  // namespace net
