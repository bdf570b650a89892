#pragma once
// The CA certificates a publisher's chain must hold at least one of: the
// vendor's root or its issuing CA, named by SHA-256 thumbprint. A certificate
// bearing the publisher's names from any other authority the machine trusts
// is not the publisher's.
#include <array>
#include <string>
#include <vector>

using certificate_thumbprint = std::array<unsigned char, 32>;

// Empty: any root the machine trusts.
using publisher_roots = std::vector<certificate_thumbprint>;

// Reads thumbprints in hex ("AB12...", 64 digits each, either case),
// separated by "," or ";", with white space and colons ignored.
// False, leaving `roots` alone, for anything else.
bool parse_publisher_roots(const std::wstring& text, publisher_roots& roots);

// The build's (VELORA_PUBLISHER_ROOTS). Should its text ever not read, it is
// one thumbprint no certificate has, so that nothing passes.
const publisher_roots& build_publisher_roots();
