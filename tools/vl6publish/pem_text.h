#pragma once
// The blocks of a PEM file ("-----BEGIN LABEL-----", base64, "-----END
// LABEL-----"), as openssl and most tools write certificates and keys.
#include <windows.h>

#include <string>
#include <vector>

// The DER bytes of every block labelled exactly `label` ("CERTIFICATE",
// "PRIVATE KEY", ...), in file order. A block whose base64 does not decode
// is left out.
std::vector<std::vector<BYTE>> pem_blocks(const std::string& text, const std::string& label);
