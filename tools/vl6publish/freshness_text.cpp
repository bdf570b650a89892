#include "tools/vl6publish/freshness_text.h"

#include "tools/vl6publish/utc_seconds.h"

namespace {

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring counted(int64_t count, const wchar_t* unit) {
  return std::to_wstring(count) + L" " + unit + (count == 1 ? L"" : L"s");
}

}  // namespace

bool has_expired(const manifest_freshness& freshness, int64_t now) { return freshness.expires_at <= now; }

// To the nearest unit: a manifest signed for 30 days and read a few seconds
// later still expires in 30 days.
std::wstring duration_text(int64_t seconds) {
  if (seconds >= kSecondsPerDay) return counted((seconds + kSecondsPerDay / 2) / kSecondsPerDay, L"day");
  if (seconds >= kSecondsPerHour) return counted((seconds + kSecondsPerHour / 2) / kSecondsPerHour, L"hour");
  return L"less than an hour";
}

std::wstring describe_freshness(const manifest_freshness& freshness, int64_t now) {
  const std::wstring expiry = wide(utc_time_text(freshness.expires_at));
  return L"serial " + std::to_wstring(freshness.serial) + L", signed " + wide(utc_time_text(freshness.signed_at)) +
         (has_expired(freshness, now)
              ? L", expired " + expiry + L" (" + duration_text(now - freshness.expires_at) + L" ago)"
              : L", expires " + expiry + L" (in " + duration_text(freshness.expires_at - now) + L")");
}
