// MS-DOS stamps of broken-down times (see date_record.h).
#include "date_record.h"

#include "platform.h"

std::uint32_t dos_stamp_of(const DateRecord& time) {
    const auto field = [](int value, int bits, int shift) {
        return (static_cast<std::uint32_t>(value) & ((std::uint32_t{1} << bits) - 1)) << shift;
    };
    return field(time.year - 1980, 7, 25) | field(time.month, 4, 21) | field(time.day, 5, 16) |
           field(time.hour, 5, 11) | field(time.minute, 6, 5) | field(time.second / 2, 5, 0);
}

DateRecord dos_time_of(std::uint32_t stamp) {
    DateRecord time;
    time.year = static_cast<int>(stamp >> 25) + 1980;
    time.month = static_cast<int>((stamp >> 21) & 0x0F);
    time.day = static_cast<int>((stamp >> 16) & 0x1F);
    time.hour = static_cast<int>((stamp >> 11) & 0x1F);
    time.minute = static_cast<int>((stamp >> 5) & 0x3F);
    time.second = static_cast<int>(stamp & 0x1F) * 2;
    return time;
}

bool to_date_record(std::int64_t utc_seconds, DateRecord& time) {
    platform::LocalTime local;
    if (!platform::to_local_time(utc_seconds, local)) return false;
    time = {local.year, local.month, local.day, local.hour, local.minute, local.second};
    return true;
}

bool from_date_record(const DateRecord& time, std::int64_t& utc_seconds) {
    const platform::LocalTime local{time.year, time.month, time.day, time.hour, time.minute, time.second};
    return platform::from_local_time(local, utc_seconds);
}
