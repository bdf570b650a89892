// The freshness line of a signed manifest: its times, its one form, and what
// counts as no freshness at all.
#include "update/manifest_freshness.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ManifestFreshness, TimesAreReadAsWrittenAndOnlyWhenTheyExist) {
  const struct {
    const char* text;
    bool valid;
    int64_t seconds;
  } cases[] = {
      {"1970-01-01T00:00:00Z", true, 0},
      {"2000-02-29T12:34:56Z", true, 951827696},
      {"2026-12-11T09:00:00Z", true, 1796979600},
      {"9999-12-31T23:59:59Z", true, 253402300799},
      {"1900-02-29T00:00:00Z", false, 0},  // no leap day in 1900
      {"2023-02-29T00:00:00Z", false, 0},
      {"2026-04-31T00:00:00Z", false, 0},
      {"2026-13-01T00:00:00Z", false, 0},
      {"2026-12-11T24:00:00Z", false, 0},
      {"2026-12-11T09:00:60Z", false, 0},
      {"1969-12-31T23:59:59Z", false, 0},
      {"2026-12-11T09:00:00", false, 0},
      {"2026-12-11 09:00:00Z", false, 0},
      {"2026-12-11T09:00:00+09:00", false, 0},
      {"+026-12-11T09:00:00Z", false, 0},
  };
  for (const auto& row : cases) {
    const std::optional<int64_t> seconds = read_utc_time(row.text);
    EXPECT_EQ(seconds.has_value(), row.valid) << row.text;
    if (seconds && row.valid) {
      EXPECT_EQ(*seconds, row.seconds) << row.text;
      EXPECT_EQ(utc_time_text(*seconds), row.text);
    }
  }
}

TEST(ManifestFreshness, EveryDayOfFourCenturiesComesBackAsItWent) {
  for (int64_t day = 0; day < 146097; ++day) {
    const int64_t seconds = day * 86400 + 86399;
    ASSERT_EQ(read_utc_time(utc_time_text(seconds)), seconds) << utc_time_text(seconds);
  }
}

TEST(ManifestFreshness, TheLineIsFoundOnceOrNotAtAll) {
  const std::string head = "header\r\n64bit 6.0.2.1 0123456789abcdef0123456789abcdef http://x/setup64.exe\r\n";
  const std::string good = "freshness 42 2026-12-11T09:00:00Z 2027-01-10T09:00:00Z";
  const struct {
    const char* what;
    std::string manifest;
    bool found;
  } cases[] = {
      {"last line", head + good + "\r\n", true},
      {"between other lines, any case, runs of spaces", head + "FreshNess  42   2026-12-11T09:00:00Z 2027-01-10T09:00:00Z\n" + head, true},
      {"no such line", head, false},
      {"only as the header", good + "\r\n" + head, false},
      {"twice", head + good + "\n" + good + "\n", false},
      {"a field more", head + good + " extra\n", false},
      {"a field less", head + "freshness 42 2026-12-11T09:00:00Z\n", false},
      {"a tab is no separator", head + "freshness\t42 2026-12-11T09:00:00Z 2027-01-10T09:00:00Z\n", false},
      {"a signed serial", head + "freshness +42 2026-12-11T09:00:00Z 2027-01-10T09:00:00Z\n", false},
      {"a serial of 20 digits", head + "freshness 18446744073709551615 2026-12-11T09:00:00Z 2027-01-10T09:00:00Z\n", false},
      {"expiring when signed", head + "freshness 42 2026-12-11T09:00:00Z 2026-12-11T09:00:00Z\n", false},
      {"expiring before it was signed", head + "freshness 42 2027-01-10T09:00:00Z 2026-12-11T09:00:00Z\n", false},
      {"a date that does not exist", head + "freshness 42 2026-02-30T09:00:00Z 2027-01-10T09:00:00Z\n", false},
  };
  for (const auto& row : cases) {
    const std::optional<manifest_freshness> freshness = read_freshness(row.manifest);
    EXPECT_EQ(freshness.has_value(), row.found) << row.what;
    if (freshness && row.found) {
      EXPECT_EQ(freshness->serial, 42u) << row.what;
      EXPECT_EQ(utc_time_text(freshness->signed_at), "2026-12-11T09:00:00Z") << row.what;
      EXPECT_EQ(utc_time_text(freshness->expires_at), "2027-01-10T09:00:00Z") << row.what;
    }
  }
}

TEST(ManifestFreshness, AWrittenLineReadsBack) {
  const manifest_freshness written{9999999999999999999ull, 1796979600, 1799571600};
  const std::string line = freshness_line(written);
  EXPECT_EQ(line, "freshness 9999999999999999999 2026-12-11T09:00:00Z 2027-01-10T09:00:00Z");
  const std::optional<manifest_freshness> read = read_freshness("header\n" + line + "\n");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->serial, written.serial);
  EXPECT_EQ(read->signed_at, written.signed_at);
  EXPECT_EQ(read->expires_at, written.expires_at);
}

}  // namespace
