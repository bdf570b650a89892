#pragma once
// The web pages the launcher opens besides those the manifest names. Their
// hosts are chosen at build time beside the update server's address.
#include "velora_endpoints.h"

#define VELORA_WIDEN_(text) L##text
#define VELORA_WIDEN(text) VELORA_WIDEN_(text)

// The vendor's support page: the guide button's way when no manual page is known.
inline constexpr const wchar_t kSupportPage[] = VELORA_WIDEN(VELORA_SUPPORT_SITE) L"/cs/";
// The PDF reader vendor's download page.
inline constexpr const wchar_t kReaderPage[] =
    VELORA_WIDEN(VELORA_READER_SITE) L"/products/acrobat/readstep2.html";
