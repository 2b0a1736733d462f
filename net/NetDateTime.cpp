#include "net/NetDateTime.h"

#include <cmath>
#include <ctime>

#include "net/NetNumber.h"
#include "net/NetURI.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

// Messages of this module.
constexpr const char* kNoTimeZone = "Failed attempting to retrieve time zone information.";

constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kLongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                             "July",    "August",   "September", "October", "November", "December"};

constexpr long long kEpochShift = 25569;  // day count of 1 January 1970
constexpr long long kSecondsPerDay = 86400;
constexpr long long kMaxYear = 9999;

// Days from 1 January 1970 in the proleptic Gregorian calendar.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, TDateTimeParts& parts) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    parts.year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (parts.month <= 2));
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

void leftTrim(std::string& text) {
    size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    text.erase(0, first);
}

bool isDayName(std::string_view text) {
    if (text.size() < 3) return false;
    for (const char* name : kDayNames)
        if (rtl::equalsIgnoreCase(text.substr(0, 3), name)) return true;
    return false;
}

// 1..12 for "Nov" or "November" (case ignored); 0 otherwise.
int monthOf(std::string_view field) {
    for (int m = 0; m < 12; ++m)
        if (rtl::equalsIgnoreCase(field, kMonthNames[m]) || rtl::equalsIgnoreCase(field, kLongMonthNames[m]))
            return m + 1;
    return 0;
}

std::string cutField(std::string& rest, std::string_view delimiter) {
    std::string field = CutToken(rest, delimiter);
    leftTrim(rest);
    return field;
}

// A field of digits (an optional sign allowed) whatever its size.
bool looksNumeric(std::string_view field) {
    const std::string text = rtl::trimBlanks(field);
    size_t i = !text.empty() && (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// Reads a small date or time number. A field that is not a number gives
// `fallback`; a number outside 0..99 gives -1, which no encoder accepts.
int readSmall(std::string_view field, int fallback) {
    int64_t value = 0;
    if (ReadInteger(field, 0, 99, value)) return static_cast<int>(value);
    return looksNumeric(field) ? -1 : fallback;
}

// Day of month; a field that is not a number counts as 1.
int readDay(std::string& rest, std::string_view delimiter) { return readSmall(cutField(rest, delimiter), 1); }

// The year field; an asctime text has its time first, so the year may be the
// remaining text instead, which then swaps places with the cut field.
bool readYear(std::string& rest, int& year) {
    std::string field = CutToken(rest, " ");
    int64_t value = 0;
    if (!ReadInteger(field, 0, kMaxYear, value)) {
        if (!ReadInteger(rest, 0, kMaxYear, value)) return false;
        rest = field;
    }
    if (value < 80) value += 2000;
    else if (value < 100) value += 1900;
    year = static_cast<int>(value);
    return true;
}

// hh:nn:ss; missing or non-numeric parts count 0, out-of-range ones fail.
bool readTime(std::string& rest, TDateTime& time) {
    std::string field = CutToken(rest, " ");
    int part[3] = {0, 0, 0};
    for (int& value : part) value = readSmall(CutToken(field, ":"), 0);
    return TryEncodeTime(part[0], part[1], part[2], time);
}

bool parseDate(std::string& rest, TDateTime& result) {
    if (isDayName(rest)) {
        const size_t space = rest.find(' ');
        if (space != std::string::npos) rest.erase(0, space + 1);
        leftTrim(rest);
    }
    const size_t dash = rest.find('-');
    const size_t space = rest.find(' ');
    const std::string_view delimiter = dash != std::string::npos && dash >= 1 && dash < space ? "-" : " ";
    int day = 0, month = 0, year = 0;
    std::string first = rest.substr(0, rest.find(delimiter));
    if (monthOf(first) != 0) {
        month = monthOf(cutField(rest, delimiter));
        day = readDay(rest, delimiter);
    } else {
        day = readDay(rest, delimiter);
        month = monthOf(cutField(rest, delimiter));
    }
    if (month == 0 || !readYear(rest, year)) return false;
    if (!TryEncodeDate(year, month, day, result)) return false;
    if (rest.find(':') != std::string::npos) {
        TDateTime time = 0;
        if (!readTime(rest, time)) return false;
        result += time;
    }
    leftTrim(rest);
    return true;
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > kMaxYear || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    out = static_cast<TDateTime>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                                 kEpochShift);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, TDateTime& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return false;
    out = static_cast<TDateTime>(hour * 3600 + minute * 60 + second) / kSecondsPerDay;
    return true;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
    TDateTime lowest = 0, highest = 0;
    TryEncodeDate(1, 1, 1, lowest);
    TryEncodeDate(static_cast<int>(kMaxYear), 12, 31, highest);
    highest += static_cast<TDateTime>(kSecondsPerDay - 1) / kSecondsPerDay;
    if (std::isnan(value)) value = 0;
    value = value < lowest ? lowest : value > highest ? highest : value;

    // To the nearest millisecond, then whole seconds: a time is never moved later.
    constexpr long long kMillisPerDay = kSecondsPerDay * 1000;
    const long long millis = std::llround(value * kMillisPerDay);
    long long days = millis / kMillisPerDay;
    long long millisInDay = millis % kMillisPerDay;
    if (millisInDay < 0) millisInDay += kMillisPerDay, --days;
    const long long inDay = millisInDay / 1000;
    TDateTimeParts parts;
    civilFromDays(days - kEpochShift, parts);
    parts.hour = static_cast<int>(inDay / 3600);
    parts.minute = static_cast<int>(inDay / 60 % 60);
    parts.second = static_cast<int>(inDay % 60);
    // Day 0 (30 December 1899) was a Saturday.
    parts.dayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7);
    return parts;
}

