#include "tools/vl6publish/utc_seconds.h"

namespace {

constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

}  // namespace

int64_t seconds_of(const FILETIME& time) {
  const uint64_t units = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<int64_t>(units / kFileTimeUnitsPerSecond) - kSecondsFrom1601To1970;
}

FILETIME file_time_of(int64_t seconds) {
  const uint64_t units = static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(units);
  time.dwHighDateTime = static_cast<DWORD>(units >> 32);
  return time;
}
