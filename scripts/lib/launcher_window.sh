# shellcheck shell=bash
# shellcheck disable=SC2154 # velora_root comes from script.sh
# The launcher window's class and control ids, for the scripts that find and
# steer it: read from res/resource.h by the preprocessor as the resource
# compiler reads it (so IDOK is Windows' own), never copied.
#
#   launcher_window_read NAME...   sets the shell variable NAME to the value of
#                                  the macro NAME (a string without its quotes)

launcher_window_read() {
  local values name value
  values=$({
    printf '#include <winresrc.h>\n#include "resource.h"\n'
    printf 'velora_value %s\n' "$@"
  } | x86_64-w64-mingw32-cpp-posix -P -DRC_INVOKED -I "$velora_root/res" - | sed -n 's/^velora_value //p') \
    || fail "the preprocessor could not read res/resource.h"
  for name in "$@"; do
    value=${values%%$'\n'*}
    values=${values#*$'\n'}
    [ "$value" != "$name" ] || fail "res/resource.h defines no $name"
    value=${value#\"}
    printf -v "$name" '%s' "${value%\"}"
  done
}
