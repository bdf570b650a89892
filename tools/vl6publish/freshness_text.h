#pragma once
// A manifest's freshness as the tool reports it, against the clock of the
// machine it runs on.
#include "update/manifest_freshness.h"

#include <cstdint>
#include <string>

bool has_expired(const manifest_freshness& freshness, int64_t now);

// "serial 3, signed 2026-12-11T09:16:18Z, expires 2027-01-10T09:16:18Z (in 30
// days)", or "..., expired 2026-12-01T00:00:00Z (10 days ago)".
std::wstring describe_freshness(const manifest_freshness& freshness, int64_t now);

// "30 days", "5 hours", "less than an hour".
std::wstring duration_text(int64_t seconds);
