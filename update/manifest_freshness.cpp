#include "update/manifest_freshness.h"

#include "support/ascii.h"
#include "update/manifest_format.h"

#include <cstdio>
#include <vector>

namespace {

enum freshness_field { word_field, serial_field, signed_field, expires_field, freshness_field_count };

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 9999;
// "YYYY-MM-DDTHH:MM:SSZ"
constexpr size_t kTimeTextLength = 20;
constexpr size_t kLongestSerial = 19;  // every such number fits 64 bits

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar (the
// well-known "days from civil" reckoning, with years starting in March so
// that the leap day comes last).
int64_t days_from_civil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = year / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void civil_from_days(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t shifted_month = (5 * day_of_year + 2) / 153;
  day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

bool all_digits(const std::string& text, size_t at, size_t count) {
  for (size_t index = at; index < at + count; ++index) {
    if (text[index] < '0' || text[index] > '9') return false;
  }
  return true;
}

int number_at(const std::string& text, size_t at, size_t count) {
  int value = 0;
  for (size_t index = at; index < at + count; ++index) value = value * 10 + (text[index] - '0');
  return value;
}

std::optional<uint64_t> read_serial(const std::string& text) {
  if (text.empty() || text.size() > kLongestSerial || !all_digits(text, 0, text.size())) return std::nullopt;
  uint64_t value = 0;
  for (const char digit : text) value = value * 10 + static_cast<uint64_t>(digit - '0');
  return value;
}

std::optional<manifest_freshness> read_line(const std::vector<std::string>& fields) {
  if (fields.size() != freshness_field_count) return std::nullopt;
  const std::optional<uint64_t> serial = read_serial(fields[serial_field]);
  const std::optional<int64_t> signed_at = read_utc_time(fields[signed_field]);
  const std::optional<int64_t> expires_at = read_utc_time(fields[expires_field]);
  if (!serial || !signed_at || !expires_at || *expires_at <= *signed_at) return std::nullopt;
  return manifest_freshness{*serial, *signed_at, *expires_at};
}

}  // namespace

std::string freshness_line(const manifest_freshness& freshness) {
  return std::string(kManifestFreshnessWord) + ' ' + std::to_string(freshness.serial) + ' ' +
         utc_time_text(freshness.signed_at) + ' ' + utc_time_text(freshness.expires_at);
}

std::optional<manifest_freshness> read_freshness(const std::string& manifest_text) {
  const std::vector<std::string> lines = manifest_lines(manifest_text);
  std::optional<manifest_freshness> found;
  bool seen = false;
  // The first line is the header, as for the manifest's reader.
  for (size_t line = 1; line < lines.size(); ++line) {
    const std::vector<std::string> fields = manifest_fields(lines[line], freshness_field_count + 1);
    if (fields.empty() || !equals_ascii_lower(fields[word_field], kManifestFreshnessWord)) continue;
    if (seen) return std::nullopt;
    seen = true;
    found = read_line(fields);
  }
  return found;
}

std::string utc_time_text(int64_t seconds) {
  const int64_t last = days_from_civil(kLastYear + 1, 1, 1) * kSecondsPerDay - 1;
  seconds = seconds < 0 ? 0 : seconds > last ? last : seconds;
  const int64_t days = seconds / kSecondsPerDay;
  const int64_t in_day = seconds % kSecondsPerDay;
  int year = 0, month = 0, day = 0;
  civil_from_days(days, year, month, day);
  char text[kTimeTextLength + 1];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day,
                static_cast<int>(in_day / 3600), static_cast<int>(in_day / 60 % 60), static_cast<int>(in_day % 60));
  return text;
}

std::optional<int64_t> read_utc_time(const std::string& text) {
  if (text.size() != kTimeTextLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':' || text[19] != 'Z' || !all_digits(text, 0, 4) ||
      !all_digits(text, 5, 2) || !all_digits(text, 8, 2) || !all_digits(text, 11, 2) ||
      !all_digits(text, 14, 2) || !all_digits(text, 17, 2)) {
    return std::nullopt;
  }
  const int year = number_at(text, 0, 4), month = number_at(text, 5, 2), day = number_at(text, 8, 2);
  const int hour = number_at(text, 11, 2), minute = number_at(text, 14, 2), second = number_at(text, 17, 2);
  if (year < kFirstYear || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) ||
      hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  return days_from_civil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}
