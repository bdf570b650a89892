#pragma once
// The publisher's signature over bytes held in memory: a detached CMS
// (PKCS #7) SignedData in DER, with exactly one signer, whose certificate the
// signature carries, a SHA-256 digest and signed attributes (the content
// type "data" and the message digest), as `openssl cms -sign -binary -md
// sha256` and the release tool make it. It passes only when:
//  - the message digest it signs is the SHA-256 of exactly those bytes,
//    compared here: Wine's CryptVerifyDetachedMessageSignature accepts a
//    detached signature over any content at all;
//  - the signer's signature over the signed attributes verifies;
//  - its signer passes the publisher check's own judgement
//    (publisher_signer.h: the chain judged by the launcher at the current
//    time, the names, the pinned CA certificates).
// Nothing is logged: the caller names what was signed in its own words.
#include "support/publisher_roots.h"
#include "support/publisher_signature.h"

#include <vector>

// Refusals: step signature with CRYPT_E_NO_SIGNER (an empty signature, or
// no certificate for its signer), CRYPT_E_SIGNER_NOT_FOUND (more than one
// signer), NTE_BAD_ALGID (a digest other than SHA-256), CRYPT_E_HASH_VALUE
// (signed attributes missing, doubled or naming other content, or a digest
// of other bytes), or the HRESULT of a message that does not decode or a
// signature that does not verify; or the judge's chain or publisher step.
// An empty publisher passes nothing: bytes are only ever checked where a
// signature is required.
signature_verdict check_detached_signature(const std::vector<char>& content, const std::vector<char>& signature,
                                           const std::wstring& publisher, const publisher_roots& roots);
