#pragma once
// Where a signed manifest's detached signature is served: beside the
// manifest, under its name with ".p7s" added (/launcher/installer6.lt.p7s),
// asked for with the manifest's own query. The launcher asks for it there.
#include <cstddef>

inline constexpr char kSignatureSuffix[] = ".p7s";
inline constexpr wchar_t kSignatureFileSuffix[] = L".p7s";

// A signature holds a few certificates and one RSA signature, a few
// kilobytes; more is not a signature of the tool's.
inline constexpr size_t kSignatureBodyLimit = size_t{64} << 10;
