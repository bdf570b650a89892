#pragma once
// How much of an answer's body the update client takes, by what it asks for.
// Whoever answers for the update server chooses the size; a body past its
// limit is refused whole (see http_request::body_limit).
#include <cstddef>

// A manifest is a few lines of text, a few hundred bytes in practice; a
// mebibyte leaves room for any manifest the release tool writes.
inline constexpr size_t kManifestSizeLimit = size_t{1} << 20;

// The manifest's detached signature: one signer's certificate and its issuing
// CA's, a few kilobytes; 64 KiB leaves room for long chains.
inline constexpr size_t kManifestSignatureSizeLimit = size_t{64} << 10;

// An installer is held whole in one vector before it is written, in a 32-bit
// process whose 2 GiB of address space also hold the program, its DLLs and
// WinINet's buffers, and that space is fragmented: a single block of 256 MiB
// can still be had there, blocks of 512 MiB or more often cannot. The
// product's installers are a few tens of mebibytes.
inline constexpr size_t kInstallerSizeLimit = size_t{256} << 20;
