# shellcheck shell=bash
# shellcheck disable=SC2154 # script_name comes from script.sh
# Named steps, and the one handler of EXIT, SIGINT and SIGTERM.
#
#   step NAME       the commands from here on are step NAME. With
#                   VELORA_FAIL_STEP=NAME in the environment the step fails as
#                   it begins: how the tests show that a failure at that point
#                   leaves nothing running (tests/check_failing_step.py).
#   fail MESSAGE    ends the script, saying which step failed and MESSAGE:
#                   "NAME: step "STEP" failed: MESSAGE"
#
# A command that fails where set -e ends the script is named the same way,
# with its exit code. On any exit the clean-up stack is then run; the script's
# exit code is kept (128 + the signal's number after a signal).

step_name=
step_failed_command=
step_reported=0

step() { # name
  step_name=$1
  step_failed_command=
  if [ "${VELORA_FAIL_STEP:-}" = "$1" ]; then
    fail "failed on purpose (VELORA_FAIL_STEP=$1)"
  fi
}

fail() { # message
  step_say_failed "$*"
  exit 1
}

step_say_failed() { # why
  if [ -n "$step_name" ]; then
    echo "$script_name: step \"$step_name\" failed: $1" >&2
  else
    echo "$script_name: $1" >&2
  fi
  step_reported=1
}

step_on_exit() {
  local status=$?
  # The clean-up runs to its end: a second Ctrl-C must not cut it short.
  trap '' INT TERM
  if [ "$status" != 0 ] && [ "$step_reported" = 0 ] && [ -n "$step_failed_command" ]; then
    step_say_failed "\`$step_failed_command\` ended with exit code $status"
  fi
  cleanup_run_all
  exit "$status"
}

step_on_signal() { # name number
  step_say_failed "interrupted by SIG$1"
  exit $((128 + $2))
}

steps_trap_exit() {
  # errtrace: a command that fails inside a function is the one named.
  set -E
  trap 'step_failed_command=$BASH_COMMAND' ERR
  trap step_on_exit EXIT
  trap 'step_on_signal INT 2' INT
  trap 'step_on_signal TERM 15' TERM
}
