#pragma once
// What vl6publish's exit code tells a release script. The usage text lists
// the same codes; keep the two together.

enum publish_exit_code : int {
  exit_ok = 0,           // published; both systems get an installer; every file matched and
                         // every installer is the publisher's
  exit_fault_found = 1,  // check: a fault or a system without installer; verify: a file
                         // unreachable or different, an installer the publisher did not
                         // sign, a manifest signature or freshness line refused, or no
                         // manifest; signer: a file the launcher refuses;
                         // publish: what it wrote does not read back as a release
  exit_usage = 2,        // the command line was not understood
  exit_refused = 3,      // publish: a version, URL, input file, unsigned installer or
                         // signing identity it will not publish with
  exit_file_error = 4,   // a file could not be read or written
};
