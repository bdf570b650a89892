#pragma once
// The signed manifest: the vendor's own word on which release is current, so
// that whoever answers for the update server (a hostile network, a proxy, a
// poisoned name server) can neither swap the manifest nor bring back an
// older one. Opt-in per build (VELORA_SIGNED_MANIFEST): without it the
// manifest is read as it always was, and no signature is asked for.
//
// The signature lies beside the manifest (its path + ".p7s"): a DER CMS
// (PKCS #7) SignedData over the manifest's exact bytes, detached, with one
// signer (see support/detached_signature.h). A manifest is taken only when
// all of these hold, in this order:
//  1. the signature passes the publisher check's own judgement of its signer
//     (the chain judged at the current time, the publisher's names, the
//     pinned CA certificates), over exactly the bytes read;
//  2. the manifest holds one valid freshness line (manifest_freshness.h)
//     whose expiry is later than the current UTC time;
//  3. its serial is not lower than the highest this launcher accepted before
//     (equal is the same manifest read again);
//  4. the installer line chosen for this system, when there is one, names a
//     version no older than this launcher's own.
// Anything else is a failed manifest request.
#include "support/publisher_roots.h"
#include "update/manifest_freshness.h"
#include "update/manifest_serial_store.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct manifest_signing {
  bool required = false;         // false: no signature is asked for, nothing below is read
  std::wstring publisher;        // O and CN the signer must bear
  publisher_roots roots;         // CA certificates its chain must hold one of; empty: any trusted root
  std::shared_ptr<manifest_serial_store> serials;  // none: no serial is remembered
  std::string launcher_version;  // this launcher's a.b.c.d
};

struct manifest_judgement {
  bool accepted = false;
  manifest_freshness freshness;  // the accepted manifest's
  std::wstring refusal;          // otherwise why, in the log's words ("expired at ...")
};

// Judges `manifest` with its detached `signature` (empty: none could be had)
// for a 64-bit or a 32-bit system at `now` (seconds since 1970, UTC). Reads
// the serial store, never writes it: the caller raises it once it has taken
// the manifest.
manifest_judgement judge_signed_manifest(const std::vector<char>& manifest, const std::vector<char>& signature,
                                         const manifest_signing& signing, bool system_is_64bit, int64_t now);

// The system's clock, in seconds since 1970-01-01T00:00:00Z.
int64_t current_utc_seconds();
