// Runs the publisher check on one file, as the launcher does before an
// installer starts, for the planted-DLL tests: wintrust and crypt32 must come
// from the system folder even with copies beside this program.
//   signature_probe FILE PUBLISHER
// Exit code: 0 when the file passes, 1 when it is refused, 2 for a bad call.
#include "support/held_file.h"
#include "support/publisher_signature.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const held_file file(argv[1]);
  return check_publisher_signature(file, argv[2]).trusted ? 0 : 1;
}
