# shellcheck shell=bash
# What the scripts that start things share (scripts/run, scripts/package,
# bench/run), sourced with the name their messages begin with:
#
#   . "$root/scripts/lib/script.sh" demo
#
# The script then runs as named steps (steps.sh): a step that fails says which
# one and why. Whatever it starts goes with its undoing onto one clean-up stack
# (cleanup.sh), run in reverse order on any exit, SIGINT and SIGTERM included:
# the Wine bench session and the local update server have their own starts
# that do so (services.sh). The launcher window's class and control ids come
# from res/resource.h (launcher_window.sh). PE32 programs need the i386 route
# on some machines, and what Windows programs print may be in code page 932
# (windows.sh).
script_name=${1:?usage: . scripts/lib/script.sh NAME}
velora_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# shellcheck source=scripts/lib/cleanup.sh
. "$velora_root/scripts/lib/cleanup.sh"
# shellcheck source=scripts/lib/steps.sh
. "$velora_root/scripts/lib/steps.sh"
# shellcheck source=scripts/lib/services.sh
. "$velora_root/scripts/lib/services.sh"
# shellcheck source=scripts/lib/launcher_window.sh
. "$velora_root/scripts/lib/launcher_window.sh"
# shellcheck source=scripts/lib/windows.sh
. "$velora_root/scripts/lib/windows.sh"

steps_trap_exit
