#pragma once
// The signer of a signature as the publisher check judges it, whatever was
// signed: an installer's Authenticode signature (publisher_signature.h) or a
// detached signature over bytes held in memory (detached_signature.h). Both
// judge the signer's certificate by these same rules, in this same order:
// its chain (publisher_chain.h), its names, the pinned CA certificates.
#include "support/publisher_signature.h"
#include "support/system_libraries.h"

// A verdict that refuses at `step` with `result`, naming the signer seen.
signature_verdict refused(signature_verdict::step_kind step, LONG result, code_signer signer = {});

// The organisation and common name of `leaf`'s subject.
code_signer signer_names(const crypt32_functions& crypt32, PCCERT_CONTEXT leaf);

// Judges `leaf`, the certificate of a signature already verified over its
// content: passed, or refused at step chain or publisher. Nothing is logged.
signature_verdict judge_signer(const crypt32_functions& crypt32, PCCERT_CONTEXT leaf, const std::wstring& publisher,
                               const publisher_roots& roots);
