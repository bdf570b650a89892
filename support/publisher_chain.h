#pragma once
// The signer's certificate chain as the publisher check judges it, apart from
// the Authenticode signature itself (WinVerifyTrust) and the signer's names.
// Under Wine neither WinVerifyTrust nor the Authenticode chain policy is
// enough: the policy answers 0 for a chain that stops at the leaf, and the
// signer's "verify time" comes from an unverified counter-signature or the
// file's own time. So the chain is judged here, by rules that hold on
// Windows as well:
//  - built by the local machine's chain engine, so that a root in the
//    current user's own store (which any program of that user may add)
//    counts for nothing;
//  - at the current time: no time stamp is believed, so a signature whose
//    certificate has expired is refused even if it was time-stamped;
//  - for code signing, with no revocation asked for (it would go to the
//    network, unbounded under Wine) and nothing fetched from the network;
//  - no error in its trust status but those of the revocation check that was
//    not asked for; the Authenticode policy passes too;
//  - it ends in a self-signed root that the machine's own Root store holds.
#include "support/certificate_owners.h"
#include "support/publisher_roots.h"

// Builds `leaf`'s chain into `chain`, from the machine's stores and the
// certificates the signature carries (`leaf`'s own store), and judges it.
// Returns S_OK, or the HRESULT of the first rule the chain breaks.
LONG judge_publisher_chain(const crypt32_functions& crypt32, PCCERT_CONTEXT leaf, certificate_chain& chain);

// Whether one of the chain's CA certificates (any element but the leaf) has
// one of the thumbprints of `roots`. Every chain holds an empty `roots`.
bool chain_holds_one_of(const crypt32_functions& crypt32, PCCERT_CHAIN_CONTEXT chain,
                        const publisher_roots& roots);
