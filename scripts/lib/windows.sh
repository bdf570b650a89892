# shellcheck shell=bash
# shellcheck disable=SC2154 # velora_root comes from script.sh
# What the scripts need to run PE32 programs and to read what they print.
#
#   i386_route_enter SCRIPT [ARGUMENTS...]
#       on a kernel that runs no i386 code, runs SCRIPT again inside the
#       namespace of tests/wine/i386-route (qemu-i386 for Wine's 32-bit loader
#       and the PE32 programs), once scripts/setup has installed qemu-user;
#       elsewhere, or inside already, it returns
#   windows_text
#       copies standard input to standard output as UTF-8 text. The release
#       tool prints UTF-8 when its output is not a console, but Wine itself
#       (a program that cannot start, a loader that fails) prints in the ANSI
#       code page of the bench's locale, 932: each line that is not UTF-8 is
#       read as code page 932.

i386_route_enter() { # script arguments...
  case ${VELORA_I386_ROUTE:-} in
    native | "$(readlink /proc/self/ns/user)") return 0 ;;
  esac
  local kernel
  kernel=$("$velora_root/tests/wine/i386-route" status) || fail "cannot tell how this machine runs i386 programs"
  if [ "$kernel" = native ]; then
    export VELORA_I386_ROUTE=native
    return 0
  fi
  exec "$velora_root/tests/wine/i386-route" exec "$@"
}

windows_text() {
  /usr/bin/python3 -c '
import sys
for line in sys.stdin.buffer:
    try:
        text = line.decode("utf-8")
    except UnicodeDecodeError:
        text = line.decode("cp932", errors="replace")
    sys.stdout.write(text)
sys.stdout.flush()'
}
