// DateRecord: a modification time broken down into local wall-clock fields,
// as the headers of both formats keep it and as the entries to be written
// carry it; and the MS-DOS stamp that stores it in 32 bits.
//
// The stamp's time is its low half, the date its high half:
//   bits 25-31  year - 1980 (0 to 127, so 1980 to 2107)
//   bits 21-24  month (1 to 12)
//   bits 16-20  day (1 to 31)
//   bits 11-15  hour
//   bits  5-10  minute
//   bits  0- 4  second / 2 (two-second steps)
// The format has no zone.
#pragma once

#include <cstdint>

struct DateRecord {
    int year = 1900;
    int month = 1;  // 1 to 12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const DateRecord&) const = default;
};

// The stamp of a broken-down time. A year outside 1980 to 2107 keeps only
// its low 7 bits after 1980 (1979 is stored as 127 and reads back as 2107);
// an odd second is rounded down.
std::uint32_t dos_stamp_of(const DateRecord& time);

// The fields of a stamp, second doubled.
DateRecord dos_time_of(std::uint32_t stamp);

// Seconds since 1970 (UTC) as local wall-clock time; false (time unchanged)
// when the platform cannot convert them.
bool to_date_record(std::int64_t utc_seconds, DateRecord& time);
// Local wall-clock time to seconds since 1970; daylight saving is decided
// for that date by the runtime library. False when it cannot convert.
bool from_date_record(const DateRecord& time, std::int64_t& utc_seconds);
