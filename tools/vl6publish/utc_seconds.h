#pragma once
// Times as the manifest's freshness line counts them, seconds since
// 1970-01-01T00:00:00Z, against Windows' FILETIME (100 ns since 1601). The
// clock itself: current_utc_seconds (update/manifest_signing.h), the
// launcher's.
#include <windows.h>

#include <cstdint>

inline constexpr int64_t kSecondsPerHour = 3600;
inline constexpr int64_t kSecondsPerDay = 86400;

int64_t seconds_of(const FILETIME& time);
FILETIME file_time_of(int64_t seconds);
