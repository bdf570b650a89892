#pragma once
// The launcher's own publisher check as the release tool reports it: who
// signed an installer, and whether a launcher built for the publisher would
// start it. The tool never publishes, nor calls good, an installer that
// launcher refuses.
#include "support/publisher_signature.h"
#include "velora_endpoints.h"

#include <string>
#include <vector>

// The publisher this build's launcher wants: the default of --publisher.
inline constexpr const wchar_t* kBuildPublisher = VELORA_PUBLISHER;

// One phrase for a report, e.g. "signed by O=X, CN=X, the publisher", or
// "signed by O=Y, CN=Y, not by the publisher "X" (0x800B0004)", or
// "no valid signature (0x800B0100: no signature)".
std::wstring describe_verdict(const signature_verdict& verdict, const std::wstring& publisher);

// The `signer` command: holds each file and prints its verdict, one line a
// file. Returns the exit code: exit_ok when the launcher would start every
// file, exit_file_error when one could not be read, else exit_fault_found.
int report_signers(const std::vector<std::wstring>& files, const std::wstring& publisher,
                   const publisher_roots& roots);