TDateTime NowLocal() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    const long offset = localtime_r(&now.tv_sec, &local) ? local.tm_gmtoff : 0;
    const long long seconds = static_cast<long long>(now.tv_sec) + offset;
    return static_cast<TDateTime>(seconds) / kSecondsPerDay + kEpochShift +
           static_cast<TDateTime>(now.tv_nsec) / 1e9 / kSecondsPerDay;
}

TDateTime ParseInternetDate(std::string& text) {
    std::string rest = rtl::trimControls(text);
    TDateTime result = 0;
    if (rest.empty() || !parseDate(rest, result)) return 0;
    text = rest;
    return result;
}

TDateTime InternetDateToLocal(std::string_view text) {
    std::string zone(text);
    TDateTime result = ParseInternetDate(zone);
    if (result == 0) return 0;
    if (zone.size() > 4) result -= ParseZoneOffset(zone);
    return result + LocalZoneOffset();
}

TDateTime ParseZoneOffset(std::string_view text) {
    const std::string zone = rtl::trimControls(text).substr(0, 5);
    if (zone.size() < 5 || (zone[0] != '+' && zone[0] != '-')) return 0;
    for (size_t i = 1; i < 5; ++i)
        if (zone[i] < '0' || zone[i] > '9') return 0;
    const int hours = (zone[1] - '0') * 10 + (zone[2] - '0');
    const int minutes = (zone[3] - '0') * 10 + (zone[4] - '0');
    TDateTime span = 0;
    if (!TryEncodeTime(hours, minutes, 0, span)) return 0;
    return zone[0] == '-' ? -span : span;
}

TDateTime LocalZoneOffset() {
    const time_t now = time(nullptr);
    tm local{};
    if (now == static_cast<time_t>(-1) || !localtime_r(&now, &local)) throw ENetFailedToRetreiveTimeZoneInfo(kNoTimeZone);
    return static_cast<TDateTime>(local.tm_gmtoff) / kSecondsPerDay;
}

std::string FormatInternetDate(TDateTime value, bool gmt) {
    const TDateTimeParts p = DecodeDateTime(value);
    const std::string time = rtl::format("%02d:%02d:%02d", p.hour, p.minute, p.second);
    return rtl::format("%s, %d %s %d %s %s", kDayNames[p.dayOfWeek], p.day, kMonthNames[p.month - 1], p.year,
                       time.c_str(), FormatZoneOffset(LocalZoneOffset(), gmt).c_str());
}

std::string FormatZoneOffset(TDateTime span, bool gmt) {
    // Offsets beyond a day are not zones; clamping keeps the rounding defined.
    if (std::isnan(span)) span = 0;
    span = span < -1 ? -1 : span > 1 ? 1 : span;
    const long long minutes = std::llround(span * 1440);
    if (minutes == 0 && gmt) return "GMT";
    const long long magnitude = minutes < 0 ? -minutes : minutes;
    return rtl::format("%c%02lld%02lld", minutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
}

}  // namespace net
