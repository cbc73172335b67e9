// Entry times: signed Unix seconds (UTC), 0 meaning unknown.
#pragma once

#include <cstdint>

// The latest entry time the library keeps: 3000-12-30 23:59:59 UTC, which every platform can
// still convert through local time and stamp (Windows' 64-bit mktime ends with the year 3000).
constexpr int64_t VEK_LATEST_UNIX_TIME = 32535129599LL;

// An MS-DOS date and time (time in the low 16 bits, date in the high 16 bits), read as local
// time. 0 when the platform cannot convert it.
int64_t DosTimeToUnixTime(uint32_t dos);

// A UTC file time (100-nanosecond units since 1601-01-01), taken through the local time of the
// current time zone. Times before 1970 or after VEK_LATEST_UNIX_TIME, and values of 2^63 or
// more (negative here), are unknown: 0, the same on every platform.
int64_t FileTimeToUnixTime(int64_t fileTime);

// Unix seconds as a file time; false when the file time would be negative or pass 64 bits.
bool UnixTimeToFileTime(int64_t unixSeconds, int64_t* fileTime);
