#pragma once
// The publisher's signature over bytes held in memory: a detached CMS
// (PKCS #7) SignedData in DER, with exactly one signer whose certificate the
// signature carries. It passes only when crypt32 verifies it over exactly
// those bytes and its signer passes the publisher check's own judgement
// (publisher_signer.h: the chain judged by the launcher at the current time,
// the names, the pinned CA certificates). Nothing is logged: the caller
// names what was signed in its own words.
#include "support/publisher_roots.h"
#include "support/publisher_signature.h"

#include <vector>

// Refusals: step signature with the failing HRESULT (CRYPT_E_NO_SIGNER for an
// empty signature, CRYPT_E_SIGNER_NOT_FOUND for more than one signer), or the
// judge's chain or publisher step. An empty publisher passes nothing: bytes
// are only ever checked where a signature is required.
signature_verdict check_detached_signature(const std::vector<char>& content, const std::vector<char>& signature,
                                           const std::wstring& publisher, const publisher_roots& roots);
