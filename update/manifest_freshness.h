#pragma once
// The freshness line of a signed manifest: the vendor's own word, inside the
// signed bytes, on which release is current and until when.
//
//   freshness SERIAL SIGNED EXPIRES
//
// SERIAL is a decimal number that only ever grows from one release to the
// next; SIGNED and EXPIRES are UTC times written YYYY-MM-DDTHH:MM:SSZ. The
// first field is no architecture word, so a reader of the plain manifest
// skips the line as a line for no system: launchers that know nothing of
// signed manifests read the same values with and without it. The release
// tool writes it as the manifest's last line.
#include <cstdint>
#include <optional>
#include <string>

inline constexpr char kManifestFreshnessWord[] = "freshness";

struct manifest_freshness {
  uint64_t serial = 0;
  // Seconds since 1970-01-01T00:00:00Z.
  int64_t signed_at = 0;
  int64_t expires_at = 0;
};

// The line, without its line break.
std::string freshness_line(const manifest_freshness& freshness);

// The freshness of a manifest's text: its one line whose first field is
// "freshness" (ASCII letters in any case), read whole. Nothing when there is
// no such line, more than one, or the one there is holds anything but exactly
// the three fields, each in its form, with a valid date and time, and an
// expiry later than the signing.
std::optional<manifest_freshness> read_freshness(const std::string& manifest_text);

// "YYYY-MM-DDTHH:MM:SSZ" for seconds since 1970 (held to the years 1970 to
// 9999), and back; nothing for any other text, or a date or time that does
// not exist.
std::string utc_time_text(int64_t seconds);
std::optional<int64_t> read_utc_time(const std::string& text);
